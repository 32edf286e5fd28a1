// The command line of `vellinor-cli scan`.

#include <CLI/CLI.hpp>

#include <cmath>
#include <thread>

#include "cli/cli_options.h"

namespace vellinor::cli {
namespace {

constexpr const char* kScanFooter = R"(Output:
  default    a short report per file: decode errors and truncation, then each stream's
             counts, frame-rate mode, interlacing, black and frozen spans, captions,
             loudness, silent spans and content MD5, then the file's SHA-256 and MD5
  --json     one JSON array with a record per file, its "scan" object filled in
  --jsonl    one such record per line (JSON Lines), written as each file is done
  --csv      a header row, then one row per file (RFC 4180)

A scan is kept in the probe cache like a probe: a re-run over unchanged files decodes
nothing (--no-cache scans again).

Exit status: 0 when every file was scanned and none is damaged; 1 when a file has decode
errors, is truncated, or could not be scanned (one line on standard error per file); 2 for a
usage error.)";

}  // namespace

std::variant<CliOptions, int> parseScanCommandLine(int argc, char** argv)
{
    CliOptions options;
    options.scan = true;
    const unsigned cores = std::thread::hardware_concurrency();
    // Each scan decodes with every core already; two at once keep the disk and the cores busy.
    options.jobs = cores >= 4 ? 2 : 1;
    bool json = false;
    bool jsonLines = false;
    bool csv = false;
    BatchFlags flags;
    flags.timeoutSeconds = 0.0;

    CLI::App app{
        "Decodes each media file once and tells whether it is damaged, with its exact "
        "counts, loudness, black and silent spans, captions and content hashes.",
        "vellinor-cli scan"};
    app.footer(kScanFooter);
    app.add_option("PATH", options.paths,
                   "Media files to scan (folders too, with -r); put them after -- when a name "
                   "starts with -");
    app.add_flag("-r,--recursive", options.recursive,
                 "Take every file under each folder given, in sorted order");
    auto* jsonFlag = app.add_flag("--json", json, "Print one JSON array of records");
    auto* jsonLinesFlag =
        app.add_flag("--jsonl", jsonLines, "Print one JSON record per line as each file is done");
    auto* csvFlag = app.add_flag("--csv", csv, "Print a CSV header and one row per file");
    jsonFlag->excludes(jsonLinesFlag)->excludes(csvFlag);
    jsonLinesFlag->excludes(csvFlag);
    addBatchFlags(app, flags, {"scan", "Scan every file, neither reading nor writing the cache"});
    app.add_option("-j,--jobs", options.jobs,
                   "Files scanned at the same time (default: 1, or 2 "
                   "with 4 cores or more)")
        ->type_name("N")
        ->check(CLI::Range(1u, 1024u));
    app.add_option("--timeout", flags.timeoutSeconds,
                   "Seconds a file's scan may run; 0 for no limit (default 0)")
        ->type_name("SECONDS")
        ->check(CLI::Range(0.0, 1.0e7));

    if (auto status = parseArguments(app, argc, argv))
        return *status;
    if (auto status = missingPaths(options, flags))
        return *status;
    applyBatchFlags(flags, options);
    if (json)
        options.output = OutputKind::record;
    else if (jsonLines)
        options.output = OutputKind::jsonLines;
    else if (csv)
        options.output = OutputKind::csv;
    return options;
}

}  // namespace vellinor::cli
