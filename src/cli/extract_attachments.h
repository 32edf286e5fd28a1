#pragma once

// `--extract-attachments DIR`: every embedded picture and attachment of each file written into
// DIR, one path per line on standard output.

#include "cli/cli_options.h"

namespace vellinor::cli {

// Runs the mode for `options.paths` into `*options.extractFolder`; returns the exit status.
int extractAttachments(const CliOptions& options);

}  // namespace vellinor::cli
