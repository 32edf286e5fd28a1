#pragma once

// The command line of vellinor-cli.

#include <chrono>

#include <optional>
#include <string>
#include <variant>
#include <vector>
#include "cli/batch_progress.h"
#include "cli/input_source.h"
#include "probe/probe_defaults.h"

namespace CLI {
class App;
}

namespace vellinor::cli {

// What goes to standard output.
enum class OutputKind {
    textReport,  // the report a person reads (default)
    record,      // --record: one JSON array of file records
    document,    // --json: each file's probe document
    jsonLines,   // --jsonl: one record per line, as each file is done
    csv,         // --csv: one row of facts per file
    nothing,     // --export without --details: the reports go to files only
};

// --bitrate, --gop: packet statistics as CSV instead of a report (cli/packet_csv.h).
enum class PacketCsv { none, bitrate, gop };

// `vellinor-cli server status|stop`: the shared probe server (cli/server_command.h).
enum class ServerCommand { none, status, stop };

struct CliOptions {
    std::vector<std::string> paths;
    std::optional<FileList> fileList;  // --files-from
    ProgressMode progress = ProgressMode::automatic;
    bool useCache = true;   // --no-cache turns it off
    bool useServer = true;  // --no-server: private probe servers, not the shared one
    ServerCommand serverCommand = ServerCommand::none;
    bool clearCache = false;  // --cache-clear
    bool recursive = false;
    bool details = false;
    bool facts = false;  // --facts, or the "facts" subcommand: each track's facts by group
    OutputKind output = OutputKind::textReport;
    std::optional<std::string> exportFolder;
    std::optional<std::string> extractFolder;  // --extract-attachments: a mode of its own
    unsigned jobs = 1;
    std::chrono::milliseconds timeout = probe_defaults::kTimeLimit;  // zero: no limit
    PacketCsv packetCsv = PacketCsv::none;
    bool compare = false;                   // --compare: the files side by side (compare_mode.h)
    bool onlyDifferences = false;           // --only-differences
    std::optional<std::string> explainKey;  // --explain KEY: what a details key means
    bool scan = false;                      // `scan`: the deep scan of each file (scan_mode.h)
    // `check`: each file against a policy's rules (check_mode.h); output textReport,
    // jsonLines, csv, or JUnit XML with `junit`.
    std::optional<std::string> policyPath;
    std::optional<std::string> referencePath;
    bool junit = false;
};

// Exit statuses.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFileProblem = 1;  // some file could not be probed, written or read
inline constexpr int kExitUsage = 2;
inline constexpr int kExitDifferences = 3;   // --compare: the compared facts are not all equal
inline constexpr int kExitPolicyFailed = 4;  // check: a file failed an error rule

// The flags the probe, scan and check modes share, as the command line gave them.
struct BatchFlags {
    std::string fileList;  // --files-from
    bool nulSeparated = false;
    bool progress = false;
    bool noProgress = false;
    bool noCache = false;
    double timeoutSeconds = std::chrono::duration<double>(probe_defaults::kTimeLimit).count();
};
// How a mode words the shared flags' help: what it does to a listed path ("probe") and what
// --no-cache makes it do.
struct BatchFlagTexts {
    const char* verb;
    const char* noCache;
};
// Parses the arguments into `app`'s options; the status to exit with right away after --help
// or --version (0) or a usage error (kExitUsage, explained on standard error).
std::optional<int> parseArguments(CLI::App& app, int argc, char** argv);
// Adds --files-from, -0, --no-cache, --progress and --no-progress to a mode's command line.
void addBatchFlags(CLI::App& app, BatchFlags& flags, const BatchFlagTexts& texts);
// Sets the options the shared flags stand for.
void applyBatchFlags(const BatchFlags& flags, CliOptions& options);
// The usage error's exit status when no file is named, neither by a PATH nor by --files-from
// (said on standard error); nothing when one is.
std::optional<int> missingPaths(const CliOptions& options, const BatchFlags& flags);
// The probe's time limit as the help texts give it, in seconds ("60").
std::string defaultTimeoutSeconds();

// `vellinor-cli scan ...`: the options of the scan subcommand (argv[0] is "scan"), in the same
// form; outputs textReport, record (--json), jsonLines or csv.
std::variant<CliOptions, int> parseScanCommandLine(int argc, char** argv);
// `vellinor-cli check --policy FILE ...` (argv[0] is "check").
std::variant<CliOptions, int> parseCheckCommandLine(int argc, char** argv);

// The options, or the status to exit with right away: after --help or --version (printed to
// standard output, 0), or after a usage error (explained on standard error, kExitUsage).
std::variant<CliOptions, int> parseCommandLine(int argc, char** argv);

}  // namespace vellinor::cli
