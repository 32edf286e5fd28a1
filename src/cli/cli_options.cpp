#include "cli/cli_options.h"

#include <CLI/CLI.hpp>

#include <cmath>
#include <iostream>
#include <string_view>
#include <thread>

namespace vellinor::cli {
namespace {

constexpr const char* kFooter = R"(Output:
  default    a text report per file: its name, the overview and the tracks table
  facts FILE...
             the report with each track's summary and facts by group (as --facts)
  --record   one JSON array with a record per file (keys: see the README)
  --json     each file's probe document, pretty-printed, one after another
  --jsonl    one record per line (JSON Lines), written as each file is done
  --csv      a header row, then one row per file: path, size, duration, container,
             video_codec, resolution, frame_rate, audio_codecs, audio_languages,
             subtitle_languages, bit_rate, problem (RFC 4180)
  --export   writes each probe document to DIR/<name>.json instead
  --bitrate  CSV: stream,kind,second,bits,kbps,bytes,packets,keyframes,codec,file
  --gop      CSV: stream,kind,keyframe,time,frame,gop_frames,gop_min,gop_median,gop_max,
             codec,file
  --compare  the files side by side, differing facts marked "*" (with --csv or --json: the
             comparison as CSV or JSON)
  --extract-attachments
             writes each file's embedded pictures and attachments into DIR instead,
             printing the path of each file written

Subcommands:
  scan       decodes each file once: decode errors, truncation, exact frame and sample
             counts, frame-rate mode, interlacing, loudness, black, frozen and silent
             spans, captions and content hashes (vellinor-cli scan --help)
  check      checks each file against the rules of a policy file (vellinor-cli check --help)

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
    if (argc >= 2 && std::string_view(argv[1]) == "scan")
        return parseScanCommandLine(argc - 1, argv + 1);
    if (argc >= 2 && std::string_view(argv[1]) == "check")
        return parseCheckCommandLine(argc - 1, argv + 1);
    CliOptions options;
    options.jobs = defaultJobs();
    bool record = false;
    bool json = false;
    bool jsonLines = false;
    bool csv = false;
    BatchFlags flags;
    std::string exportFolder;
    std::string extractFolder;

    CLI::App app{
        "Shows the technical make-up of media files: container, tracks, codecs, "
        "languages, durations, chapters and tags.",
        "vellinor-cli"};
    app.footer(kFooter);
    app.set_version_flag("--version", std::string("vellinor-cli ") + VELLINOR_VERSION);

    app.add_option("PATH", options.paths,
                   "Media files to probe (folders too, with -r); put them after -- when a "
                   "name starts with -");
    app.add_flag("-r,--recursive", options.recursive,
                 "Take every file under each folder given, in sorted order");
    auto* details =
        app.add_flag("--details", options.details, "Show every track's details under its row");
    auto* recordFlag = app.add_flag("--record", record, "Print one JSON record per file");
    auto* jsonFlag = app.add_flag("--json", json, "Print each file's probe document");
    auto* exportOption =
        app.add_option("--export", exportFolder,
                       "Write each file's probe document to DIR/<name>.json (created if missing)")
            ->type_name("DIR")
            ->check([](const std::string& folder) {
                return folder.empty() ? std::string("DIR is empty") : std::string();
            });
    auto* jsonLinesFlag = app.add_flag(
        "--jsonl", jsonLines, "Print one JSON record per line as each file is done (JSON Lines)");
    auto* csvFlag = app.add_flag("--csv", csv, "Print a CSV header and one row of facts per file");
    recordFlag->excludes(jsonFlag)->excludes(jsonLinesFlag)->excludes(csvFlag);
    jsonFlag->excludes(jsonLinesFlag)->excludes(csvFlag);
    jsonLinesFlag->excludes(csvFlag);
    details->excludes(recordFlag)->excludes(jsonFlag)->excludes(jsonLinesFlag)->excludes(csvFlag);
    auto* factsFlag =
        app.add_flag("--facts", options.facts,
                     "Show every track's summary and facts by group (codec, picture, timing, ...)");
    factsFlag->excludes(recordFlag)->excludes(jsonFlag)->excludes(jsonLinesFlag)->excludes(csvFlag);
    // "vellinor-cli facts FILE..." reads as the command it is; the same as --facts.
    auto* factsCommand = app.add_subcommand(
        "facts", "Show each file's tracks with their summaries and facts by group");
    std::vector<std::string> factsPaths;
    factsCommand->add_option("PATH", factsPaths, "Media files to show the facts of")->required();
    auto* filesFrom =
        app.add_option("--files-from", flags.fileList,
                       "Also probe the paths listed in LIST, one a line (- for standard input)")
            ->type_name("LIST");
    app.add_flag("-0,--null", flags.nulSeparated,
                 "The --files-from list is separated by NUL bytes (find -print0)")
        ->needs(filesFrom);
    app.add_flag("--no-cache", flags.noCache,
                 "Probe every file, neither reading nor writing the probe cache");
    bool noServer = false;
    app.add_flag("--no-server", noServer,
                 "Probe with servers of this run's own, not the probe server shared by every run "
                 "(as VELLINOR_NO_SERVER=1 does)");
    app.add_flag("--cache-clear", options.clearCache,
                 "Empty the probe cache first (on its own: empty it and exit)");
    auto* progressFlag =
        app.add_flag("--progress", flags.progress,
                     "Show a progress line on standard error even when not a terminal");
    app.add_flag("--no-progress", flags.noProgress, "Never show the progress line")
        ->excludes(progressFlag);
    bool bitrate = false;
    bool gop = false;
    auto* bitrateFlag =
        app.add_flag("--bitrate", bitrate,
                     "Print each stream's bit rate per second as CSV, read from the packets");
    auto* gopFlag =
        app.add_flag("--gop", gop, "Print each video stream's keyframes and GOP lengths as CSV");
    for (auto* flag : {bitrateFlag, gopFlag})
        flag->excludes(recordFlag)
            ->excludes(jsonFlag)
            ->excludes(details)
            ->excludes(jsonLinesFlag)
            ->excludes(csvFlag);
    bitrateFlag->excludes(gopFlag);
    auto* compare = app.add_flag("--compare", options.compare,
                                 "Compare the files side by side, one column each; exit status 3 "
                                 "when their facts differ (with --csv or --json: as CSV or JSON)");
    app.add_flag("--only-differences", options.onlyDifferences,
                 "With --compare: show only the facts that differ")
        ->needs(compare);
    compare->excludes(recordFlag)
        ->excludes(details)
        ->excludes(jsonLinesFlag)
        ->excludes(bitrateFlag)
        ->excludes(gopFlag);
    std::string explainKey;
    app.add_option("--explain", explainKey,
                   "Explain a details key (has_b_frames, color_range, default.disposition, "
                   "language.tags, ...) and exit")
        ->type_name("KEY");
    app.add_option("--extract-attachments", extractFolder,
                   "Write every embedded picture and attachment (covers, fonts, ...) of each "
                   "file into DIR (created if missing), under safe names that replace nothing")
        ->type_name("DIR")
        ->check([](const std::string& folder) {
            return folder.empty() ? std::string("DIR is empty") : std::string();
        })
        ->excludes(details)
        ->excludes(recordFlag)
        ->excludes(jsonFlag)
        ->excludes(jsonLinesFlag)
        ->excludes(csvFlag)
        ->excludes(exportOption)
        ->excludes(bitrateFlag)
        ->excludes(gopFlag)
        ->excludes(compare);
    app.add_option("-j,--jobs", options.jobs, "Files probed at the same time (default: cores)")
        ->type_name("N")
        ->check(CLI::Range(1u, 1024u));
    app.add_option("--timeout", flags.timeoutSeconds,
                   "Seconds the probe tool may run per file; 0 for no limit (default " +
                       defaultTimeoutSeconds() + ")")
        ->type_name("SECONDS")
        ->check(CLI::Range(0.0, 1.0e6));

    auto* server = app.add_subcommand(
        "server",
        "The probe server shared by every run: \"server status\" tells whether it "
        "runs, \"server stop\" stops it");
    auto* serverStatus = server->add_subcommand("status", "Tell whether the probe server runs");
    server->add_subcommand("stop", "Stop the probe server and wait until it is gone");
    server->require_subcommand(1);
    server->footer("");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const int status = app.exit(error, std::cout, std::cerr);
        return status == 0 ? kExitSuccess : kExitUsage;
    }

    if (server->parsed()) {
        options.serverCommand =
            serverStatus->parsed() ? ServerCommand::status : ServerCommand::stop;
        return options;
    }
    if (factsCommand->parsed()) {
        options.facts = true;
        options.paths.insert(options.paths.end(), factsPaths.begin(), factsPaths.end());
    }
    if (app.count("--explain") > 0) {
        if (!options.paths.empty() || !flags.fileList.empty()) {
            std::cerr << "--explain takes no PATH\nRun with --help for more information.\n";
            return kExitUsage;
        }
        options.explainKey = explainKey;
        return options;
    }
    if (options.compare && !exportFolder.empty()) {
        std::cerr << "--compare excludes --export\nRun with --help for more information.\n";
        return kExitUsage;
    }
    if (options.paths.empty() && flags.fileList.empty() && !options.clearCache) {
        std::cerr << "PATH is required (or --files-from)\nRun with --help for more information.\n";
        return kExitUsage;
    }
    applyBatchFlags(flags, options);
    options.useServer = !noServer;
    if (!exportFolder.empty())
        options.exportFolder = exportFolder;
    if (!extractFolder.empty())
        options.extractFolder = extractFolder;
    if (record)
        options.output = OutputKind::record;
    else if (json)
        options.output = OutputKind::document;
    else if (jsonLines)
        options.output = OutputKind::jsonLines;
    else if (csv)
        options.output = OutputKind::csv;
    else if (options.exportFolder && !options.details)
        options.output = OutputKind::nothing;
    if (bitrate)
        options.packetCsv = PacketCsv::bitrate;
    else if (gop)
        options.packetCsv = PacketCsv::gop;
    return options;
}

std::string defaultTimeoutSeconds()
{
    return std::to_string(
        std::chrono::duration_cast<std::chrono::seconds>(probe_defaults::kTimeLimit).count());
}

void applyBatchFlags(const BatchFlags& flags, CliOptions& options)
{
    options.useCache = !flags.noCache;
    if (!flags.fileList.empty())
        options.fileList = FileList{flags.fileList, flags.nulSeparated ? '\0' : '\n'};
    if (flags.progress)
        options.progress = ProgressMode::always;
    else if (flags.noProgress)
        options.progress = ProgressMode::never;
    options.timeout = std::chrono::milliseconds(
        static_cast<long long>(std::llround(flags.timeoutSeconds * 1000.0)));
}

}  // namespace vellinor::cli
