#pragma once

#include "cli/cli_options.h"

namespace vellinor::cli {

// Probes every file the options name and writes what they ask for; returns the exit status.
int runCli(const CliOptions& options);

}  // namespace vellinor::cli
