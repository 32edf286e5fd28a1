#include "probe/overview.h"

#include <string>

namespace vellinor {
namespace {

OverviewValue plain(std::string text)
{
    return {std::move(text), OverviewValue::Color::none, {}};
}

// "Yes" or "No", green when the answer is the good one.
OverviewValue flag(bool value, bool goodValue)
{
    return {value ? "Yes" : "No",
            value == goodValue ? OverviewValue::Color::green : OverviewValue::Color::red,
            {}};
}

// "Yes(n)" in green when there are tracks of the kind, else "No" in red.
OverviewValue presence(std::int64_t count)
{
    if (count > 0)
        return {"Yes(" + std::to_string(count) + ")", OverviewValue::Color::green, {}};
    return {"No", OverviewValue::Color::red, {}};
}

OverviewValue integer(std::int64_t value)
{
    return {std::to_string(value), OverviewValue::Color::none, value};
}

}  // namespace

std::vector<OverviewRow> overviewRows(const FileProbe& probe)
{
    return {
        {"File Size: ", plain(probe.fileSizeHuman.value_or("0 bytes")),
         "Duration: ", plain(probe.durationHuman.value_or("hh:mm:ss"))},
        {"Bit rate: ", plain(probe.bitrateHuman.value_or("0kbps")),
         "Number of Tracks: ", integer(probe.numberOfTracks)},
        {"Has Errors?: ", flag(probe.hasErrors, false),
         "Video Track Present?: ", presence(probe.numberOfVideoTracks)},
        {"Is Valid Media?: ", flag(probe.isValidMediaFile, true),
         "Audio Track Present?: ", presence(probe.numberOfAudioTracks)},
        {"Is Encrypted?: ", flag(probe.isEncrypted, false),
         "Subtitle Track Present?: ", presence(probe.numberOfSubtitleTracks)},
    };
}

namespace {

std::vector<Fact> chapterFacts(const FileProbe& probe)
{
    std::vector<Fact> facts;
    for (const KeyValueRow& row : probe.chapterRows())
        facts.push_back({FactGroup::timing, row.key, row.value, "chapters", "chapters"});
    return facts;
}

}  // namespace

TrackTableRow metadataTrackRow(const FileProbe& probe)
{
    return {"-", "Metadata", "text", "", "-", "-", probe.metadata, "-", containerFacts(probe)};
}

std::vector<TrackTableRow> tracksTableRows(const FileProbe& probe)
{
    std::vector<TrackTableRow> rows;
    rows.reserve(probe.tracksInfo.size() + 1);
    rows.push_back(metadataTrackRow(probe));
    bool chaptersShown = false;
    for (const TrackInfo& track : probe.tracksInfo) {
        rows.push_back({std::to_string(track.trackNumber), track.trackType, track.trackCodec,
                        track.trackLanguage, track.trackDurationHuman, track.trackExtraInfo,
                        track.trackKeyValue, trackSummary(probe, track), trackFacts(probe, track)});
        chaptersShown = chaptersShown || track.trackType == "Chapter";
    }
    // Matroska keeps chapters in the container, not in a stream: they get a row of their own.
    if (!chaptersShown) {
        if (auto chapters = chaptersTrackRow(probe))
            rows.push_back(std::move(*chapters));
    }
    return rows;
}

std::optional<TrackTableRow> chaptersTrackRow(const FileProbe& probe)
{
    const std::size_t count = probe.json ? (*probe.json)["chapters"].count() : 0;
    if (count == 0)
        return std::nullopt;
    return TrackTableRow{"-",
                         "Chapter",
                         "-",
                         "",
                         "-",
                         "Number of Chapters: " + std::to_string(count),
                         probe.chapterRows(),
                         "-",
                         chapterFacts(probe)};
}

}  // namespace vellinor
