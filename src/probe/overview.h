#pragma once

// What the window and the command line show of a probed file, built once here so both faces
// show the same labels, placeholders and colours.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "probe/facts_catalogue.h"
#include "probe/file_probe.h"

namespace vellinor {

// A value of the overview table: plain text, coloured text (Yes/No, Yes(n)) or an integer.
struct OverviewValue {
    enum class Color { none, green, red };
    std::string text;  // what is shown; for an integer its decimal text
    Color color = Color::none;
    std::optional<std::int64_t> integer;  // set for the track count

    friend bool operator==(const OverviewValue&, const OverviewValue&) = default;
};

struct OverviewRow {
    std::string fieldKey1;
    OverviewValue fieldValue1;
    std::string fieldKey2;
    OverviewValue fieldValue2;

    friend bool operator==(const OverviewRow&, const OverviewRow&) = default;
};

// The five rows: size / duration, bit rate / number of tracks, and the six Yes/No answers.
std::vector<OverviewRow> overviewRows(const FileProbe& probe);

// A row of the tracks table as shown: the "Metadata" row first (number "-", codec "text",
// the container metadata as its details), then one row per track.
struct TrackTableRow {
    std::string trackNumber;  // "-" for the metadata row, else the decimal track number
    std::string trackType;
    std::string trackCodec;
    std::string trackLanguage;
    std::string trackDurationHuman;
    std::string trackExtraInfo;
    KeyValueRows trackKeyValue;
    std::string trackSummary;      // the track in one line (facts_catalogue.h); "-" for metadata
    std::vector<Fact> trackFacts;  // the Facts view of the row
};

TrackTableRow metadataTrackRow(const FileProbe& probe);
// The metadata row, a row per track, and, when the file has chapters that no track carries (a
// Matroska file), a "Chapter" row after them (number "-", like the metadata row).
std::vector<TrackTableRow> tracksTableRows(const FileProbe& probe);
// The row of the document's chapters ("Number of Chapters: N", the chapter rows as details);
// nothing for a file without chapters.
std::optional<TrackTableRow> chaptersTrackRow(const FileProbe& probe);

}  // namespace vellinor
