#include "cli/scan_mode.h"

#include <unistd.h>

#include <fmt/format.h>
#include <cerrno>
#include <cstring>
#include <optional>
#include <vector>

#include "cli/batch_output.h"
#include "cli/cli_run.h"
#include "cli/input_source.h"
#include "cli/output_streams.h"
#include "cli/probe_record.h"
#include "format/csv_text.h"
#include "platform/file_names.h"
#include "platform/write_all.h"
#include "probe/file_probe.h"
#include "probe/file_scan.h"
#include "probe/verdict.h"

namespace vellinor::cli {
namespace {

struct ScanOutcome {
    std::string problem;  // why the file counts as failed (damaged or not scanned)
    std::string output;
};

std::string number(std::optional<double> value, const char* format)
{
    return value ? fmt::format(fmt::runtime(format), *value) : std::string();
}

std::string spanCount(const ScanResult& scan, std::vector<ScanSpan> StreamScanFacts::*spans)
{
    std::size_t count = 0;
    for (const StreamScanFacts& stream : scan.streams)
        count += (stream.*spans).size();
    return std::to_string(count);
}

class ScanBatch {
public:
    ScanBatch(const CliOptions& options, std::optional<std::size_t> planned)
        : output(options.output, scanCsvHeader())
        , m_options(options)
        , m_scanner(FileScannerOptions{{}, options.timeout, options.useCache})
    {
        // Records carry the probe's facts beside the scan's.
        if (options.output == OutputKind::record || options.output == OutputKind::jsonLines)
            m_probeOptions = batchProbeOptions(options, planned);
    }

    ScanOutcome scanOne(const InputFile& input) const
    {
        ScanOutcome outcome;
        const Status readable = checkInput(input);
        std::string problem = readable ? std::string() : readable.error();
        std::optional<ScanResult> scan;
        if (problem.empty()) {
            auto scanned = m_scanner.scan(input.path);
            if (scanned)
                scan = std::move(*scanned);
            else
                problem = scanned.error();
        }
        if (scan && scan->damaged())
            problem = scanVerdictLines(*scan).front();

        switch (m_options.output) {
            case OutputKind::textReport:
                if (scan) {
                    outcome.output = platform::fileNameOfPath(input.path) + "\n";
                    for (const std::string& line : scanReportLines(*scan))
                        outcome.output += line + "\n";
                }
                break;
            case OutputKind::record:
            case OutputKind::jsonLines: {
                FileProbe probe;
                if (input.listed)
                    probe = FileProbe(input.path, m_probeOptions);
                JSON record = probeRecord(input.path, probe, problem);
                record.set("scan", scan ? scanRecord(*scan) : JSON(nullptr));
                const unsigned layout =
                    m_options.output == OutputKind::jsonLines ? 0 : kPrettyPrinted;
                if (auto text = record.rawString("utf-8", layout))
                    outcome.output =
                        m_options.output == OutputKind::jsonLines ? *text + "\n" : std::move(*text);
                else if (problem.empty())
                    problem = "its record could not be written as JSON";
                break;
            }
            case OutputKind::csv:
                outcome.output = scanCsvRow(input.path, scan ? &*scan : nullptr, problem);
                break;
            case OutputKind::document:
            case OutputKind::nothing:
                break;
        }
        outcome.problem = std::move(problem);
        return outcome;
    }

    bool deliver(const InputFile& input, ScanOutcome& outcome)
    {
        return output.file(input.path, std::move(outcome.output), outcome.problem);
    }

    BatchOutput output;

private:
    const CliOptions& m_options;
    FileScanner m_scanner;
    ProbeOptions m_probeOptions;
};

}  // namespace

std::string scanCsvHeader()
{
    static const std::vector<std::string> names{
        "path",         "damaged",         "decode_errors",   "truncated",         "duration",
        "video_frames", "frame_rate_mode", "integrated_lufs", "loudness_range_lu", "true_peak_dbtp",
        "black_spans",  "frozen_spans",    "silent_spans",    "captions",          "sha256",
        "md5",          "problem"};
    return csv::record(names);
}

std::string scanCsvRow(std::string_view path, const ScanResult* scan, std::string_view problem)
{
    std::vector<std::string> fields{mendUtf8(path)};
    if (scan == nullptr) {
        fields.resize(16);
    } else {
        const StreamScanFacts* video = nullptr;
        const StreamScanFacts* audio = nullptr;
        std::string captions;
        for (const StreamScanFacts& stream : scan->streams) {
            if (stream.isVideo() && video == nullptr)
                video = &stream;
            if (!stream.isVideo() && audio == nullptr)
                audio = &stream;
            for (const std::string& kind : stream.captions)
                if (captions.find(kind) == std::string::npos)
                    captions += (captions.empty() ? "" : " ") + kind;
        }
        const ScanLoudness* loudness =
            audio != nullptr && audio->loudness ? &*audio->loudness : nullptr;
        fields.push_back(scan->damaged() ? "yes" : "no");
        fields.push_back(std::to_string(scan->decodeErrors()));
        fields.push_back(scan->truncated ? "yes" : "no");
        fields.push_back(number(scan->duration, "{:.3f}"));
        fields.push_back(video != nullptr && video->frames ? std::to_string(*video->frames) : "");
        fields.push_back(video != nullptr ? video->frameRateMode.value_or("") : "");
        fields.push_back(loudness ? number(loudness->integrated, "{:.1f}") : "");
        fields.push_back(loudness ? number(loudness->range, "{:.1f}") : "");
        fields.push_back(loudness ? number(loudness->truePeak, "{:.1f}") : "");
        fields.push_back(spanCount(*scan, &StreamScanFacts::black));
        fields.push_back(spanCount(*scan, &StreamScanFacts::frozen));
        fields.push_back(spanCount(*scan, &StreamScanFacts::silence));
        fields.push_back(captions);
        fields.push_back(scan->sha256.value_or(""));
        fields.push_back(scan->md5.value_or(""));
    }
    fields.emplace_back(mendUtf8(problem));
    return csv::record(fields);
}

int runScan(const CliOptions& options)
{
    InputSource source(options.paths, options.recursive, options.fileList);
    if (source.reportListFailure())
        return kExitFileProblem;
    ScanBatch batch(options, source.plannedTotal());
    return runFileBatch<ScanOutcome>(
        options, source, batch.output, [&](const InputFile& input) { return batch.scanOne(input); },
        [&](InputFile& input, ScanOutcome& outcome) { return batch.deliver(input, outcome); });
}

}  // namespace vellinor::cli
