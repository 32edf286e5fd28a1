#include "cli/packet_csv.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <initializer_list>
#include <span>
#include <string_view>
#include <vector>

#include "cli/input_files.h"
#include "cli/ordered_batch.h"
#include "cli/output_streams.h"
#include "format/csv_text.h"
#include "format/utils.h"
#include "probe/packet_scan.h"
#include "probe/verdict.h"

namespace vellinor::cli {
namespace {

std::string number(double value)
{
    return Utils::formatShortestDecimal(value);
}

void appendRow(std::string& out, std::initializer_list<std::string> fields)
{
    out += csv::record(std::span<const std::string>(fields.begin(), fields.size()));
}

struct FileRows {
    std::string rows;
    std::string problem;
};

}  // namespace

std::string bitrateCsvHeader()
{
    return csv::record(std::vector<std::string>{"stream", "kind", "second", "bits", "kbps", "bytes",
                                                "packets", "keyframes", "codec", "file"});
}

std::string bitrateCsvRows(const PacketStatistics& statistics, const std::string& path)
{
    std::string rows;
    const std::string& file = path;
    const std::int64_t seconds = statistics.secondCount();
    for (const StreamPackets& stream : statistics.streams) {
        const std::string index = std::to_string(stream.index);
        const std::string& kind = stream.kind;
        const std::string& codec = stream.codec;
        for (const PacketBin& bin : everySecond(stream, seconds))
            appendRow(rows,
                      {index, kind, std::to_string(bin.second), std::to_string(bin.bits()),
                       number(static_cast<double>(bin.bits()) / 1000.0), std::to_string(bin.bytes),
                       std::to_string(bin.packets), std::to_string(bin.keyframes), codec, file});
    }
    return rows;
}

std::string gopCsvHeader()
{
    return csv::record(std::vector<std::string>{"stream", "kind", "keyframe", "time", "frame",
                                                "gop_frames", "gop_min", "gop_median", "gop_max",
                                                "codec", "file"});
}

std::string gopCsvRows(const PacketStatistics& statistics, const std::string& path)
{
    std::string rows;
    const std::string& file = path;
    for (const StreamPackets& stream : statistics.streams) {
        if (!stream.isVideo() || stream.keyframes.empty())
            continue;
        const std::string index = std::to_string(stream.index);
        const std::string& kind = stream.kind;
        const std::string& codec = stream.codec;
        const auto summary = summarizeGops(stream);
        const std::string minimum = summary ? std::to_string(summary->minimum) : "";
        const std::string median = summary ? number(summary->median) : "";
        const std::string maximum = summary ? std::to_string(summary->maximum) : "";
        for (std::size_t i = 0; i < stream.keyframes.size(); ++i) {
            const KeyframePosition& key = stream.keyframes[i];
            const auto gop = gopLengthAt(stream, i);
            const std::string length = gop ? std::to_string(*gop) : "";
            appendRow(rows,
                      {index, kind, std::to_string(i), number(key.time), std::to_string(key.frame),
                       length, minimum, median, maximum, codec, file});
        }
    }
    return rows;
}

int runPacketCsv(const CliOptions& options)
{
    const bool gop = options.packetCsv == PacketCsv::gop;
    const std::vector<InputFile> inputs = collectInputFiles(options.paths, options.recursive);
    bool failed = false;
    if (!writeStandardOutput(gop ? gopCsvHeader() : bitrateCsvHeader()))
        return kExitFileProblem;
    PacketScanOptions scanOptions;
    if (options.timeout.count() > 0)
        scanOptions.timeout = std::max(scanOptions.timeout, options.timeout);
    runInOrder<FileRows>(
        inputs.size(), options.jobs,
        [&](std::size_t i) {
            FileRows result;
            const InputFile& input = inputs[i];
            if (const Status readable = checkInput(input); !readable) {
                result.problem = readable.error();
                return result;
            }
            auto statistics = scanPackets(input.path, scanOptions);
            if (!statistics)
                result.problem = statistics.error();
            else
                result.rows = gop ? gopCsvRows(*statistics, input.path)
                                  : bitrateCsvRows(*statistics, input.path);
            return result;
        },
        [&](std::size_t i, FileRows& result) {
            if (!result.problem.empty()) {
                reportProblem(inputs[i].path, result.problem);
                failed = true;
            }
            if (!writeStandardOutput(result.rows)) {
                failed = true;
                return false;
            }
            return true;
        });
    return failed ? kExitFileProblem : kExitSuccess;
}

}  // namespace vellinor::cli
