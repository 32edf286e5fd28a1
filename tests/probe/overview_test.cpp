#include <vector>

#include <gtest/gtest.h>

#include "probe/overview.h"
#include "probe_test_support.h"

namespace vellinor {
namespace {

using Color = OverviewValue::Color;

OverviewValue text(const char* value, Color color = Color::none)
{
    return {value, color, {}};
}

TEST(Overview, NothingProbedShowsThePlaceholders)
{
    EXPECT_EQ(overviewRows(FileProbe()),
              (std::vector<OverviewRow>{
                  {"File Size: ", text("0 bytes"), "Duration: ", text("hh:mm:ss")},
                  {"Bit rate: ", text("0kbps"), "Number of Tracks: ", {"0", Color::none, 0}},
                  {"Has Errors?: ", text("No", Color::green),
                   "Video Track Present?: ", text("No", Color::red)},
                  {"Is Valid Media?: ", text("No", Color::red),
                   "Audio Track Present?: ", text("No", Color::red)},
                  {"Is Encrypted?: ", text("No", Color::green),
                   "Subtitle Track Present?: ", text("No", Color::red)},
              }));
}

TEST(Overview, AudioOnlyFileWithTwoTracks)
{
    FileProbe probe = test::probeOf(
        R"({"format": {"duration": "65.5", "bit_rate": "1411"}, "streams": [
            {"codec_type": "audio", "codec_tag_string": "drms"}, {"codec_type": "audio"}]})",
        "/music/song.m4a");
    probe.fileSizeHuman = "12 MB";
    EXPECT_EQ(overviewRows(probe),
              (std::vector<OverviewRow>{
                  {"File Size: ", text("12 MB"), "Duration: ", text("00:01:05.500")},
                  {"Bit rate: ", text("1.411kbps"), "Number of Tracks: ", {"2", Color::none, 2}},
                  {"Has Errors?: ", text("No", Color::green),
                   "Video Track Present?: ", text("No", Color::red)},
                  {"Is Valid Media?: ", text("Yes", Color::green),
                   "Audio Track Present?: ", text("Yes(2)", Color::green)},
                  {"Is Encrypted?: ", text("Yes", Color::red),
                   "Subtitle Track Present?: ", text("No", Color::red)},
              }));
}

TEST(Overview, ErrorsAndPresenceCounts)
{
    FileProbe probe;
    probe.hasErrors = true;
    probe.numberOfVideoTracks = 1;
    probe.numberOfSubtitleTracks = 12;
    const auto rows = overviewRows(probe);
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[2].fieldValue1, text("Yes", Color::red));
    EXPECT_EQ(rows[2].fieldValue2, text("Yes(1)", Color::green));
    EXPECT_EQ(rows[4].fieldValue2, text("Yes(12)", Color::green));
}

TEST(Overview, TracksTableStartsWithTheMetadataRow)
{
    const FileProbe probe = test::probeOf(R"({"format": {"size": "10"}, "streams": [
        {"codec_type": "audio", "codec_name": "aac", "tags": {"language": "eng"},
         "channel_layout": "stereo", "duration": "1.5"},
        {"codec_type": "subtitle", "codec_name": "subrip", "codec_long_name": "SubRip subtitle"}]})");
    const auto rows = tracksTableRows(probe);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].trackNumber, "-");
    EXPECT_EQ(rows[0].trackType, "Metadata");
    EXPECT_EQ(rows[0].trackCodec, "text");
    EXPECT_EQ(rows[0].trackLanguage, "");
    EXPECT_EQ(rows[0].trackDurationHuman, "-");
    EXPECT_EQ(rows[0].trackExtraInfo, "-");
    EXPECT_EQ(rows[0].trackKeyValue, (KeyValueRows{{"size", "10"}}));

    EXPECT_EQ(rows[1].trackNumber, "0");
    EXPECT_EQ(rows[1].trackType, "Audio");
    EXPECT_EQ(rows[1].trackCodec, "aac");
    EXPECT_EQ(rows[1].trackLanguage, "English");
    EXPECT_EQ(rows[1].trackDurationHuman, "00:00:01.500");
    EXPECT_EQ(rows[1].trackExtraInfo, "stereo");
    EXPECT_EQ(rows[1].trackKeyValue, probe.tracksInfo[0].trackKeyValue);
    EXPECT_EQ(rows[2].trackNumber, "1");
    EXPECT_EQ(rows[2].trackExtraInfo, "SubRip subtitle - Text-Based");

    const auto bare = tracksTableRows(FileProbe());
    ASSERT_EQ(bare.size(), 1u);
    EXPECT_EQ(bare[0].trackType, "Metadata");
    EXPECT_TRUE(bare[0].trackKeyValue.empty());
}

}  // namespace
}  // namespace vellinor
