// End to end: media made with ffmpeg at test time, probed with the real ffprobe.

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "format/utils.h"
#include "probe/file_probe.h"
#include "probe/overview.h"
#include "probe_test_support.h"
#include "support/test_support.h"

namespace vellinor {
namespace {

namespace fs = std::filesystem;
using test::keysOf;
using test::TempDir;
using test::valueOf;

constexpr const char* kChapters = R"(;FFMETADATA1
title=Demo

[CHAPTER]
TIMEBASE=1/1000
START=0
END=1500
title=Intro

[CHAPTER]
TIMEBASE=1/1000
START=1500
END=3000
title=Main
)";

constexpr const char* kMovieProperties =
    R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
	<key>studio</key><string>Vellinor Pictures</string>
	<key>cast</key><array><dict><key>name</key><string>Ann Example</string></dict><dict><key>name</key><string>Bo Sample</string></dict></array>
	<key>rating</key><dict><key>value</key><integer>4</integer><key>label</key><string>good</string></dict>
</dict>
</plist>)";

// The inputs every file below is made from: subtitles, chapters and a cover picture.
class MediaFolder {
public:
    MediaFolder()
    {
        test::writeFile(m_folder / "de.srt", "1\n00:00:00,000 --> 00:00:00,500\nHallo\n\n");
        test::writeFile(m_folder / "es.srt", "1\n00:00:00,000 --> 00:00:00,500\nHola\n\n");
        test::writeFile(m_folder / "chapters.txt", kChapters);
        test::runFfmpeg(
            {"-f", "lavfi", "-i", "testsrc=size=64x48", "-frames:v", "1", path("cover.jpg")});
    }
    [[nodiscard]] std::string path(const std::string& name) const
    {
        return (m_folder / name).string();
    }

private:
    TempDir m_folder;
};

FileProbe probed(const std::string& path)
{
    ProbeOptions options;
    options.toolPath = test::ffprobePath();
    return FileProbe(path, options);
}

const std::vector<std::string> kVideoEncoding{"-c:v",     "libx264", "-bf",      "0",
                                              "-threads", "1",       "-pix_fmt", "yuv420p"};

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct TrackExpectation {
    const char* trackType;
    const char* trackCodec;
    const char* trackLanguage;
    const char* trackDurationHuman;
    const char* trackExtraInfo;
};

void expectTracks(const FileProbe& probe, const std::vector<TrackExpectation>& expected)
{
    ASSERT_EQ(probe.tracksInfo.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("track " + std::to_string(i));
        const TrackInfo& track = probe.tracksInfo[i];
        EXPECT_EQ(track.trackNumber, static_cast<std::int64_t>(i));
        EXPECT_EQ(track.trackType, expected[i].trackType);
        EXPECT_EQ(track.trackCodec, expected[i].trackCodec);
        EXPECT_EQ(track.trackLanguage, expected[i].trackLanguage);
        EXPECT_EQ(track.trackDurationHuman, expected[i].trackDurationHuman);
        EXPECT_EQ(track.trackExtraInfo, expected[i].trackExtraInfo);
        EXPECT_EQ(track.trackDurationHuman, Utils::formatDuration(track.trackDuration));
        // Every detail list is sorted by name after any chapter rows.
        const auto keys = keysOf(track.trackKeyValue);
        const auto firstOwn = track.trackCodec == "bin_data" ? 2u : 0u;
        EXPECT_TRUE(std::is_sorted(keys.begin() + firstOwn, keys.end()));
    }
}

TEST(ProbeMedia, MatroskaWithLanguagesSubtitlesChaptersAndAttachment)
{
    const MediaFolder inputs;
    const std::string film = inputs.path("film.mkv");
    ASSERT_TRUE(test::runFfmpeg(
        std::vector<std::string>{"-f",
                                 "lavfi",
                                 "-i",
                                 "testsrc=duration=3:size=160x120:rate=25",
                                 "-f",
                                 "lavfi",
                                 "-i",
                                 "sine=duration=3",
                                 "-f",
                                 "lavfi",
                                 "-i",
                                 "sine=frequency=880:duration=3",
                                 "-i",
                                 inputs.path("de.srt"),
                                 "-i",
                                 inputs.path("es.srt"),
                                 "-i",
                                 inputs.path("chapters.txt"),
                                 "-map",
                                 "0",
                                 "-map",
                                 "1",
                                 "-map",
                                 "2",
                                 "-map",
                                 "3",
                                 "-map",
                                 "4",
                                 "-map_metadata",
                                 "5",
                                 "-map_chapters",
                                 "5"} +
        kVideoEncoding +
        std::vector<std::string>{"-c:a", "aac", "-c:s:0", "srt", "-c:s:1", "ass", "-metadata:s:a:0",
                                 "language=eng", "-metadata:s:a:1", "language=fre",
                                 "-metadata:s:s:0", "language=ger", "-metadata:s:s:1",
                                 "language=spa", "-attach", inputs.path("cover.jpg"),
                                 "-metadata:s:t", "mimetype=image/jpeg", film}));

    const FileProbe probe = probed(film);
    EXPECT_EQ(probe.fileName, "film.mkv");
    EXPECT_EQ(probe.fileSize, fs::file_size(film));
    EXPECT_FALSE(probe.hasErrors);
    EXPECT_TRUE(probe.isValidMediaFile);
    EXPECT_FALSE(probe.isEncrypted);
    EXPECT_EQ(probe.numberOfTracks, 6);
    EXPECT_EQ(probe.numberOfVideoTracks, 1);
    EXPECT_EQ(probe.numberOfAudioTracks, 2);
    EXPECT_EQ(probe.numberOfSubtitleTracks, 2);
    EXPECT_EQ(probe.duration, 3.023);
    EXPECT_EQ(probe.durationHuman, "00:00:03.023");
    EXPECT_EQ(probe.toolProblem, "");

    // Matroska streams carry no duration of their own: it comes from their "DURATION" tags.
    // The cover attachment has one of its own.
    expectTracks(
        probe, {
                   {"Video", "h264", "", "00:00:03.023", "Wide: 160x120 (LD)"},
                   {"Audio", "aac", "English", "00:00:03.023", "mono"},
                   {"Audio", "aac", "French", "00:00:03.023", "mono"},
                   {"Subtitle", "subrip", "German", "00:00:00.523", "SubRip subtitle - Text-Based"},
                   {"Subtitle", "ass", "Spanish", "00:00:00.523",
                    "ASS (Advanced SSA) subtitle - Text-Based"},
                   {"Poster", "mjpeg", "", "00:00:03.023", "Motion JPEG - 64x48"},
               });

    const KeyValueRows& video = probe.tracksInfo[0].trackKeyValue;
    EXPECT_EQ(valueOf(video, "frames_per_second"), "25");
    EXPECT_EQ(valueOf(video, "r_frame_rate"), "<missing>");
    EXPECT_EQ(valueOf(video, "ENCODER.tags"), "Lavc59.37.100 libx264");
    EXPECT_EQ(valueOf(video, "DURATION.tags"), "00:00:03.023000000");
    EXPECT_EQ(valueOf(video, "is_avc"), "true");
    EXPECT_EQ(keysOf(video).front(), "DURATION.tags");  // upper case sorts first
    const KeyValueRows& subtitles = probe.tracksInfo[3].trackKeyValue;
    EXPECT_EQ(valueOf(subtitles, "language.tags"), "ger");
    EXPECT_EQ(valueOf(subtitles, "default.disposition"), "1");
    EXPECT_EQ(valueOf(subtitles, "r_frame_rate"), "0/0");
    const KeyValueRows& cover = probe.tracksInfo[5].trackKeyValue;
    EXPECT_EQ(valueOf(cover, "r_frame_rate"), "90000/1");
    EXPECT_EQ(valueOf(cover, "attached_pic.disposition"), "1");
    EXPECT_EQ(valueOf(cover, "mimetype.tags"), "image/jpeg");
    EXPECT_EQ(valueOf(cover, "filename.tags"), "cover.jpg");

    ASSERT_TRUE(probe.firstVideoTrackInfo.has_value());
    const JSON& summary = *probe.firstVideoTrackInfo;
    EXPECT_EQ(summary["index"], JSON("0"));
    EXPECT_EQ(summary["dimension"], JSON("160x120"));
    EXPECT_EQ(summary["aspectRatio"], JSON("Wide"));
    EXPECT_EQ(summary["resolution"], JSON("LD"));
    EXPECT_EQ(summary["fps"], JSON("25"));
    EXPECT_EQ(summary["profilewithlevel"], JSON("High@1.1"));
    EXPECT_EQ(summary["bitrateHuman"], JSON("0.0kbps"));
    ASSERT_TRUE(probe.firstAudioTrackInfo.has_value());
    EXPECT_EQ((*probe.firstAudioTrackInfo)["index"], JSON("1"));
    EXPECT_EQ((*probe.firstAudioTrackInfo)["channel"], JSON("mono"));

    // Matroska chapters come without a chapter stream, so no track shows them.
    EXPECT_EQ(probe.chapterRows(), (KeyValueRows{{"Intro", "00:00:00.000 - 00:00:01.000"},
                                                 {"Main", "00:00:01.000 - 00:00:03.000"}}));
    for (const TrackInfo& track : probe.tracksInfo)
        EXPECT_EQ(valueOf(track.trackKeyValue, "Intro"), "<missing>");

    EXPECT_EQ(probe.metadata, (KeyValueRows{{"ENCODER.tags", "Lavf59.27.100"},
                                            {"bit_rate", std::to_string(probe.bitrate)},
                                            {"duration", "3.023000"},
                                            {"filename", film},
                                            {"format_long_name", "Matroska / WebM"},
                                            {"format_name", "matroska,webm"},
                                            {"nb_programs", "0"},
                                            {"nb_streams", "6"},
                                            {"probe_score", "100"},
                                            {"size", std::to_string(fs::file_size(film))},
                                            {"start_time", "0.000000"},
                                            {"title.tags", "Demo"}}));

    const auto overview = overviewRows(probe);
    EXPECT_EQ(overview[3].fieldValue2.text, "Yes(2)");
    EXPECT_EQ(overview[4].fieldValue2.text, "Yes(2)");
}

TEST(ProbeMedia, M4vWithTextSubtitlesChaptersCoverAndMediaKind)
{
    const MediaFolder inputs;
    const std::string film = inputs.path("film.m4v");
    ASSERT_TRUE(test::runFfmpeg(
        std::vector<std::string>{"-f",
                                 "lavfi",
                                 "-i",
                                 "testsrc=duration=3:size=160x120:rate=25",
                                 "-f",
                                 "lavfi",
                                 "-i",
                                 "sine=duration=3",
                                 "-i",
                                 inputs.path("de.srt"),
                                 "-i",
                                 inputs.path("cover.jpg"),
                                 "-i",
                                 inputs.path("chapters.txt"),
                                 "-map",
                                 "0",
                                 "-map",
                                 "1",
                                 "-map",
                                 "2",
                                 "-map",
                                 "3",
                                 "-map_metadata",
                                 "4",
                                 "-map_chapters",
                                 "4"} +
        kVideoEncoding +
        std::vector<std::string>{"-c:v:1", "copy", "-c:a", "aac", "-c:s", "mov_text",
                                 "-disposition:v:1", "attached_pic", "-metadata:s:s:0",
                                 "language=ger", "-metadata", "media_type=9", film}));

    const FileProbe probe = probed(film);
    EXPECT_FALSE(probe.hasErrors);
    EXPECT_TRUE(probe.isValidMediaFile);
    EXPECT_EQ(probe.numberOfTracks, 5);
    EXPECT_EQ(probe.numberOfVideoTracks, 1);
    EXPECT_EQ(probe.numberOfAudioTracks, 1);
    EXPECT_EQ(probe.numberOfSubtitleTracks, 1);
    EXPECT_EQ(probe.duration, 3.0);
    EXPECT_EQ(probe.durationHuman, "00:00:03.000");

    // "und" is no language of the table.
    expectTracks(probe,
                 {
                     {"Video", "h264", "", "00:00:03.000", "Wide: 160x120 (LD)"},
                     {"Audio", "aac", "", "00:00:03.000", "mono"},
                     {"Subtitle", "mov_text", "German", "00:00:00.500", "MOV text - Text-Based"},
                     {"Chapter", "bin_data", "English", "00:00:03.000", "Number of Chapters: 2"},
                     {"Poster", "mjpeg", "", "00:00:03.000", "Motion JPEG - 64x48"},
                 });

    EXPECT_EQ(probe.tracksInfo[1].trackKeyValue,
              (KeyValueRows{{"attached_pic.disposition", "0"},
                            {"avg_frame_rate", "0/0"},
                            {"bit_rate", "69584"},
                            {"bits_per_sample", "0"},
                            {"captions.disposition", "0"},
                            {"channel_layout", "mono"},
                            {"channels", "1"},
                            {"clean_effects.disposition", "0"},
                            {"codec_long_name", "AAC (Advanced Audio Coding)"},
                            {"codec_name", "aac"},
                            {"codec_tag", "0x6134706d"},
                            {"codec_tag_string", "mp4a"},
                            {"codec_type", "audio"},
                            {"comment.disposition", "0"},
                            {"default.disposition", "1"},
                            {"dependent.disposition", "0"},
                            {"descriptions.disposition", "0"},
                            {"dub.disposition", "0"},
                            {"duration", "3.000000"},
                            {"duration_ts", "132300"},
                            {"extradata_size", "5"},
                            {"forced.disposition", "0"},
                            {"handler_name.tags", "SoundHandler"},
                            {"hearing_impaired.disposition", "0"},
                            {"id", "0x2"},
                            {"index", "1"},
                            {"karaoke.disposition", "0"},
                            {"language.tags", "und"},
                            {"lyrics.disposition", "0"},
                            {"metadata.disposition", "0"},
                            {"nb_frames", "131"},
                            {"original.disposition", "0"},
                            {"profile", "LC"},
                            {"r_frame_rate", "0/0"},
                            {"sample_fmt", "fltp"},
                            {"sample_rate", "44100"},
                            {"start_pts", "0"},
                            {"start_time", "0.000000"},
                            {"still_image.disposition", "0"},
                            {"time_base", "1/44100"},
                            {"timed_thumbnails.disposition", "0"},
                            {"vendor_id.tags", "[0][0][0][0]"},
                            {"visual_impaired.disposition", "0"}}));

    EXPECT_EQ(probe.tracksInfo[3].trackKeyValue,
              (KeyValueRows{{"Intro", "00:00:00.000 - 00:00:01.000"},
                            {"Main", "00:00:01.000 - 00:00:03.000"},
                            {"attached_pic.disposition", "0"},
                            {"avg_frame_rate", "0/0"},
                            {"bit_rate", "98"},
                            {"captions.disposition", "0"},
                            {"clean_effects.disposition", "0"},
                            {"codec_long_name", "binary data"},
                            {"codec_name", "bin_data"},
                            {"codec_tag", "0x74786574"},
                            {"codec_tag_string", "text"},
                            {"codec_type", "data"},
                            {"comment.disposition", "0"},
                            {"default.disposition", "0"},
                            {"dependent.disposition", "0"},
                            {"descriptions.disposition", "0"},
                            {"dub.disposition", "0"},
                            {"duration", "3.000000"},
                            {"duration_ts", "3000"},
                            {"extradata_size", "43"},
                            {"forced.disposition", "0"},
                            {"handler_name.tags", "SubtitleHandler"},
                            {"hearing_impaired.disposition", "0"},
                            {"id", "0x5"},
                            {"index", "3"},
                            {"karaoke.disposition", "0"},
                            {"language.tags", "eng"},
                            {"lyrics.disposition", "0"},
                            {"metadata.disposition", "0"},
                            {"nb_frames", "2"},
                            {"original.disposition", "0"},
                            {"r_frame_rate", "0/0"},
                            {"start_pts", "0"},
                            {"start_time", "0.000000"},
                            {"still_image.disposition", "0"},
                            {"time_base", "1/1000"},
                            {"timed_thumbnails.disposition", "0"},
                            {"visual_impaired.disposition", "0"}}));

    EXPECT_EQ(probe.metadata, (KeyValueRows{{"bit_rate", std::to_string(probe.bitrate)},
                                            {"compatible_brands.tags", "M4V isomiso2avc1"},
                                            {"duration", "3.000000"},
                                            {"encoder.tags", "Lavf59.27.100"},
                                            {"filename", film},
                                            {"format_long_name", "QuickTime / MOV"},
                                            {"format_name", "mov,mp4,m4a,3gp,3g2,mj2"},
                                            {"major_brand.tags", "M4V "},
                                            {"media_type.modified.tags", "Movie"},
                                            {"minor_version.tags", "512"},
                                            {"nb_programs", "0"},
                                            {"nb_streams", "5"},
                                            {"probe_score", "100"},
                                            {"size", std::to_string(fs::file_size(film))},
                                            {"start_time", "0.000000"},
                                            {"title.tags", "Demo"}}));

    const auto table = tracksTableRows(probe);
    ASSERT_EQ(table.size(), 6u);
    EXPECT_EQ(table[0].trackKeyValue, probe.metadata);
    EXPECT_EQ(table[4].trackNumber, "3");
    EXPECT_EQ(table[4].trackType, "Chapter");
}

TEST(ProbeMedia, ITunMovieTagIsUnpackedIntoRows)
{
    const MediaFolder inputs;
    const std::string film = inputs.path("movie.mp4");
    ASSERT_TRUE(test::runFfmpeg(
        std::vector<std::string>{"-f", "lavfi", "-i", "testsrc=duration=1:size=160x120:rate=25"} +
        kVideoEncoding +
        std::vector<std::string>{"-movflags", "use_metadata_tags", "-metadata", "media_type=10",
                                 "-metadata", std::string("iTunMOVI=") + kMovieProperties, film}));
    const FileProbe probe = probed(film);
    ASSERT_TRUE(probe.json.has_value());
    const JSON stored = (*probe.json)[{"format", "tags", "iTunMOVI"}];
    EXPECT_EQ(stored, JSON(kMovieProperties));
    EXPECT_EQ(valueOf(probe.metadata, "studio.tags"), "Vellinor Pictures");
    EXPECT_EQ(valueOf(probe.metadata, "cast.tags"), "Ann Example, Bo Sample");
    EXPECT_EQ(valueOf(probe.metadata, "value.rating.tags"), "4");
    EXPECT_EQ(valueOf(probe.metadata, "label.rating.tags"), "good");
    EXPECT_EQ(valueOf(probe.metadata, "media_type.modified.tags"), "TV Show");
    EXPECT_EQ(valueOf(probe.metadata, "iTunMOVI.tags"), "<missing>");
    EXPECT_EQ(valueOf(probe.metadata, "media_type.tags"), "<missing>");
    EXPECT_EQ(
        keysOf(probe.metadata),
        (std::vector<std::string>{
            "bit_rate", "cast.tags", "compatible_brands.tags", "duration", "encoder.tags",
            "filename", "format_long_name", "format_name", "label.rating.tags", "major_brand.tags",
            "media_type.modified.tags", "minor_version.tags", "nb_programs", "nb_streams",
            "probe_score", "size", "start_time", "studio.tags", "value.rating.tags"}));
}

TEST(ProbeMedia, RotatedVideoIsMeasuredAsShown)
{
    const MediaFolder inputs;
    const std::string clip = inputs.path("clip.mp4");
    ASSERT_TRUE(test::runFfmpeg(
        std::vector<std::string>{"-f", "lavfi", "-i", "testsrc=duration=1:size=320x240:rate=25"} +
        kVideoEncoding + std::vector<std::string>{clip}));

    const std::pair<const char*, const char*> cases[] = {
        {"0", "Wide: 320x240 (LD)"},
        {"90", "Tall: 240x320 (LD)"},
        {"180", "Wide: 320x240 (LD)"},
        {"270", "Tall: 240x320 (LD)"},
    };
    for (const auto& [degrees, extraInfo] : cases) {
        SCOPED_TRACE(degrees);
        const std::string rotated = inputs.path(std::string("rotated-") + degrees + ".mp4");
        ASSERT_TRUE(test::runFfmpeg({"-i", clip, "-c", "copy", "-metadata:s:v",
                                     std::string("rotate=") + degrees, rotated}));
        const FileProbe probe = probed(rotated);
        ASSERT_EQ(probe.tracksInfo.size(), 1u);
        EXPECT_EQ(probe.tracksInfo[0].trackExtraInfo, extraInfo);
        const bool turned = std::string(extraInfo).rfind("Tall", 0) == 0;
        EXPECT_EQ((*probe.firstVideoTrackInfo)["width"].intValue(), turned ? 240 : 320);
        EXPECT_EQ((*probe.firstVideoTrackInfo)["height"].intValue(), turned ? 320 : 240);
        const std::string sideData = valueOf(probe.tracksInfo[0].trackKeyValue, "side_data_list");
        EXPECT_EQ(sideData.find("Display Matrix") != std::string::npos, std::string(degrees) != "0")
            << sideData;
    }
}

}  // namespace
}  // namespace vellinor
