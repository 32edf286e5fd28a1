// The comparison model: tracks matched by kind and order across files with different track
// counts, files that failed or are still probing, the differing rows and the switch that keeps
// only them, and its CSV and JSON texts.

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "probe/comparison.h"
#include "probe_test_support.h"

namespace vellinor::test {
namespace {

std::string video(const std::string& rate, const std::string& extra = {})
{
    return R"({"codec_type": "video", "codec_name": "h264", "width": 320, "height": 240,
               "pix_fmt": "yuv420p", "avg_frame_rate": ")" +
           rate + R"(", "r_frame_rate": ")" + rate + R"(", "duration": "2.000000",
               "disposition": {"default": 1, "forced": 0})" +
           extra + "}";
}

std::string audio(const std::string& language, const std::string& title = {}, int isDefault = 1)
{
    return R"({"codec_type": "audio", "codec_name": "aac", "channels": 2,
               "channel_layout": "stereo", "sample_rate": "48000", "duration": "2.000000",
               "disposition": {"default": )" +
           std::to_string(isDefault) + R"(, "forced": 0}, "tags": {"language": ")" + language +
           "\"" + (title.empty() ? "" : R"(, "title": ")" + title + "\"") + "}}";
}

ComparedFile probed(const std::string& name, const std::vector<std::string>& streams)
{
    const std::string format =
        R"("format": {"format_long_name": "Matroska / WebM", "duration": "2.000000",
                      "bit_rate": "100000"})";
    return {name,
            "/media/" + name,
            std::make_shared<FileProbe>(probeOf(streamsDocument(streams, format), "/m/" + name)),
            {}};
}

ComparedFile failed(const std::string& name, const std::string& why)
{
    return {name, "/media/" + name, nullptr, why};
}

const ComparisonRow* findRow(const Comparison& comparison, std::string_view track,
                             std::string_view fact)
{
    for (const ComparisonRow& row : comparison.rows) {
        if (row.track == track && row.fact == fact)
            return &row;
    }
    return nullptr;
}

std::vector<std::string> differingRows(const Comparison& comparison)
{
    std::vector<std::string> names;
    for (const ComparisonRow& row : comparison.rows) {
        if (row.differs)
            names.push_back(row.track + " " + row.fact);
    }
    return names;
}

using Cells = std::vector<ComparisonCell>;

TEST(Comparison, MatchesTracksByKindAndOrderAndMarksWhatDiffers)
{
    const struct {
        const char* name;
        std::vector<ComparedFile> files;
        std::vector<std::string> differing;
        // Spot checks: track, fact, expected cells (nullopt: the row is absent).
        std::vector<std::tuple<std::string, std::string, std::optional<Cells>>> rows;
    } cases[] = {
        {"identical files agree everywhere",
         {probed("a.mkv", {video("25/1"), audio("eng")}),
          probed("b.mkv", {video("25/1"), audio("eng")})},
         {},
         {{"Video 1", "Frame rate", Cells{"25", "25"}},
          {"Audio 1", "Language", Cells{"English", "English"}},
          {"Video 1", "Resolution", Cells{"320x240", "320x240"}},
          {"Video 1", "Bit rate", std::nullopt},  // no file states one: the row is left out
          {"File", "Container", Cells{"Matroska / WebM", "Matroska / WebM"}}}},
        {"frame rate and language differ, nothing else",
         {probed("a.mkv", {video("25/1"), audio("eng")}),
          probed("b.mkv", {video("30000/1001"), audio("fre")}),
          probed("c.mkv", {video("25/1"), audio("eng")})},
         {"Video 1 Frame rate", "Audio 1 Language"},
         {{"Video 1", "Frame rate", Cells{"25", "29.97", "25"}},
          {"Audio 1", "Language", Cells{"English", "French", "English"}}}},
        {"a missing second audio track leaves empty cells and differs",
         {probed("a.mkv", {video("25/1"), audio("eng"), audio("fre")}),
          probed("b.mkv", {audio("eng"), video("25/1")})},
         {"File Number of Tracks", "File Audio Track Present?", "Audio 2 Codec", "Audio 2 Language",
          "Audio 2 Duration", "Audio 2 Summary", "Audio 2 Channels", "Audio 2 Channel layout",
          "Audio 2 Sample rate", "Audio 2 Default", "Audio 2 Forced"},
         {{"Audio 1", "Language", Cells{"English", "English"}},
          {"Video 1", "Frame rate", Cells{"25", "25"}},
          {"Audio 2", "Language", Cells{"French", std::nullopt}}}},
        {"a failed file gets a problem and takes no part in the other rows",
         {probed("a.mkv", {video("25/1"), audio("eng")}), failed("b.mkv", "empty file"),
          probed("c.mkv", {video("25/1"), audio("eng")})},
         {"File Problem"},
         {{"File", "Problem", Cells{"", "empty file", ""}},
          {"Video 1", "Codec", Cells{"h264", std::nullopt, "h264"}},
          {"File", "Duration", Cells{"00:00:02.000", std::nullopt, "00:00:02.000"}}}},
        {"files still probing take no part",
         {probed("a.mkv", {video("25/1")}), {"b.mkv", "/media/b.mkv", nullptr, {}}},
         {},
         {{"Video 1", "Codec", Cells{"h264", std::nullopt}}, {"File", "Problem", std::nullopt}}},
        {"only failed files: the overview rows stay, empty",
         {failed("a.mkv", "no such file"), failed("b.mkv", "not a media file")},
         {"File Problem"},
         {{"File", "File Size", Cells{std::nullopt, std::nullopt}},
          {"Video 1", "Codec", std::nullopt}}},
        {"title and default flag of a track",
         {probed("a.mkv", {audio("eng", "Main")}), probed("b.mkv", {audio("eng", "", 0)})},
         {"Audio 1 Title", "Audio 1 Default"},
         {{"Audio 1", "Title", Cells{"Main", ""}}, {"Audio 1", "Default", Cells{"1", "0"}}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Comparison comparison = compareFiles(c.files);
        EXPECT_EQ(differingRows(comparison), c.differing);
        EXPECT_EQ(comparison.differs(), !c.differing.empty());
        EXPECT_EQ(comparison.differingRowCount(), c.differing.size());
        for (const auto& [track, fact, cells] : c.rows) {
            const ComparisonRow* row = findRow(comparison, track, fact);
            if (!cells) {
                EXPECT_EQ(row, nullptr) << track << " " << fact;
                continue;
            }
            ASSERT_NE(row, nullptr) << track << " " << fact;
            EXPECT_EQ(row->cells, *cells) << track << " " << fact;
        }
        for (const ComparisonRow& row : comparison.rows)
            EXPECT_EQ(row.cells.size(), c.files.size()) << row.track << " " << row.fact;
    }
}

TEST(Comparison, RowOrderFollowsKindsThenPositions)
{
    const Comparison comparison =
        compareFiles({probed("a.mkv", {audio("eng"), video("25/1"), audio("fre")}),
                      probed("b.mkv", {video("25/1"), audio("eng")})});
    std::vector<std::string> tracks;
    for (const ComparisonRow& row : comparison.rows) {
        if (tracks.empty() || tracks.back() != row.track)
            tracks.push_back(row.track);
    }
    EXPECT_EQ(tracks, (std::vector<std::string>{"File", "Video 1", "Audio 1", "Audio 2"}));
    EXPECT_EQ(comparison.rows.front().fact, "Container");
    EXPECT_EQ(comparison.rows.at(1).fact, "File Size");
}

TEST(Comparison, OnlyDifferencesKeepsTheDifferingRowsInOrder)
{
    const Comparison all =
        compareFiles({probed("a.mkv", {video("25/1"), audio("eng")}),
                      probed("b.mkv", {video("24/1"), audio("ger")}), failed("c.mkv", "empty")});
    const Comparison differing = onlyDifferences(all);
    EXPECT_EQ(differingRows(differing),
              (std::vector<std::string>{"File Problem", "Video 1 Frame rate", "Audio 1 Language"}));
    EXPECT_EQ(differing.rows.size(), differing.differingRowCount());
    EXPECT_EQ(differing.files.size(), 3u);
    EXPECT_TRUE(onlyDifferences(compareFiles({probed("a.mkv", {video("25/1")}),
                                              probed("b.mkv", {video("25/1")})}))
                    .rows.empty());
}

TEST(Comparison, CsvAndJsonCarryEveryCell)
{
    Comparison comparison = onlyDifferences(
        compareFiles({probed("a, \"1\".mkv", {video("25/1"), audio("eng"), audio("fre")}),
                      probed("b.mkv", {video("25/1"), audio("eng")})}));
    comparison.rows.resize(2);  // Number of Tracks, Audio Track Present?
    EXPECT_EQ(comparisonCsv(comparison),
              "Track,Fact,Differs,\"a, \"\"1\"\".mkv\",b.mkv\r\n"
              "File,Number of Tracks,yes,3,2\r\n"
              "File,Audio Track Present?,yes,Yes(2),Yes(1)\r\n");

    const Comparison withMissing = onlyDifferences(compareFiles(
        {probed("a.mkv", {audio("eng"), audio("fre")}), failed("b\xff.mkv", "empty file")}));
    const auto text = comparisonJson(withMissing).rawString();
    ASSERT_TRUE(text.has_value());
    const auto json = JSON::parse(*text);
    ASSERT_TRUE(json.hasValue());
    EXPECT_EQ((*json)["differs"], JSON(true));
    EXPECT_EQ((*json)["files"][1]["name"].stringValue(), "b\xef\xbf\xbd.mkv");
    EXPECT_EQ((*json)["files"][1]["problem"].stringValue(), "empty file");
    EXPECT_EQ((*json)["files"][0]["problem"], JSON::null());
    EXPECT_EQ((*json)["rows"][0]["fact"].stringValue(), "Problem");
    EXPECT_EQ((*json)["rows"][0]["values"], JSON::array({"", "empty file"}));
    EXPECT_EQ((*json)["rows"][0]["key"], JSON::null());
}

}  // namespace
}  // namespace vellinor::test
