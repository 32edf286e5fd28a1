#include "sniffer/listen.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>

#include "platform/child_watch.h"
#include "platform/write_all.h"
#include "probe/serve_protocol.h"

namespace sniffer {
namespace {

namespace protocol = vellinor::serve_protocol;
using Clock = std::chrono::steady_clock;
using Fd = vellinor::platform::UniqueFd;
using vellinor::ErrorKind;
using vellinor::ok;
using vellinor::Status;
using vellinor::Unexpected;
using vellinor::platform::writeAll;

// A server being replaced may take a moment to let go of the lock.
constexpr std::chrono::milliseconds kLockWait{3000};
constexpr std::chrono::milliseconds kLockRetry{20};
// How long the starting process waits for the server to listen (it loads and warms the
// libraries first).
constexpr std::chrono::seconds kReadyWait{30};
// How often the server looks whether its executable was replaced.
constexpr std::chrono::seconds kStaleCheck{2};
constexpr int kBacklog = 64;

struct ListenOptions {
    std::string socketPath;
    std::string lockPath;
    std::chrono::milliseconds idle{0};
    std::size_t memoryLimitBytes = ServeLimits{}.memoryLimitBytes;
};

std::optional<ListenOptions> parseOptions(int argc, char** argv)
{
    ListenOptions options;
    bool idleGiven = false;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string_view option = argv[i];
        const char* value = argv[i + 1];
        const auto number = protocol::parseNumber<std::size_t>(value, SIZE_MAX);
        if (option == "--listen" && *value != '\0') {
            options.socketPath = value;
        } else if (option == "--lock" && *value != '\0') {
            options.lockPath = value;
        } else if (option == "--idle" && number) {
            options.idle = std::chrono::milliseconds(*number);
            idleGiven = true;
        } else if (option == "--memory-limit" && number) {
            options.memoryLimitBytes = *number;
        } else {
            return std::nullopt;
        }
    }
    if (argc % 2 == 0 || options.socketPath.empty() || options.lockPath.empty() || !idleGiven)
        return std::nullopt;
    return options;
}

std::string fileIdentity(const char* path)
{
    struct stat file {};
    if (::stat(path, &file) != 0)
        return {};
    return protocol::executableIdentity(file);
}

std::string ownExecutable()
{
    std::array<char, 4096> path{};
    const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size() - 1);
    return length > 0 ? std::string(path.data(), static_cast<std::size_t>(length)) : std::string();
}

// One line of at most `maxLength` bytes, read a byte at a time so nothing after it is taken.
std::optional<std::string> readLine(int fd, std::size_t maxLength)
{
    std::string line;
    while (line.size() < maxLength) {
        char byte = 0;
        const ssize_t got = ::read(fd, &byte, 1);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return std::nullopt;
        if (byte == '\n')
            return line;
        line += byte;
    }
    return std::nullopt;
}

// Leaves the caller's session. Returns, in the process the caller started, the status it
// exits with once the server has said whether it listens; returns nothing in the server,
// whose `readyFd` is where it says so.
std::optional<int> detach(Fd& readyFd)
{
    std::array<int, 2> ends{};
    if (::pipe2(ends.data(), O_CLOEXEC) != 0) {
        std::printf("no pipe: %s\n", std::strerror(errno));
        return 1;
    }
    Fd readEnd(ends[0]);
    Fd writeEnd(ends[1]);
    std::fflush(stdout);
    const pid_t first = ::fork();
    if (first < 0) {
        std::printf("no fork: %s\n", std::strerror(errno));
        return 1;
    }
    if (first > 0) {
        writeEnd.reset();
        (void)vellinor::platform::reap(first);
        std::string said;
        const auto giveUp = Clock::now() + kReadyWait;
        std::array<char, 512> chunk{};
        while (said.find('\n') == std::string::npos && Clock::now() < giveUp) {
            pollfd fd{readEnd.get(), POLLIN, 0};
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(giveUp - Clock::now());
            if (::poll(&fd, 1, static_cast<int>(std::max<long long>(left.count(), 0))) <= 0)
                continue;
            const ssize_t got = ::read(readEnd.get(), chunk.data(), chunk.size());
            if (got <= 0)
                break;
            said.append(chunk.data(), static_cast<std::size_t>(got));
        }
        if (said.find('\n') == std::string::npos)
            said = "the server did not say whether it listens\n";
        std::fputs(said.c_str(), stdout);
        return said == "ready\n" ? 0 : 1;
    }
    // A session of its own, and a second fork so it can never take a terminal again.
    readEnd.reset();
    ::setsid();
    const pid_t second = ::fork();
    if (second != 0)
        ::_exit(second < 0 ? 1 : 0);
    // The caller's descriptors are not held: whoever reads its output must see it end.
    const int nothing = ::open("/dev/null", O_RDWR);
    if (nothing >= 0) {
        for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO})
            ::dup2(nothing, fd);
        if (nothing > STDERR_FILENO)
            ::close(nothing);
    }
    if (::chdir("/") != 0) {
        // Staying in the caller's folder only keeps it busy.
    }
    ::umask(077);
    readyFd = std::move(writeEnd);
    return std::nullopt;
}

Fd takeLock(const std::string& path)
{
    Fd lock(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!lock.valid())
        return lock;
    const auto giveUp = Clock::now() + kLockWait;
    while (::flock(lock.get(), LOCK_EX | LOCK_NB) != 0) {
        if ((errno != EWOULDBLOCK && errno != EINTR) || Clock::now() >= giveUp)
            return Fd();
        std::this_thread::sleep_for(kLockRetry);
    }
    return lock;
}

class Listener {
public:
    Listener(ListenOptions options, const ProbeFunction& probe)
        : m_options(std::move(options)), m_probe(probe)
    {
    }

    // Listens, or says why it cannot (busy: another server holds the lock).
    Status start()
    {
        m_lock = takeLock(m_options.lockPath);
        if (!m_lock.valid())
            return Unexpected(ErrorKind::busy, "busy");
        if (auto prepared = prepareServer(); !prepared)
            return Unexpected("cannot prepare the sandbox: " + prepared.error());
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (m_options.socketPath.size() >= sizeof address.sun_path)
            return Unexpected(ErrorKind::tooLarge, "the socket path is too long");
        std::memcpy(address.sun_path, m_options.socketPath.c_str(), m_options.socketPath.size());
        // A socket left by a server that died; only the holder of the lock gets here.
        ::unlink(m_options.socketPath.c_str());
        m_socket = Fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
        if (!m_socket.valid() ||
            ::bind(m_socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) !=
                0 ||
            ::chmod(m_options.socketPath.c_str(), 0600) != 0 ||
            ::listen(m_socket.get(), kBacklog) != 0)
            return Unexpected("cannot listen on " + m_options.socketPath + ": " +
                              std::strerror(errno));
        struct stat socketFile {};
        if (::stat(m_options.socketPath.c_str(), &socketFile) == 0)
            m_socketInode = socketFile.st_ino;

        m_executable = ownExecutable();
        m_identity = fileIdentity("/proc/self/exe");
        sigset_t handled;
        sigemptyset(&handled);
        for (int signal : {SIGTERM, SIGINT, SIGHUP, SIGCHLD})
            sigaddset(&handled, signal);
        ::sigprocmask(SIG_BLOCK, &handled, nullptr);
        m_signals = Fd(::signalfd(-1, &handled, SFD_CLOEXEC | SFD_NONBLOCK));
        if (!m_signals.valid())
            return Unexpected(std::string("no signalfd: ") + std::strerror(errno));
        // The probe children of a per-client server that is killed are orphaned; they are
        // reaped here rather than left defunct under init, which may reap them late or never.
        if (::prctl(PR_SET_CHILD_SUBREAPER, 1) != 0)
            return Unexpected(std::string("cannot reap the probe children: ") +
                              std::strerror(errno));
        m_quietSince = Clock::now();
        return ok();
    }

    int run()
    {
        auto nextStaleCheck = Clock::now() + kStaleCheck;
        for (;;) {
            reapHandlers(false);
            const auto now = Clock::now();
            if (m_handlers.empty() && (!m_socket.valid() || now - m_quietSince >= m_options.idle))
                break;
            if (m_socket.valid() && now >= nextStaleCheck) {
                nextStaleCheck = now + kStaleCheck;
                // A newer build installed: new clients go to a server of that build; the
                // ones connected here are served to their end.
                if (fileIdentity(m_executable.c_str()) != m_identity)
                    withdraw();
            }
            auto wake = nextStaleCheck;
            if (m_handlers.empty())
                wake = std::min(wake, m_quietSince + m_options.idle);
            const auto wait = std::chrono::ceil<std::chrono::milliseconds>(wake - now).count();
            std::array<pollfd, 2> fds{{{m_signals.get(), POLLIN, 0},
                                       {m_socket.valid() ? m_socket.get() : -1, POLLIN, 0}}};
            if (::poll(fds.data(), fds.size(),
                       static_cast<int>(std::clamp<long long>(wait, 0, 60'000))) <= 0)
                continue;
            if ((fds[0].revents & POLLIN) != 0 && takeSignals())
                break;
            if ((fds[1].revents & POLLIN) != 0)
                acceptOne();
        }
        withdraw();
        reapHandlers(true);
        return 0;
    }

private:
    // True when asked to stop.
    bool takeSignals()
    {
        bool stop = false;
        signalfd_siginfo info{};
        while (::read(m_signals.get(), &info, sizeof info) == sizeof info) {
            if (info.ssi_signo != SIGCHLD)
                stop = true;
        }
        return stop;
    }

    void acceptOne()
    {
        Fd connection(::accept4(m_socket.get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (!connection.valid())
            return;
        // Only the user this server runs for may use it.
        ucred peer{};
        socklen_t length = sizeof peer;
        if (::getsockopt(connection.get(), SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0 ||
            peer.uid != ::geteuid())
            return;
        const pid_t listener = ::getpid();
        const pid_t handler = ::fork();
        if (handler == 0) {
            m_socket.reset();
            m_signals.reset();
            m_lock.reset();
            serveConnection(connection.get(), listener);
        }
        if (handler > 0)
            m_handlers.insert(handler);
    }

    [[noreturn]] void serveConnection(int connection, pid_t listener)
    {
        // Per-client servers, and through them their children, die with the listener.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != listener)
            ::_exit(0);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        const std::string hello = std::string(protocol::kSharedHello) + m_identity + '\n';
        if (!writeAll(connection, hello))
            ::_exit(0);
        const auto line = readLine(connection, protocol::kMaxHeaderLine);
        const auto limits = line ? protocol::parseLimitsLine(*line) : std::nullopt;
        if (!limits)
            ::_exit(line ? 2 : 0);
        ServeLimits serve;
        serve.timeout = std::chrono::milliseconds(limits->timeoutMilliseconds);
        serve.maxOutputBytes = limits->maxOutputBytes;
        serve.memoryLimitBytes = m_options.memoryLimitBytes;
        ::_exit(serveRequests(connection, connection, m_probe, serve));
    }

    // Reaps the per-client servers that ended, and the probe children that a per-client server
    // killed with SIGKILL left behind (they come here, the listener being their subreaper); with
    // `all`, kills the per-client servers and waits until every process below this one is gone.
    void reapHandlers(bool all)
    {
        if (all) {
            for (pid_t handler : m_handlers)
                ::kill(handler, SIGKILL);
        }
        for (;;) {
            int status = 0;
            const pid_t done = ::waitpid(-1, &status, all ? 0 : WNOHANG);
            if (done < 0 && errno == EINTR)
                continue;
            if (done <= 0)
                break;
            if (m_handlers.erase(done) > 0 && m_handlers.empty())
                m_quietSince = Clock::now();
        }
        if (all)
            m_handlers.clear();
    }

    // Stops taking clients: the socket is removed (if it is still ours) and the lock let go,
    // so the next client starts a fresh server.
    void withdraw()
    {
        if (m_socket.valid()) {
            struct stat socketFile {};
            if (::stat(m_options.socketPath.c_str(), &socketFile) == 0 &&
                socketFile.st_ino == m_socketInode)
                ::unlink(m_options.socketPath.c_str());
            m_socket.reset();
        }
        m_lock.reset();
    }

    const ListenOptions m_options;
    const ProbeFunction& m_probe;
    Fd m_lock;
    Fd m_socket;
    Fd m_signals;
    ino_t m_socketInode = 0;
    std::string m_executable;
    std::string m_identity;
    std::set<pid_t> m_handlers;
    Clock::time_point m_quietSince;
};

}  // namespace

int runListen(int argc, char** argv, const ProbeFunction& probe)
{
    auto options = parseOptions(argc, argv);
    if (!options) {
        std::fputs("usage: sniffer --listen SOCKET --lock FILE --idle MS [--memory-limit BYTES]\n",
                   stderr);
        return 2;
    }
    Fd ready;
    if (auto status = detach(ready))
        return *status;
    Listener listener(std::move(*options), probe);
    const Status listening = listener.start();
    (void)writeAll(ready.get(), (listening ? std::string("ready") : listening.error()) + "\n");
    ready.reset();
    if (!listening)
        ::_exit(1);
    ::_exit(listener.run());
}

}  // namespace sniffer
