#include "platform/process.h"

#include <fcntl.h>
#include <signal.h>
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
#include "platform/spawn_detail.h"
#include "platform/tied_spawn.h"

extern char** environ;  // NOLINT: POSIX declares it nowhere in a header

namespace vellinor::platform {
namespace {

using Clock = ChildWatch::Clock;
using Outcome = ProcessResult::Outcome;

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

enum class StopReason { finished, timedOut, outputTooLarge, cancelled };

// Reads the child's output while it runs, until the pipe closes and the child has exited, or
// until a limit is reached. Leaves the child unreaped.
StopReason collectOutput(ChildWatch& watch, const ProcessOptions& options, std::string& output)
{
    if (options.onOutput)
        watch.wakeAtLeastEvery(std::max(options.pollInterval, std::chrono::milliseconds(1)));
    for (;;) {
        const std::size_t before = output.size();
        switch (watch.next(output)) {
            case ChildWatch::Event::finished:
                return StopReason::finished;
            case ChildWatch::Event::timedOut:
                return StopReason::timedOut;
            case ChildWatch::Event::output:
                if (output.size() > options.maxOutputBytes)
                    return StopReason::outputTooLarge;
                break;
            case ChildWatch::Event::quiet:
            case ChildWatch::Event::alsoReady:
                break;
        }
        if (options.onOutput &&
            !options.onOutput(std::string_view(output).substr(before, output.size() - before)))
            return StopReason::cancelled;
    }
}

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

    std::vector<char*> argv = spawn_detail::argumentVector(executable, arguments);

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

    ChildWatch watch(pid, std::move(readEnd));
    if (options.timeout.count() > 0)
        watch.setDeadline(start + options.timeout);
    std::string output;
    const StopReason reason = collectOutput(watch, options, output);
    // Kill when we gave up on the child, and also when it left descendants holding our pipe.
    if (reason != StopReason::finished || watch.pipeOpen()) {
        ::kill(pid, SIGKILL);
        ::kill(-pid, SIGKILL);
    }
    watch.closePipe();
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
    result.standardOutput = std::move(output);
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
