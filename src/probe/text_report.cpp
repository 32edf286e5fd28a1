#include "probe/text_report.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "format/text_table.h"
#include "probe/overview.h"

namespace vellinor {
namespace {

constexpr std::string_view kDetailIndent = "    ";

CellColor cellColor(OverviewValue::Color color)
{
    switch (color) {
        case OverviewValue::Color::green:
            return CellColor::green;
        case OverviewValue::Color::red:
            return CellColor::red;
        case OverviewValue::Color::none:
            break;
    }
    return CellColor::none;
}

void appendOverview(std::string& out, const FileProbe& probe, bool useColor)
{
    std::vector<TextRow> rows;
    for (const OverviewRow& row : overviewRows(probe)) {
        rows.push_back({{row.fieldKey1},
                        {row.fieldValue1.text, cellColor(row.fieldValue1.color)},
                        {row.fieldKey2},
                        {row.fieldValue2.text, cellColor(row.fieldValue2.color)}});
    }
    // The labels end in a blank already; the pairs stand apart by a wider gap.
    for (const std::string& line : alignColumns(rows, {"", "     ", ""}, useColor)) {
        out += line;
        out += '\n';
    }
}

// One detail row: the key padded to `keyWidth`, then the value; the lines after the first of a
// multi-line value (pretty JSON of a nested array) start under the value's first line.
void appendDetail(std::string& out, const KeyValueRow& row, std::size_t keyWidth)
{
    const std::string key = printableText(row.key);
    std::string line(kDetailIndent);
    line += key;
    line.append(keyWidth - displayWidth(key) + 2, ' ');
    const std::string continuation(kDetailIndent.size() + keyWidth + 2, ' ');

    std::string_view value = row.value;
    // A closing line break adds nothing to read.
    while (value.ends_with('\n'))
        value.remove_suffix(1);
    bool first = true;
    for (;;) {
        const auto lineBreak = value.find('\n');
        if (!first)
            line = continuation;
        line += printableText(value.substr(0, lineBreak));
        line.erase(line.find_last_not_of(' ') + 1);
        out += line;
        out += '\n';
        if (lineBreak == std::string_view::npos)
            break;
        value.remove_prefix(lineBreak + 1);
        first = false;
    }
}

void appendDetails(std::string& out, const KeyValueRows& rows)
{
    std::size_t keyWidth = 0;
    for (const KeyValueRow& row : rows)
        keyWidth = std::max(keyWidth, displayWidth(printableText(row.key)));
    for (const KeyValueRow& row : rows)
        appendDetail(out, row, keyWidth);
}

void appendTracks(std::string& out, const FileProbe& probe, const TextReportOptions& options)
{
    const std::vector<TrackTableRow> tracks = tracksTableRows(probe);
    std::vector<TextRow> rows;
    rows.push_back({{"#"}, {"Type"}, {"Codec"}, {"Language"}, {"Duration"}, {"Info"}});
    for (const TrackTableRow& track : tracks) {
        rows.push_back({{track.trackNumber},
                        {track.trackType},
                        {track.trackCodec},
                        {track.trackLanguage},
                        {track.trackDurationHuman},
                        {track.trackExtraInfo}});
    }
    const std::vector<std::string> lines = alignColumns(rows, {}, false);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        out += lines[i];
        out += '\n';
        if (options.details && i > 0)
            appendDetails(out, tracks[i - 1].trackKeyValue);
    }
}

// Each row of the tracks table with its summary, then its facts by group:
//     Track 1: Audio - AC-3, 384 kb/s, 48 kHz, 5.1, Default
//       Sound
//         Sampling rate  48.0 kHz
void appendFacts(std::string& out, const FileProbe& probe)
{
    for (const TrackTableRow& track : tracksTableRows(probe)) {
        out += '\n';
        out += track.trackNumber == "-" ? track.trackType
                                        : "Track " + track.trackNumber + ": " + track.trackType;
        if (!track.trackSummary.empty() && track.trackSummary != "-")
            out += " - " + printableText(track.trackSummary);
        out += '\n';
        std::size_t nameWidth = 0;
        for (const Fact& fact : track.trackFacts)
            nameWidth = std::max(nameWidth, displayWidth(printableText(fact.name)));
        const Fact* previous = nullptr;
        for (const Fact& fact : track.trackFacts) {
            if (previous == nullptr || previous->group != fact.group) {
                out += "  ";
                out += factGroupName(fact.group);
                out += '\n';
            }
            previous = &fact;
            // Where a fact is read from another field or worked out, say from what.
            std::string value = fact.value;
            if (fact.group != FactGroup::tags && fact.source != fact.key)
                value += "  [" + fact.source + "]";
            appendDetail(out, {fact.name, value}, nameWidth);
        }
    }
}

}  // namespace

std::string textReport(const FileProbe& probe, const std::string& fallbackName,
                       const TextReportOptions& options)
{
    std::string out = "File Name: ";
    out += printableText(probe.fileName.value_or(fallbackName));
    out += "\n\n";
    appendOverview(out, probe, options.useColor);
    out += '\n';
    appendTracks(out, probe, options);
    if (options.facts)
        appendFacts(out, probe);
    return out;
}

}  // namespace vellinor
