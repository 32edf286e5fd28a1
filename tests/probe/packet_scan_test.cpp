// The packet reader run on media made with ffmpeg: the numbers a 12-frame GOP must give, and
// the run's progress, cancellation and failures.

#include "probe/packet_scan.h"

#include <sys/stat.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace vellinor {
namespace {

using test::TempDir;

// 48 frames at 25 fps, a keyframe every 12 (no scene-cut keyframes), with B-frames, so
// presentation and decode order differ.
std::filesystem::path makeTwelveFrameGop(const TempDir& dir)
{
    auto path = dir / "gop12.mp4";
    test::runFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=160x90:rate=25", "-frames:v", "48", "-c:v",
                     "libx264", "-g", "12", "-bf", "2", "-x264-params", "scenecut=0",
                     path.string()});
    return path;
}

TEST(PacketScan, TwelveFrameGopGivesExactKeyframesAndBins)
{
    TempDir dir;
    auto path = makeTwelveFrameGop(dir);
    std::vector<double> fractions;
    PacketScanOptions options;
    options.onProgress = [&](double fraction) {
        fractions.push_back(fraction);
        return true;
    };
    auto statistics = scanPackets(path.string(), options);
    ASSERT_TRUE(statistics) << statistics.error();
    ASSERT_EQ(statistics->streams.size(), 1U);
    const StreamPackets& video = statistics->streams[0];
    EXPECT_EQ(video.kind, "video");
    EXPECT_EQ(video.codec, "h264");
    EXPECT_EQ(video.frameCount, 48);
    EXPECT_EQ(video.keyframes,
              (std::vector<KeyframePosition>{{0.0, 0}, {0.48, 12}, {0.96, 24}, {1.44, 36}}));
    EXPECT_EQ(summarizeGops(video), (GopSummary{12, 12.0, 12, 4}));
    ASSERT_EQ(video.bins.size(), 2U);
    EXPECT_EQ(video.bins[0].packets, 25);
    EXPECT_EQ(video.bins[0].keyframes, 3);
    EXPECT_EQ(video.bins[1].packets, 23);
    EXPECT_EQ(video.bins[1].keyframes, 1);
    EXPECT_GT(video.bins[0].bytes, 0);
    ASSERT_FALSE(fractions.empty());
    EXPECT_EQ(fractions.back(), 1.0);
}

TEST(PacketScan, CancelledRunStopsAndSaysSo)
{
    TempDir dir;
    auto path = makeTwelveFrameGop(dir);
    PacketScanOptions options;
    options.onProgress = [](double) { return false; };
    auto statistics = scanPackets(path.string(), options);
    ASSERT_FALSE(statistics);
    EXPECT_EQ(statistics.kind(), ErrorKind::cancelled) << statistics.error();
}

TEST(PacketScan, FilesItCannotReadFailWithAReason)
{
    TempDir dir;
    auto good = makeTwelveFrameGop(dir);
    test::writeFile(dir / "garbage.mp4", std::string(5000, '\x17'));
    std::string truncated = test::readFile(good);
    test::writeFile(dir / "truncated.mp4", truncated.substr(0, truncated.size() / 3));

    auto garbage = scanPackets((dir / "garbage.mp4").string());
    ASSERT_FALSE(garbage);
    EXPECT_EQ(garbage.error(), "the packet reader could not read the file");
    // Never handed to the reader: a FIFO would block it.
    const struct {
        std::filesystem::path path;
        const char* why;
    } refused[] = {{dir / "missing.mp4", "no such file"},
                   {dir.path(), "is a directory"},
                   {dir / "fifo.mp4", "not a regular file"}};
    ASSERT_EQ(::mkfifo((dir / "fifo.mp4").c_str(), 0600), 0);
    for (const auto& c : refused) {
        auto result = scanPackets(c.path.string());
        ASSERT_FALSE(result) << c.path;
        EXPECT_EQ(result.error(), c.why);
    }
    // A file cut short reads as far as it goes, or fails; either way with no crash.
    auto cut = scanPackets((dir / "truncated.mp4").string());
    if (cut) {
        EXPECT_LE(cut->secondCount(), 2);
    }

    PacketScanOptions noTool;
    noTool.toolPath = (dir / "no-such-reader").string();
    auto notStarted = scanPackets(good.string(), noTool);
    ASSERT_FALSE(notStarted);
    EXPECT_TRUE(notStarted.error().starts_with("could not start the packet reader"));
}

}  // namespace
}  // namespace vellinor
