#include "probe/csv_row.h"

#include <cmath>
#include <vector>

#include "format/csv_text.h"
#include "json/json.h"

namespace vellinor {
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

const std::vector<std::string>& csvColumns()
{
    static const std::vector<std::string> columns{
        "path",       "size",       "duration",     "container",       "video_codec",
        "resolution", "frame_rate", "audio_codecs", "audio_languages", "subtitle_languages",
        "bit_rate",   "problem"};
    return columns;
}

std::string csvHeader()
{
    return csv::record(csvColumns());
}

std::vector<std::string> csvFields(std::string_view path, const FileProbe& probe,
                                   std::string_view problem)
{
    const bool read = probe.json.has_value() && !probe.hasErrors;
    std::vector<std::string> fields;
    fields.reserve(12);
    fields.emplace_back(path);
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
    fields.emplace_back(problem);
    return fields;
}

std::string csvRow(std::string_view path, const FileProbe& probe, std::string_view problem)
{
    return csv::record(csvFields(path, probe, problem));
}

}  // namespace vellinor
