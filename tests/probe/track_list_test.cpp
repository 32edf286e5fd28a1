#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "probe/file_probe.h"
#include "probe_test_support.h"

namespace vellinor {
namespace {

using test::probeOf;
using test::streamsDocument;

struct ClassificationCase {
    const char* what;
    const char* stream;
    const char* trackType;
    const char* extraInfo;
    int videos, audios, subtitles;
};

TEST(TrackList, ClassificationRulesApplyInOrder)
{
    const ClassificationCase cases[] = {
        {"audio wins over bin_data",
         R"({"codec_type": "audio", "codec_name": "bin_data", "channel_layout": "5.1"})", "Audio",
         "5.1", 0, 1, 0},
        {"chapter data",
         R"({"codec_type": "data", "codec_name": "bin_data", "codec_long_name": "binary data"})",
         "Chapter", "Number of Chapters: 0", 0, 0, 0},
        {"subrip", R"({"codec_type": "subtitle", "codec_name": "subrip",
                      "codec_long_name": "SubRip subtitle"})",
         "Subtitle", "SubRip subtitle - Text-Based", 0, 0, 1},
        {"mov_text with its tag", R"({"codec_type": "subtitle", "codec_name": "mov_text",
                      "codec_tag_string": "tx3g", "codec_long_name": "MOV text"})",
         "Subtitle", "MOV text - Text-Based", 0, 0, 1},
        {"dvd_subtitle", R"({"codec_type": "subtitle", "codec_name": "dvd_subtitle",
                            "codec_long_name": "DVD subtitles"})",
         "Subtitle", "DVD subtitles - Image-Based", 0, 0, 1},
        {"eia_608", R"({"codec_type": "subtitle", "codec_name": "eia_608",
                       "codec_long_name": "EIA-608 closed captions"})",
         "Closed Caption", "EIA-608 closed captions", 0, 0, 0},
        {"unlisted subtitle codec", R"({"codec_type": "subtitle", "codec_name": "arib_caption",
                                       "codec_long_name": "ARIB STD-B24 caption"})",
         "Other", "ARIB STD-B24 caption", 0, 0, 0},
        {"subtitle codec names are case-sensitive",
         R"({"codec_type": "subtitle", "codec_name": "SubRip"})", "Other", "", 0, 0, 0},
        {"chapter text track", R"({"codec_type": "subtitle", "codec_name": "mov_text",
                                  "codec_tag_string": "text", "codec_long_name": "MOV text"})",
         "Other", "MOV text", 0, 0, 0},
        {"subtitle without codec name", R"({"codec_type": "subtitle"})", "Other", "", 0, 0, 0},
        {"png cover", R"({"codec_type": "video", "codec_name": "png", "width": 300, "height": 200,
                         "codec_tag_string": "[0][0][0][0]", "avg_frame_rate": "0/0",
                         "codec_long_name": "PNG (Portable Network Graphics) image"})",
         "Poster", "PNG (Portable Network Graphics) image - 300x200", 0, 0, 0},
        {"mjpeg cover keeps its unrotated size",
         R"({"codec_type": "video", "codec_name": "mjpeg", "width": 64, "height": 48,
             "codec_tag_string": "[0][0][0][0]", "codec_long_name": "Motion JPEG",
             "tags": {"rotate": "90"}})",
         "Poster", "Motion JPEG - 64x48", 0, 0, 0},
        {"Matroska video has no codec tag either",
         R"({"codec_type": "video", "codec_name": "h264", "width": 1920, "height": 1080,
             "codec_tag_string": "[0][0][0][0]", "avg_frame_rate": "25/1"})",
         "Video", "Wide: 1920x1080 (1080p)", 1, 0, 0},
        {"video without a frame rate", R"({"codec_type": "video", "codec_name": "h264",
                                          "avg_frame_rate": "0/0", "codec_long_name": "H.264"})",
         "Other", "H.264", 0, 0, 0},
        {"theora without a frame rate",
         R"({"codec_type": "video", "codec_name": "theora", "avg_frame_rate": "0/0",
             "width": 640, "height": 480})",
         "Video", "Wide: 640x480 (480p)", 1, 0, 0},
        {"mjpeg with tag jpeg", R"({"codec_type": "video", "codec_name": "mjpeg",
                                   "codec_tag_string": "jpeg", "avg_frame_rate": "25/1"})",
         "Other", "", 0, 0, 0},
        {"mjpeg with another tag",
         R"({"codec_type": "video", "codec_name": "mjpeg", "codec_tag_string": "MJPG",
             "avg_frame_rate": "25/1", "width": 1280, "height": 720})",
         "Video", "Wide: 1280x720 (720p)", 1, 0, 0},
        {"ansi art", R"({"codec_type": "video", "codec_name": "ansi", "avg_frame_rate": "25/1"})",
         "Other", "", 0, 0, 0},
        {"a video stream without avg_frame_rate is still video",
         R"({"codec_type": "video", "codec_name": "h264"})", "Video", "Square: 0x0 (LD)", 1, 0, 0},
        {"empty stream", "{}", "Other", "", 0, 0, 0},
        {"codec_type in other case", R"({"codec_type": "Audio"})", "Other", "", 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const FileProbe probe = probeOf(streamsDocument({c.stream}));
        ASSERT_EQ(probe.tracksInfo.size(), 1u);
        EXPECT_EQ(probe.tracksInfo[0].trackType, c.trackType);
        EXPECT_EQ(probe.tracksInfo[0].trackExtraInfo, c.extraInfo);
        EXPECT_EQ(probe.numberOfVideoTracks, c.videos);
        EXPECT_EQ(probe.numberOfAudioTracks, c.audios);
        EXPECT_EQ(probe.numberOfSubtitleTracks, c.subtitles);
        EXPECT_EQ(probe.numberOfTracks, 1);
    }
}

TEST(TrackList, EmptyStreamGivesAnOtherRowWithPlaceholders)
{
    const FileProbe probe = probeOf(streamsDocument({"{}"}));
    ASSERT_EQ(probe.tracksInfo.size(), 1u);
    const TrackInfo& row = probe.tracksInfo[0];
    EXPECT_EQ(row.trackNumber, 0);
    EXPECT_EQ(row.trackCodec, "");
    EXPECT_EQ(row.trackDuration, 0.0);
    EXPECT_EQ(row.trackDurationHuman, "00:00:00.000");
    EXPECT_EQ(row.trackLanguage, "");
    EXPECT_TRUE(row.trackKeyValue.empty());
}

TEST(TrackList, RowsFollowArrayOrderNotTheToolsIndex)
{
    const FileProbe probe = probeOf(streamsDocument({
        R"({"index": 7, "codec_type": "audio", "codec_name": "aac", "duration": "12.500000"})",
        R"({"index": 3, "codec_type": "audio", "codec_name": "ac3", "duration": 4})",
    }));
    ASSERT_EQ(probe.tracksInfo.size(), 2u);
    EXPECT_EQ(probe.tracksInfo[0].trackNumber, 0);
    EXPECT_EQ(probe.tracksInfo[0].trackCodec, "aac");
    EXPECT_EQ(probe.tracksInfo[0].trackDuration, 12.5);
    EXPECT_EQ(probe.tracksInfo[0].trackDurationHuman, "00:00:12.500");
    EXPECT_EQ(probe.tracksInfo[1].trackNumber, 1);
    EXPECT_EQ(probe.tracksInfo[1].trackCodec, "ac3");
    EXPECT_EQ(probe.tracksInfo[1].trackDuration, 4.0);
    EXPECT_EQ(probe.numberOfAudioTracks, 2);
}

TEST(TrackList, ChapterRowCountsTheDocumentsChapters)
{
    std::string chapters = R"("chapters": [)";
    for (int i = 0; i < 12; ++i)
        chapters += (i > 0 ? ", " : "") + std::string(R"({"start_time": "0", "end_time": "1"})");
    chapters += "]";
    const FileProbe probe =
        probeOf(streamsDocument({R"({"codec_type": "data", "codec_name": "bin_data"})"}, chapters));
    ASSERT_EQ(probe.tracksInfo.size(), 1u);
    EXPECT_EQ(probe.tracksInfo[0].trackExtraInfo, "Number of Chapters: 12");
}

struct GeometryCase {
    int width, height;
    const char* extraInfo;
};

TEST(TrackList, ResolutionIsNamedAfterTheSmallerSide)
{
    const GeometryCase cases[] = {
        {4000, 479, "Wide: 4000x479 (LD)"},      {4000, 480, "Wide: 4000x480 (480p)"},
        {4000, 481, "Wide: 4000x481 (SD)"},      {4000, 719, "Wide: 4000x719 (SD)"},
        {4000, 720, "Wide: 4000x720 (720p)"},    {4000, 721, "Wide: 4000x721 (HD)"},
        {4000, 1079, "Wide: 4000x1079 (HD)"},    {4000, 1080, "Wide: 4000x1080 (1080p)"},
        {4000, 1081, "Wide: 4000x1081 (SHD)"},   {4000, 2159, "Wide: 4000x2159 (SHD)"},
        {4000, 2160, "Wide: 4000x2160 (4K)"},    {4000, 2161, "Wide: 4000x2161 (UHD)"},
        {640, 360, "Wide: 640x360 (LD)"},        {1440, 1080, "Wide: 1440x1080 (1080p)"},
        {2560, 1440, "Wide: 2560x1440 (SHD)"},   {4096, 2304, "Wide: 4096x2304 (UHD)"},
        {1080, 1920, "Tall: 1080x1920 (1080p)"}, {720, 5000, "Tall: 720x5000 (720p)"},
        {479, 481, "Tall: 479x481 (LD)"},        {1000, 1000, "Square: 1000x1000 (HD)"},
        {1920, 0, "Wide: 1920x0 (LD)"},
    };
    for (const auto& c : cases) {
        const std::string stream =
            R"({"codec_type": "video", "avg_frame_rate": "25/1", "width": )" +
            std::to_string(c.width) + R"(, "height": )" + std::to_string(c.height) + "}";
        const FileProbe probe = probeOf(streamsDocument({stream}));
        ASSERT_EQ(probe.tracksInfo.size(), 1u);
        EXPECT_EQ(probe.tracksInfo[0].trackExtraInfo, c.extraInfo);
    }
}

struct RotationCase {
    const char* what;
    const char* members;
    const char* extraInfo;
};

TEST(TrackList, QuarterTurnsSwapWidthAndHeight)
{
    const RotationCase cases[] = {
        {"rotate tag 90", R"("tags": {"rotate": "90"})", "Tall: 1080x1920 (1080p)"},
        {"rotate tag 270", R"("tags": {"rotate": "270"})", "Tall: 1080x1920 (1080p)"},
        {"rotate tag 180", R"("tags": {"rotate": "180"})", "Wide: 1920x1080 (1080p)"},
        {"rotate tag as a number is not the tool's form", R"("tags": {"rotate": 90})",
         "Wide: 1920x1080 (1080p)"},
        {"display matrix -90",
         R"("side_data_list": [{"side_data_type": "Display Matrix", "rotation": -90}])",
         "Tall: 1080x1920 (1080p)"},
        {"display matrix 90",
         R"("side_data_list": [{"side_data_type": "Display Matrix", "rotation": 90}])",
         "Tall: 1080x1920 (1080p)"},
        {"display matrix 270",
         R"("side_data_list": [{"side_data_type": "Display Matrix", "rotation": 270}])",
         "Tall: 1080x1920 (1080p)"},
        {"display matrix -270",
         R"("side_data_list": [{"side_data_type": "Display Matrix", "rotation": -270}])",
         "Tall: 1080x1920 (1080p)"},
        {"display matrix 180",
         R"("side_data_list": [{"side_data_type": "Display Matrix", "rotation": 180}])",
         "Wide: 1920x1080 (1080p)"},
        {"display matrix -180",
         R"("side_data_list": [{"side_data_type": "Display Matrix", "rotation": -180}])",
         "Wide: 1920x1080 (1080p)"},
        {"matrix after other side data",
         R"("side_data_list": [{"side_data_type": "CPB properties"},
                               {"side_data_type": "Display Matrix", "rotation": -90}])",
         "Tall: 1080x1920 (1080p)"},
        {"rotation of another kind of side data",
         R"("side_data_list": [{"side_data_type": "Spherical Mapping", "rotation": 90}])",
         "Wide: 1920x1080 (1080p)"},
        {"old ffprobe prints both: swapped once",
         R"("tags": {"rotate": "90"},
            "side_data_list": [{"side_data_type": "Display Matrix", "rotation": -90}])",
         "Tall: 1080x1920 (1080p)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string stream = R"({"codec_type": "video", "avg_frame_rate": "25/1",
                                      "width": 1920, "height": 1080, )" +
                                   std::string(c.members) + "}";
        const FileProbe probe = probeOf(streamsDocument({stream}));
        ASSERT_EQ(probe.tracksInfo.size(), 1u);
        EXPECT_EQ(probe.tracksInfo[0].trackExtraInfo, c.extraInfo);
    }
}

TEST(TrackList, LanguageComesFromLanguageThenLANGUAGE)
{
    const std::pair<const char*, const char*> cases[] = {
        {R"({"language": "eng"})", "English"},
        {R"({"language": "ENG"})", "English"},
        {R"({"language": "", "LANGUAGE": "fre"})", "French"},
        {R"({"LANGUAGE": "ger"})", "German"},
        {R"({"language": "spa", "LANGUAGE": "fre"})", "Spanish"},
        {R"({"language": "und"})", ""},
        {R"({"language": "xx1"})", ""},
        {R"({"title": "Commentary"})", ""},
    };
    for (const auto& [tags, name] : cases) {
        SCOPED_TRACE(tags);
        const FileProbe probe = probeOf(
            streamsDocument({R"({"codec_type": "audio", "tags": )" + std::string(tags) + "}"}));
        ASSERT_EQ(probe.tracksInfo.size(), 1u);
        EXPECT_EQ(probe.tracksInfo[0].trackLanguage, name);
    }
}

TEST(TrackList, FirstVideoSummaryHoldsTheFirstVideoTrack)
{
    const FileProbe probe = probeOf(streamsDocument({
        R"({"codec_type": "audio", "codec_name": "aac"})",
        R"({"codec_type": "video", "codec_name": "h264", "width": 1920, "height": 1080,
            "avg_frame_rate": "30000/1001", "r_frame_rate": "30000/1001", "duration": "7.3",
            "bit_rate": "1500", "profile": "High", "level": 41,
            "side_data_list": [{"side_data_type": "Display Matrix", "rotation": -90}]})",
        R"({"codec_type": "video", "codec_name": "hevc", "avg_frame_rate": "25/1"})",
    }));
    ASSERT_TRUE(probe.firstVideoTrackInfo.has_value());
    const JSON& video = *probe.firstVideoTrackInfo;
    EXPECT_EQ(video.type(), JSONType::dictionary);
    EXPECT_EQ(video.count(), 14u);
    EXPECT_EQ(video["index"], JSON("1"));
    EXPECT_EQ(video["codec"], JSON("h264"));
    EXPECT_EQ(video["width"].intOptional(), 1080);
    EXPECT_EQ(video["height"].intOptional(), 1920);
    EXPECT_NEAR(video["ratio"].doubleValue(), 0.5625, 1e-12);
    EXPECT_EQ(video["dimension"], JSON("1080x1920"));
    EXPECT_EQ(video["aspectRatio"], JSON("Tall"));
    EXPECT_EQ(video["resolution"], JSON("1080p"));
    EXPECT_EQ(video["duration"].doubleValue(), 7.3);
    EXPECT_EQ(video["durationHuman"], JSON("00:00:07.300"));
    EXPECT_EQ(video["bitrate"].intOptional(), 1500);
    EXPECT_EQ(video["bitrateHuman"], JSON("1.5kbps"));
    EXPECT_EQ(video["fps"], JSON("29.97"));
    EXPECT_EQ(video["profilewithlevel"], JSON("High@4.1"));
    EXPECT_FALSE(video["channel"].exists());
    EXPECT_EQ(probe.numberOfVideoTracks, 2);
}

TEST(TrackList, ProfileWithLevelAndFrameRateText)
{
    struct Case {
        const char* members;
        const char* profileWithLevel;
        const char* fps;  // nullptr: no "fps" member
    };
    const Case cases[] = {
        {R"("profile": "Main", "level": 30, "r_frame_rate": "25/1")", "Main@3.0", "25"},
        {R"("profile": "High", "level": "41", "r_frame_rate": "24000/1001")", "High@4.1", "23.976"},
        {R"("profile": "0", "level": 41, "r_frame_rate": "0/0")", "Unknown", nullptr},
        {R"("profile": "Baseline", "level": -99, "r_frame_rate": "90000/1")", "Unknown", "90000"},
        {R"("profile": "Main 10", "level": 153)", "Main 10@15.3", nullptr},
        {R"("r_frame_rate": "not a rate")", "@0.0", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.members);
        const FileProbe probe =
            probeOf(streamsDocument({R"({"codec_type": "video", "avg_frame_rate": "25/1", )" +
                                     std::string(c.members) + "}"}));
        ASSERT_TRUE(probe.firstVideoTrackInfo.has_value());
        EXPECT_EQ((*probe.firstVideoTrackInfo)["profilewithlevel"], JSON(c.profileWithLevel));
        if (c.fps) {
            EXPECT_EQ((*probe.firstVideoTrackInfo)["fps"], JSON(c.fps));
        } else {
            EXPECT_FALSE((*probe.firstVideoTrackInfo)["fps"].exists());
        }
    }
}

TEST(TrackList, FirstAudioSummaryHoldsTheFirstAudioTrack)
{
    const FileProbe probe = probeOf(streamsDocument({
        R"({"codec_type": "video", "codec_name": "h264", "avg_frame_rate": "25/1"})",
        R"({"codec_type": "audio", "codec_name": "aac", "channel_layout": "stereo",
            "duration": "65.5", "bit_rate": "96"})",
        R"({"codec_type": "audio", "codec_name": "opus"})",
    }));
    ASSERT_TRUE(probe.firstAudioTrackInfo.has_value());
    const JSON& audio = *probe.firstAudioTrackInfo;
    EXPECT_EQ(audio.count(), 7u);
    EXPECT_EQ(audio["index"], JSON("1"));
    EXPECT_EQ(audio["codec"], JSON("aac"));
    EXPECT_EQ(audio["duration"].doubleValue(), 65.5);
    EXPECT_EQ(audio["durationHuman"], JSON("00:01:05.500"));
    EXPECT_EQ(audio["bitrate"].intOptional(), 96);
    EXPECT_EQ(audio["bitrateHuman"], JSON("0.096kbps"));
    EXPECT_EQ(audio["channel"], JSON("stereo"));
    EXPECT_EQ(probe.tracksInfo[1].trackExtraInfo, "stereo");
}

TEST(TrackList, SummariesStayWritableWithoutAHeightOrWithAnEndlessDuration)
{
    const FileProbe probe = probeOf(streamsDocument({
        R"({"codec_type": "video", "avg_frame_rate": "25/1", "width": 1920, "duration": "1e999"})",
        R"({"codec_type": "audio", "duration": "-1e999"})",
    }));
    const JSON& video = *probe.firstVideoTrackInfo;
    EXPECT_EQ(video["ratio"].type(), JSONType::null);
    EXPECT_EQ(video["duration"].type(), JSONType::null);
    EXPECT_EQ(video["dimension"], JSON("1920x0"));
    EXPECT_TRUE(video.rawString().has_value());
    EXPECT_EQ((*probe.firstAudioTrackInfo)["duration"].type(), JSONType::null);
    EXPECT_TRUE(probe.firstAudioTrackInfo->rawString().has_value());
}

TEST(TrackList, MissingSummariesAreNullAndMissingStreamsLeaveThemAbsent)
{
    const FileProbe noVideo = probeOf(streamsDocument({R"({"codec_type": "audio"})"}));
    ASSERT_TRUE(noVideo.firstVideoTrackInfo.has_value());
    EXPECT_EQ(noVideo.firstVideoTrackInfo->type(), JSONType::null);
    EXPECT_TRUE(noVideo.firstVideoTrackInfo->exists());
    EXPECT_EQ(noVideo.firstAudioTrackInfo->type(), JSONType::dictionary);

    const FileProbe emptyStreams = probeOf(R"({"streams": []})");
    EXPECT_EQ(emptyStreams.firstAudioTrackInfo->type(), JSONType::null);

    const FileProbe noStreams = probeOf(R"({"format": {}})");
    EXPECT_FALSE(noStreams.firstVideoTrackInfo.has_value());
    EXPECT_FALSE(noStreams.firstAudioTrackInfo.has_value());
    EXPECT_TRUE(noStreams.tracksInfo.empty());
}

TEST(TrackList, EachRowCarriesItsStreamsDetails)
{
    const FileProbe probe = probeOf(streamsDocument({
        R"({"codec_type": "audio", "codec_name": "aac", "tags": {"language": "eng"}})",
        R"({"codec_type": "audio", "codec_name": "opus"})",
    }));
    ASSERT_EQ(probe.tracksInfo.size(), 2u);
    EXPECT_EQ(
        probe.tracksInfo[0].trackKeyValue,
        (KeyValueRows{{"codec_name", "aac"}, {"codec_type", "audio"}, {"language.tags", "eng"}}));
    EXPECT_EQ(probe.tracksInfo[1].trackKeyValue,
              (KeyValueRows{{"codec_name", "opus"}, {"codec_type", "audio"}}));
}

}  // namespace
}  // namespace vellinor
