// vellinor-cli --bitrate and --gop on media made with ffmpeg.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli_runner.h"
#include "support/test_support.h"

namespace vellinor::test {
namespace {

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        EXPECT_TRUE(line.ends_with('\r')) << "CSV records end in CR LF";
        if (line.ends_with('\r'))
            line.pop_back();
        result.push_back(line);
    }
    return result;
}

class PacketCsv : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_dir = new TempDir;
        // 48 frames at 25 fps, a keyframe every 12, and 2 s of audio.
        runFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=160x90:rate=25", "-f", "lavfi", "-i",
                   "sine=frequency=440:sample_rate=48000:duration=2", "-frames:v", "48", "-c:v",
                   "libx264", "-g", "12", "-x264-params", "scenecut=0", "-c:a", "aac",
                   (*s_dir / "gop, 12.mp4").string()});
    }
    static void TearDownTestSuite()
    {
        delete s_dir;
        s_dir = nullptr;
    }
    static std::string file() { return (*s_dir / "gop, 12.mp4").string(); }
    static TempDir* s_dir;
};

TempDir* PacketCsv::s_dir = nullptr;

TEST_F(PacketCsv, GopListsEveryKeyframeWithTheGopLengths)
{
    CliRun run = runCli({"--gop", file()});
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(run.err, "");
    std::string quoted = "\"";  // the name holds a comma
    quoted += file();
    quoted += '"';
    std::vector<std::string> expected{
        "stream,kind,keyframe,time,frame,gop_frames,gop_min,gop_median,gop_max,codec,file",
        "0,video,0,0.0,0,12,12,12.0,12,h264,", "0,video,1,0.48,12,12,12,12.0,12,h264,",
        "0,video,2,0.96,24,12,12,12.0,12,h264,", "0,video,3,1.44,36,12,12,12.0,12,h264,"};
    for (std::size_t i = 1; i < expected.size(); ++i)
        expected[i] += quoted;
    EXPECT_EQ(lines(run.out), expected);
}

TEST_F(PacketCsv, BitrateHasARowPerStreamAndSecond)
{
    CliRun run = runCli({"--bitrate", file()});
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    auto rows = lines(run.out);
    ASSERT_EQ(rows.size(), 5U) << run.out;
    EXPECT_EQ(rows[0], "stream,kind,second,bits,kbps,bytes,packets,keyframes,codec,file");
    EXPECT_TRUE(rows[1].starts_with("0,video,0,")) << rows[1];
    EXPECT_NE(rows[1].find(",25,3,h264,"), std::string::npos) << rows[1];
    EXPECT_NE(rows[2].find(",23,1,h264,"), std::string::npos) << rows[2];
    EXPECT_TRUE(rows[3].starts_with("1,audio,0,")) << rows[3];
    EXPECT_TRUE(rows[4].starts_with("1,audio,1,")) << rows[4];
}

TEST_F(PacketCsv, ProblemsGoToStandardErrorAndTheOthersStillPrint)
{
    CliRun run = runCli({"--gop", (s_dir->path() / "missing.mp4").string(), file()});
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_NE(run.err.find("missing.mp4: no such file"), std::string::npos) << run.err;
    EXPECT_EQ(lines(run.out).size(), 5U);

    CliRun both = runCli({"--gop", "--record", file()});
    EXPECT_EQ(both.exitStatus, 2);
}

}  // namespace
}  // namespace vellinor::test
