// The command line of `vellinor-cli check`.

#include <CLI/CLI.hpp>

#include <cmath>

#include "cli/cli_options.h"

namespace vellinor::cli {
namespace {

constexpr const char* kCheckFooter = R"(Output:
  default    each rule's pass, FAIL or warn per file, then a one-line summary per file
  --jsonl    one JSON object per file: path, passed, errors, warnings, and rules (name,
             severity, passed, actual, expected, reason)
  --csv      a header row, then one row per rule per file (RFC 4180)
  --junit    JUnit XML: a test case per file, failed when an error rule fails

The policy file's schema and examples: the README ("Policies") and vellinor-cli(1).
Scan facts are computed (and cached) only when a rule reads them.

Exit status: 0 when every file passed every error rule; 4 when a file failed one; 1 when a
file could not be probed or scanned (its rules count as failed); 2 for a usage error or a
policy that cannot be used (its file, line and rule on standard error).)";

}  // namespace

std::variant<CliOptions, int> parseCheckCommandLine(int argc, char** argv)
{
    CliOptions options;
    bool jsonLines = false;
    bool csv = false;
    BatchFlags flags;
    std::string policy;
    std::string reference;

    CLI::App app{
        "Checks each media file against the rules of a policy: pass or fail per rule, "
        "with the value found and the value expected.",
        "vellinor-cli check"};
    app.footer(kCheckFooter);
    app.add_option("--policy", policy, "The policy file (TOML)")->type_name("FILE")->required();
    app.add_option("--reference", reference,
                   "The reference file rules compare with (instead of the policy's own)")
        ->type_name("FILE");
    app.add_option("PATH", options.paths,
                   "Media files to check (folders too, with -r); put them after -- when a name "
                   "starts with -");
    app.add_flag("-r,--recursive", options.recursive,
                 "Take every file under each folder given, in sorted order");
    auto* jsonLinesFlag = app.add_flag("--jsonl", jsonLines, "Print one JSON object per file");
    auto* csvFlag = app.add_flag("--csv", csv, "Print a CSV header and one row per rule per file");
    auto* junitFlag = app.add_flag("--junit", options.junit, "Print JUnit XML");
    jsonLinesFlag->excludes(csvFlag)->excludes(junitFlag);
    csvFlag->excludes(junitFlag);
    addBatchFlags(app, flags,
                  {"check", "Probe and scan every file, neither reading nor writing the cache"});
    app.add_option("-j,--jobs", options.jobs, "Files probed at the same time (default: 1)")
        ->type_name("N")
        ->check(CLI::Range(1u, 1024u));
    app.add_option("--timeout", flags.timeoutSeconds,
                   "Seconds a file's probe may run; 0 for no limit (default " +
                       defaultTimeoutSeconds() + ")")
        ->type_name("SECONDS")
        ->check(CLI::Range(0.0, 1.0e7));

    if (auto status = parseArguments(app, argc, argv))
        return *status;
    if (auto status = missingPaths(options, flags))
        return *status;
    options.policyPath = policy;
    if (!reference.empty())
        options.referencePath = reference;
    applyBatchFlags(flags, options);
    if (jsonLines)
        options.output = OutputKind::jsonLines;
    else if (csv)
        options.output = OutputKind::csv;
    return options;
}

}  // namespace vellinor::cli
