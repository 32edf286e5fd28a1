// MPEG video whose header says "variable bit rate" with the marker rate: the length the probe
// tool estimates from it is replaced by the packets' end, and the marker is never a bit rate.

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "format/utils.h"
#include "probe/facts_catalogue.h"
#include "probe/file_probe.h"
#include "support/test_support.h"

namespace vellinor {
namespace {

namespace fs = std::filesystem;

TEST(VariableBitRateMarker, LengthComesFromThePacketsEnd)
{
    test::TempDir dir;
    struct Case {
        const char* name;
        std::vector<std::string> format;  // ffmpeg's output options
        bool estimated;                   // the tool's length is the marker's estimate
    };
    const std::vector<Case> cases{
        {"elementary.mpv", {"-c:v", "mpeg1video", "-f", "mpeg1video"}, true},
        // A program stream has timestamps: the tool's length is already right.
        {"program.mpg", {"-c:v", "mpeg1video", "-f", "mpeg"}, false},
        {"h264.mp4", {"-c:v", "libx264"}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path path = dir / c.name;
        std::vector<std::string> arguments{"-f", "lavfi", "-i", "testsrc2=size=320x240:rate=25",
                                           "-t", "4"};
        arguments.insert(arguments.end(), c.format.begin(), c.format.end());
        arguments.push_back(path.string());
        ASSERT_TRUE(test::runFfmpeg(arguments));
        ProbeOptions options;
        options.toolPath = test::ffprobePath();
        const FileProbe probe(path.string(), options);
        ASSERT_EQ(probe.tracksInfo.size(), 1u);
        EXPECT_EQ(probe.lengthFromMarker, c.estimated);
        EXPECT_NEAR(probe.duration, 4.0, 0.05);
        EXPECT_NEAR(probe.tracksInfo[0].trackDuration, 4.0, 0.05);
        const double bitsPerSecond = static_cast<double>(*probe.fileSize) * 8.0 / 4.0;
        EXPECT_NEAR(static_cast<double>(probe.bitrate), bitsPerSecond, bitsPerSecond * 0.05);

        std::vector<Fact> facts = containerFacts(probe);
        const std::vector<Fact> track = trackFacts(probe, probe.tracksInfo[0]);
        facts.insert(facts.end(), track.begin(), track.end());
        for (const Fact& fact : facts) {
            EXPECT_EQ(fact.value.find("104,85"), std::string::npos) << fact.name;
            if (c.estimated && fact.name == "Duration") {
                EXPECT_EQ(fact.value, Utils::formatDuration(4.0)) << fact.source;
            }
        }
    }
}

}  // namespace
}  // namespace vellinor
