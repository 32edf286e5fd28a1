#pragma once

// One-shot runs of the sniffer's reading modes (ModeRequest), with the same problems a probe
// run reports.

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

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

}  // namespace vellinor
