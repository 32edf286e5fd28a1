#pragma once

// One-shot runs of the sniffer's reading modes (ModeRequest), with the same problems a probe
// run reports.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/process.h"
#include "probe/tool_runner.h"

namespace vellinor {

// The "sniffer" resource the reading modes run; none when it is not installed.
std::optional<std::string> snifferModeExecutable();

// What a finished child run gives a caller of a runner; `timeout` and `maxOutputBytes` are
// the limits it ran under, for the words of the problem.
ToolRun toolRunOf(platform::ProcessResult result, std::chrono::milliseconds timeout,
                  std::size_t maxOutputBytes);

// Runs `request` once in a child of the "sniffer" resource within its limits.
ToolRun runSnifferMode(const ModeRequest& request);

// What one of the sniffer's reading modes may take for one file.
struct ReaderLimits {
    std::chrono::milliseconds timeout;
    std::size_t maxOutputBytes;
    std::uint64_t memoryBytes;  // the address space its sandbox allows
};

// `sniffer --memory-limit BYTES MODE FILE`, asked of `runner` (so a cache can answer it) or,
// without one, run once.
ToolRun runFileReader(const std::string& path, std::string_view mode, const ReaderLimits& limits,
                      ToolRunner* runner);

}  // namespace vellinor
