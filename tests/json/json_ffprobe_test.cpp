// Real ffprobe output of media made with ffmpeg at test time: read with chained lookups, written
// back, and (with Latin-1 tags passed through unchecked) mended rather than rejected.

#include <gtest/gtest.h>

#include "json/json.h"
#include "platform/process.h"
#include "support/test_support.h"

namespace vellinor {
namespace {

std::optional<JSON> probe(const std::filesystem::path& file, const std::string& writer)
{
    const auto result = platform::runProcess(
        test::ffprobePath(), {"-v", "quiet", "-print_format", writer, "-show_format",
                              "-show_streams", "-show_chapters", file.string()});
    EXPECT_EQ(result.outcome, platform::ProcessResult::Outcome::exited);
    EXPECT_EQ(result.exitCode, 0);
    auto parsed = JSON::parse(result.standardOutput);
    EXPECT_TRUE(parsed.hasValue()) << (parsed ? "" : parsed.error());
    if (!parsed)
        return std::nullopt;
    return std::move(*parsed);
}

bool haveFfmpeg()
{
    return !test::ffmpegPath().empty();
}

TEST(JsonFfprobe, ReadsAndRewritesAProbeDocument)
{
    if (!haveFfmpeg()) {
        GTEST_SKIP() << "ffmpeg is not installed";
    }
    test::TempDir dir;
    test::writeFile(dir / "meta.txt",
                    ";FFMETADATA1\ntitle=Film \xC3\xA9t\xC3\xA9 \"quoted\"\n"
                    "[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=500\ntitle=Opening\n"
                    "[CHAPTER]\nTIMEBASE=1/1000\nSTART=500\nEND=1000\ntitle=Close\n");
    const auto media = dir / "film.mkv";
    ASSERT_TRUE(test::runFfmpeg({"-f",
                                 "lavfi",
                                 "-i",
                                 "testsrc=duration=1:size=64x48:rate=10",
                                 "-f",
                                 "lavfi",
                                 "-i",
                                 "sine=duration=1",
                                 "-i",
                                 (dir / "meta.txt").string(),
                                 "-map",
                                 "0",
                                 "-map",
                                 "1",
                                 "-map_metadata",
                                 "2",
                                 "-map_chapters",
                                 "2",
                                 "-c:v",
                                 "mpeg4",
                                 "-c:a",
                                 "aac",
                                 "-metadata:s:a:0",
                                 "language=fre",
                                 media.string()}));

    const auto doc = probe(media, "json");
    ASSERT_TRUE(doc.has_value());
    const JSON& d = *doc;
    EXPECT_EQ(d["streams"].count(), 2u);
    EXPECT_EQ(d["streams"][0]["codec_type"].stringValue(), "video");
    EXPECT_EQ(d["streams"][0]["width"].intValue(), 64);
    EXPECT_EQ(d["streams"][1]["codec_type"].stringValue(), "audio");
    EXPECT_EQ(d["streams"][1]["tags"]["language"].stringValue(), "fre");
    EXPECT_EQ(d["streams"][2]["codec_type"].error(), JSONError::indexOutOfBounds);
    EXPECT_NEAR(d["format"]["duration"].doubleValue(), 1.0, 0.1);
    EXPECT_GT(d["format"]["size"].intValue(), 0);
    EXPECT_EQ(d["format"]["tags"]["title"].stringValue(), "Film \xC3\xA9t\xC3\xA9 \"quoted\"");
    EXPECT_FALSE(d["error"].exists());
    ASSERT_EQ(d["chapters"].count(), 2u);
    EXPECT_EQ(d["chapters"][1]["tags"]["title"].stringValue(), "Close");
    EXPECT_DOUBLE_EQ(d["chapters"][1]["start_time"].doubleValue(), 0.5);

    // Written out pretty-printed, the document reads back the same.
    const auto text = d.rawString();
    ASSERT_TRUE(text.has_value());
    const auto back = JSON::parse(*text);
    ASSERT_TRUE(back.hasValue());
    EXPECT_EQ(*back, d);
}

TEST(JsonFfprobe, MendsLatin1TagsPassedThroughUnchecked)
{
    if (!haveFfmpeg()) {
        GTEST_SKIP() << "ffmpeg is not installed";
    }
    test::TempDir dir;
    const auto media = dir / "song.wav";
    ASSERT_TRUE(test::runFfmpeg({"-f", "lavfi", "-i", "sine=duration=0.2", "-metadata",
                                 "title=Caf\xE9 d\xE9j\xE0", media.string()}));
    // Without string validation ffprobe prints the tag's bytes as they are: not UTF-8.
    const auto doc = probe(media, "json=string_validation=ignore");
    ASSERT_TRUE(doc.has_value());
    EXPECT_EQ((*doc)["format"]["tags"]["title"].stringValue(),
              "Caf\xEF\xBF\xBD d\xEF\xBF\xBDj\xEF\xBF\xBD");
    EXPECT_EQ((*doc)["streams"][0]["codec_type"].stringValue(), "audio");
    EXPECT_TRUE(doc->rawString().has_value());
}

}  // namespace
}  // namespace vellinor
