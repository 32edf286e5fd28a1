#pragma once

// Which program stands behind the probe: the "sniffer" resource (our own tool, which can also
// serve many files from one warm process), or the program named by the environment variable
// VELLINOR_PROBE_TOOL (e.g. /usr/bin/ffprobe) for anyone who wants the stock tool; a stock tool
// is only ever run once per file.

#include <optional>
#include <string>

namespace vellinor {

inline constexpr const char* kProbeToolVariable = "VELLINOR_PROBE_TOOL";

struct ProbeTool {
    std::string path;
    bool stock = false;  // named by VELLINOR_PROBE_TOOL: one-shot runs only
};

// The tool to run, or nothing when the variable is unset and the resource is missing.
std::optional<ProbeTool> chosenProbeTool();

}  // namespace vellinor
