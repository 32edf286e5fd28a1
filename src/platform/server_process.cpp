#include "platform/server_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <system_error>
#include <utility>

#include "platform/child_registry.h"
#include "platform/spawn_detail.h"

extern char** environ;  // NOLINT: POSIX declares it nowhere in a header

namespace vellinor::platform {
namespace {

using spawn_detail::SpawnAttributes;
using spawn_detail::SpawnFileActions;
using spawn_detail::UniqueFd;

std::string errorText(int error)
{
    return std::generic_category().message(error);
}

// The child's descriptors: the socket as standard input and output, /dev/null as standard
// error, nothing else.
int prepareFileActions(SpawnFileActions& actions, int socket)
{
    if (int error = actions.error())
        return error;
    if (int error = posix_spawn_file_actions_adddup2(actions.get(), socket, STDIN_FILENO))
        return error;
    if (int error = posix_spawn_file_actions_adddup2(actions.get(), socket, STDOUT_FILENO))
        return error;
    if (int error = posix_spawn_file_actions_addopen(actions.get(), STDERR_FILENO, "/dev/null",
                                                     O_WRONLY, 0))
        return error;
#if defined(__GLIBC__) && __GLIBC_PREREQ(2, 34)
    return posix_spawn_file_actions_addclosefrom_np(actions.get(), STDERR_FILENO + 1);
#else
    return 0;
#endif
}

// Milliseconds for poll: -1 without a deadline, 0 once it has passed.
int pollTimeout(const ServerProcess::Deadline& deadline)
{
    return deadline ? millisecondsUntil(*deadline, ServerProcess::Clock::now()) : -1;
}

Status waitFor(int socket, short events, const ServerProcess::Deadline& deadline)
{
    for (;;) {
        pollfd fd{socket, events, 0};
        const int ready = ::poll(&fd, 1, pollTimeout(deadline));
        if (ready > 0)
            return ok();
        if (ready == 0)
            return Unexpected(ErrorKind::timedOut, "no answer in time");
        if (errno != EINTR)
            return Unexpected(errorText(errno));
    }
}

}  // namespace

Expected<std::unique_ptr<ServerProcess>> ServerProcess::start(
    const std::string& executable, const std::vector<std::string>& arguments)
{
    std::vector<char*> argv = spawn_detail::argumentVector(executable, arguments);

    std::array<int, 2> ends{};
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends.data()) != 0)
        return Unexpected(errorText(errno));
    UniqueFd ours(ends[0]);
    UniqueFd theirs(ends[1]);

    SpawnFileActions actions;
    SpawnAttributes attributes;
    if (int error = prepareFileActions(actions, theirs.get()))
        return Unexpected(errorText(error));
    if (int error = spawn_detail::prepareAttributes(attributes))
        return Unexpected(errorText(error));
    pid_t pid = -1;
    if (int error = ::posix_spawn(&pid, executable.c_str(), actions.get(), attributes.get(),
                                  argv.data(), environ))
        return Unexpected("Could not start " + executable + ": " + errorText(error));
    theirs.reset();
    // From here the object owns the child: its destructor kills and reaps it.
    auto server = std::unique_ptr<ServerProcess>(new ServerProcess(pid, ours.release()));
    if (!children::enroll(pid))
        return Unexpected("Could not start " + executable + ": the program is quitting");
    return server;
}

std::unique_ptr<ServerProcess> ServerProcess::adopt(int socket)
{
    return std::unique_ptr<ServerProcess>(new ServerProcess(0, socket));
}

ServerProcess::~ServerProcess()
{
    if (m_pid <= 0) {
        ::close(m_socket);
        return;
    }
    // The whole group: the server and any child it has running.
    ::kill(-m_pid, SIGKILL);
    ::kill(m_pid, SIGKILL);
    ::close(m_socket);
    children::leave(m_pid);
    (void)reap(m_pid);
}

Status ServerProcess::send(std::string_view bytes, Deadline deadline)
{
    while (!bytes.empty()) {
        const ssize_t sent = ::send(m_socket, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent >= 0) {
            bytes.remove_prefix(static_cast<std::size_t>(sent));
            continue;
        }
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN)
            return Unexpected(errorText(errno));
        if (auto ready = waitFor(m_socket, POLLOUT, deadline); !ready)
            return ready;
    }
    return ok();
}

Status ServerProcess::fill(Deadline deadline)
{
    std::array<char, 64 * 1024> chunk{};
    for (;;) {
        if (auto ready = waitFor(m_socket, POLLIN, deadline); !ready)
            return ready;
        const ssize_t got = ::recv(m_socket, chunk.data(), chunk.size(), MSG_DONTWAIT);
        if (got > 0) {
            m_buffer.append(chunk.data(), static_cast<std::size_t>(got));
            return ok();
        }
        if (got == 0)
            return Unexpected("the server ended");
        if (errno != EINTR && errno != EAGAIN)
            return Unexpected(errorText(errno));
    }
}

Status ServerProcess::awaitBytes(Deadline deadline, const std::atomic<bool>& cancelled)
{
    constexpr auto kLook = std::chrono::milliseconds(25);
    while (m_buffer.empty()) {
        if (cancelled.load())
            return Unexpected(ErrorKind::cancelled, "cancelled");
        const auto now = Clock::now();
        if (deadline && now >= *deadline)
            return Unexpected(ErrorKind::timedOut, "timed out");
        const auto slice =
            deadline ? std::min<Clock::time_point>(*deadline, now + kLook) : now + kLook;
        pollfd fd{m_socket, POLLIN, 0};
        // Bytes, a hang-up or an error: receiving tells which.
        if (const int ready = ::poll(&fd, 1, pollTimeout(slice));
            ready > 0 || (ready < 0 && errno != EINTR))
            return ok();
    }
    return ok();
}

Expected<std::string> ServerProcess::receiveLine(std::size_t maxLength, Deadline deadline)
{
    for (;;) {
        const auto newline = m_buffer.find('\n');
        if (newline != std::string::npos && newline < maxLength) {
            std::string line = m_buffer.substr(0, newline);
            m_buffer.erase(0, newline + 1);
            return line;
        }
        if (m_buffer.size() >= maxLength)
            return Unexpected("a line longer than " + std::to_string(maxLength) + " bytes");
        if (auto more = fill(deadline); !more)
            return Unexpected(more.failure());
    }
}

Expected<std::string> ServerProcess::receive(std::size_t count, Deadline deadline)
{
    m_buffer.reserve(count);
    while (m_buffer.size() < count) {
        if (auto more = fill(deadline); !more)
            return Unexpected(more.failure());
    }
    std::string rest = m_buffer.substr(count);
    m_buffer.resize(count);
    std::string bytes = std::move(m_buffer);
    m_buffer = std::move(rest);
    return bytes;
}

}  // namespace vellinor::platform
