#include "cli/cli_options.h"

#include <CLI/CLI.hpp>

#include <cmath>
#include <iostream>
#include <thread>

namespace vellinor::cli {
namespace {

constexpr const char* kFooter = R"(Output:
  default    a text report per file: its name, the overview and the tracks table
  --record   one JSON array with a record per file (keys: see the README)
  --json     each file's probe document, pretty-printed, one after another
  --export   writes each probe document to DIR/<name>.json instead

Exit status: 0 when every file was probed; 1 when a file is missing, unreadable, empty,
not media, or could not be probed or written (one line on standard error per file);
2 for a usage error.)";

unsigned defaultJobs()
{
    const unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : cores;
}

}  // namespace

std::variant<CliOptions, int> parseCommandLine(int argc, char** argv)
{
    CliOptions options;
    options.jobs = defaultJobs();
    bool record = false;
    bool json = false;
    double timeoutSeconds = 60.0;
    std::string exportFolder;

    CLI::App app{
        "Shows the technical make-up of media files: container, tracks, codecs, "
        "languages, durations, chapters and tags.",
        "vellinor-cli"};
    app.footer(kFooter);
    app.set_version_flag("--version", std::string("vellinor-cli ") + VELLINOR_VERSION);

    app.add_option("PATH", options.paths,
                   "Media files to probe (folders too, with -r); put them after -- when a "
                   "name starts with -")
        ->required();
    app.add_flag("-r,--recursive", options.recursive,
                 "Take every file under each folder given, in sorted order");
    auto* details =
        app.add_flag("--details", options.details, "Show every track's details under its row");
    auto* recordFlag = app.add_flag("--record", record, "Print one JSON record per file");
    auto* jsonFlag = app.add_flag("--json", json, "Print each file's probe document");
    app.add_option("--export", exportFolder,
                   "Write each file's probe document to DIR/<name>.json (created if missing)")
        ->type_name("DIR")
        ->check([](const std::string& folder) {
            return folder.empty() ? std::string("DIR is empty") : std::string();
        });
    recordFlag->excludes(jsonFlag);
    details->excludes(recordFlag)->excludes(jsonFlag);
    app.add_option("-j,--jobs", options.jobs, "Files probed at the same time (default: cores)")
        ->type_name("N")
        ->check(CLI::Range(1u, 1024u));
    app.add_option("--timeout", timeoutSeconds,
                   "Seconds the probe tool may run per file; 0 for no limit (default 60)")
        ->type_name("SECONDS")
        ->check(CLI::Range(0.0, 1.0e6));

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const int status = app.exit(error, std::cout, std::cerr);
        return status == 0 ? kExitSuccess : kExitUsage;
    }

    if (!exportFolder.empty())
        options.exportFolder = exportFolder;
    if (record)
        options.output = OutputKind::record;
    else if (json)
        options.output = OutputKind::document;
    else if (options.exportFolder && !options.details)
        options.output = OutputKind::nothing;
    options.timeout =
        std::chrono::milliseconds(static_cast<long long>(std::llround(timeoutSeconds * 1000.0)));
    return options;
}

}  // namespace vellinor::cli
