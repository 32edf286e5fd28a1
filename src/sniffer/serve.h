#pragma once

// `sniffer --serve`: a fork server. The libraries are loaded and set up once; each request
// (one path) is probed in a child, so a file that crashes, hangs or floods its child costs that
// file alone, and the server goes on with the next request. A child goes on to the next file
// only while every file it probed was clean; after any other file it ends. The
// framing is in probe/serve_protocol.h. The server ends when its input closes or its client is
// gone, and never leaves a child behind.

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>

#include "base/expected.h"
#include "platform/run_limits.h"

namespace sniffer {

// Appends the probe document for `path` to `out` and returns the exit status to report.
// Runs in the child, which exits right after.
using ProbeFunction = std::function<int(const char* path, std::string& out)>;

struct ServeLimits {
    // A child still running after this long is killed (zero: no limit).
    std::chrono::milliseconds timeout = vellinor::platform::kDefaultRunTimeLimit;
    // A child that prints more is killed.
    std::size_t maxOutputBytes = vellinor::platform::kDefaultRunOutputCap;
    // The address space a child may use (RLIMIT_AS), so a hostile file cannot starve the
    // machine; zero: no limit.
    std::size_t memoryLimitBytes = std::size_t{4} << 30;
    // A child probes files in turn while each was clean (see clean_probe.h), up to this many;
    // 1: a child per file.
    std::size_t filesPerChild = 32;
    // A child whose peak resident memory has grown this much since its first file takes no
    // more.
    std::size_t reuseMemoryGrowthBytes = std::size_t{64} << 20;
};

// The request loop: requests are read from `requestFd`, answers written to `answerFd`. Returns
// 0 once the input ends (or the client is gone), 2 after a malformed request.
int serveRequests(int requestFd, int answerFd, const ProbeFunction& probe,
                  const ServeLimits& limits);

// What a server does once before its first request: signals set for serving, the libraries
// quiet, the common decoders warmed up and the sandbox built for every child to inherit.
// Fails when the sandbox cannot be built: such a server must serve no file.
vellinor::Status prepareServer();

// The "--serve" mode of the program: `argv[1]` is "--serve", optionally followed by
// "--timeout <ms>", "--max-output <bytes>", "--memory-limit <bytes>", "--files-per-child <n>".
// Keeps a private copy of
// standard output for answers and points descriptor 1 at standard error, so nothing a library
// prints can get between the answers; then greets the client and serves standard input.
int runServe(int argc, char** argv, const ProbeFunction& probe);

}  // namespace sniffer
