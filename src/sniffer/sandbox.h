#pragma once

// The sandbox every sniffer process that reads a media file enters before it opens the file's
// first byte. A file that takes over the process can then only lie about itself: no file can be
// written, created, removed or grown, no socket made, no program started, no process forked,
// traced or signalled but its own. Reading and seeking, memory, time, futexes and threads are
// what probing needs, and all it gets:
//   - no new privileges, no core dump, not traceable by its peers;
//   - limits: no file grown (RLIMIT_FSIZE 0), a bounded descriptor count, an address-space cap;
//   - Landlock (where the kernel has it): the whole file system read-only, TCP and signals to
//     processes outside the sandbox refused;
//   - a seccomp allow-list. A call outside it stops the process with SIGSYS, after writing
//     "sniffer: stopped by its sandbox: <call>" on its own line to the answer descriptor and to
//     standard error, so the probe's client can say what was refused.
//
// VELLINOR_SANDBOX=0 in the environment turns it off (for debugging), with a warning on
// standard error.

#include <cstddef>
#include <string_view>

#include <unistd.h>

#include "base/expected.h"

namespace sniffer {

struct SandboxPolicy {
    // Where a stop is reported (besides standard error): the descriptor the client reads.
    int answerFd = STDOUT_FILENO;
    // The address space the process may use (RLIMIT_AS); zero: no limit. AddressSanitizer
    // builds get none, as it reserves terabytes up front.
    std::size_t memoryLimitBytes = std::size_t{4} << 30;
};

// Builds the filter and the Landlock rule set once per process, so a forked child only has to
// apply them. enterSandbox() calls it when it has not run yet; a server calls it before it forks.
vellinor::Status prepareSandbox();

// Confines the calling process for good. Call while it has one thread. A failure means the
// process is not confined and must not read the file.
vellinor::Status enterSandbox(const SandboxPolicy& policy = {});

// enterSandbox() for a one-shot mode: false, after a line on standard error, when the process
// could not be confined (the mode then exits with status 1 without reading the file).
bool enterSandboxOrSay(const SandboxPolicy& policy = {});

// Whether VELLINOR_SANDBOX=0 turned the sandbox off.
bool sandboxDisabled();

}  // namespace sniffer
