#include "cli/csv_row.h"

#include <cmath>
#include <vector>

#include "json/json.h"

namespace vellinor::cli {
namespace {

// Several tracks' values in one field, in track order; a track without one keeps its place
// (empty), so the audio codecs and the audio languages line up. No track with a value: empty.
constexpr std::string_view kListSeparator = ";";

std::string joinedTrackValues(const FileProbe& probe, std::string_view trackType,
                              std::string TrackInfo::*value)
{
    std::string joined;
    bool any = false;
    bool first = true;
    for (const TrackInfo& track : probe.tracksInfo) {
        if (track.trackType != trackType)
            continue;
        if (!first)
            joined += kListSeparator;
        first = false;
        joined += track.*value;
        any = any || !(track.*value).empty();
    }
    return any ? joined : std::string();
}

std::string firstVideoCodec(const FileProbe& probe)
{
    for (const TrackInfo& track : probe.tracksInfo) {
        if (track.trackType == "Video")
            return track.trackCodec;
    }
    return {};
}

std::string summaryText(const std::optional<JSON>& summary, const char* key)
{
    if (!summary || summary->type() != JSONType::dictionary)
        return {};
    return (*summary)[key].stringValue();
}

}  // namespace

std::string csvField(std::string_view text)
{
    if (text.find_first_of(",\"\r\n") == std::string_view::npos)
        return std::string(text);
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

std::string csvHeader()
{
    return "path,size,duration,container,video_codec,resolution,frame_rate,audio_codecs,"
           "audio_languages,subtitle_languages,bit_rate,problem\r\n";
}

std::string csvRow(std::string_view path, const FileProbe& probe, std::string_view problem)
{
    const bool read = probe.json.has_value() && !probe.hasErrors;
    std::vector<std::string> fields;
    fields.reserve(12);
    fields.push_back(mendUtf8(path));
    fields.push_back(probe.fileSize ? std::to_string(*probe.fileSize) : std::string());
    fields.push_back(read && std::isfinite(probe.duration) && probe.duration > 0.0
                         ? JSON(probe.duration).stringValue()
                         : std::string());
    fields.push_back(read ? (*probe.json)["format"]["format_name"].stringValue() : std::string());
    fields.push_back(firstVideoCodec(probe));
    fields.push_back(summaryText(probe.firstVideoTrackInfo, "dimension"));
    fields.push_back(summaryText(probe.firstVideoTrackInfo, "fps"));
    fields.push_back(joinedTrackValues(probe, "Audio", &TrackInfo::trackCodec));
    fields.push_back(joinedTrackValues(probe, "Audio", &TrackInfo::trackLanguage));
    fields.push_back(joinedTrackValues(probe, "Subtitle", &TrackInfo::trackLanguage));
    fields.push_back(read && probe.bitrate > 0 ? std::to_string(probe.bitrate) : std::string());
    fields.push_back(mendUtf8(problem));

    std::string row;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0)
            row += ',';
        row += csvField(fields[i]);
    }
    row += "\r\n";
    return row;
}

}  // namespace vellinor::cli
