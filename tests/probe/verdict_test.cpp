// The verdict on a file, for each way a file can show nothing: the words the command line prints
// and the sentence the window shows come from here.

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "probe/verdict.h"
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
        options.timeout = 1s;
        if (!c.tool.empty())
            options.toolPath = (dir / c.tool).string();
        const FileVerdict verdict = fileVerdict(path, FileProbe(path, options));
        EXPECT_EQ(verdict.kind, c.kind);
        EXPECT_EQ(verdict.problem, c.problem);
        EXPECT_EQ(verdict.message, c.message);
        EXPECT_EQ(verdict.isGood(), c.kind == Kind::good);
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
