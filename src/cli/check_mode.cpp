#include "cli/check_mode.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "cli/batch_progress.h"
#include "cli/cli_run.h"
#include "cli/input_source.h"
#include "cli/ordered_batch.h"
#include "cli/output_streams.h"
#include "platform/write_all.h"
#include "policy/check_report.h"
#include "policy/check_setup.h"
#include "probe/file_probe.h"
#include "probe/file_scan.h"
#include "probe/scan_result.h"
#include "probe/verdict.h"

namespace vellinor::cli {
namespace {

class RecordMaker {
public:
    RecordMaker(const CliOptions& options, bool withScan, std::optional<std::size_t> planned)
        : m_probeOptions(batchProbeOptions(options, planned))
        , m_scanner(FileScannerOptions{{}, std::chrono::milliseconds(0), options.useCache})
        , m_withScan(withScan)
    {
    }

    policy::FileRecord make(const std::string& path, const Status& listed) const
    {
        ProblemSubject subject(path);
        policy::ScanSource scan;
        if (m_withScan)
            scan = [this](const std::string& file) -> Expected<std::optional<ScanResult>> {
                auto scanned = m_scanner.scan(file);
                if (!scanned)
                    return Unexpected(scanned.failure());
                return std::optional<ScanResult>(std::move(*scanned));
            };
        return policy::fileRecord(path, listed, m_probeOptions, scan);
    }

private:
    ProbeOptions m_probeOptions;
    FileScanner m_scanner;
    bool m_withScan;
};

}  // namespace

int runCheck(const CliOptions& options)
{
    auto checker = policy::openPolicy(*options.policyPath, options.referencePath);
    if (!checker) {
        writeErrorLine("vellinor-cli: " + checker.error());
        return kExitUsage;
    }
    const policy::Policy& policy = (*checker)->policy();

    InputSource source(options.paths, options.recursive, options.fileList);
    if (source.reportListFailure())
        return kExitFileProblem;
    const RecordMaker maker(options, policy.needsScan(), source.plannedTotal());
    std::optional<std::string> referenceRecord;
    if (policy.needsReference()) {
        policy::FileRecord reference = maker.make(*policy.reference, ok());
        if (!reference.problem.empty()) {
            reportProblem(*policy.reference, reference.problem);
            return kExitFileProblem;
        }
        referenceRecord = std::move(reference.record);
    }

    std::vector<std::string> paths;
    std::vector<std::string> records;
    bool fileProblem = false;
    BatchProgress progress(options.progress, source.plannedTotal());
    runInOrder<InputFile, policy::FileRecord>(
        [&]() { return source.next(); }, options.jobs, defaultWindow(options.jobs),
        [&](const InputFile& input) { return maker.make(input.path, input.listed); },
        [&](InputFile& input, policy::FileRecord& file) {
            progress.fileDone();
            if (!file.problem.empty()) {
                reportProblem(input.path, file.problem);
                fileProblem = true;
            }
            paths.push_back(input.path);
            records.push_back(std::move(file.record));
            return true;
        });
    if (source.reportListFailure())
        fileProblem = true;

    const std::vector<policy::FileOutcome> outcomes = (*checker)->check(records, referenceRecord);
    std::size_t failedFiles = 0;
    for (const policy::FileOutcome& outcome : outcomes)
        if (!outcome.passed(policy))
            ++failedFiles;

    std::string out;
    if (options.junit)
        out += policy::junitBegin(policy, outcomes.size(), failedFiles);
    else if (options.output == OutputKind::csv)
        out += policy::checkCsvHeader();
    for (std::size_t i = 0; i < outcomes.size(); ++i) {
        if (options.junit)
            out += policy::junitCase(policy, paths[i], outcomes[i]);
        else if (options.output == OutputKind::jsonLines)
            out += policy::checkJsonLine(policy, paths[i], outcomes[i]);
        else if (options.output == OutputKind::csv)
            out += policy::checkCsvRows(policy, paths[i], outcomes[i]);
        else {
            if (i > 0)
                out += '\n';
            out += policy::checkText(policy, paths[i], outcomes[i]);
        }
    }
    if (options.junit)
        out += policy::junitEnd();
    if (!writeStandardOutput(out))
        return kExitFileProblem;
    if (fileProblem)
        return kExitFileProblem;
    return failedFiles > 0 ? kExitPolicyFailed : kExitSuccess;
}

}  // namespace vellinor::cli
