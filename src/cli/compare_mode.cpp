#include "cli/compare_mode.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include "cli/cli_run.h"
#include "cli/ordered_batch.h"
#include "cli/output_streams.h"
#include "format/text_table.h"
#include "platform/file_names.h"
#include "probe/file_scan.h"
#include "probe/probe_defaults.h"
#include "probe/scan_comparison.h"

namespace vellinor::cli {
namespace {

constexpr std::string_view kDifferenceMarker = "*";

ComparedFile probeForComparison(const InputFile& input, const ProbeOptions& probeOptions)
{
    if (!input.listed)
        return {platform::fileNameOfPath(input.path), input.path, nullptr, input.listed.error()};
    const ProblemSubject subject(input.path);
    return probeComparedFile(input.path, probeOptions);
}

std::string closingLine(const Comparison& full)
{
    const std::size_t differing = full.differingRowCount();
    if (differing == 0)
        return "All " + std::to_string(full.rows.size()) + " compared facts agree.\n";
    return std::to_string(differing) + " of " + std::to_string(full.rows.size()) +
           " compared facts differ (marked " + std::string(kDifferenceMarker) + ").\n";
}

}  // namespace

std::string comparisonTable(const Comparison& comparison)
{
    std::vector<TextRow> rows;
    TextRow header = {{""}, {"Track"}, {"Fact"}};
    for (const ComparedFile& file : comparison.files)
        header.push_back({file.name});
    rows.push_back(std::move(header));
    for (const ComparisonRow& row : comparison.rows) {
        TextRow line = {
            {row.differs ? std::string(kDifferenceMarker) : ""}, {row.track}, {row.fact}};
        for (const ComparisonCell& cell : row.cells)
            line.push_back({cell.value_or("")});
        rows.push_back(std::move(line));
    }
    std::string text;
    for (const std::string& line : alignColumns(rows, {" ", "  ", "  "}, false))
        text += line + "\n";
    return text;
}

int runCompare(const CliOptions& options, InputSource& source)
{
    std::vector<InputFile> inputs;
    while (auto input = source.next())
        inputs.push_back(std::move(*input));
    bool failed = false;
    if (source.reportListFailure())
        failed = true;
    if (!probe_defaults::canCompare(inputs.size())) {
        writeErrorLine("vellinor-cli: --compare needs at least two files");
        return kExitUsage;
    }

    const ProbeOptions probeOptions = batchProbeOptions(options, inputs.size());
    std::vector<ComparedFile> files(inputs.size());
    runInOrder<ComparedFile>(
        inputs.size(), options.jobs,
        [&](std::size_t i) { return probeForComparison(inputs[i], probeOptions); },
        [&](std::size_t i, ComparedFile& file) {
            if (!file.problem.empty()) {
                reportProblem(inputs[i].path, file.problem);
                failed = true;
            }
            files[i] = std::move(file);
            return true;
        });

    // Files scanned before (vellinor-cli scan, the window's Scan) bring their scan along from
    // the cache; nothing is decoded here.
    std::vector<std::shared_ptr<const ScanResult>> scans(files.size());
    if (options.useCache) {
        for (std::size_t i = 0; i < files.size(); ++i) {
            if (!files[i].isProbed())
                continue;
            if (auto kept = sharedFileScanner().kept(files[i].path))
                scans[i] = std::make_shared<const ScanResult>(std::move(*kept));
        }
    }
    Comparison full = compareFiles(std::move(files));
    appendScanRows(full, scans);
    const Comparison shown = options.onlyDifferences ? onlyDifferences(full) : full;
    std::string out;
    if (options.output == OutputKind::document) {
        out = comparisonJson(shown).rawString().value_or("") + "\n";
    } else if (options.output == OutputKind::csv) {
        out = comparisonCsv(shown);
    } else {
        out = comparisonTable(shown) + closingLine(full);
    }
    if (!writeStandardOutput(out))
        return kExitFileProblem;
    if (failed)
        return kExitFileProblem;
    return full.differs() ? kExitDifferences : kExitSuccess;
}

}  // namespace vellinor::cli
