#pragma once

// `vellinor-cli scan FILE...`: the deep scan of each file (probe/file_scan.h), as a short text
// report, JSON records with their "scan" object, JSON Lines or CSV. Exit status 1 when a file
// is damaged (decode errors, truncation, a stream that would not decode) or could not be
// scanned.

#include <string>
#include <string_view>

#include "cli/cli_options.h"
#include "probe/scan_result.h"

namespace vellinor::cli {

int runScan(const CliOptions& options);

// The CSV of the scan mode: its header and one file's row (`scan` null when not scanned).
std::string scanCsvHeader();
std::string scanCsvRow(std::string_view path, const ScanResult* scan, std::string_view problem);

}  // namespace vellinor::cli
