// The stream headers the sniffer reads (--headers) as facts of files ffmpeg makes: MPEG-2 video's
// GOPs, matrix and time code, AC-3 and E-AC-3 service kinds, a Matroska segment's UID.

#include "probe/stream_headers.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "probe/facts_catalogue.h"
#include "probe/file_probe.h"
#include "support/test_support.h"

namespace vellinor {
namespace {

namespace fs = std::filesystem;

std::string factValue(const std::vector<Fact>& facts, const std::string& name)
{
    for (const Fact& fact : facts)
        if (fact.name == name)
            return fact.value;
    return {};
}

FileProbe probed(const fs::path& path)
{
    ProbeOptions options;
    options.toolPath = test::ffprobePath();
    options.bitstreamFacts = true;
    return FileProbe(path.string(), options);
}

TEST(StreamHeaders, FactsOfMpegAndDolbyFiles)
{
    test::TempDir dir;
    struct Case {
        const char* name;
        const std::vector<std::string>* arguments;  // ffmpeg's, before the output file
        std::size_t track;                          // kContainer: the container's facts
        std::string fact;
        std::string value;  // a regular expression
    };
    constexpr std::size_t kContainer = 99;
    const std::vector<std::string> mpeg2{"-f",
                                         "lavfi",
                                         "-i",
                                         "testsrc=size=64x48:rate=25",
                                         "-f",
                                         "lavfi",
                                         "-i",
                                         "sine=sample_rate=48000",
                                         "-t",
                                         "2",
                                         "-c:v",
                                         "mpeg2video",
                                         "-g",
                                         "12",
                                         "-bf",
                                         "2",
                                         "-b:v",
                                         "1M",
                                         "-maxrate",
                                         "4M",
                                         "-bufsize",
                                         "2M",
                                         "-timecode",
                                         "01:02:03:04",
                                         "-c:a",
                                         "ac3",
                                         "-audio_service_type",
                                         "vi"};
    const std::vector<std::string> eac3{
        "-f",   "lavfi", "-i", "sine=sample_rate=48000", "-t", "1", "-c:a",
        "eac3", "-ac",   "1",  "-audio_service_type",    "co"};
    const std::vector<Case> cases{
        {"film.mpg", &mpeg2, 0, "GOP structure", "M=3, N=12"},
        {"film.mpg", &mpeg2, 0, "GOP, open/closed", "Open"},
        {"film.mpg", &mpeg2, 0, "Quantisation matrix", "Default"},
        {"film.mpg", &mpeg2, 0, "Time code of first frame", "01:02:03:04"},
        {"film.mpg", &mpeg2, 0, "Maximum bit rate", "4000 kb/s"},
        {"film.mpg", &mpeg2, 1, "Service kind", "Visually Impaired"},
        {"film.ts", &mpeg2, 0, "GOP structure", "M=3, N=12"},
        {"film.ts", &mpeg2, 1, "Service kind", "Visually Impaired"},
        {"commentary.mkv", &eac3, 0, "Service kind", "Commentary"},
        {"commentary.mkv", &eac3, kContainer, "Unique ID", "[0-9]+ \\(0x[0-9A-F]{32}\\)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " " + c.fact);
        const fs::path path = dir / c.name;
        if (!fs::exists(path)) {
            std::vector<std::string> arguments = *c.arguments;
            arguments.push_back(path.string());
            ASSERT_TRUE(test::runFfmpeg(arguments));
        }
        const FileProbe probe = probed(path);
        const std::vector<Fact> facts = c.track == kContainer ? containerFacts(probe)
                                        : c.track < probe.tracksInfo.size()
                                            ? trackFacts(probe, probe.tracksInfo[c.track])
                                            : std::vector<Fact>{};
        const std::string value = factValue(facts, c.fact);
        EXPECT_TRUE(std::regex_match(value, std::regex(c.value))) << value;
    }
}

// A file cut short still gives what its first GOP says; one that is no media gives nothing.
TEST(StreamHeaders, CutAndGarbledFiles)
{
    test::TempDir dir;
    const fs::path whole = dir / "whole.mpg";
    // Large enough pictures that the first I-frame runs past the cut.
    ASSERT_TRUE(
        test::runFfmpeg({"-f", "lavfi", "-i", "testsrc=size=640x480:rate=25", "-t", "2", "-c:v",
                         "mpeg2video", "-timecode", "10:00:00:00", whole.string()}));
    const std::string bytes = test::readFile(whole);
    test::writeFile(dir / "cut.mpg", bytes.substr(0, 6000));
    std::string garbled = bytes;
    for (std::size_t i = 2048; i < garbled.size(); i += 7)
        garbled[i] = static_cast<char>(garbled[i] ^ 0x5A);
    test::writeFile(dir / "garbled.mpg", garbled);

    const FileProbe cut = probed(dir / "cut.mpg");
    ASSERT_EQ(cut.tracksInfo.size(), 1u);
    ASSERT_TRUE(cut.tracksInfo[0].headers.has_value());
    EXPECT_EQ(cut.tracksInfo[0].headers->timecode, "10:00:00:00");
    EXPECT_FALSE(cut.tracksInfo[0].headers->gopN.has_value());

    // Whatever the damage, the reader ends and its findings stay within their bounds.
    const FileProbe damaged = probed(dir / "garbled.mpg");
    for (const TrackInfo& track : damaged.tracksInfo) {
        if (track.headers && track.headers->gopN) {
            EXPECT_LE(track.headers->gopM.value_or(1), *track.headers->gopN);
        }
    }
}

TEST(StreamHeaders, ReadersOutputIsChecked)
{
    struct Case {
        const char* name;
        std::string output;
        bool read;
        std::size_t streams;
    };
    const std::vector<Case> cases{
        {"streams", R"({"streams": [{"index": 0, "gop_m": 3, "gop_n": 12}, {"index": 1,
            "service_type": 2}]})",
         true, 2},
        {"M past N, unknown service kind, no index",
         R"({"streams": [{"index": 0, "gop_m": 13, "gop_n": 12}, {"index": 1, "service_type": 9},
            {"gop_m": 1, "gop_n": 1}]})",
         true, 0},
        {"not the reader's", R"({"container": "matroska"})", false, 0},
        {"not JSON", "Segmentation fault", false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto reading = parseStreamHeaders(c.output);
        ASSERT_EQ(reading.has_value(), c.read);
        if (reading) {
            EXPECT_EQ(reading->streams.size(), c.streams);
        }
    }
    EXPECT_FALSE(parseStreamHeaders(R"({"segment_uid": "abc", "streams": []})")->segmentUid);
}

}  // namespace
}  // namespace vellinor
