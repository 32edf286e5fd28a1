#pragma once

#include "cli/cli_options.h"

namespace vellinor::cli {

// `vellinor-cli server status` and `server stop`: tells whether the probe server this user's
// programs share runs, or stops it. Returns the exit status.
int runServerCommand(ServerCommand command);

}  // namespace vellinor::cli
