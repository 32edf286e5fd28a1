#pragma once

// OneShotToolRunner: starts the probe tool once per file with probeToolArguments and
// hands back what it printed. What FileProbe does when its options name no runner.

#include <chrono>
#include <mutex>
#include <string>

#include "probe/probe_defaults.h"
#include "probe/tool_runner.h"

namespace vellinor {

class OneShotToolRunner : public ToolRunner {
public:
    // `toolPath` empty: the chosen probe tool (probe_tool.h), looked up for every run. A run longer
    // than `timeout` is killed (zero: no limit).
    explicit OneShotToolRunner(std::string toolPath = {},
                               std::chrono::milliseconds timeout = probe_defaults::kTimeLimit);

    ToolRun run(const std::string& path) override;
    // The tool is killed within a tenth of a second of `cancelled` turning true.
    ToolRun runCancellable(const std::string& path, const std::atomic<bool>* cancelled) override;
    // The tool's path and the first line it prints for --version, asked once and remembered.
    [[nodiscard]] std::string identity() const override;

private:
    const std::string m_toolPath;
    const std::chrono::milliseconds m_timeout;
    mutable std::once_flag m_identityOnce;
    mutable std::string m_identity;
};

}  // namespace vellinor
