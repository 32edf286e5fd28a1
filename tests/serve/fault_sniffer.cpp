// A sniffer with fault switches, for the tests of the fork server and ProbeService. A file
// whose name holds one of these words misbehaves when it is probed:
//   "crash"       the probe dies of SIGSEGV
//   "hang"        the probe never ends
//   "flood"       the probe prints without end (in the server: 300 MiB)
//   "killserver"  (server only) the probe kills its server, which dies under the request
// Every other file is probed by our sniffer's own code, so its document is the real one.
// "--version" names this program; "--serve" serves with the real server loop. With
// VELLINOR_FAULT_LOG set, every server start appends "serve" to that file and every one-shot run
// "once <file name>", so a test can tell how its files were probed.

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "sniffer/one_shot.h"
#include "sniffer/probe_document.h"
#include "sniffer/serve.h"

namespace {

enum class Fault { none, crash, hang, flood, killServer };

Fault faultOf(std::string_view path)
{
    const auto slash = path.rfind('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
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
            ::kill(::getppid(), SIGKILL);
            hangForever();
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
        return sniffer::runServe(argc, argv, probeInServer);
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::puts("fault_sniffer 1 (tests only)");
        return 0;
    }
    if (argc == 10)
        return probeOnce(argv);
    std::fputs("usage: fault_sniffer (--serve | --version | <nine probe arguments>)\n", stderr);
    return 2;
}
