#include "probe/scan_result.h"

#include <fmt/format.h>

#include <cmath>
#include <utility>

#include "format/utils.h"

namespace vellinor {
namespace {

constexpr std::int64_t kScanVersion = 1;

std::optional<double> number(const JSON& value)
{
    if (value.type() != JSONType::number)
        return std::nullopt;
    double number = value.doubleValue();
    return std::isfinite(number) ? std::optional<double>(number) : std::nullopt;
}

std::optional<std::int64_t> integer(const JSON& value)
{
    if (value.type() != JSONType::number)
        return std::nullopt;
    return value.intOptional();
}

std::optional<std::string> text(const JSON& value)
{
    return value.string();
}

std::vector<ScanSpan> spans(const JSON& value)
{
    std::vector<ScanSpan> result;
    for (const JSON& span : value.arrayValue()) {
        auto start = number(span["start"]);
        auto end = number(span["end"]);
        if (start && end)
            result.push_back({*start, *end});
    }
    return result;
}

StreamScanFacts streamFacts(const JSON& stream)
{
    StreamScanFacts facts;
    facts.index = integer(stream["index"]).value_or(0);
    facts.kind = stream["type"].stringValue();
    facts.codec = stream["codec"].stringValue();
    facts.decoderProblem = text(stream["decoder_problem"]);
    facts.decodeErrors = std::max<std::int64_t>(0, integer(stream["decode_errors"]).value_or(0));
    for (const JSON& error : stream["first_errors"].arrayValue())
        facts.firstErrors.push_back({number(error["time"]), error["message"].stringValue()});
    facts.frames = integer(stream["frames"]);
    facts.samples = integer(stream["samples"]);
    facts.sampleRate = integer(stream["sample_rate"]);
    facts.start = number(stream["start"]);
    facts.end = number(stream["end"]);
    facts.duration = number(stream["duration"]);
    facts.frameRateMode = text(stream["frame_rate_mode"]);
    facts.frameDurationMin = number(stream["frame_duration_min"]);
    facts.frameDurationMax = number(stream["frame_duration_max"]);
    if (const JSON& counts = stream["interlacing"]; counts.type() == JSONType::dictionary)
        facts.interlacing = ScanInterlacing{
            integer(counts["progressive"]).value_or(0), integer(counts["tff"]).value_or(0),
            integer(counts["bff"]).value_or(0), integer(counts["undetermined"]).value_or(0)};
    facts.black = spans(stream["black"]);
    facts.frozen = spans(stream["frozen"]);
    facts.silence = spans(stream["silence"]);
    for (const JSON& kind : stream["captions"].arrayValue())
        if (auto name = kind.string())
            facts.captions.push_back(*name);
    if (const JSON& loudness = stream["loudness"]; loudness.type() == JSONType::dictionary) {
        if (auto integrated = number(loudness["integrated"]))
            facts.loudness =
                ScanLoudness{*integrated, number(loudness["range"]), number(loudness["true_peak"])};
    }
    facts.md5 = text(stream["md5"]);
    return facts;
}

std::string kindTitle(const StreamScanFacts& stream)
{
    return stream.isVideo() ? "Video" : "Audio";
}

std::string seconds3(double value)
{
    return fmt::format("{:.3f} s", value);
}

std::string spanList(const std::vector<ScanSpan>& spans)
{
    std::string text;
    for (const ScanSpan& span : spans) {
        if (!text.empty())
            text += "; ";
        text += Utils::formatDuration(span.start) + " to " + Utils::formatDuration(span.end);
    }
    return text;
}

JSON optionalNumber(std::optional<double> value)
{
    return value ? JSON(*value) : JSON(nullptr);
}

JSON optionalInteger(std::optional<std::int64_t> value)
{
    return value ? JSON(static_cast<long long>(*value)) : JSON(nullptr);
}

JSON optionalText(const std::optional<std::string>& value)
{
    return value ? JSON(mendUtf8(*value)) : JSON(nullptr);
}

JSON spansRecord(const std::vector<ScanSpan>& spans)
{
    std::vector<JSON> list;
    for (const ScanSpan& span : spans)
        list.push_back(JSON::dictionary({{"start", span.start}, {"end", span.end}}));
    return JSON(std::move(list));
}

}  // namespace

std::int64_t ScanResult::decodeErrors() const
{
    std::int64_t total = 0;
    for (const StreamScanFacts& stream : streams)
        total += stream.decodeErrors;
    return total;
}

bool ScanResult::damaged() const
{
    if (truncated || decodeErrors() > 0)
        return true;
    for (const StreamScanFacts& stream : streams)
        if (stream.decoderProblem)
            return true;
    return false;
}

Expected<ScanResult> parseScanOutput(std::string_view output)
{
    // Progress lines come first; the document is the first line that opens an object.
    std::string_view document;
    while (!output.empty()) {
        std::size_t end = output.find('\n');
        std::string_view line = output.substr(0, end);
        if (!line.empty() && line.front() == '{') {
            document = output;
            break;
        }
        if (end == std::string_view::npos)
            break;
        output.remove_prefix(end + 1);
    }
    if (document.empty())
        return Unexpected(std::string("the scanner stopped before it gave a result"));
    auto parsed = JSON::parse(document);
    if (!parsed || parsed->type() != JSONType::dictionary)
        return Unexpected(std::string("the scanner's result does not read as JSON"));
    const JSON& root = *parsed;
    if (integer(root["version"]) != kScanVersion || root["streams"].type() != JSONType::array)
        return Unexpected(std::string("the scanner's result is not a scan this program reads"));

    ScanResult scan;
    scan.size = integer(root["size"]).value_or(0);
    scan.sha256 = text(root["sha256"]);
    scan.md5 = text(root["md5"]);
    scan.truncated = root["truncated"].boolean().value_or(false);
    scan.truncation = text(root["truncation"]);
    scan.containerErrors = std::max<std::int64_t>(0, integer(root["container_errors"]).value_or(0));
    for (const JSON& line : root["container_messages"].arrayValue())
        if (auto message = line.string())
            scan.containerMessages.push_back(*message);
    scan.declaredDuration = number(root["declared_duration"]);
    scan.duration = number(root["duration"]);
    for (const JSON& stream : root["streams"].arrayValue())
        if (stream.type() == JSONType::dictionary)
            scan.streams.push_back(streamFacts(stream));
    return scan;
}

std::vector<std::string> scanVerdictLines(const ScanResult& scan)
{
    std::vector<std::string> lines;
    if (scan.truncated)
        lines.push_back("Truncated: " + scan.truncation.value_or("the file ends early"));
    for (const StreamScanFacts& stream : scan.streams) {
        if (stream.decoderProblem)
            lines.push_back(fmt::format("{} stream {} was not decoded: {}", kindTitle(stream),
                                        stream.index, *stream.decoderProblem));
        if (stream.decodeErrors == 0)
            continue;
        std::string line =
            fmt::format("{} decode error{} in {} stream {}", stream.decodeErrors,
                        stream.decodeErrors == 1 ? "" : "s", stream.kind, stream.index);
        if (!stream.firstErrors.empty()) {
            const ScanError& first = stream.firstErrors.front();
            line += ", first";
            if (first.time)
                line += " at " + Utils::formatDuration(*first.time);
            line += ": " + first.message;
        }
        lines.push_back(std::move(line));
    }
    if (lines.empty())
        lines.emplace_back("No decode errors");
    return lines;
}

std::string loudnessText(const ScanLoudness& loudness)
{
    std::string text = fmt::format("Loudness {:.1f} LUFS", loudness.integrated);
    if (loudness.range)
        text += fmt::format(", range {:.1f} LU", *loudness.range);
    text += loudness.truePeak ? fmt::format(", true peak {:.1f} dBTP", *loudness.truePeak)
                              : std::string(", true peak -inf dBTP");
    return text;
}

std::string scanReportSection(const ScanResult& scan)
{
    std::string text = "\nScan\n";
    for (const std::string& line : scanReportLines(scan))
        text += "  " + line + "\n";
    return text;
}

std::vector<std::string> scanReportLines(const ScanResult& scan)
{
    std::vector<std::string> lines = scanVerdictLines(scan);
    for (const StreamScanFacts& stream : scan.streams) {
        std::string head =
            fmt::format("{} stream {} ({}): ", kindTitle(stream), stream.index, stream.codec);
        if (stream.isVideo())
            head += fmt::format("{} frames", stream.frames.value_or(0));
        else
            head += fmt::format("{} samples", stream.samples.value_or(0)) +
                    (stream.sampleRate ? fmt::format(" at {} Hz", *stream.sampleRate) : "");
        if (stream.duration)
            head += ", " + Utils::formatDuration(*stream.duration);
        if (stream.frameRateMode && stream.frameDurationMin && stream.frameDurationMax) {
            if (*stream.frameRateMode == "constant")
                head +=
                    ", constant frame rate (" + seconds3(*stream.frameDurationMin) + " per frame)";
            else
                head += ", variable frame rate (" + seconds3(*stream.frameDurationMin) + " to " +
                        seconds3(*stream.frameDurationMax) + " per frame)";
        }
        lines.push_back(std::move(head));
        const std::string indent = "  ";
        if (stream.interlacing) {
            const ScanInterlacing& counts = *stream.interlacing;
            lines.push_back(indent + fmt::format("Interlacing: {} progressive, {} top field "
                                                 "first, {} bottom field first, {} undetermined",
                                                 counts.progressive, counts.topFieldFirst,
                                                 counts.bottomFieldFirst, counts.undetermined));
        }
        if (!stream.black.empty())
            lines.push_back(indent + "Black: " + spanList(stream.black));
        if (!stream.frozen.empty())
            lines.push_back(indent + "Frozen: " + spanList(stream.frozen));
        if (!stream.captions.empty()) {
            std::string kinds;
            for (const std::string& kind : stream.captions)
                kinds += (kinds.empty() ? "" : ", ") + kind;
            lines.push_back(indent + "Captions: " + kinds);
        }
        if (stream.loudness)
            lines.push_back(indent + loudnessText(*stream.loudness));
        if (!stream.silence.empty())
            lines.push_back(indent + "Silence: " + spanList(stream.silence));
        if (stream.md5)
            lines.push_back(indent + "Content MD5: " + *stream.md5);
    }
    if (scan.sha256)
        lines.push_back("File SHA-256: " + *scan.sha256);
    if (scan.md5)
        lines.push_back("File MD5: " + *scan.md5);
    return lines;
}

JSON scanRecord(const ScanResult& scan)
{
    std::vector<JSON> streams;
    for (const StreamScanFacts& stream : scan.streams) {
        std::vector<JSON> errors;
        for (const ScanError& error : stream.firstErrors)
            errors.push_back(JSON::dictionary(
                {{"time", optionalNumber(error.time)}, {"message", mendUtf8(error.message)}}));
        JSON interlacing = nullptr;
        if (stream.interlacing)
            interlacing = JSON::dictionary(
                {{"progressive", static_cast<long long>(stream.interlacing->progressive)},
                 {"topFieldFirst", static_cast<long long>(stream.interlacing->topFieldFirst)},
                 {"bottomFieldFirst", static_cast<long long>(stream.interlacing->bottomFieldFirst)},
                 {"undetermined", static_cast<long long>(stream.interlacing->undetermined)}});
        JSON loudness = nullptr;
        if (stream.loudness)
            loudness = JSON::dictionary({{"integrated", stream.loudness->integrated},
                                         {"range", optionalNumber(stream.loudness->range)},
                                         {"truePeak", optionalNumber(stream.loudness->truePeak)}});
        std::vector<JSON> captions;
        for (const std::string& kind : stream.captions)
            captions.emplace_back(mendUtf8(kind));
        streams.push_back(JSON(std::vector<std::pair<std::string, JSON>>{
            {"index", static_cast<long long>(stream.index)},
            {"kind", mendUtf8(stream.kind)},
            {"codec", mendUtf8(stream.codec)},
            {"decoderProblem", optionalText(stream.decoderProblem)},
            {"decodeErrors", static_cast<long long>(stream.decodeErrors)},
            {"firstErrors", JSON(std::move(errors))},
            {"frames", optionalInteger(stream.frames)},
            {"samples", optionalInteger(stream.samples)},
            {"sampleRate", optionalInteger(stream.sampleRate)},
            {"start", optionalNumber(stream.start)},
            {"end", optionalNumber(stream.end)},
            {"duration", optionalNumber(stream.duration)},
            {"frameRateMode", optionalText(stream.frameRateMode)},
            {"frameDurationMin", optionalNumber(stream.frameDurationMin)},
            {"frameDurationMax", optionalNumber(stream.frameDurationMax)},
            {"interlacing", interlacing},
            {"black", spansRecord(stream.black)},
            {"frozen", spansRecord(stream.frozen)},
            {"silence", spansRecord(stream.silence)},
            {"captions", JSON(std::move(captions))},
            {"loudness", loudness},
            {"md5", optionalText(stream.md5)},
        }));
    }
    std::vector<JSON> messages;
    for (const std::string& message : scan.containerMessages)
        messages.emplace_back(mendUtf8(message));
    return JSON(std::vector<std::pair<std::string, JSON>>{
        {"damaged", scan.damaged()},
        {"decodeErrors", static_cast<long long>(scan.decodeErrors())},
        {"truncated", scan.truncated},
        {"truncation", optionalText(scan.truncation)},
        {"containerErrors", static_cast<long long>(scan.containerErrors)},
        {"containerMessages", JSON(std::move(messages))},
        {"declaredDuration", optionalNumber(scan.declaredDuration)},
        {"duration", optionalNumber(scan.duration)},
        {"size", static_cast<long long>(scan.size)},
        {"sha256", optionalText(scan.sha256)},
        {"md5", optionalText(scan.md5)},
        {"streams", JSON(std::move(streams))},
    });
}

}  // namespace vellinor
