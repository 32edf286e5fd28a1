// Matroska facts ffprobe does not print for the streams: lengths and bit rates from the
// statistics tags, and chapters, which no stream carries. On files written by ffmpeg and by
// mkvmerge, and on documents in the shapes the two write.

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/process.h"
#include "probe/file_probe.h"
#include "probe/overview.h"
#include "probe/stream_statistics.h"
#include "probe/text_report.h"
#include "probe_test_support.h"
#include "support/media_corpus.h"
#include "support/test_support.h"

namespace vellinor {
namespace {

namespace fs = std::filesystem;

// Video 2 s, audio 1 s, two chapters; in Matroska as ffmpeg writes it and as mkvmerge remuxes it.
struct MatroskaFiles {
    test::TempDir folder;
    fs::path byFfmpeg = folder / "ffmpeg.mkv";
    fs::path byMkvmerge = folder / "mkvmerge.mkv";

    MatroskaFiles()
    {
        test::writeFile(folder / "chapters.txt",
                        ";FFMETADATA1\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=1500\ntitle=Intro\n"
                        "[CHAPTER]\nTIMEBASE=1/1000\nSTART=1500\nEND=2000\ntitle=Part 2\n");
        test::runFfmpeg({"-f",
                         "lavfi",
                         "-i",
                         "testsrc=size=160x120:rate=10:duration=2",
                         "-f",
                         "lavfi",
                         "-i",
                         "sine=duration=1",
                         "-i",
                         (folder / "chapters.txt").string(),
                         "-map",
                         "0",
                         "-map",
                         "1",
                         "-map_chapters",
                         "2",
                         "-c:v",
                         "mpeg4",
                         "-c:a",
                         "pcm_s16le",
                         byFfmpeg.string()});
        platform::ProcessOptions options;
        options.timeout = std::chrono::minutes(1);
        const auto run = platform::runProcess(
            test::mkvmergePath(), {"-q", "-o", byMkvmerge.string(), byFfmpeg.string()}, options);
        EXPECT_TRUE(run.outcome == platform::ProcessResult::Outcome::exited && run.exitCode <= 1)
            << "mkvmerge failed: " << run.startError;
    }
};

TEST(Matroska, TrackDurationsAndAChapterRowOnRealFiles)
{
    const MatroskaFiles files;
    for (const fs::path& file : {files.byFfmpeg, files.byMkvmerge}) {
        SCOPED_TRACE(file.filename().string());
        const FileProbe probe(file.string());
        ASSERT_EQ(probe.tracksInfo.size(), 2u);
        EXPECT_EQ(probe.tracksInfo[0].trackDurationHuman, "00:00:02.000");
        EXPECT_EQ(probe.tracksInfo[1].trackDurationHuman, "00:00:01.000");
        EXPECT_EQ(probe.tracksInfo[1].trackExtraInfo, "1 channel");
        EXPECT_EQ(probe.numberOfTracks, 2);

        const std::vector<TrackTableRow> rows = tracksTableRows(probe);
        ASSERT_EQ(rows.size(), 4u);
        const TrackTableRow& chapters = rows.back();
        EXPECT_EQ(chapters.trackNumber, "-");
        EXPECT_EQ(chapters.trackType, "Chapter");
        EXPECT_EQ(chapters.trackExtraInfo, "Number of Chapters: 2");
        EXPECT_EQ(test::keysOf(chapters.trackKeyValue),
                  (std::vector<std::string>{"Intro", "Part 2"}));
        EXPECT_EQ(chapters.trackKeyValue[1].value, "00:00:01.000 - 00:00:02.000");
        EXPECT_NE(textReport(probe, "", {}).find("-  Chapter   -"), std::string::npos)
            << textReport(probe, "", {});
    }
    // mkvmerge writes the bit rate statistics too.
    const FileProbe remuxed(files.byMkvmerge.string());
    EXPECT_GT(remuxed.firstVideoTrackInfo.value()["bitrate"].intValue(), 0);
    EXPECT_EQ(remuxed.firstAudioTrackInfo.value()["bitrate"].intValue(), 705600);
}

TEST(Matroska, LengthAndBitRateComeFromTheStreamThenItsTagsThenTheContainer)
{
    struct Case {
        const char* what;
        std::string stream;
        std::string expectedDuration;
        std::int64_t expectedBitRate;
    };
    const std::vector<Case> cases{
        {"the stream's own", R"({"codec_type": "audio", "duration": "3.5", "bit_rate": "64000",
            "tags": {"DURATION": "00:00:09.000000000", "BPS": "1"}})",
         "00:00:03.500", 64000},
        {"plain tags", R"({"codec_type": "audio", "tags": {"DURATION": "01:23:45.678000000",
            "BPS": "96000"}})",
         "01:23:45.678", 96000},
        {"tags with a language", R"({"codec_type": "audio", "tags": {"BPS-eng": "128000",
            "DURATION-eng": "00:00:04.040000000"}})",
         "00:00:04.040", 128000},
        {"no tags: the container's", R"({"codec_type": "audio"})", "00:00:10.000", 0},
        {"an unreadable tag: the container's",
         R"({"codec_type": "audio", "tags": {"DURATION": "soon"}})", "00:00:10.000", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const FileProbe probe = test::probeOf(
            test::streamsDocument({c.stream}, R"("format": {"duration": "10.000000"})"));
        ASSERT_EQ(probe.tracksInfo.size(), 1u);
        EXPECT_EQ(probe.tracksInfo[0].trackDurationHuman, c.expectedDuration);
        EXPECT_EQ(probe.firstAudioTrackInfo.value()["bitrate"].intValue(), c.expectedBitRate);
    }
    // A cover picture does not last as long as the film.
    const FileProbe cover = test::probeOf(test::streamsDocument(
        {R"({"codec_type": "video", "codec_name": "png", "codec_tag_string": "[0][0][0][0]"})"},
        R"("format": {"duration": "10.000000"})"));
    EXPECT_EQ(cover.tracksInfo[0].trackDurationHuman, "00:00:00.000");
}

TEST(Matroska, ClockTexts)
{
    const std::vector<std::pair<std::string, std::optional<double>>> cases{
        {"00:00:02.000000000", 2.0},
        {"01:23:45.678000000", 5025.678},
        {"100:00:00", 360000.0},
        {"00:01:30.5", 90.5},
        {"", std::nullopt},
        {"12.5", std::nullopt},
        {"00:60:00.0", std::nullopt},
        {"00:00:60.0", std::nullopt},
        {"-1:00:00.0", std::nullopt},
        {"00:00:-1.0", std::nullopt},
        {"00:00:01.0x", std::nullopt},
        {"a:b:c", std::nullopt},
    };
    for (const auto& [text, seconds] : cases)
        EXPECT_EQ(probe_detail::clockSeconds(text), seconds) << text;
}

TEST(Matroska, AFileWithAChapterStreamGetsNoSecondChapterRow)
{
    const FileProbe probe = test::probeOf(test::streamsDocument(
        {R"({"codec_type": "data", "codec_name": "bin_data"})"},
        R"("chapters": [{"start_time": "0.0", "end_time": "1.0", "tags": {"title": "A"}}])"));
    const std::vector<TrackTableRow> rows = tracksTableRows(probe);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1].trackType, "Chapter");
    EXPECT_EQ(rows[1].trackNumber, "0");
}

}  // namespace
}  // namespace vellinor
