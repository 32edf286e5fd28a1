#pragma once

#include <cstddef>
#include <optional>

#include "cli/cli_options.h"
#include "probe/file_probe.h"

namespace vellinor::cli {

// Probes every file the options name and writes what they ask for; returns the exit status.
int runCli(const CliOptions& options);

// How the files of a batch are probed: the time limit, and one warm probe server per file
// probed at the same time (`plannedFiles`: how many there are, when known).
ProbeOptions batchProbeOptions(const CliOptions& options, std::optional<std::size_t> plannedFiles);

}  // namespace vellinor::cli
