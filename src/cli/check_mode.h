#pragma once

// `vellinor-cli check --policy FILE PATH...`: each file's record (with the scan's facts when a
// rule reads them) against the policy's rules.

#include "cli/cli_options.h"

namespace vellinor::cli {

int runCheck(const CliOptions& options);

}  // namespace vellinor::cli
