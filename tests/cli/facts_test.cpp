// `vellinor-cli facts`: each track's summary and facts by group, on a Matroska file as mkvmerge
// writes it (its statistics tags are where frame counts and stream sizes come from).

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "cli_runner.h"
#include "platform/process.h"
#include "support/media_corpus.h"
#include "support/test_support.h"

namespace vellinor::test {
namespace {

class FactsCommand : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_folder = new TempDir;
        const auto source = *s_folder / "source.mkv";
        s_file = new std::string((*s_folder / "film.mkv").string());
        ASSERT_TRUE(runFfmpeg({"-f",
                               "lavfi",
                               "-i",
                               "testsrc2=size=320x240:rate=25",
                               "-f",
                               "lavfi",
                               "-i",
                               "sine=sample_rate=48000",
                               "-t",
                               "2",
                               "-c:v",
                               "libx264",
                               "-pix_fmt",
                               "yuv422p",
                               "-c:a",
                               "ac3",
                               "-ac",
                               "6",
                               "-b:a",
                               "384k",
                               "-metadata:s:a",
                               "title=Surround",
                               "-disposition:a",
                               "default",
                               source.string()}));
        ASSERT_FALSE(mkvmergePath().empty());
        const std::string command =
            mkvmergePath() + " -q -o '" + *s_file + "' '" + source.string() + "'";
        ASSERT_EQ(std::system(command.c_str()), 0);
    }
    static void TearDownTestSuite()
    {
        delete s_file;
        delete s_folder;
    }
    static TempDir* s_folder;
    static std::string* s_file;
};
TempDir* FactsCommand::s_folder = nullptr;
std::string* FactsCommand::s_file = nullptr;

TEST_F(FactsCommand, ShowsSummariesAndFactsWithTheirSources)
{
    const CliRun run = runCli({"--no-cache", "facts", *s_file});
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    for (const char* expected : {
             "\nTrack 0: Video - AVC High 4:2:2, ",
             ", 320x240, 25 fps, 8 bits, 4:2:2\n",
             "\nTrack 1: Audio - AC-3, 384 kb/s, 48 kHz, 5.1, \"Surround\", Default\n",
             "\n  Codec\n",
             "\n  Picture\n",
             "\n    Chroma subsampling            4:2:2  [pix_fmt yuv422p]\n",
             "\n    Frame count                   50  [tag NUMBER_OF_FRAMES]\n",
             "\n    Sampling rate                 48.0 kHz\n",
             "\n    Writing application           mkvmerge v",
             "\n    Default track                 Yes  [disposition default]\n",
         })
        EXPECT_NE(run.out.find(expected), std::string::npos) << expected << "\n" << run.out;
    // Defaults and zero flags are left out.
    for (const char* absent : {"[0][0][0][0]", "Forced", "Pixel aspect ratio", "-99"})
        EXPECT_EQ(run.out.find(absent), std::string::npos) << absent;
}

TEST_F(FactsCommand, IsTheReportWithTheFactsAfterIt)
{
    const CliRun plain = runCli({"--no-cache", *s_file});
    const CliRun flag = runCli({"--no-cache", "--facts", *s_file});
    const CliRun command = runCli({"--no-cache", "facts", *s_file});
    ASSERT_EQ(plain.exitStatus, 0) << plain.err;
    EXPECT_EQ(flag.out, command.out);
    // The report a script reads today stays as it is, the facts come after it.
    EXPECT_EQ(command.out.substr(0, plain.out.size()), plain.out);
    EXPECT_GT(command.out.size(), plain.out.size());

    EXPECT_EQ(runCli({"facts"}).exitStatus, 2);
    EXPECT_EQ(runCli({"--facts", "--json", *s_file}).exitStatus, 2);
}

// Cut short, a file still shows its tracks, and standard error says it ends early: by the
// tracks' sizes in MP4, by the header's size in Matroska.
TEST_F(FactsCommand, ATruncatedFileShowsWhatCouldBeRead)
{
    ASSERT_FALSE(mkvmergePath().empty());
    const auto whole = *s_folder / "whole.mp4";
    const auto matroska = *s_folder / "whole.mkv";
    ASSERT_TRUE(runFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=320x240:rate=25", "-f", "lavfi",
                           "-i", "sine", "-t", "3", "-c:v", "libx264", "-c:a", "aac", "-movflags",
                           "+faststart", whole.string()}));
    ASSERT_EQ(platform::runProcess(mkvmergePath(), {"-q", "-o", matroska.string(), whole.string()})
                  .exitCode,
              0);
    const std::vector<std::pair<std::filesystem::path, std::string>> cases{
        {whole, ": the file ends early: its tracks hold "},
        {matroska, ": the file ends early: its header says "},
    };
    for (const auto& [source, problem] : cases) {
        SCOPED_TRACE(source.filename().string());
        const std::string bytes = readFile(source);
        const auto cut = *s_folder / ("cut-" + source.filename().string());
        writeFile(cut, bytes.substr(0, bytes.size() / 2));
        const CliRun run = runCli({"--no-cache", "facts", cut.string()});
        EXPECT_EQ(run.exitStatus, 1);
        EXPECT_NE(run.err.find(problem), std::string::npos) << run.err;
        EXPECT_NE(run.out.find("\nTrack 0: Video - AVC"), std::string::npos) << run.out;
        EXPECT_NE(run.out.find("\nTrack 1: Audio - AAC"), std::string::npos) << run.out;
    }
}

}  // namespace
}  // namespace vellinor::test
