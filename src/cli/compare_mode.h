#pragma once

// `vellinor-cli --compare FILE...`: the files side by side, one column each, as an aligned text
// table (differing rows marked "*"), CSV (--csv) or JSON (--json); --only-differences keeps
// the differing rows. Exit status 0 when every compared fact agrees, 3 when some differ, 1 when
// a file could not be probed (its column says why), 2 for fewer than two files.

#include <string>

#include "cli/cli_options.h"
#include "cli/input_source.h"
#include "probe/comparison.h"
#include "probe/file_probe.h"

namespace vellinor::cli {

// The comparison as the text table prints it: a header of file names, one line per row with
// "*" in front of the rows that differ, and a closing line saying how many differ.
std::string comparisonTable(const Comparison& comparison);

// Probes every file of `source` (PATH arguments, -r folders, --files-from), then prints their
// comparison as the options ask; returns the exit status.
int runCompare(const CliOptions& options, InputSource& source);

}  // namespace vellinor::cli
