#include "probe/probe_record.h"

#include <utility>
#include <vector>

#include "json/finite_numbers.h"
#include "probe/hdr_facts.h"
#include "probe/overview.h"

namespace vellinor {
namespace {

using Members = std::vector<std::pair<std::string, JSON>>;

// Texts made here rather than read from the probe document (the path, the file name, problems
// that quote a path) may hold bytes that are not UTF-8, and a record must always be writable.
JSON text(std::string_view value)
{
    return JSON(mendUtf8(value));
}

JSON optionalText(const std::optional<std::string>& value)
{
    return value ? text(*value) : JSON();
}

JSON textOrNull(std::string_view value)
{
    return value.empty() ? JSON() : text(value);
}

JSON keyValueRows(const KeyValueRows& rows)
{
    std::vector<JSON> elements;
    elements.reserve(rows.size());
    for (const KeyValueRow& row : rows)
        elements.push_back(JSON::dictionary({{"key", row.key}, {"value", row.value}}));
    return JSON(std::move(elements));
}

JSON trackRecord(const TrackInfo& track)
{
    return JSON::dictionary({
        {"trackNumber", JSON(static_cast<long long>(track.trackNumber))},
        {"trackType", track.trackType},
        {"trackCodec", track.trackCodec},
        {"trackDuration", finiteNumberOrNull(track.trackDuration)},
        {"trackDurationHuman", track.trackDurationHuman},
        {"trackLanguage", track.trackLanguage},
        {"trackExtraInfo", track.trackExtraInfo},
        {"trackKeyValue", keyValueRows(track.trackKeyValue)},
        {"hdr", track.hdr ? hdrRecord(*track.hdr) : JSON()},
    });
}

// A plain value is its text, the track count its integer, a coloured one {"text", "color"}.
JSON overviewValue(const OverviewValue& value)
{
    if (value.integer)
        return JSON(static_cast<long long>(*value.integer));
    switch (value.color) {
        case OverviewValue::Color::green:
            return JSON::dictionary({{"text", value.text}, {"color", "green"}});
        case OverviewValue::Color::red:
            return JSON::dictionary({{"text", value.text}, {"color", "red"}});
        case OverviewValue::Color::none:
            break;
    }
    return JSON(value.text);
}

JSON overviewRecord(const FileProbe& probe)
{
    std::vector<JSON> rows;
    for (const OverviewRow& row : overviewRows(probe)) {
        rows.push_back(JSON::dictionary({
            {"fieldKey1", row.fieldKey1},
            {"fieldValue1", overviewValue(row.fieldValue1)},
            {"fieldKey2", row.fieldKey2},
            {"fieldValue2", overviewValue(row.fieldValue2)},
        }));
    }
    return JSON(std::move(rows));
}

JSON trackSummary(const std::optional<JSON>& summary)
{
    if (!summary || summary->type() == JSONType::null)
        return JSON();
    return withFiniteNumbers(*summary);
}

}  // namespace

JSON probeRecord(std::string_view path, const FileProbe& probe, std::string_view problem)
{
    std::vector<JSON> tracks;
    tracks.reserve(probe.tracksInfo.size());
    for (const TrackInfo& track : probe.tracksInfo)
        tracks.push_back(trackRecord(track));

    Members members{
        {"path", text(path)},
        {"fileName", optionalText(probe.fileName)},
        {"fileSize",
         probe.fileSize ? JSON(static_cast<unsigned long long>(*probe.fileSize)) : JSON()},
        {"fileSizeHuman", optionalText(probe.fileSizeHuman)},
        {"hasErrors", JSON(probe.hasErrors)},
        {"isValidMediaFile", JSON(probe.isValidMediaFile)},
        {"isEncrypted", JSON(probe.isEncrypted)},
        {"numberOfTracks", JSON(static_cast<long long>(probe.numberOfTracks))},
        {"duration", finiteNumberOrNull(probe.duration)},
        {"durationHuman", optionalText(probe.durationHuman)},
        {"bitrate", JSON(static_cast<long long>(probe.bitrate))},
        {"bitrateHuman", optionalText(probe.bitrateHuman)},
        {"numberOfVideoTracks", JSON(static_cast<long long>(probe.numberOfVideoTracks))},
        {"numberOfAudioTracks", JSON(static_cast<long long>(probe.numberOfAudioTracks))},
        {"numberOfSubtitleTracks", JSON(static_cast<long long>(probe.numberOfSubtitleTracks))},
        {"tracksInfo", JSON(std::move(tracks))},
        {"metadata", keyValueRows(probe.metadata)},
        {"firstVideoTrackInfo", trackSummary(probe.firstVideoTrackInfo)},
        {"firstAudioTrackInfo", trackSummary(probe.firstAudioTrackInfo)},
        {"toolProblem", textOrNull(probe.toolProblem)},
        {"overview", overviewRecord(probe)},
        {"problem", textOrNull(problem)},
        {"chapters", keyValueRows(probe.json ? probe.chapterRows() : KeyValueRows{})},
        // Filled in by `vellinor-cli scan` (probe/scan_result.h); a probe alone decodes nothing.
        {"scan", JSON()},
    };
    return JSON(std::move(members));
}

}  // namespace vellinor
