#pragma once

// Runs a program as a child process (a clone and exec, pipes, poll) and collects its standard
// output. The program and its arguments are passed as a list, never through a shell; argv[0]
// is the executable's path. Standard input and standard error are /dev/null, so a tool can
// neither wait on a terminal nor fill an unread pipe and block. The child runs in its own
// process group, which is killed with it when the run is cut short. Every descriptor made here
// is close-on-exec, so runs on several threads at once never leak into each other's children.
// The child is always reaped, whatever happens, and it is killed (SIGKILL) when the calling
// thread ends first: an interrupted or killed program leaves no tool running. Safe to call from
// any number of threads.

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/run_limits.h"

namespace vellinor::platform {

struct ProcessOptions {
    // After this long the child is killed (SIGKILL) and the run counts as timedOut.
    // Zero means no limit.
    std::chrono::milliseconds timeout = kDefaultRunTimeLimit;
    // Once standard output grows past this many bytes the child is killed and the run counts as
    // outputTooLarge; the bytes read so far are discarded.
    std::size_t maxOutputBytes = kDefaultRunOutputCap;
    // When set, called on the calling thread with each piece of output as it arrives (the
    // pieces together are the standard output, also collected as usual), and with an empty
    // piece at least every `pollInterval` while the child is quiet. Returning false stops the
    // run: the child is killed and the run counts as cancelled. Must not throw.
    std::function<bool(std::string_view piece)> onOutput;
    std::chrono::milliseconds pollInterval{100};
};

struct ProcessResult {
    enum class Outcome {
        exited,          // ran to its end; exitCode holds its status (-1 if it could not be
                         // collected). When the child exits but something it started keeps the
                         // output pipe open, reading stops shortly after the exit and those
                         // leftovers are killed.
        signaled,        // ended by a signal it was not sent by us; signalNumber holds it
        timedOut,        // killed by us after the time limit
        outputTooLarge,  // killed by us after printing more than the cap
        cancelled,       // killed by us because onOutput returned false
        failedToStart,   // never ran; startError describes why
    };
    Outcome outcome = Outcome::failedToStart;
    int exitCode = -1;
    int signalNumber = 0;
    std::string standardOutput;  // empty unless outcome is exited or signaled
    std::string startError;      // e.g. "Could not start /x/sniffer: No such file or directory"
};

ProcessResult runProcess(const std::string& executable, const std::vector<std::string>& arguments,
                         const ProcessOptions& options = {});

}  // namespace vellinor::platform
