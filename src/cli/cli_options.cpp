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

// What the command line gave beyond the fields of CliOptions it sets directly.
struct GivenFlags {
    BatchFlags batch;
    bool record = false;
    bool json = false;
    bool jsonLines = false;
    bool csv = false;
    bool bitrate = false;
    bool gop = false;
    bool noServer = false;
    std::string exportFolder;
    std::string extractFolder;
    std::string explainKey;
    std::vector<std::string> factsPaths;
};

// The options that choose what is printed, which the modes below exclude.
struct OutputOptions {
    CLI::Option* details;
    CLI::Option* record;
    CLI::Option* json;
    CLI::Option* exportFolder;
    CLI::Option* jsonLines;
    CLI::Option* csv;
    CLI::App* factsCommand;
};

std::string nonEmptyFolder(const std::string& folder)
{
    return folder.empty() ? std::string("DIR is empty") : std::string();
}

// The paths, and the report's forms: --details, --record, --json, --export, --jsonl, --csv and
// --facts (or "facts FILE...").
OutputOptions addOutputOptions(CLI::App& app, CliOptions& options, GivenFlags& given)
{
    app.add_option("PATH", options.paths,
                   "Media files to probe (folders too, with -r); put them after -- when a "
                   "name starts with -");
    app.add_flag("-r,--recursive", options.recursive,
                 "Take every file under each folder given, in sorted order");
    OutputOptions out{};
    out.details =
        app.add_flag("--details", options.details, "Show every track's details under its row");
    out.record = app.add_flag("--record", given.record, "Print one JSON record per file");
    out.json = app.add_flag("--json", given.json, "Print each file's probe document");
    out.exportFolder =
        app.add_option("--export", given.exportFolder,
                       "Write each file's probe document to DIR/<name>.json (created if missing)")
            ->type_name("DIR")
            ->check(nonEmptyFolder);
    out.jsonLines =
        app.add_flag("--jsonl", given.jsonLines,
                     "Print one JSON record per line as each file is done (JSON Lines)");
    out.csv = app.add_flag("--csv", given.csv, "Print a CSV header and one row of facts per file");
    out.record->excludes(out.json)->excludes(out.jsonLines)->excludes(out.csv);
    out.json->excludes(out.jsonLines)->excludes(out.csv);
    out.jsonLines->excludes(out.csv);
    out.details->excludes(out.record)
        ->excludes(out.json)
        ->excludes(out.jsonLines)
        ->excludes(out.csv);
    auto* factsFlag =
        app.add_flag("--facts", options.facts,
                     "Show every track's summary and facts by group (codec, picture, timing, ...)");
    factsFlag->excludes(out.record)->excludes(out.json)->excludes(out.jsonLines)->excludes(out.csv);
    // "vellinor-cli facts FILE..." reads as the command it is; the same as --facts.
    out.factsCommand = app.add_subcommand(
        "facts", "Show each file's tracks with their summaries and facts by group");
    out.factsCommand->add_option("PATH", given.factsPaths, "Media files to show the facts of")
        ->required();
    return out;
}

// Where the paths come from and how they are probed: --files-from, -0, the cache, the server
// and the progress line.
void addBatchOptions(CLI::App& app, CliOptions& options, GivenFlags& given)
{
    addBatchFlags(app, given.batch,
                  {"probe", "Probe every file, neither reading nor writing the probe cache"});
    app.add_flag("--no-server", given.noServer,
                 "Probe with servers of this run's own, not the probe server shared by every run "
                 "(as VELLINOR_NO_SERVER=1 does)");
    app.add_flag("--cache-clear", options.clearCache,
                 "Empty the probe cache first (on its own: empty it and exit)");
}

// The modes that print something else than the report: --bitrate, --gop, --compare, --explain
// and --extract-attachments.
void addModeOptions(CLI::App& app, CliOptions& options, GivenFlags& given, const OutputOptions& out)
{
    auto* bitrateFlag =
        app.add_flag("--bitrate", given.bitrate,
                     "Print each stream's bit rate per second as CSV, read from the packets");
    auto* gopFlag = app.add_flag("--gop", given.gop,
                                 "Print each video stream's keyframes and GOP lengths as CSV");
    for (auto* flag : {bitrateFlag, gopFlag})
        flag->excludes(out.record)
            ->excludes(out.json)
            ->excludes(out.details)
            ->excludes(out.jsonLines)
            ->excludes(out.csv);
    bitrateFlag->excludes(gopFlag);
    auto* compare = app.add_flag("--compare", options.compare,
                                 "Compare the files side by side, one column each; exit status 3 "
                                 "when their facts differ (with --csv or --json: as CSV or JSON)");
    app.add_flag("--only-differences", options.onlyDifferences,
                 "With --compare: show only the facts that differ")
        ->needs(compare);
    compare->excludes(out.record)
        ->excludes(out.details)
        ->excludes(out.jsonLines)
        ->excludes(bitrateFlag)
        ->excludes(gopFlag);
    app.add_option("--explain", given.explainKey,
                   "Explain a details key (has_b_frames, color_range, default.disposition, "
                   "language.tags, ...) and exit")
        ->type_name("KEY");
    app.add_option("--extract-attachments", given.extractFolder,
                   "Write every embedded picture and attachment (covers, fonts, ...) of each "
                   "file into DIR (created if missing), under safe names that replace nothing")
        ->type_name("DIR")
        ->check(nonEmptyFolder)
        ->excludes(out.details)
        ->excludes(out.record)
        ->excludes(out.json)
        ->excludes(out.jsonLines)
        ->excludes(out.csv)
        ->excludes(out.exportFolder)
        ->excludes(bitrateFlag)
        ->excludes(gopFlag)
        ->excludes(compare);
}

void addLimitOptions(CLI::App& app, CliOptions& options, GivenFlags& given)
{
    app.add_option("-j,--jobs", options.jobs, "Files probed at the same time (default: cores)")
        ->type_name("N")
        ->check(CLI::Range(1u, 1024u));
    app.add_option("--timeout", given.batch.timeoutSeconds,
                   "Seconds the probe tool may run per file; 0 for no limit (default " +
                       defaultTimeoutSeconds() + ")")
        ->type_name("SECONDS")
        ->check(CLI::Range(0.0, 1.0e6));
}

struct ServerCommands {
    CLI::App* server;
    CLI::App* status;
};

// "server status" and "server stop".
ServerCommands addServerCommand(CLI::App& app)
{
    auto* server = app.add_subcommand(
        "server",
        "The probe server shared by every run: \"server status\" tells whether it "
        "runs, \"server stop\" stops it");
    auto* serverStatus = server->add_subcommand("status", "Tell whether the probe server runs");
    server->add_subcommand("stop", "Stop the probe server and wait until it is gone");
    server->require_subcommand(1);
    server->footer("");
    return {server, serverStatus};
}

int usageError(const char* problem)
{
    std::cerr << problem << "\nRun with --help for more information.\n";
    return kExitUsage;
}

// The options a parsed command line stands for, or a usage error's exit status.
std::variant<CliOptions, int> probeOptionsOf(const CLI::App& app, CliOptions options,
                                             const GivenFlags& given)
{
    if (app.count("--explain") > 0) {
        if (!options.paths.empty() || !given.batch.fileList.empty())
            return usageError("--explain takes no PATH");
        options.explainKey = given.explainKey;
        return options;
    }
    if (options.compare && !given.exportFolder.empty())
        return usageError("--compare excludes --export");
    if (!options.clearCache) {
        if (auto status = missingPaths(options, given.batch))
            return *status;
    }
    applyBatchFlags(given.batch, options);
    options.useServer = !given.noServer;
    if (!given.exportFolder.empty())
        options.exportFolder = given.exportFolder;
    if (!given.extractFolder.empty())
        options.extractFolder = given.extractFolder;
    if (given.record)
        options.output = OutputKind::record;
    else if (given.json)
        options.output = OutputKind::document;
    else if (given.jsonLines)
        options.output = OutputKind::jsonLines;
    else if (given.csv)
        options.output = OutputKind::csv;
    else if (options.exportFolder && !options.details)
        options.output = OutputKind::nothing;
    if (given.bitrate)
        options.packetCsv = PacketCsv::bitrate;
    else if (given.gop)
        options.packetCsv = PacketCsv::gop;
    return options;
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
    GivenFlags given;

    CLI::App app{
        "Shows the technical make-up of media files: container, tracks, codecs, "
        "languages, durations, chapters and tags.",
        "vellinor-cli"};
    app.footer(kFooter);
    app.set_version_flag("--version", std::string("vellinor-cli ") + VELLINOR_VERSION);
    // Added in the order --help lists them.
    const OutputOptions out = addOutputOptions(app, options, given);
    addBatchOptions(app, options, given);
    addModeOptions(app, options, given, out);
    addLimitOptions(app, options, given);
    const ServerCommands server = addServerCommand(app);

    if (auto status = parseArguments(app, argc, argv))
        return *status;

    if (server.server->parsed()) {
        options.serverCommand =
            server.status->parsed() ? ServerCommand::status : ServerCommand::stop;
        return options;
    }
    if (out.factsCommand->parsed()) {
        options.facts = true;
        options.paths.insert(options.paths.end(), given.factsPaths.begin(), given.factsPaths.end());
    }
    return probeOptionsOf(app, std::move(options), given);
}

std::string defaultTimeoutSeconds()
{
    return std::to_string(
        std::chrono::duration_cast<std::chrono::seconds>(probe_defaults::kTimeLimit).count());
}

std::optional<int> parseArguments(CLI::App& app, int argc, char** argv)
{
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const int status = app.exit(error, std::cout, std::cerr);
        return status == 0 ? kExitSuccess : kExitUsage;
    }
    return std::nullopt;
}

void addBatchFlags(CLI::App& app, BatchFlags& flags, const BatchFlagTexts& texts)
{
    auto* filesFrom = app.add_option("--files-from", flags.fileList,
                                     std::string("Also ") + texts.verb +
                                         " the paths listed in LIST, one a line (- for standard "
                                         "input)")
                          ->type_name("LIST");
    app.add_flag("-0,--null", flags.nulSeparated,
                 "The --files-from list is separated by NUL bytes (find -print0)")
        ->needs(filesFrom);
    app.add_flag("--no-cache", flags.noCache, texts.noCache);
    auto* progressFlag =
        app.add_flag("--progress", flags.progress,
                     "Show a progress line on standard error even when not a terminal");
    app.add_flag("--no-progress", flags.noProgress, "Never show the progress line")
        ->excludes(progressFlag);
}

std::optional<int> missingPaths(const CliOptions& options, const BatchFlags& flags)
{
    if (!options.paths.empty() || !flags.fileList.empty())
        return std::nullopt;
    return usageError("PATH is required (or --files-from)");
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
