// A sniffer with fault switches, for the tests of the fork server and ProbeService. A file
// whose name holds one of these words misbehaves when it is probed:
//   "crash"       the probe dies of SIGSEGV
//   "hang"        the probe never ends
//   "flood"       the probe prints without end (in the server: 300 MiB)
//   "killserver"  (server only) the probe has its server killed, which dies under the request
//   "escape-<action>"  after entering the sandbox the probe tries a forbidden action (openwrite,
//                 create, unlink, socket, connect, execve, fork, killparent, ptrace) on a
//                 "victim.txt" beside the file; when the call is refused it probes the file as
//                 usual, when it succeeds it says so on stderr and exits with status 99
// Every other file is probed by our sniffer's own code, so its document is the real one.
// "--version" names this program; "--serve" and "--listen" serve with the real server loops.
// With VELLINOR_FAULT_LOG set, every server start appends "serve" (or "listen") to that file
// and every one-shot run "once <file name>", so a test can tell how its files were probed.

#include <fcntl.h>
#include <signal.h>
#include <sys/ptrace.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "sniffer/listen.h"
#include "sniffer/one_shot.h"
#include "sniffer/probe_document.h"
#include "sniffer/sandbox.h"
#include "sniffer/serve.h"

namespace {

enum class Fault { none, crash, hang, flood, killServer, escape };

std::string_view fileName(std::string_view path)
{
    const auto slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

Fault faultOf(std::string_view path)
{
    const std::string_view name = fileName(path);
    if (name.find("escape-") != std::string_view::npos)
        return Fault::escape;
    if (name.find("killserver") != std::string_view::npos)
        return Fault::killServer;
    if (name.find("crash") != std::string_view::npos)
        return Fault::crash;
    if (name.find("hang") != std::string_view::npos)
        return Fault::hang;
    if (name.find("flood") != std::string_view::npos)
        return Fault::flood;
    return Fault::none;
}

void log(const std::string& line)
{
    const char* file = std::getenv("VELLINOR_FAULT_LOG");
    if (file == nullptr)
        return;
    const int fd = ::open(file, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    const std::string text = line + "\n";
    if (::write(fd, text.data(), text.size()) < 0)
        std::perror("fault_sniffer: log");
    ::close(fd);
}

// A crash as the kernel delivers it (a sanitizer's own SEGV handler would turn it into an exit).
void dieOfSegv()
{
    ::signal(SIGSEGV, SIG_DFL);
    ::raise(SIGSEGV);
}

[[noreturn]] void hangForever()
{
    for (;;)
        ::pause();
}

// A sandboxed child cannot kill its server; a thread of the server does it when a child asks
// through this pipe.
int g_killServerFd = -1;

void startServerKiller()
{
    int ends[2];
    if (::pipe(ends) != 0)
        return;
    g_killServerFd = ends[1];
    std::thread([fd = ends[0]] {
        char asked = 0;
        ssize_t got = 0;
        while ((got = ::read(fd, &asked, 1)) < 0 && errno == EINTR) {
        }
        if (got == 1)
            ::kill(::getpid(), SIGKILL);
    }).detach();
}

// The forbidden action named in the file name; true when the system carried it out.
bool tryToEscape(std::string_view path)
{
    const std::string_view name = fileName(path);
    const std::string action(
        name.substr(name.find("escape-") + 7, name.find('.') - name.find("escape-") - 7));
    const std::string folder(path.substr(0, path.size() - name.size()));
    const std::string victim = folder + "victim.txt";
    if (action == "openwrite") {
        const int fd = ::open(victim.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        return fd >= 0 && ::write(fd, "escaped", 7) == 7;
    }
    if (action == "create")
        return ::open((folder + "created.txt").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600) >= 0;
    if (action == "unlink")
        return ::unlink(victim.c_str()) == 0;
    if (action == "socket")
        return ::socket(AF_INET, SOCK_STREAM, 0) >= 0;
    if (action == "connect") {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strcpy(address.sun_path, "/run/systemd/private");
        return ::connect(STDIN_FILENO, reinterpret_cast<const sockaddr*>(&address),
                         sizeof address) == 0;
    }
    if (action == "execve") {
        char* const arguments[] = {const_cast<char*>("/bin/true"), nullptr};
        ::execve("/bin/true", arguments, environ);
        return false;
    }
    if (action == "fork") {
        const pid_t child = ::fork();
        if (child == 0)
            ::_exit(0);
        return child > 0;
    }
    if (action == "killparent")
        return ::kill(::getppid(), SIGCONT) == 0;
    if (action == "ptrace")
        return ::ptrace(PTRACE_ATTACH, ::getppid(), nullptr, nullptr) == 0;
    return false;
}

int escapeOrProbe(const char* path, std::string& out)
{
    if (tryToEscape(path)) {
        std::fprintf(stderr, "fault_sniffer: %s escaped the sandbox\n", path);
        return 99;
    }
    return sniffer::writeProbeDocument(path, out);
}

// The probe function of the server: runs in the child forked for one file.
int probeInServer(const char* path, std::string& out)
{
    switch (faultOf(path)) {
        case Fault::crash:
            dieOfSegv();
            break;
        case Fault::hang:
            hangForever();
        case Fault::flood:
            out.assign(std::size_t{300} << 20, ' ');
            return 0;
        case Fault::killServer:
            if (::write(g_killServerFd, "K", 1) != 1)
                ::_exit(1);
            hangForever();
        case Fault::escape:
            return escapeOrProbe(path, out);
        case Fault::none:
            break;
    }
    return sniffer::writeProbeDocument(path, out);
}

// One file, one run: the fault, or the sniffer's own one-shot run.
int probeOnce(char** argv)
{
    const char* path = argv[9];
    log("once " + std::string(std::strrchr(path, '/') + 1));
    if (!sniffer::enterSandboxOrSay())
        return 1;
    switch (faultOf(path)) {
        case Fault::crash:
            dieOfSegv();
            break;
        case Fault::hang:
            hangForever();
        case Fault::flood: {
            static const char block[65536] = {};
            while (::write(STDOUT_FILENO, block, sizeof block) > 0) {
            }
            return 1;
        }
        case Fault::escape: {
            std::string document;
            const int status = escapeOrProbe(path, document);
            std::fwrite(document.data(), 1, document.size(), stdout);
            return status;
        }
        case Fault::killServer:
        case Fault::none:
            break;
    }
    return sniffer::runOneShot(path);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc >= 2 && std::strcmp(argv[1], "--serve") == 0) {
        log("serve");
        startServerKiller();
        return sniffer::runServe(argc, argv, probeInServer);
    }
    if (argc >= 2 && std::strcmp(argv[1], "--listen") == 0) {
        log("listen");
        return sniffer::runListen(argc, argv, probeInServer);
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::puts("fault_sniffer 1 (tests only)");
        return 0;
    }
    if (argc == 10)
        return probeOnce(argv);
    std::fputs("usage: fault_sniffer (--serve | --listen | --version | <nine probe arguments>)\n",
               stderr);
    return 2;
}
