#include "platform/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <optional>
#include <system_error>
#include <utility>

#include "platform/child_registry.h"
#include "platform/child_watch.h"
#include "platform/tied_spawn.h"

extern char** environ;  // NOLINT: POSIX declares it nowhere in a header

namespace vellinor::platform {
namespace {

using Clock = std::chrono::steady_clock;
using Outcome = ProcessResult::Outcome;

// Once our child has exited, a descendant it left behind may still hold the output pipe open;
// reading stops this long after the child's exit instead of waiting for that descendant.
constexpr std::chrono::milliseconds kOrphanedPipeGrace{250};
// Without a pidfd the child's exit is noticed by asking, first soon (a tool usually exits right
// after closing its output), then at most at this interval.
constexpr std::chrono::milliseconds kFirstExitCheck{1};
constexpr std::chrono::milliseconds kLongestExitCheck{20};
constexpr std::size_t kReadChunk = std::size_t{64} << 10;

ProcessResult startFailure(const std::string& executable, const std::string& reason)
{
    ProcessResult result;
    result.outcome = Outcome::failedToStart;
    result.startError = "Could not start " + executable + ": " + reason;
    return result;
}

ProcessResult startFailure(const std::string& executable, int error)
{
    return startFailure(executable, std::generic_category().message(error));
}

std::optional<int> reap(pid_t pid)
{
    int status = 0;
    for (;;) {
        if (::waitpid(pid, &status, 0) == pid)
            return status;
        if (errno != EINTR)
            return std::nullopt;
    }
}

int millisecondsUntil(Clock::time_point limit, Clock::time_point now)
{
    if (limit <= now)
        return 0;
    auto left = std::chrono::ceil<std::chrono::milliseconds>(limit - now).count();
    return static_cast<int>(std::min<decltype(left)>(left, 1'000'000));
}

enum class StopReason { finished, timedOut, outputTooLarge, cancelled };

// Reads the child's output while it runs, until the pipe closes and the child has exited, or
// until a limit is reached. Leaves the child unreaped.
class OutputCollector {
public:
    OutputCollector(pid_t pid, UniqueFd& pipe, const ProcessOptions& options,
                    Clock::time_point start)
        : m_pid(pid)
        , m_pipe(pipe)
        , m_pidFd(openPidFd(pid))
        , m_maxBytes(options.maxOutputBytes)
        , m_onOutput(options.onOutput)
        , m_pollInterval(std::max(options.pollInterval, std::chrono::milliseconds(1)))
    {
        if (options.timeout.count() > 0)
            m_deadline = start + options.timeout;
    }

    StopReason run()
    {
        for (;;) {
            auto now = Clock::now();
            if (!m_childExited && !m_pidFd.valid() && hasExited(m_pid))
                noteExit(now);
            if (m_childExited && (!m_pipe.valid() || now >= m_graceEnd))
                return StopReason::finished;
            if (m_deadline && now >= *m_deadline)
                return m_childExited ? StopReason::finished : StopReason::timedOut;
            if (auto stop = waitAndRead(now))
                return *stop;
        }
    }

    // True when descendants of the child may still hold the pipe open.
    [[nodiscard]] bool pipeStillOpen() const { return m_pipe.valid(); }
    std::string takeOutput() { return std::move(m_output); }

private:
    void noteExit(Clock::time_point now)
    {
        m_childExited = true;
        m_graceEnd = now + kOrphanedPipeGrace;
    }

    std::optional<Clock::time_point> waitLimit(Clock::time_point now) const
    {
        std::optional<Clock::time_point> limit = m_deadline;
        auto tighten = [&limit](Clock::time_point candidate) {
            limit = limit ? std::min(*limit, candidate) : candidate;
        };
        if (m_childExited)
            tighten(m_graceEnd);
        else if (!m_pidFd.valid())
            tighten(now + m_exitCheckDelay);
        if (m_onOutput)
            tighten(now + m_pollInterval);
        return limit;
    }

    // One poll and what it reports. Returns a reason to stop once the output is over the cap or
    // the caller's callback asked to stop.
    std::optional<StopReason> waitAndRead(Clock::time_point now)
    {
        std::array<pollfd, 2> fds{};
        nfds_t count = 0;
        int pipeIndex = -1;
        int pidIndex = -1;
        if (m_pipe.valid()) {
            fds[count] = {m_pipe.get(), POLLIN, 0};
            pipeIndex = static_cast<int>(count++);
        }
        if (!m_childExited && m_pidFd.valid()) {
            fds[count] = {m_pidFd.get(), POLLIN, 0};
            pidIndex = static_cast<int>(count++);
        }
        auto limit = waitLimit(now);
        int timeout = limit ? millisecondsUntil(*limit, now) : -1;
        m_exitCheckDelay = std::min(m_exitCheckDelay * 2, kLongestExitCheck);
        if (::poll(fds.data(), count, timeout) < 0)
            return std::nullopt;  // EINTR or ENOMEM: the loop looks at the clock and polls again

        std::size_t before = m_output.size();
        if (pipeIndex >= 0 && fds[static_cast<std::size_t>(pipeIndex)].revents != 0) {
            if (!readOnce())
                return StopReason::outputTooLarge;
        }
        if (pidIndex >= 0 && fds[static_cast<std::size_t>(pidIndex)].revents != 0)
            noteExit(Clock::now());
        if (m_onOutput &&
            !m_onOutput(std::string_view(m_output).substr(before, m_output.size() - before)))
            return StopReason::cancelled;
        return std::nullopt;
    }

    // Returns false once the output is over the cap.
    bool readOnce()
    {
        ssize_t got = ::read(m_pipe.get(), m_buffer.data(), m_buffer.size());
        if (got > 0) {
            m_output.append(m_buffer.data(), static_cast<std::size_t>(got));
            return m_output.size() <= m_maxBytes;
        }
        if (got == 0 || (errno != EINTR && errno != EAGAIN)) {
            m_pipe.reset();  // end of output (or an unreadable pipe, which ends it as well)
            m_exitCheckDelay = kFirstExitCheck;
        }
        return true;
    }

    pid_t m_pid;
    UniqueFd& m_pipe;
    UniqueFd m_pidFd;
    std::size_t m_maxBytes;
    const std::function<bool(std::string_view)>& m_onOutput;
    std::chrono::milliseconds m_pollInterval;
    std::optional<Clock::time_point> m_deadline;
    bool m_childExited = false;
    std::chrono::milliseconds m_exitCheckDelay = kFirstExitCheck;
    Clock::time_point m_graceEnd{};
    std::string m_output;
    std::array<char, kReadChunk> m_buffer{};
};

bool containsNul(const std::string& text)
{
    return text.find('\0') != std::string::npos;
}

}  // namespace

ProcessResult runProcess(const std::string& executable, const std::vector<std::string>& arguments,
                         const ProcessOptions& options)
{
    const auto start = Clock::now();
    if (containsNul(executable) || std::any_of(arguments.begin(), arguments.end(), containsNul))
        return startFailure(executable, "an argument contains a NUL byte");

    std::vector<char*> argv;
    argv.reserve(arguments.size() + 2);
    // execve takes char* const[] but never writes through it.
    argv.push_back(const_cast<char*>(executable.c_str()));
    for (const auto& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    std::array<int, 2> ends{};
    if (::pipe2(ends.data(), O_CLOEXEC) != 0)
        return startFailure(executable, errno);
    UniqueFd readEnd(ends[0]);
    UniqueFd writeEnd(ends[1]);

    // The child's standard input and error are /dev/null, its output the pipe.
    UniqueFd nullInput(::open("/dev/null", O_RDONLY | O_CLOEXEC));
    UniqueFd nullOutput(::open("/dev/null", O_WRONLY | O_CLOEXEC));
    if (!nullInput.valid() || !nullOutput.valid())
        return startFailure(executable, errno);
    const pid_t pid = spawn_detail::spawnTiedChild({.executable = executable.c_str(),
                                                    .argv = argv.data(),
                                                    .envp = environ,
                                                    .standardInput = nullInput.get(),
                                                    .standardOutput = writeEnd.get(),
                                                    .standardError = nullOutput.get()});
    writeEnd.reset();  // only the child may hold the write end, or we would never see EOF
    if (pid < 0)
        return startFailure(executable, -pid);
    if (!children::enroll(pid)) {
        // The program is quitting: this child is not wanted any more.
        ::kill(-pid, SIGKILL);
        ::kill(pid, SIGKILL);
        (void)reap(pid);
        return startFailure(executable, "the program is quitting");
    }

    OutputCollector collector(pid, readEnd, options, start);
    StopReason reason = collector.run();
    // Kill when we gave up on the child, and also when it left descendants holding our pipe.
    if (reason != StopReason::finished || collector.pipeStillOpen()) {
        ::kill(pid, SIGKILL);
        ::kill(-pid, SIGKILL);
    }
    readEnd.reset();
    children::leave(pid);
    std::optional<int> status = reap(pid);

    ProcessResult result;
    switch (reason) {
        case StopReason::timedOut:
            result.outcome = Outcome::timedOut;
            return result;
        case StopReason::outputTooLarge:
            result.outcome = Outcome::outputTooLarge;
            return result;
        case StopReason::cancelled:
            result.outcome = Outcome::cancelled;
            return result;
        case StopReason::finished:
            break;
    }
    result.standardOutput = collector.takeOutput();
    if (status && WIFSIGNALED(*status)) {
        result.outcome = Outcome::signaled;
        result.signalNumber = WTERMSIG(*status);
    } else {
        // A status we could not collect (SIGCHLD ignored by the host) reads as exit code -1.
        result.outcome = Outcome::exited;
        result.exitCode = status && WIFEXITED(*status) ? WEXITSTATUS(*status) : -1;
    }
    return result;
}

}  // namespace vellinor::platform
