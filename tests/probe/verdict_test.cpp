// The verdict on a file, for each way a file can show nothing: the words the command line prints
// and the sentence the window shows come from here.

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "format/utils.h"
#include "platform/process.h"
#include "probe/verdict.h"
#include "support/media_corpus.h"
#include "support/test_support.h"

namespace vellinor {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::TempDir;

TEST(FileVerdict, SaysWhyEachKindOfFileShowsNothing)
{
    TempDir dir;
    const fs::path tone = dir / "tone.wav";
    ASSERT_TRUE(test::runFfmpeg(
        {"-f", "lavfi", "-i", "sine=duration=0.2", "-c:a", "pcm_s16le", tone.string()}));
    test::writeFile(dir / "empty.mkv", "");
    test::writeFile(dir / "garbage.mkv", std::string(4096, '\x01'));
    test::writeFile(dir / "notes.txt", "hello\n");
    fs::create_directory(dir / "folder");
    test::writeFile(dir / "locked.mkv", "x");
    ::chmod((dir / "locked.mkv").c_str(), 0);
    const bool rootReadsAnyway = ::access((dir / "locked.mkv").c_str(), R_OK) == 0;
    fs::copy_file(tone, dir / "tone.txt");
    test::writeScript(dir / "hangs", "exec sleep 30\n");
    test::writeScript(dir / "crashes", "kill -SEGV $$\n");
    test::writeScript(dir / "silent", "exit 1\n");
    test::writeScript(dir / "unnamed-error", "echo '{\"error\": {\"code\": -5}}'\n");
    // What libav says of a file cut short, and of a feature it lacks.
    test::writeScript(dir / "ends-early",
                      "echo '{\"error\": {\"code\": -541478725, \"string\": \"End of file\"}}'\n"
                      "exit 1\n");
    test::writeScript(dir / "not-implemented",
                      "echo '{\"error\": {\"code\": -1163346256, \"string\": \"Not yet "
                      "implemented in FFmpeg, patches welcome\"}}'\nexit 1\n");

    struct Case {
        std::string file;
        std::string tool;  // empty: the real ffprobe
        FileVerdict::Kind kind;
        std::string problem;
        std::string message;
    };
    using Kind = FileVerdict::Kind;
    const std::vector<Case> cases{
        {"tone.wav", "", Kind::good, "", ""},
        {"gone.mkv", "", Kind::missing, "no such file", "Could not open this file: no such file"},
        {"tone.wav/inside", "", Kind::missing, "not a directory on the way to it",
         "Could not open this file: not a directory on the way to it"},
        {"folder", "", Kind::unreadable, "is a directory",
         "Could not open this file: is a directory"},
        {"locked.mkv", "", Kind::unreadable, "permission denied",
         "Could not open this file: permission denied"},
        {"empty.mkv", "", Kind::empty, "empty file", "This file is empty."},
        {"garbage.mkv", "", Kind::toolError,
         "the probe tool could not read it: Invalid data found when processing input",
         "Could not read this file: Invalid data found when processing input"},
        {"tone.mkv", "unnamed-error", Kind::toolError, "the probe tool could not read it",
         "Could not read this file."},
        {"notes.txt", "", Kind::toolError,
         "the probe tool could not read it: Invalid data found when processing input",
         "Could not read this file: Invalid data found when processing input"},
        {"tone.mkv", "ends-early", Kind::toolError, "the probe tool could not read it: End of file",
         "This file ends early: it stops before the probe tool could read its streams."},
        {"tone.mkv", "not-implemented", Kind::toolError,
         "the probe tool could not read it: Not yet implemented in FFmpeg, patches welcome",
         "Could not read this file: it uses a feature of its format that FFmpeg cannot read yet."},
        {"tone.txt", "", Kind::notMedia, "not a media file",
         "Not counted as a media file: its name ends in .txt."},
        {"tone.mkv", "silent", Kind::notMedia, "not a media file",
         "Not a media file: the probe tool gave no description of it."},
        {"tone.mkv", "hangs", Kind::toolFailed, "the probe tool timed out after 1 s",
         "The probe tool timed out after 1 s."},
        {"tone.mkv", "crashes", Kind::toolFailed, "the probe tool was killed by signal 11",
         "The probe tool was killed by signal 11."},
    };
    fs::copy_file(tone, dir / "tone.mkv");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file + " " + c.tool);
        if (c.file == "locked.mkv" && rootReadsAnyway)
            continue;
        const std::string path = (dir / c.file).string();
        ProbeOptions options;
        // Only the hanging tool needs the short limit; a loaded machine may take longer than
        // a second to start a real probe.
        options.timeout = c.tool == "hangs" ? 1s : 30s;
        if (!c.tool.empty())
            options.toolPath = (dir / c.tool).string();
        const FileVerdict verdict = fileVerdict(path, FileProbe(path, options));
        EXPECT_EQ(verdict.kind, c.kind);
        EXPECT_EQ(verdict.problem, c.problem);
        EXPECT_EQ(verdict.message, c.message);
        EXPECT_EQ(verdict.isGood(), c.kind == Kind::good);
    }
}

// Files cut short, as an interrupted copy leaves them. Where the header tells the file's size
// (Matroska's Segment, MP4's top-level boxes) or the document tells how much the tracks hold
// (MP4's sample tables) the verdict says the file ends early, and the tracks that could be read
// are still shown. An MP4 written in one pass has its index after the media data: cut, it has
// no tracks to show, and the verdict says why.
TEST(FileVerdict, TruncatedFilesShowTheirTracks)
{
    ASSERT_FALSE(test::mkvmergePath().empty());
    TempDir dir;
    const fs::path source = dir / "source.mp4";
    const fs::path onePass = dir / "one-pass.mp4";
    const fs::path matroska = dir / "whole.mkv";
    ASSERT_TRUE(test::runFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=320x240:rate=25", "-f",
                                 "lavfi", "-i", "sine", "-t", "4", "-c:v", "libx264", "-c:a", "aac",
                                 "-movflags", "+faststart", source.string()}));
    ASSERT_TRUE(test::runFfmpeg({"-i", source.string(), "-c", "copy", onePass.string()}));
    const auto merged = platform::runProcess(test::mkvmergePath(),
                                             {"-q", "-o", matroska.string(), source.string()}, {});
    ASSERT_EQ(merged.exitCode, 0) << merged.startError;

    struct Case {
        fs::path whole;
        std::string name;
        int tenths;  // tenths of the file kept
        FileVerdict::Kind kind;
        std::string messageStart;  // of the verdict's message, for a file that ends early
        std::size_t tracks = 2;
    };
    using Kind = FileVerdict::Kind;
    const std::string header = "This file ends early: its header says it holds ";
    const std::vector<Case> cases{
        {source, "whole.mp4", 10, Kind::good, ""},
        {source, "half.mp4", 5, Kind::endsEarly, "This file ends early: its tracks hold "},
        {source, "tenth.mp4", 1, Kind::endsEarly, "This file ends early: its tracks hold "},
        {onePass, "one-pass.mp4", 10, Kind::good, ""},
        {onePass, "half-one-pass.mp4", 5, Kind::endsEarly, header, 0},
        {matroska, "whole.mkv", 10, Kind::good, ""},
        {matroska, "half.mkv", 5, Kind::endsEarly, header},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string bytes = test::readFile(c.whole);
        const fs::path path = dir / ("cut-" + c.name);
        const std::size_t kept = bytes.size() * static_cast<std::size_t>(c.tenths) / 10;
        test::writeFile(path, bytes.substr(0, kept));
        ProbeOptions options;
        options.toolPath = test::ffprobePath();
        const FileProbe probe(path.string(), options);
        ASSERT_EQ(probe.tracksInfo.size(), c.tracks);
        if (c.tracks == 2) {
            EXPECT_EQ(probe.tracksInfo[0].trackType, "Video");
            EXPECT_EQ(probe.tracksInfo[1].trackType, "Audio");
            EXPECT_NEAR(probe.duration, 4.0, 0.1);
        }
        const FileVerdict verdict = fileVerdict(path.string(), probe);
        EXPECT_EQ(verdict.kind, c.kind);
        EXPECT_TRUE(verdict.message.starts_with(c.messageStart)) << verdict.message;
        if (c.kind != Kind::endsEarly)
            continue;
        EXPECT_TRUE(verdict.problem.starts_with("the file ends early")) << verdict.problem;
        const std::string has = " the file has " + Utils::formatByteCount(kept) + ";";
        if (c.messageStart == header) {
            EXPECT_NE(verdict.message.find(has), std::string::npos) << verdict.message;
            EXPECT_TRUE(verdict.message.ends_with(
                c.tracks == 0 ? "its index (moov), kept after the media data, is missing, so "
                                "no track can be read."
                              : "; what could be read is shown."))
                << verdict.message;
        }
    }
}

TEST(FileVerdict, AnEmptyJsonDocumentHasNoStreams)
{
    FileProbe probe;
    probe.readToolOutput("{}", "/media/film.mkv");
    const FileVerdict verdict = fileVerdict("/media/film.mkv", probe);
    EXPECT_EQ(verdict.kind, FileVerdict::Kind::notMedia);
    EXPECT_EQ(verdict.message, "Not a media file: the probe tool found no streams in it.");
}

}  // namespace
}  // namespace vellinor
