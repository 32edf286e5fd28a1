#include "cli/cli_run.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <system_error>

#include "cli/batch_output.h"
#include "cli/check_mode.h"
#include "cli/compare_mode.h"
#include "cli/explain_field.h"
#include "cli/extract_attachments.h"
#include "cli/input_source.h"
#include "cli/output_streams.h"
#include "cli/packet_csv.h"
#include "cli/probe_record.h"
#include "cli/report_export.h"
#include "cli/scan_mode.h"
#include "cli/server_command.h"
#include "platform/atomic_write.h"
#include "platform/file_names.h"
#include "probe/attachment_extraction.h"
#include "probe/csv_row.h"
#include "probe/file_probe.h"
#include "probe/file_scan.h"
#include "probe/probe_cache.h"
#include "probe/probe_runner.h"
#include "probe/probe_tool.h"
#include "probe/scan_result.h"
#include "probe/text_report.h"
#include "probe/verdict.h"

namespace vellinor::cli {
namespace {

// What a worker made of one file; written out by the calling thread, in order.
struct FileOutcome {
    std::string fileName;
    std::string problem;                  // why the file counts as failed; empty if it does not
    std::string output;                   // text report, record element, JSON line or CSV row
    std::optional<std::string> document;  // the probe document (--json, --export)
    // With --export, a record or row waits for the export, whose failure it must tell; the
    // probe is kept for it until then.
    std::optional<FileProbe> pendingProbe;
};

bool colorWanted()
{
    const char* noColor = std::getenv("NO_COLOR");
    const char* term = std::getenv("TERM");
    return ::isatty(STDOUT_FILENO) == 1 && (noColor == nullptr || *noColor == '\0') &&
           !(term != nullptr && std::string_view(term) == "dumb");
}

class BatchRun {
public:
    BatchRun(const CliOptions& options, std::optional<std::size_t> plannedFiles)
        : output(options.output, csvHeader())
        , m_options(options)
        , m_useColor(options.output == OutputKind::textReport && colorWanted())
        , m_probeOptions(batchProbeOptions(options, plannedFiles))
    {
    }

    FileOutcome probeOne(const InputFile& input) const
    {
        FileOutcome outcome;
        const Status readable = checkInput(input);
        std::string problem = readable ? std::string() : readable.error();
        FileProbe probe;
        if (problem.empty()) {
            ProblemSubject subject(input.path);
            probe = FileProbe(input.path, m_probeOptions);
            problem = fileVerdict(input.path, probe).problem;
            outcome.fileName = probe.fileName.value_or(platform::fileNameOfPath(input.path));
            if (probe.json)
                outcome.document = probe.json->rawString();
        } else {
            // Not probed at all: the record says so with the fields of a file that was not read.
            probe.fileName = platform::fileNameOfPath(input.path);
            probe.hasErrors = true;
            outcome.fileName = *probe.fileName;
            if (!listsEveryFile()) {
                outcome.problem = std::move(problem);
                return outcome;
            }
        }

        if (problem.empty() && wantsDocument() && !outcome.document)
            problem = probe.json ? "its probe document could not be written as JSON"
                                 : "the probe tool gave no document";
        outcome.problem = std::move(problem);
        if (m_options.exportFolder && outcome.document && listsEveryFile())
            outcome.pendingProbe = std::move(probe);
        else
            render(input, probe, outcome);
        return outcome;
    }

    // The file's report, record or row, saying `outcome.problem`.
    void render(const InputFile& input, const FileProbe& probe, FileOutcome& outcome) const
    {
        std::string& problem = outcome.problem;
        switch (m_options.output) {
            case OutputKind::textReport:
                outcome.output = textReport(probe, outcome.fileName,
                                            {.details = m_options.details,
                                             .useColor = m_useColor,
                                             .facts = m_options.facts});
                // A scan of the unchanged file, kept by `vellinor-cli scan`, follows the
                // details; nothing is decoded for it.
                if (m_options.details && m_options.useCache) {
                    if (const auto scan = sharedFileScanner().kept(input.path))
                        outcome.output += scanReportSection(*scan);
                }
                break;
            case OutputKind::record:
                if (auto text = probeRecord(input.path, probe, problem).rawString())
                    outcome.output = std::move(*text);
                else if (problem.empty())
                    problem = "its record could not be written as JSON";
                break;
            case OutputKind::jsonLines:
                // Compact: one record, one line.
                if (auto text = probeRecord(input.path, probe, problem).rawString("utf-8", 0))
                    outcome.output = std::move(*text) + "\n";
                else if (problem.empty())
                    problem = "its record could not be written as JSON";
                break;
            case OutputKind::csv:
                outcome.output = csvRow(input.path, probe, problem);
                break;
            case OutputKind::document:
            case OutputKind::nothing:
                break;
        }
    }

    // Writes one file's part of the output; false when standard output is gone.
    bool deliver(const InputFile& input, FileOutcome& outcome)
    {
        if (m_options.exportFolder && outcome.document) {
            const std::string name = m_exportNames.take(outcome.fileName);
            const std::string target =
                (std::filesystem::path(*m_options.exportFolder) / name).string();
            Status written = platform::writeFileAtomically(target, *outcome.document + "\n");
            if (!written && outcome.problem.empty())
                outcome.problem = written.error();
        }
        if (outcome.pendingProbe) {
            render(input, *outcome.pendingProbe, outcome);
            outcome.pendingProbe.reset();
        }
        std::string part;
        if (m_options.output == OutputKind::document) {
            if (outcome.document)
                part = *outcome.document + "\n";
        } else if (m_options.output != OutputKind::nothing) {
            part = std::move(outcome.output);
        }
        return output.file(input.path, std::move(part), outcome.problem);
    }

    BatchOutput output;

private:
    // Outputs with an entry for every file, probed or not.
    [[nodiscard]] bool listsEveryFile() const
    {
        return m_options.output == OutputKind::record ||
               m_options.output == OutputKind::jsonLines || m_options.output == OutputKind::csv;
    }

    [[nodiscard]] bool wantsDocument() const
    {
        return m_options.output == OutputKind::document || m_options.exportFolder.has_value();
    }

    const CliOptions& m_options;
    const bool m_useColor;
    const ProbeOptions m_probeOptions;
    ExportNames m_exportNames;
};

// The folder for --export, made when missing; false (reported) when it cannot be had.
bool prepareExportFolder(const std::string& folder)
{
    if (Status prepared = prepareFolder(folder); !prepared) {
        reportProblem(folder, prepared.error());
        return false;
    }
    return true;
}

}  // namespace

ProbeOptions batchProbeOptions(const CliOptions& options, std::optional<std::size_t> plannedFiles)
{
    ProbeOptions probeOptions;
    probeOptions.timeout = options.timeout;
    probeOptions.bitstreamFacts = options.facts;
    // One warm probe server per file probed at the same time (none for no files).
    const auto servers =
        std::min<std::size_t>(std::max(options.jobs, 1u), plannedFiles.value_or(SIZE_MAX));
    if (servers == 0)
        return probeOptions;
    ProbeRunnerSetup runner;
    runner.service.servers = static_cast<unsigned>(servers);
    runner.service.timeout = options.timeout;
    runner.service.shared = options.useServer;
    runner.useCache = options.useCache;
    // Behind the cache the servers start only once a file is not answered from it.
    probeOptions.toolRunner = makeProbeRunner(runner);
    return probeOptions;
}

int runCli(const CliOptions& options)
{
    if (options.serverCommand != ServerCommand::none)
        return runServerCommand(options.serverCommand);
    if (options.clearCache) {
        const ProbeCacheSettings settings = probeCacheSettings();
        if (Status cleared = ProbeCache::clear(settings); !cleared) {
            reportProblem(settings.databasePath, cleared.error());
            return kExitFileProblem;
        }
        if (options.paths.empty() && !options.fileList)
            return kExitSuccess;
    }
    if (options.explainKey)
        return runExplain(*options.explainKey);
    if (options.scan)
        return runScan(options);
    if (options.policyPath)
        return runCheck(options);
    if (options.packetCsv != PacketCsv::none)
        return runPacketCsv(options);
    if (options.extractFolder)
        return extractAttachments(options);
    if (options.exportFolder && !prepareExportFolder(*options.exportFolder))
        return kExitFileProblem;
    if (!chosenProbeTool()) {
        reportProblem("sniffer",
                      "the probe tool is not among the resources (VELLINOR_RESOURCE_DIR "
                      "may name the folder that holds it)");
        return kExitFileProblem;
    }

    InputSource source(options.paths, options.recursive, options.fileList);
    if (source.reportListFailure())
        return kExitFileProblem;
    if (options.compare)
        return runCompare(options, source);
    BatchRun run(options, source.plannedTotal());
    return runFileBatch<FileOutcome>(
        options, source, run.output, [&](const InputFile& input) { return run.probeOne(input); },
        [&](InputFile& input, FileOutcome& outcome) { return run.deliver(input, outcome); });
}

}  // namespace vellinor::cli
