#include "probe/shared_probe_server.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <utility>

#include "platform/child_watch.h"
#include "platform/process.h"
#include "probe/serve_protocol.h"

namespace vellinor {
namespace {

namespace protocol = serve_protocol;
using platform::ServerProcess;
using platform::UniqueFd;
using Clock = ServerProcess::Clock;

constexpr const char* kSocketName = "probe.sock";
// Held by whoever is starting a server, so programs that find none at the same time start one.
constexpr const char* kStartLockName = "probe.start.lock";
// Held by the server for as long as it runs.
constexpr const char* kServerLockName = "probe.lock";
// A running server greets at once; a start loads and warms the libraries first.
constexpr std::chrono::seconds kGreetingWait{5};
constexpr std::chrono::seconds kStartWait{30};
// A server asked to stop is gone by then.
constexpr std::chrono::seconds kStopWait{5};
constexpr std::chrono::milliseconds kRetry{10};
// A connection may be refused while a server ends or starts; then it is tried again.
constexpr int kTries = 3;

// Programs of one process that start servers take turns (the lock file orders processes).
std::mutex g_startMutex;

std::string errorText(int error)
{
    return std::strerror(error);
}

// The folder made or checked: a folder (not a link) of this user that only this user can enter.
Status prepareFolder(const std::string& folder)
{
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return Unexpected("cannot make " + folder + ": " + errorText(errno));
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0)
        return Unexpected("cannot read " + folder + ": " + errorText(errno));
    if (!S_ISDIR(info.st_mode) || info.st_uid != ::geteuid())
        return Unexpected(folder + " is not a folder of this user");
    if ((info.st_mode & 077) != 0 && ::chmod(folder.c_str(), 0700) != 0)
        return Unexpected("cannot make " + folder + " private: " + errorText(errno));
    return ok();
}

enum class ConnectTrouble { none, foreign, stale, broken };

struct Opened {
    std::unique_ptr<ServerProcess> server;
    ConnectTrouble failure = ConnectTrouble::none;
    pid_t pid = 0;  // of the server, when it answered the connection
    std::string identity;
    std::string why;
};

// A connection to the socket and the server's greeting.
Opened open(const std::string& socketPath, Clock::duration greetingWait)
{
    Opened opened;
    opened.failure = ConnectTrouble::broken;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socketPath.size() >= sizeof address.sun_path) {
        opened.why = socketPath + " is too long for a socket";
        return opened;
    }
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size());
    UniqueFd socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!socket.valid() ||
        ::connect(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        opened.why = errorText(errno);
        opened.failure = ConnectTrouble::none;
        return opened;
    }
    ucred peer{};
    socklen_t length = sizeof peer;
    if (::getsockopt(socket.get(), SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0) {
        opened.why = errorText(errno);
        return opened;
    }
    if (peer.uid != ::geteuid()) {
        opened.failure = ConnectTrouble::foreign;
        opened.why =
            socketPath + " is served by another user (uid " + std::to_string(peer.uid) + ")";
        return opened;
    }
    opened.pid = peer.pid;
    auto server = ServerProcess::adopt(socket.release());
    auto line = server->receiveLine(protocol::kMaxGreetingLine, Clock::now() + greetingWait);
    if (!line || !line->starts_with(protocol::kSharedHello)) {
        opened.why = line ? "the server greets as another program" : line.error();
        return opened;
    }
    opened.identity = line->substr(protocol::kSharedHello.size());
    opened.server = std::move(server);
    opened.failure = ConnectTrouble::none;
    return opened;
}

UniqueFd takeStartLock(const std::string& path)
{
    UniqueFd lock(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!lock.valid())
        return lock;
    const auto giveUp = Clock::now() + kStartWait;
    while (::flock(lock.get(), LOCK_EX | LOCK_NB) != 0) {
        if ((errno != EWOULDBLOCK && errno != EINTR) || Clock::now() >= giveUp)
            return UniqueFd();
        std::this_thread::sleep_for(kRetry);
    }
    return lock;
}

// Whether nothing answers on the socket any more.
bool waitUntilGone(const std::string& socketPath)
{
    const auto giveUp = Clock::now() + kStopWait;
    while (Clock::now() < giveUp) {
        Opened opened = open(socketPath, kGreetingWait);
        if (!opened.server && opened.failure == ConnectTrouble::none)
            return true;
        std::this_thread::sleep_for(kRetry);
    }
    return false;
}

// Whether the process of `pidFd` (not a child of ours) has ended by `deadline`; without a
// pidfd there is nothing to watch, and the socket's going has to do.
bool waitForExit(const UniqueFd& pidFd, Clock::time_point deadline)
{
    if (!pidFd.valid())
        return true;
    for (;;) {
        pollfd watch{pidFd.get(), POLLIN, 0};
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        const int ready = ::poll(&watch, 1, static_cast<int>(std::max<long long>(left, 0)));
        if (ready > 0)
            return true;
        if (ready == 0 || errno != EINTR)
            return false;
    }
}

Status startServer(const SharedServerPlace& place, const SharedServerRequest& request)
{
    platform::ProcessOptions options;
    options.timeout = kStartWait;
    options.maxOutputBytes = 4096;
    const auto result = platform::runProcess(
        request.toolPath,
        {"--listen", place.socketPath, "--lock", place.folder + "/" + kServerLockName, "--idle",
         std::to_string(request.idle.count())},
        options);
    if (result.outcome == platform::ProcessResult::Outcome::failedToStart)
        return Unexpected(result.startError);
    std::string said = result.standardOutput;
    if (!said.empty() && said.back() == '\n')
        said.pop_back();
    // "busy": another server took the lock first; it is the one to use.
    if (said == "ready" || said == "busy")
        return ok();
    return Unexpected(said.empty() ? std::string("the server did not start") : said);
}

}  // namespace

std::string executableIdentity(const std::string& executable)
{
    struct stat file {};
    if (::stat(executable.c_str(), &file) != 0)
        return {};
    return protocol::executableIdentity(file);
}

std::optional<SharedServerPlace> sharedServerPlace()
{
    const char* off = std::getenv(kNoServerVariable);
    if (off != nullptr && *off != '\0')
        return std::nullopt;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime == nullptr || *runtime != '/')
        return std::nullopt;
    // Only a runtime folder of this user is one (a program run with another user's
    // environment, as under sudo -E, must not make its server there).
    struct stat folder {};
    if (::stat(runtime, &folder) != 0 || !S_ISDIR(folder.st_mode) || folder.st_uid != ::geteuid())
        return std::nullopt;
    SharedServerPlace place;
    place.folder = std::string(runtime) + "/vellinor";
    place.socketPath = place.folder + "/" + kSocketName;
    return place;
}

Expected<std::unique_ptr<ServerProcess>> connectSharedServer(const SharedServerRequest& request)
{
    const auto place = sharedServerPlace();
    if (!place)
        return Unexpected("no shared server (no runtime folder, or " +
                          std::string(kNoServerVariable) + " is set)");
    if (Status prepared = prepareFolder(place->folder); !prepared)
        return Unexpected(prepared.failure());
    const std::string wanted = executableIdentity(request.toolPath);
    if (wanted.empty())
        return Unexpected("cannot read " + request.toolPath + ": " + errorText(errno));

    std::string why;
    for (int attempt = 0; attempt < kTries; ++attempt) {
        Opened opened = open(place->socketPath, kGreetingWait);
        if (opened.failure == ConnectTrouble::foreign)
            return Unexpected(opened.why);
        if (opened.server && opened.identity == wanted) {
            const protocol::ConnectionLimits limits{
                static_cast<std::size_t>(request.timeout.count()), request.maxOutputBytes};
            if (opened.server->send(protocol::limitsLine(limits), Clock::now() + kGreetingWait))
                return std::move(opened.server);
            why = "the server took no limits";
            continue;
        }
        if (opened.server)
            opened.failure = ConnectTrouble::stale;
        opened.server.reset();
        why = opened.why;

        const std::lock_guard turn(g_startMutex);
        const UniqueFd startLock = takeStartLock(place->folder + "/" + kStartLockName);
        if (!startLock.valid())
            return Unexpected("cannot take the start lock in " + place->folder);
        // Someone else may have started one while we waited for our turn.
        Opened again = open(place->socketPath, kGreetingWait);
        if (again.server && again.identity == wanted)
            continue;
        if (again.server) {
            // Started from another build of the tool than the one installed now.
            ::kill(again.pid, SIGTERM);
            again.server.reset();
            waitUntilGone(place->socketPath);
        }
        if (Status started = startServer(*place, request); !started)
            return Unexpected("cannot start the probe server: " + started.error());
    }
    return Unexpected(why.empty() ? std::string("the probe server does not answer") : why);
}

Expected<SharedServerState> sharedServerState()
{
    const auto place = sharedServerPlace();
    if (!place)
        return Unexpected("sharing is off (no XDG_RUNTIME_DIR, or " +
                          std::string(kNoServerVariable) + " is set)");
    SharedServerState state;
    state.socketPath = place->socketPath;
    Opened opened = open(place->socketPath, kGreetingWait);
    if (opened.failure == ConnectTrouble::foreign)
        return Unexpected(opened.why);
    if (opened.server) {
        state.running = true;
        state.pid = opened.pid;
        state.identity = opened.identity;
    }
    return state;
}

Expected<SharedServerState> stopSharedServer()
{
    auto state = sharedServerState();
    if (!state || !state->running)
        return state;
    // Opened before the signal, so the process watched is the server even if its number is
    // taken again once it is gone.
    const UniqueFd server = platform::openPidFd(state->pid);
    if (::kill(state->pid, SIGTERM) != 0)
        return Unexpected("cannot stop process " + std::to_string(state->pid) + ": " +
                          errorText(errno));
    // The socket goes first; the server ends once every process it ran has been reaped.
    if (!waitUntilGone(state->socketPath) || !waitForExit(server, Clock::now() + kStopWait))
        return Unexpected("process " + std::to_string(state->pid) + " did not stop");
    return state;
}

}  // namespace vellinor
