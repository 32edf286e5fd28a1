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
#include "cli/probe_record.h"
#include "platform/atomic_write.h"
#include "policy/check_report.h"
#include "policy/policy_check.h"
#include "policy/policy_file.h"
#include "probe/file_probe.h"
#include "probe/file_scan.h"
#include "probe/scan_result.h"
#include "probe/verdict.h"

namespace vellinor::cli {
namespace {

struct CheckedFile {
    std::string record;   // JSON text
    std::string problem;  // why the file could not be probed or scanned
};

class RecordMaker {
public:
    RecordMaker(const CliOptions& options, bool withScan, std::optional<std::size_t> planned)
        : m_probeOptions(batchProbeOptions(options, planned))
        , m_scanner(FileScannerOptions{{}, std::chrono::milliseconds(0), options.useCache})
        , m_withScan(withScan)
    {
    }

    CheckedFile make(const std::string& path, std::string problem) const
    {
        CheckedFile file;
        if (problem.empty())
            problem = accessVerdict(path).problem;
        FileProbe probe;
        if (problem.empty()) {
            ProblemSubject subject(path);
            probe = FileProbe(path, m_probeOptions);
            problem = fileVerdict(path, probe).problem;
        }
        std::optional<ScanResult> scan;
        if (m_withScan && problem.empty()) {
            auto scanned = m_scanner.scan(path);
            if (scanned)
                scan = std::move(*scanned);
            else
                problem = scanned.error();
        }
        JSON record = probeRecord(path, probe, problem);
        record.set("scan", scan ? scanRecord(*scan) : JSON(nullptr));
        file.record = record.rawString("utf-8", 0).value_or("{}");
        file.problem = std::move(problem);
        return file;
    }

private:
    ProbeOptions m_probeOptions;
    FileScanner m_scanner;
    bool m_withScan;
};

bool writeOut(std::string_view text)
{
    if (platform::writeAll(STDOUT_FILENO, text))
        return true;
    reportProblem("standard output", std::strerror(errno));
    return false;
}

}  // namespace

int runCheck(const CliOptions& options)
{
    auto loaded = policy::loadPolicy(*options.policyPath);
    if (!loaded) {
        writeErrorLine("vellinor-cli: " + loaded.error());
        return kExitUsage;
    }
    policy::Policy& rules = *loaded;
    if (options.referencePath)
        rules.reference = options.referencePath;
    if (rules.needsReference() && !rules.reference) {
        writeErrorLine("vellinor-cli: " + rules.sourceName +
                       ": its rules compare with a reference file; name one with --reference "
                       "or reference = \"...\" in the policy");
        return kExitUsage;
    }
    auto checker = policy::PolicyChecker::make(rules);
    if (!checker) {
        writeErrorLine("vellinor-cli: " + checker.error());
        return kExitUsage;
    }
    const policy::Policy& policy = (*checker)->policy();

    InputSource source(options.paths, options.recursive, options.fileList);
    const auto listName = [&options] {
        return options.fileList->source == "-" ? std::string("standard input")
                                               : options.fileList->source;
    };
    if (!source.problem().empty()) {
        reportProblem(listName(), source.problem());
        return kExitFileProblem;
    }
    const RecordMaker maker(options, policy.needsScan(), source.plannedTotal());
    std::optional<std::string> referenceRecord;
    if (policy.needsReference()) {
        CheckedFile reference = maker.make(*policy.reference, {});
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
    runInOrder<InputFile, CheckedFile>(
        [&]() { return source.next(); }, options.jobs, defaultWindow(options.jobs),
        [&](const InputFile& input) { return maker.make(input.path, input.problem); },
        [&](InputFile& input, CheckedFile& file) {
            progress.fileDone();
            if (!file.problem.empty()) {
                reportProblem(input.path, file.problem);
                fileProblem = true;
            }
            paths.push_back(input.path);
            records.push_back(std::move(file.record));
            return true;
        });
    if (!source.problem().empty()) {
        reportProblem(listName(), source.problem());
        fileProblem = true;
    }

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
    if (!writeOut(out))
        return kExitFileProblem;
    if (fileProblem)
        return kExitFileProblem;
    return failedFiles > 0 ? kExitPolicyFailed : kExitSuccess;
}

}  // namespace vellinor::cli
