// Fuzz target: arbitrary bytes as the probe tool's standard output, through everything the
// probe record derives from it (format fields, container metadata, track list, track details,
// chapters) and the views both front ends build from the record.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "json/json.h"
#include "probe/file_probe.h"
#include "probe/overview.h"

namespace vellinor::fuzz {
namespace {

// The extension decides only whether the file can count as media; the input picks one.
constexpr std::array<std::string_view, 4> kPaths{
    "/media/clip.mp4",
    "/media/notes.TXT",
    "no-extension",
    "/media/Ünïcödé folder/film.mkv",
};

bool isDurationText(const std::string& text)
{
    // hh:mm:ss.mmm, with as many hour digits as it takes.
    const auto colon = text.find(':');
    return colon != std::string::npos && colon >= 2 && text.size() == colon + 10 &&
           text[colon + 3] == ':' && text[colon + 6] == '.';
}

bool isSortedByKey(const KeyValueRows& rows)
{
    return std::is_sorted(rows.begin(), rows.end(), [](const auto& a, const auto& b) {
        return a.key != b.key ? a.key < b.key : a.value < b.value;
    });
}

void checkRecord(const FileProbe& probe, std::string_view output, std::string_view path)
{
    const auto document = JSON::parse(output);
    if (!document || (*document)["error"].exists()) {
        // Unreadable output, or the tool's own error: nothing is derived.
        FUZZ_CHECK(probe.hasErrors == (document.hasValue()));
        FUZZ_CHECK(!probe.json.has_value());
        FUZZ_CHECK(!probe.durationHuman && !probe.bitrateHuman);
        FUZZ_CHECK(probe.numberOfTracks == 0 && probe.tracksInfo.empty());
        FUZZ_CHECK(probe.metadata.empty() && !probe.isValidMediaFile && !probe.isEncrypted);
        return;
    }
    FUZZ_CHECK(!probe.hasErrors);
    FUZZ_CHECK(probe.json.has_value() && *probe.json == *document);
    FUZZ_CHECK(probe.durationHuman && isDurationText(*probe.durationHuman));
    FUZZ_CHECK(probe.bitrateHuman && probe.bitrateHuman->ends_with("kbps"));

    const JSON streams = (*document)["streams"];
    const auto streamCount =
        static_cast<std::int64_t>(streams.type() == JSONType::array ? streams.count() : 0);
    FUZZ_CHECK(probe.numberOfTracks == streamCount);
    if (streams.exists()) {
        FUZZ_CHECK(static_cast<std::int64_t>(probe.tracksInfo.size()) == streamCount);
    } else {
        FUZZ_CHECK(probe.tracksInfo.empty());
    }
    FUZZ_CHECK(probe.numberOfVideoTracks >= 0 && probe.numberOfAudioTracks >= 0 &&
               probe.numberOfSubtitleTracks >= 0);
    FUZZ_CHECK(probe.numberOfVideoTracks + probe.numberOfAudioTracks +
                   probe.numberOfSubtitleTracks <=
               probe.numberOfTracks);
    const bool textFile = path.ends_with(".TXT");
    FUZZ_CHECK(probe.isValidMediaFile == (streamCount > 0 && !textFile));
    FUZZ_CHECK(!probe.isEncrypted || probe.isValidMediaFile);

    FUZZ_CHECK(isSortedByKey(probe.metadata));
    for (std::size_t i = 1; i < probe.metadata.size(); ++i) {
        FUZZ_CHECK(probe.metadata[i - 1].key != probe.metadata[i].key);
    }
    for (std::size_t i = 0; i < probe.tracksInfo.size(); ++i) {
        FUZZ_CHECK(probe.tracksInfo[i].trackNumber == static_cast<std::int64_t>(i));
        FUZZ_CHECK(!probe.tracksInfo[i].trackType.empty());
    }
    // What the report export writes: a parsed document must always be writable.
    FUZZ_CHECK(probe.json->rawString().has_value());
}

void checkViews(const FileProbe& probe)
{
    const auto overview = overviewRows(probe);
    FUZZ_CHECK(overview.size() == 5);
    for (const auto& row : overview) {
        FUZZ_CHECK(!row.fieldValue1.text.empty() && !row.fieldValue2.text.empty());
    }
    const auto rows = tracksTableRows(probe);
    // The metadata row, a row per track, and at most one "Chapter" row for chapters that no
    // stream carries (it comes last, numbered "-").
    FUZZ_CHECK(rows.size() == probe.tracksInfo.size() + 1 ||
               (rows.size() == probe.tracksInfo.size() + 2 && rows.back().trackNumber == "-" &&
                rows.back().trackType == "Chapter"));
    FUZZ_CHECK(rows.front().trackNumber == "-" && rows.front().trackKeyValue == probe.metadata);

    (void)probe.chapterRows();
    if (probe.json) {
        const JSON streams = (*probe.json)["streams"];
        const std::size_t count = std::min<std::size_t>(streams.count(), 64);
        for (std::size_t i = 0; i < count; ++i) {
            (void)probe.trackDetails(streams[i]);
        }
        // A stream of the wrong shape, as a hostile document may hold.
        (void)probe.trackDetails(JSON("not a stream"));
        (void)probe.trackDetails(*probe.json);
    }
}

}  // namespace
}  // namespace vellinor::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace vellinor;
    fuzz::silenceDiagnostics();
    const std::string_view output(reinterpret_cast<const char*>(data), size);
    const std::string path(fuzz::kPaths[size % fuzz::kPaths.size()]);

    FileProbe probe;
    probe.readToolOutput(output, path);
    fuzz::checkRecord(probe, output, path);
    fuzz::checkViews(probe);
    return 0;
}
