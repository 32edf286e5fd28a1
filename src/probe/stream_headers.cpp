#include "probe/stream_headers.h"

#include <array>

#include "probe/file_probe.h"
#include "probe/sniffer_mode.h"

namespace vellinor {
namespace {

// Reading three GOPs takes milliseconds; anything longer is a hostile file.
constexpr ReaderLimits kHeadersReader{std::chrono::milliseconds{10'000}, std::size_t{1} << 16,
                                      std::uint64_t{1} << 30};

bool isHex(std::string_view text)
{
    for (const char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')))
            return false;
    return true;
}

bool readerKnows(const JSON& stream)
{
    const std::string codec = stream["codec_name"].stringValue();
    return codec == "mpeg2video" || codec == "mpeg1video" || codec == "ac3" || codec == "eac3";
}

}  // namespace

std::optional<HeadersReading> parseStreamHeaders(std::string_view output)
{
    const auto document = JSON::parse(output);
    if (!document || (*document)["streams"].type() != JSONType::array)
        return std::nullopt;
    HeadersReading reading;
    if (const auto uid = (*document)["segment_uid"].string();
        uid && uid->size() == 32 && isHex(*uid))
        reading.segmentUid = *uid;
    for (const auto& [position, found] : (*document)["streams"]) {
        (void)position;
        const auto index = found["index"].intOptional();
        if (!index)
            continue;
        StreamHeaders headers;
        const auto m = found["gop_m"].intOptional();
        const auto n = found["gop_n"].intOptional();
        if (m && n && *m > 0 && *n > 0 && *m <= *n) {
            headers.gopM = m;
            headers.gopN = n;
            headers.gopVariable = found["gop_variable"].boolean().value_or(false);
        }
        headers.firstGopClosed = found["first_gop_closed"].boolean();
        headers.laterGopsOpen = found["later_gops_open"].boolean();
        headers.customMatrix = found["custom_matrix"].boolean();
        headers.timecode = found["timecode"].stringValue();
        if (const auto service = found["service_type"].intOptional();
            service && !serviceKindName(*service).empty())
            headers.serviceType = service;
        if (headers != StreamHeaders{})
            reading.streams.emplace_back(*index, std::move(headers));
    }
    return reading;
}

bool wantsStreamHeaders(const FileProbe& probe)
{
    if (!probe.json || !probe.toolProblem.empty())
        return false;
    if ((*probe.json)["format"]["format_name"].stringValue().find("matroska") != std::string::npos)
        return true;
    for (const TrackInfo& track : probe.tracksInfo)
        if (readerKnows((*probe.json)["streams"][track.trackNumber]))
            return true;
    return false;
}

void addStreamHeaders(FileProbe& probe, const std::string& path, ToolRunner* runner)
{
    if (!wantsStreamHeaders(probe))
        return;
    const ToolRun run = runFileReader(path, "--headers", kHeadersReader, runner);
    if (!run.status)
        return;
    const auto reading = parseStreamHeaders(run.output);
    if (!reading)
        return;
    probe.segmentUid = reading->segmentUid;
    const JSON streams = (*probe.json)["streams"];
    for (const auto& [index, headers] : reading->streams) {
        for (TrackInfo& track : probe.tracksInfo) {
            const JSON stream = streams[track.trackNumber];
            if (readerKnows(stream) && stream["index"].intOptional() == index)
                track.headers = headers;
        }
    }
}

std::string_view serviceKindName(std::int64_t serviceType)
{
    constexpr std::array<std::string_view, 9> kNames{
        "Complete Main", "Music and Effects", "Visually Impaired", "Hearing Impaired", "Dialogue",
        "Commentary",    "Emergency",         "Voice Over",        "Karaoke"};
    if (serviceType < 0 || serviceType >= static_cast<std::int64_t>(kNames.size()))
        return {};
    return kNames[static_cast<std::size_t>(serviceType)];
}

}  // namespace vellinor
