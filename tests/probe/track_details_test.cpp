#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "probe/file_probe.h"
#include "probe_test_support.h"

namespace vellinor {
namespace {

using test::keysOf;
using test::probeOf;
using test::valueOf;

JSON parsed(std::string_view text)
{
    auto value = JSON::parse(text);
    EXPECT_TRUE(value.hasValue()) << text;
    return value.valueOr(JSON());
}

KeyValueRows detailsOf(std::string_view stream)
{
    return FileProbe().trackDetails(parsed(stream));
}

TEST(TrackDetails, FlattensGroupsAndSortsAllRowsTogether)
{
    const KeyValueRows rows = detailsOf(R"({"index": 1, "codec_name": "aac", "r_frame_rate": "0/0",
        "disposition": {"default": 1, "dub": 0}, "tags": {"language": "eng"}})");
    EXPECT_EQ(rows, (KeyValueRows{{"codec_name", "aac"},
                                  {"default.disposition", "1"},
                                  {"dub.disposition", "0"},
                                  {"index", "1"},
                                  {"language.tags", "eng"},
                                  {"r_frame_rate", "0/0"}}));
}

TEST(TrackDetails, NamesSortByCodePoint)
{
    // Upper case before "_" before lower case; "." before letters and digits; UTF-8 by code
    // point.
    const KeyValueRows rows = detailsOf(R"({"width": 2, "a_b": 1, "aB": 1, "ab": 1, "Zed": 1,
        "disposition": {"visual_impaired": 0, "attached_pic": 0},
        "tags": {"DURATION": "00:00:01.000000000", "title": "é", "énorme": "x"}, "index": 0})");
    EXPECT_EQ(keysOf(rows),
              (std::vector<std::string>{"DURATION.tags", "Zed", "aB", "a_b", "ab",
                                        "attached_pic.disposition", "index", "title.tags",
                                        "visual_impaired.disposition", "width", "énorme.tags"}));
    EXPECT_EQ(valueOf(rows, "title.tags"), "é");
}

TEST(TrackDetails, ValuesAreShownAsTheirRawText)
{
    const KeyValueRows rows = detailsOf(R"({"text": "say \"hi\"", "integer": -12,
        "real": 0.5, "yes": true, "no": false, "nothing": null, "empty": "",
        "side_data_list": [{"side_data_type": "Display Matrix", "rotation": -90}],
        "object": {"a": [1, 2]}})");
    EXPECT_EQ(valueOf(rows, "text"), "say \"hi\"");
    EXPECT_EQ(valueOf(rows, "integer"), "-12");
    EXPECT_EQ(valueOf(rows, "real"), "0.5");
    EXPECT_EQ(valueOf(rows, "yes"), "true");
    EXPECT_EQ(valueOf(rows, "no"), "false");
    EXPECT_EQ(valueOf(rows, "nothing"), "null");
    EXPECT_EQ(valueOf(rows, "empty"), "");
    // Nested values are one row holding their pretty-printed JSON.
    const std::string sideData = valueOf(rows, "side_data_list");
    EXPECT_NE(sideData.find('\n'), std::string::npos) << sideData;
    EXPECT_NE(sideData.find("\"Display Matrix\""), std::string::npos) << sideData;
    EXPECT_EQ(parsed(sideData),
              parsed(R"([{"side_data_type": "Display Matrix", "rotation": -90}])"));
    EXPECT_EQ(parsed(valueOf(rows, "object")), parsed(R"({"a": [1, 2]})"));
}

TEST(TrackDetails, GroupsThatAreNotObjectsOrArrays)
{
    EXPECT_EQ(detailsOf(R"({"disposition": 5, "tags": "eng"})"), KeyValueRows{});
    EXPECT_EQ(detailsOf(R"({"tags": ["eng", "fre"]})"),
              (KeyValueRows{{"0.tags", "eng"}, {"1.tags", "fre"}}));
    EXPECT_EQ(detailsOf("{}"), KeyValueRows{});
    EXPECT_EQ(detailsOf("[]"), KeyValueRows{});
}

TEST(TrackDetails, PlausibleFrameRatesShowAsNumbers)
{
    struct Case {
        const char* rate;
        const char* key;
        const char* value;
    };
    const Case cases[] = {
        {R"("30000/1001")", "frames_per_second", "29.97"},
        {R"("25/1")", "frames_per_second", "25"},
        {R"("24000/1001")", "frames_per_second", "23.976"},
        {R"("201/10")", "frames_per_second", "20.1"},
        {R"("1999/10")", "frames_per_second", "199.9"},
        {R"("20/1")", "r_frame_rate", "20/1"},
        {R"("200/1")", "r_frame_rate", "200/1"},
        {R"("15/1")", "r_frame_rate", "15/1"},
        {R"("90000/1")", "r_frame_rate", "90000/1"},
        {R"("0/0")", "r_frame_rate", "0/0"},
        {R"("25/0")", "r_frame_rate", "25/0"},
        {R"("fast")", "r_frame_rate", "fast"},
        {R"("")", "r_frame_rate", ""},
        {"[25, 1]", "r_frame_rate", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rate);
        const KeyValueRows rows = detailsOf(R"({"r_frame_rate": )" + std::string(c.rate) + "}");
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0].key, c.key);
        if (c.value) {
            EXPECT_EQ(rows[0].value, c.value);
        }
    }
}

constexpr const char* kChapterDocument = R"({"streams": [
    {"codec_type": "data", "codec_name": "bin_data", "codec_tag_string": "text", "index": 2},
    {"codec_type": "data", "codec_name": "Bin_data", "index": 3},
    {"codec_type": "data", "codec_name": "bin_data ", "index": 4}],
  "chapters": [
    {"start_time": "0.000000", "end_time": "65.500000", "tags": {"title": "Intro"}},
    {"start_time": "65.500000", "end_time": "3700.000000", "tags": {"title": "Part 2"}}]})";

TEST(TrackDetails, ChapterStreamStartsWithTheChapterRows)
{
    const FileProbe probe = probeOf(kChapterDocument, "/media/film.m4v");
    ASSERT_EQ(probe.tracksInfo.size(), 3u);
    EXPECT_EQ(probe.tracksInfo[0].trackKeyValue,
              (KeyValueRows{{"Intro", "00:00:00.000 - 00:01:05.000"},
                            {"Part 2", "00:01:05.000 - 01:01:40.000"},
                            {"codec_name", "bin_data"},
                            {"codec_tag_string", "text"},
                            {"codec_type", "data"},
                            {"index", "2"}}));
    // Only the exact text bin_data marks the chapter stream.
    EXPECT_EQ(keysOf(probe.tracksInfo[1].trackKeyValue),
              (std::vector<std::string>{"codec_name", "codec_type", "index"}));
    EXPECT_EQ(keysOf(probe.tracksInfo[2].trackKeyValue),
              (std::vector<std::string>{"codec_name", "codec_type", "index"}));
}

TEST(TrackDetails, ChapterStreamWithoutChaptersHasOnlyItsOwnRows)
{
    const FileProbe probe = probeOf(R"({"streams": [{"codec_name": "bin_data"}]})");
    ASSERT_EQ(probe.tracksInfo.size(), 1u);
    EXPECT_EQ(probe.tracksInfo[0].trackKeyValue, (KeyValueRows{{"codec_name", "bin_data"}}));
}

// ---- Chapters ----

KeyValueRows chaptersOf(std::string_view chapters)
{
    return probeOf(R"({"chapters": )" + std::string(chapters) + "}").chapterRows();
}

TEST(Chapters, TimesAreCutToWholeSecondsAndRowsSortByRange)
{
    EXPECT_EQ(chaptersOf(R"([
        {"start_time": "59.999", "end_time": "119.999", "tags": {"title": "Alpha"}},
        {"start_time": 0, "end_time": 59.999, "tags": {"title": "Zulu"}},
        {"start_time": "3599.5", "end_time": "90000.25", "tags": {"title": "Long"}}])"),
              (KeyValueRows{{"Zulu", "00:00:00.000 - 00:00:59.000"},
                            {"Alpha", "00:00:59.000 - 00:01:59.000"},
                            {"Long", "00:59:59.000 - 25:00:00.000"}}));
}

TEST(Chapters, LaterChapterWithTheSameTitleWins)
{
    EXPECT_EQ(chaptersOf(R"([
        {"start_time": "0", "end_time": "10", "tags": {"title": "Same"}},
        {"start_time": "10", "end_time": "20"},
        {"start_time": "20", "end_time": "30", "tags": {"title": "Same"}},
        {"start_time": "30", "end_time": "40", "tags": {}}])"),
              (KeyValueRows{{"Same", "00:00:20.000 - 00:00:30.000"},
                            {"", "00:00:30.000 - 00:00:40.000"}}));
}

TEST(Chapters, MissingOrUnreadableValues)
{
    EXPECT_EQ(chaptersOf("[]"), KeyValueRows{});
    EXPECT_EQ(probeOf(R"({"streams": []})").chapterRows(), KeyValueRows{});
    EXPECT_EQ(FileProbe().chapterRows(), KeyValueRows{});
    EXPECT_EQ(chaptersOf(R"([{"tags": {"title": 7}, "start_time": "soon", "end_time": null}])"),
              (KeyValueRows{{"7", "00:00:00.000 - 00:00:00.000"}}));
    // Times no clock can show must not break anything.
    const KeyValueRows extreme = chaptersOf(R"([
        {"start_time": "1e400", "end_time": "-1e400", "tags": {"title": "infinite"}},
        {"start_time": 1e300, "end_time": -9.3e18, "tags": {"title": "huge"}}])");
    ASSERT_EQ(extreme.size(), 2u);
    EXPECT_EQ(valueOf(extreme, "infinite"), "00:00:00.000 - 00:00:00.000");
}

}  // namespace
}  // namespace vellinor
