#pragma once

// Starting a one-shot child that cannot outlive us (internal to src/platform).
//
// posix_spawn cannot ask for a parent-death signal, so a tool started with it keeps running
// when vellinor-cli is interrupted or killed (init adopts it, and nothing ever ends it). This
// starts the child the way posix_spawn does (a clone that shares our memory until the exec, so
// nothing is copied however large the program), but sets PR_SET_PDEATHSIG to SIGKILL first,
// and gives up when we died before that took hold.

#include <sys/types.h>

#include <string>

namespace vellinor::platform::spawn_detail {

struct TiedChildSetup {
    const char* executable = nullptr;
    char* const* argv = nullptr;
    char* const* envp = nullptr;
    // Become the child's standard input, output and error (each duplicated, so any may be the
    // same descriptor); all other descriptors are closed.
    int standardInput = -1;
    int standardOutput = -1;
    int standardError = -1;
};

// The child's pid, or -errno when it could not be started (the exec's own failure included;
// that child has then been reaped). The child gets its own process group and default signal
// handling with nothing blocked. The signal is tied to the calling thread: it must wait for the
// child before it ends, as the process runner does.
pid_t spawnTiedChild(const TiedChildSetup& setup);

}  // namespace vellinor::platform::spawn_detail
