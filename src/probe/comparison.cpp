#include "probe/comparison.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <utility>

#include "format/csv_text.h"
#include "platform/file_names.h"
#include "probe/overview.h"
#include "probe/verdict.h"

namespace vellinor {
namespace {

// Track kinds in the order their blocks appear, as the track list names them.
constexpr std::array<std::string_view, 7> kTrackKinds = {
    "Video", "Audio", "Subtitle", "Closed Caption", "Chapter", "Poster", "Other"};

// Where a track fact comes from.
enum class Source { codec, language, duration, summary, details, dimensions };

struct TrackFact {
    std::string_view fact;
    Source source;
    // For Source::details, the detail keys to read, the first one present wins (the frame rate
    // is "frames_per_second" when plausible, else the raw "r_frame_rate"; Matroska files from
    // mkvmerge state a bit rate only in the "BPS" statistics tag).
    std::array<std::string_view, 3> keys = {};
};

constexpr std::string_view kVideo = "Video";
constexpr std::string_view kAudio = "Audio";

// The facts of a track of `kind`, in row order.
std::vector<TrackFact> trackFacts(std::string_view kind)
{
    std::vector<TrackFact> facts = {
        {"Codec", Source::codec},
        {"Language", Source::language},
        {"Duration", Source::duration},
        {"Summary", Source::summary},
    };
    if (kind == kVideo) {
        facts.insert(facts.end(),
                     {
                         {"Profile", Source::details, {"profile"}},
                         {"Resolution", Source::dimensions, {"width", "height"}},
                         {"Frame rate", Source::details, {"frames_per_second", "r_frame_rate"}},
                         {"Pixel format", Source::details, {"pix_fmt"}},
                         {"Colour range", Source::details, {"color_range"}},
                         {"Colour space", Source::details, {"color_space"}},
                         {"Colour transfer", Source::details, {"color_transfer"}},
                         {"Colour primaries", Source::details, {"color_primaries"}},
                     });
    } else if (kind == kAudio) {
        facts.insert(facts.end(), {
                                      {"Channels", Source::details, {"channels"}},
                                      {"Channel layout", Source::details, {"channel_layout"}},
                                      {"Sample rate", Source::details, {"sample_rate"}},
                                      {"Sample format", Source::details, {"sample_fmt"}},
                                  });
    }
    if (kind == kVideo || kind == kAudio)
        facts.push_back({"Bit rate", Source::details, {"bit_rate", "BPS.tags", "BPS-eng.tags"}});
    facts.push_back({"Title", Source::details, {"title.tags"}});
    if (kind != "Chapter" && kind != "Poster") {
        facts.push_back({"Default", Source::details, {"default.disposition"}});
        facts.push_back({"Forced", Source::details, {"forced.disposition"}});
    }
    return facts;
}

const std::string* detailValue(const KeyValueRows& rows, std::string_view key)
{
    for (const KeyValueRow& row : rows) {
        if (row.key == key)
            return &row.value;
    }
    return nullptr;
}

std::string trackFactText(const TrackInfo& track, const TrackFact& fact)
{
    switch (fact.source) {
        case Source::codec:
            return track.trackCodec;
        case Source::language:
            return track.trackLanguage;
        case Source::duration:
            return track.trackDurationHuman;
        case Source::summary:
            return track.trackExtraInfo;
        case Source::details:
            for (const std::string_view key : fact.keys) {
                if (key.empty())
                    break;
                if (const std::string* value = detailValue(track.trackKeyValue, key))
                    return *value;
            }
            return {};
        case Source::dimensions: {
            const std::string* width = detailValue(track.trackKeyValue, "width");
            const std::string* height = detailValue(track.trackKeyValue, "height");
            if (width == nullptr || height == nullptr)
                return {};
            return *width + "x" + *height;
        }
    }
    return {};
}

// The `position`-th (from 0) track of `kind` in `probe`, or null.
const TrackInfo* nthTrack(const FileProbe& probe, std::string_view kind, std::size_t position)
{
    std::size_t seen = 0;
    for (const TrackInfo& track : probe.tracksInfo) {
        if (track.trackType == kind && seen++ == position)
            return &track;
    }
    return nullptr;
}

std::size_t trackCount(const FileProbe& probe, std::string_view kind)
{
    return static_cast<std::size_t>(
        std::count_if(probe.tracksInfo.begin(), probe.tracksInfo.end(),
                      [kind](const TrackInfo& track) { return track.trackType == kind; }));
}

// "File Size: " -> "File Size"
std::string factName(std::string_view label)
{
    while (!label.empty() && (label.back() == ' ' || label.back() == ':'))
        label.remove_suffix(1);
    return std::string(label);
}

// The overview's ten facts, each as (label, text), in reading order (left pair, right pair).
std::vector<std::pair<std::string, std::string>> overviewFacts(const FileProbe& probe)
{
    std::vector<std::pair<std::string, std::string>> facts;
    for (const OverviewRow& row : overviewRows(probe)) {
        facts.emplace_back(factName(row.fieldKey1), row.fieldValue1.text);
        facts.emplace_back(factName(row.fieldKey2), row.fieldValue2.text);
    }
    return facts;
}

bool cellsDiffer(const ComparisonRow& row, const std::vector<ComparedFile>& files,
                 bool includeFailed)
{
    const ComparisonCell* first = nullptr;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const bool takesPart = files[i].isProbed() || (includeFailed && !files[i].isPending());
        if (!takesPart)
            continue;
        if (first == nullptr)
            first = &row.cells[i];
        else if (row.cells[i] != *first)
            return true;
    }
    return false;
}

bool allMissingOrEmpty(const ComparisonRow& row)
{
    return std::all_of(row.cells.begin(), row.cells.end(),
                       [](const ComparisonCell& cell) { return !cell || cell->empty(); });
}

// Builds rows of one file-level or track-level block, cell by cell.
class RowBuilder {
public:
    explicit RowBuilder(const std::vector<ComparedFile>& files) : m_files(files) {}

    // A row whose cell for each probed file is `text(probe)`, missing for the others. With
    // `keepEmpty` false, a row with nothing in it is left out.
    template <typename TextOf>
    void add(std::string track, std::string fact, std::string key, bool keepEmpty, TextOf text)
    {
        ComparisonRow row{std::move(track), std::move(fact), std::move(key), {}, false};
        row.cells.reserve(m_files.size());
        for (const ComparedFile& file : m_files)
            row.cells.push_back(file.isProbed() ? text(*file.probe) : ComparisonCell{});
        if (!keepEmpty && allMissingOrEmpty(row))
            return;
        row.differs = cellsDiffer(row, m_files, false);
        rows.push_back(std::move(row));
    }

    std::vector<ComparisonRow> rows;

private:
    const std::vector<ComparedFile>& m_files;
};

}  // namespace

bool Comparison::differs() const
{
    return std::any_of(rows.begin(), rows.end(), [](const ComparisonRow& r) { return r.differs; });
}

std::size_t Comparison::differingRowCount() const
{
    return static_cast<std::size_t>(
        std::count_if(rows.begin(), rows.end(), [](const ComparisonRow& r) { return r.differs; }));
}

ComparedFile probeComparedFile(const std::string& path, const ProbeOptions& options)
{
    ComparedFile file{platform::fileNameOfPath(path), path, nullptr, accessVerdict(path).problem};
    if (!file.problem.empty())
        return file;
    auto probe = std::make_shared<const FileProbe>(path, options);
    file.problem = fileVerdict(path, *probe).problem;
    file.probe = std::move(probe);
    return file;
}

Comparison compareFiles(std::vector<ComparedFile> files)
{
    RowBuilder builder(files);
    const std::string fileTrack(kFileTrack);

    if (std::any_of(files.begin(), files.end(),
                    [](const ComparedFile& file) { return !file.problem.empty(); })) {
        ComparisonRow problems{fileTrack, std::string(kProblemFact), {}, {}, false};
        for (const ComparedFile& file : files)
            problems.cells.push_back(file.isPending() ? ComparisonCell{} : file.problem);
        problems.differs = cellsDiffer(problems, files, true);
        builder.rows.push_back(std::move(problems));
    }

    for (const auto& [fact, key] :
         {std::pair{"Container", "format_long_name"}, std::pair{"Title", "title.tags"}}) {
        // An init-capture: clang 14 cannot capture a structured binding itself.
        builder.add(fileTrack, fact, key, false,
                    [name = key](const FileProbe& probe) -> ComparisonCell {
                        const std::string* value = detailValue(probe.metadata, name);
                        return value != nullptr ? *value : std::string();
                    });
    }
    const auto overviewLabels = overviewFacts(FileProbe{});
    for (std::size_t fact = 0; fact < overviewLabels.size(); ++fact) {
        builder.add(fileTrack, overviewLabels[fact].first, {}, true,
                    [fact](const FileProbe& probe) -> ComparisonCell {
                        return overviewFacts(probe)[fact].second;
                    });
    }

    for (const std::string_view kind : kTrackKinds) {
        std::size_t positions = 0;
        for (const ComparedFile& file : files) {
            if (file.isProbed())
                positions = std::max(positions, trackCount(*file.probe, kind));
        }
        const std::vector<TrackFact> facts = trackFacts(kind);
        for (std::size_t position = 0; position < positions; ++position) {
            const std::string track = std::string(kind) + " " + std::to_string(position + 1);
            for (const TrackFact& fact : facts) {
                const std::string key =
                    fact.source == Source::details ? std::string(fact.keys.front()) : "";
                builder.add(track, std::string(fact.fact), key, false,
                            [&](const FileProbe& probe) -> ComparisonCell {
                                const TrackInfo* info = nthTrack(probe, kind, position);
                                if (info == nullptr)
                                    return std::nullopt;
                                return trackFactText(*info, fact);
                            });
            }
        }
    }
    return {std::move(files), std::move(builder.rows)};
}

Comparison onlyDifferences(const Comparison& comparison)
{
    Comparison result{comparison.files, {}};
    std::copy_if(comparison.rows.begin(), comparison.rows.end(), std::back_inserter(result.rows),
                 [](const ComparisonRow& row) { return row.differs; });
    return result;
}

std::string comparisonCsv(const Comparison& comparison)
{
    std::vector<std::string> fields = {"Track", "Fact", "Differs"};
    for (const ComparedFile& file : comparison.files)
        fields.push_back(file.name);
    std::string text = csv::record(fields);
    for (const ComparisonRow& row : comparison.rows) {
        fields = {row.track, row.fact, row.differs ? "yes" : ""};
        for (const ComparisonCell& cell : row.cells)
            fields.push_back(cell.value_or(""));
        text += csv::record(fields);
    }
    return text;
}

JSON comparisonJson(const Comparison& comparison)
{
    auto textOrNull = [](const std::string& text) {
        return text.empty() ? JSON::null() : JSON(mendUtf8(text));
    };
    std::vector<JSON> files;
    for (const ComparedFile& file : comparison.files) {
        files.emplace_back(std::vector<std::pair<std::string, JSON>>{
            {"name", JSON(mendUtf8(file.name))},
            {"path", JSON(mendUtf8(file.path))},
            {"problem", textOrNull(file.problem)},
        });
    }
    std::vector<JSON> rows;
    for (const ComparisonRow& row : comparison.rows) {
        std::vector<JSON> values;
        for (const ComparisonCell& cell : row.cells)
            values.push_back(cell ? JSON(mendUtf8(*cell)) : JSON::null());
        rows.emplace_back(std::vector<std::pair<std::string, JSON>>{
            {"track", JSON(row.track)},
            {"fact", JSON(row.fact)},
            {"key", textOrNull(row.key)},
            {"differs", JSON(row.differs)},
            {"values", JSON(std::move(values))},
        });
    }
    return JSON(std::vector<std::pair<std::string, JSON>>{
        {"files", JSON(std::move(files))},
        {"differs", JSON(comparison.differs())},
        {"rows", JSON(std::move(rows))},
    });
}

}  // namespace vellinor
