#include "probe/packet_statistics.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace vellinor {
namespace {

constexpr const char* kTwoStreams =
    "progress 10 100\n"
    "duration 2.500000\n"
    "packets_end 2.480000\n"
    "stream 0 video h264\n"
    "stream 1 audio aac\n"
    "progress 100 100\n"
    "bin 0 0 1000 25 3\n"
    "bin 0 2 500 12 1\n"
    "key 0 0.000000 0\n"
    "key 0 0.480000 12\n"
    "key 0 0.960000 24\n"
    "key 0 2.000000 50\n"
    "frames 0 62\n"
    "bin 1 1 300 47 47\n"
    "some-later-kind 1 2 3\n"
    "end\n";

TEST(PacketStatistics, ReadsTheReadersOutput)
{
    auto statistics = parsePacketStatistics(kTwoStreams);
    ASSERT_TRUE(statistics) << statistics.error();
    EXPECT_EQ(statistics->duration, 2.5);
    EXPECT_EQ(statistics->packetsEnd, 2.48);
    ASSERT_EQ(statistics->streams.size(), 2U);
    const StreamPackets& video = statistics->streams[0];
    EXPECT_EQ(video.kind, "video");
    EXPECT_EQ(video.codec, "h264");
    EXPECT_EQ(video.bins, (std::vector<PacketBin>{{0, 1000, 25, 3}, {2, 500, 12, 1}}));
    EXPECT_EQ(video.keyframes.size(), 4U);
    EXPECT_EQ(video.keyframes[1], (KeyframePosition{0.48, 12}));
    EXPECT_EQ(video.frameCount, 62);
    EXPECT_EQ(statistics->streams[1].bins, (std::vector<PacketBin>{{1, 300, 47, 47}}));
    EXPECT_EQ(statistics->secondCount(), 3);
    EXPECT_EQ(everySecond(statistics->streams[1], 3),
              (std::vector<PacketBin>{{0, 0, 0, 0}, {1, 300, 47, 47}, {2, 0, 0, 0}}));
    EXPECT_EQ(video.bins[0].bits(), 8000);
}

TEST(PacketStatistics, RefusesOutputThatIsDamagedOrCutShort)
{
    const struct {
        const char* name;
        const char* text;
    } cases[] = {
        {"no end line (the reader died)", "stream 0 video h264\nbin 0 0 10 1 1\n"},
        {"empty output", ""},
        {"a bin of an undeclared stream", "stream 0 video h264\nbin 1 0 10 1 1\nend\n"},
        {"a keyframe of an undeclared stream", "key 0 0.0 0\nend\n"},
        {"a negative byte count", "stream 0 video h264\nbin 0 0 -10 1 1\nend\n"},
        {"seconds out of order", "stream 0 video h264\nbin 0 3 10 1 1\nbin 0 2 10 1 1\nend\n"},
        {"a stream declared twice", "stream 0 video h264\nstream 0 audio aac\nend\n"},
        {"a word missing", "stream 0 video h264\nbin 0 0 10 1\nend\n"},
        {"a number with trailing junk", "stream 0 video h264\nframes 0 12x\nend\n"},
        {"a time that is not finite", "stream 0 video h264\nkey 0 nan 0\nend\n"},
        {"a number beyond 64 bits", "stream 0 video h264\nframes 0 99999999999999999999\nend\n"},
    };
    for (const auto& c : cases)
        EXPECT_FALSE(parsePacketStatistics(c.text)) << c.name;
}

TEST(PacketStatistics, ProgressLines)
{
    EXPECT_EQ(packetProgress("progress 50 200"), 0.25);
    EXPECT_EQ(packetProgress("progress 300 200"), 1.0) << "clamped";
    EXPECT_EQ(packetProgress("progress 5 0"), std::nullopt) << "size unknown";
    EXPECT_EQ(packetProgress("bin 0 0 1 1 1"), std::nullopt);
    EXPECT_EQ(packetProgress("progress 5"), std::nullopt);
}

TEST(PacketStatistics, GopLengths)
{
    const struct {
        const char* name;
        std::vector<std::int64_t> keyframeNumbers;
        std::int64_t frameCount;
        std::vector<std::int64_t> lengths;
        std::optional<GopSummary> summary;
    } cases[] = {
        {"steady, the last GOP running to the end",
         {0, 12, 24, 36},
         48,
         {12, 12, 12, 12},
         GopSummary{12, 12.0, 12, 4}},
        {"a short last GOP", {0, 12, 24}, 28, {12, 12, 4}, GopSummary{4, 12.0, 12, 3}},
        {"even count: the mean of the middle two",
         {0, 10, 30, 60},
         100,
         {10, 20, 30, 40},
         GopSummary{10, 25.0, 40, 4}},
        {"one keyframe", {0}, 250, {250}, GopSummary{250, 250.0, 250, 1}},
        {"no keyframes", {}, 100, {}, std::nullopt},
        {"numbers that do not grow end no GOP",
         {0, 10, 10, 5},
         20,
         {10, 15},
         GopSummary{10, 12.5, 15, 2}},
    };
    for (const auto& c : cases) {
        StreamPackets stream;
        stream.kind = "video";
        stream.frameCount = c.frameCount;
        for (std::int64_t frame : c.keyframeNumbers)
            stream.keyframes.push_back({static_cast<double>(frame) / 25.0, frame});
        EXPECT_EQ(gopLengths(stream), c.lengths) << c.name;
        EXPECT_EQ(summarizeGops(stream), c.summary) << c.name;
    }
}

}  // namespace
}  // namespace vellinor
