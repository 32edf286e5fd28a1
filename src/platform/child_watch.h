#pragma once

// Owning a descriptor, watching a child run and reaping it: shared by the process runner and the
// probe server (header only, so the sniffer links no more than libav).

#include <poll.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <utility>

namespace vellinor::platform {

class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : m_fd(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    UniqueFd(UniqueFd&& other) noexcept : m_fd(other.m_fd) { other.m_fd = -1; }
    UniqueFd& operator=(UniqueFd&& other) noexcept
    {
        if (this != &other) {
            reset();
            m_fd = other.m_fd;
            other.m_fd = -1;
        }
        return *this;
    }

    [[nodiscard]] int get() const { return m_fd; }
    [[nodiscard]] bool valid() const { return m_fd >= 0; }
    // Hands the descriptor over to the caller, who closes it.
    int release()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    void reset()
    {
        // Never retried: on Linux the descriptor is gone even when close reports EINTR.
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd = -1;
};

// A descriptor that becomes readable when the child exits, or an invalid one where the kernel
// has no pidfd (the caller then asks waitid at intervals).
inline UniqueFd openPidFd(pid_t pid)
{
#ifdef SYS_pidfd_open
    return UniqueFd(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
#else
    (void)pid;
    return UniqueFd();
#endif
}

// Whether the child has exited, leaving it unreaped so that its pid, and with it its process
// group, cannot be reused before we are done signalling.
inline bool hasExited(pid_t pid)
{
    siginfo_t info{};
    while (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0) {
        if (errno != EINTR)
            return true;  // ECHILD: reaped by someone else (SIGCHLD ignored); nothing to wait for
    }
    return info.si_pid != 0;
}

// Waits for the child to end and collects it: its wait status, or nothing when it could not be
// collected (reaped by someone else, SIGCHLD ignored by the host).
inline std::optional<int> reap(pid_t pid)
{
    int status = 0;
    for (;;) {
        if (::waitpid(pid, &status, 0) == pid)
            return status;
        if (errno != EINTR)
            return std::nullopt;
    }
}

using WatchClock = std::chrono::steady_clock;

// Milliseconds for poll until `limit`: 0 once it has passed, never more than about 17 minutes.
inline int millisecondsUntil(WatchClock::time_point limit, WatchClock::time_point now)
{
    if (limit <= now)
        return 0;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(limit - now).count();
    return static_cast<int>(std::min<decltype(left)>(left, 1'000'000));
}

// Watches a running child and the pipe it writes to, one wait at a time, until its output is
// over and it has exited, or its deadline passes. The child is left unreaped, so its pid (and
// its process group) stays ours to signal until the caller reaps it.
class ChildWatch {
public:
    using Clock = WatchClock;

    // Once the child has exited, a descendant it left behind may still hold the pipe open;
    // the watch ends this long after the exit instead of waiting for that descendant.
    static constexpr std::chrono::milliseconds kOrphanedPipeGrace{250};
    // Without a pidfd the exit is noticed by asking, first soon (a child usually exits right
    // after closing its output), then at most at this interval.
    static constexpr std::chrono::milliseconds kFirstExitCheck{1};
    static constexpr std::chrono::milliseconds kLongestExitCheck{20};

    enum class Event {
        finished,   // the child has exited and its output is over (or the grace has passed)
        timedOut,   // the deadline passed while the child still ran
        output,     // bytes of the pipe were appended to the output
        quiet,      // a wait ended with nothing read (the child's exit, the wake interval)
        alsoReady,  // the descriptor given to watchAlso reported an event
    };

    ChildWatch(pid_t pid, UniqueFd pipe)
        : m_pid(pid), m_pipe(std::move(pipe)), m_pidFd(openPidFd(pid))
    {
    }

    // No deadline: the watch waits as long as the child runs.
    void setDeadline(std::optional<Clock::time_point> deadline) { m_deadline = deadline; }
    // Each wait ends after this long at the most, so the caller gets a look (a quiet event).
    void wakeAtLeastEvery(std::chrono::milliseconds interval) { m_wakeInterval = interval; }
    // Also waits on `fd` for `events` (hang-up and errors are always reported).
    void watchAlso(int fd, short events)
    {
        m_alsoFd = fd;
        m_alsoEvents = events;
    }

    // Waits for the next thing to happen; read bytes are appended to `output`.
    Event next(std::string& output)
    {
        for (;;) {
            const auto now = Clock::now();
            if (!m_exited && !m_pidFd.valid() && hasExited(m_pid))
                noteExit(now);
            if (m_exited && (!m_pipe.valid() || now >= m_graceEnd))
                return Event::finished;
            if (m_deadline && now >= *m_deadline)
                return m_exited ? Event::finished : Event::timedOut;
            if (auto event = waitOnce(now, output))
                return *event;
        }
    }

    // True while the pipe is open: the child, or something it left behind, may still write.
    [[nodiscard]] bool pipeOpen() const { return m_pipe.valid(); }
    UniqueFd takePipe() { return std::move(m_pipe); }
    void closePipe() { m_pipe.reset(); }

private:
    void noteExit(Clock::time_point now)
    {
        m_exited = true;
        m_graceEnd = now + kOrphanedPipeGrace;
    }

    std::optional<Clock::time_point> waitLimit(Clock::time_point now) const
    {
        std::optional<Clock::time_point> limit = m_deadline;
        auto tighten = [&limit](Clock::time_point candidate) {
            limit = limit ? std::min(*limit, candidate) : candidate;
        };
        if (m_exited)
            tighten(m_graceEnd);
        else if (!m_pidFd.valid())
            tighten(now + m_exitCheckDelay);
        if (m_wakeInterval)
            tighten(now + *m_wakeInterval);
        return limit;
    }

    // One poll and what it reports; nothing when the poll was interrupted.
    std::optional<Event> waitOnce(Clock::time_point now, std::string& output)
    {
        std::array<pollfd, 3> fds{};
        nfds_t count = 0;
        auto add = [&fds, &count](int fd, short events) {
            fds[count] = {fd, events, 0};
            return &fds[count++];
        };
        const pollfd* alsoPoll = m_alsoFd >= 0 ? add(m_alsoFd, m_alsoEvents) : nullptr;
        const pollfd* pipePoll = m_pipe.valid() ? add(m_pipe.get(), POLLIN) : nullptr;
        const pollfd* exitPoll =
            !m_exited && m_pidFd.valid() ? add(m_pidFd.get(), POLLIN) : nullptr;
        const auto limit = waitLimit(now);
        m_exitCheckDelay = std::min(m_exitCheckDelay * 2, kLongestExitCheck);
        if (::poll(fds.data(), count, limit ? millisecondsUntil(*limit, now) : -1) < 0)
            return std::nullopt;  // EINTR or ENOMEM: look at the clock and poll again

        if (alsoPoll != nullptr && alsoPoll->revents != 0)
            return Event::alsoReady;
        const bool gotOutput = pipePoll != nullptr && pipePoll->revents != 0 && readOnce(output);
        if (exitPoll != nullptr && exitPoll->revents != 0)
            noteExit(Clock::now());
        return gotOutput ? Event::output : Event::quiet;
    }

    // Whether bytes were read; the end of the output (or an unreadable pipe) closes the pipe.
    bool readOnce(std::string& output)
    {
        const ssize_t got = ::read(m_pipe.get(), m_buffer.data(), m_buffer.size());
        if (got > 0) {
            output.append(m_buffer.data(), static_cast<std::size_t>(got));
            return true;
        }
        if (got == 0 || (errno != EINTR && errno != EAGAIN)) {
            m_pipe.reset();
            m_exitCheckDelay = kFirstExitCheck;
        }
        return false;
    }

    pid_t m_pid;
    UniqueFd m_pipe;
    UniqueFd m_pidFd;
    std::optional<Clock::time_point> m_deadline;
    std::optional<std::chrono::milliseconds> m_wakeInterval;
    int m_alsoFd = -1;
    short m_alsoEvents = 0;
    bool m_exited = false;
    std::chrono::milliseconds m_exitCheckDelay = kFirstExitCheck;
    Clock::time_point m_graceEnd{};
    std::array<char, std::size_t{64} << 10> m_buffer{};
};

}  // namespace vellinor::platform
