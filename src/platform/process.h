#pragma once

// Runs a program as a child process (posix_spawn, pipes, poll) and collects its standard
// output. The program and its arguments are passed as a list, never through a shell.
// Standard error is sent to /dev/null, so a chatty tool can never fill a pipe and block.
// The child is always reaped, whatever happens.

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

namespace vellinor::platform {

struct ProcessOptions {
    // After this long the child is killed (SIGKILL) and the run counts as timedOut.
    // Zero means no limit.
    std::chrono::milliseconds timeout{60'000};
    // Once standard output grows past this many bytes the child is killed and the run counts as
    // outputTooLarge; the bytes read so far are discarded.
    std::size_t maxOutputBytes = std::size_t{256} << 20;
};

struct ProcessResult {
    enum class Outcome {
        exited,          // ran to its end; exitCode holds its status
        signaled,        // ended by a signal it was not sent by us; signalNumber holds it
        timedOut,        // killed by us after the time limit
        outputTooLarge,  // killed by us after printing more than the cap
        failedToStart,   // never ran; startError describes why
    };
    Outcome outcome = Outcome::failedToStart;
    int exitCode = -1;
    int signalNumber = 0;
    std::string standardOutput;  // empty unless outcome is exited or signaled
    std::string startError;      // e.g. "posix_spawn /x/sniffer: No such file or directory"
};

ProcessResult runProcess(const std::string& executable, const std::vector<std::string>& arguments,
                         const ProcessOptions& options = {});

}  // namespace vellinor::platform
