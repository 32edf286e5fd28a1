// The scan's output parser and the lines both faces show of a scan.

#include "probe/scan_result.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace vellinor {
namespace {

constexpr const char* kDamaged =
    R"({"version":1,"size":10,"sha256":"ab","md5":"cd","truncated":false,"truncation":null,)"
    R"("container_errors":0,"container_messages":[],"declared_duration":70.0,"duration":70.0,)"
    R"("streams":[{"index":0,"type":"video","codec":"h264","decoder_problem":null,)"
    R"("decode_errors":12,"first_errors":[{"time":62.345,"message":"error while decoding MB 3 4"}],)"
    R"("frames":1750,"start":0.0,"end":70.0,"duration":70.0,"frame_rate_mode":"variable",)"
    R"("frame_duration_min":0.04,"frame_duration_max":0.08,)"
    R"("interlacing":{"progressive":1700,"tff":0,"bff":0,"undetermined":50},)"
    R"("black":[{"start":0.0,"end":2.5}],"frozen":[],"captions":["CEA-608"],"md5":"ee"},)"
    R"({"index":1,"type":"audio","codec":"aac","decoder_problem":null,"decode_errors":0,)"
    R"("first_errors":[],"samples":3360000,"sample_rate":48000,"start":0.0,"end":70.0,)"
    R"("duration":70.0,"loudness":{"integrated":-23.14,"range":6.21,"true_peak":-1.33},)"
    R"("silence":[{"start":1.0,"end":3.5}],"md5":"ff"}]})";

TEST(ScanOutput, ReadsTheDocumentAfterTheProgressLines)
{
    auto scan =
        parseScanOutput(std::string("progress 10 100\nprogress 100 100\n") + kDamaged + "\n");
    ASSERT_TRUE(scan) << scan.error();
    ASSERT_EQ(scan->streams.size(), 2U);
    EXPECT_EQ(scan->decodeErrors(), 12);
    EXPECT_TRUE(scan->damaged());
    EXPECT_EQ(scan->streams[0].black, (std::vector<ScanSpan>{{0.0, 2.5}}));
    EXPECT_EQ(scan->streams[0].interlacing, (ScanInterlacing{1700, 0, 0, 50}));
    EXPECT_EQ(scan->streams[1].loudness, (ScanLoudness{-23.14, 6.21, -1.33}));
    EXPECT_EQ(scanVerdictLines(*scan),
              std::vector<std::string>{"12 decode errors in video stream 0, first at "
                                       "00:01:02.345: error while decoding MB 3 4"});
    const auto lines = scanReportLines(*scan);
    const std::vector<std::string> expected{
        "12 decode errors in video stream 0, first at 00:01:02.345: error while decoding MB 3 4",
        "Video stream 0 (h264): 1750 frames, 00:01:10.000, variable frame rate (0.040 s to "
        "0.080 s per frame)",
        "  Interlacing: 1700 progressive, 0 top field first, 0 bottom field first, 50 "
        "undetermined",
        "  Black: 00:00:00.000 to 00:00:02.500",
        "  Captions: CEA-608",
        "  Content MD5: ee",
        "Audio stream 1 (aac): 3360000 samples at 48000 Hz, 00:01:10.000",
        "  Loudness -23.1 LUFS, range 6.2 LU, true peak -1.3 dBTP",
        "  Silence: 00:00:01.000 to 00:00:03.500",
        "  Content MD5: ff",
        "File SHA-256: ab",
        "File MD5: cd"};
    EXPECT_EQ(lines, expected);
    const JSON record = scanRecord(*scan);
    EXPECT_TRUE(record["damaged"].boolValue());
    EXPECT_EQ(record["streams"][1]["loudness"]["truePeak"].doubleValue(), -1.33);
    EXPECT_EQ(record["streams"][0]["firstErrors"][0]["time"].doubleValue(), 62.345);
}

TEST(ScanOutput, RefusesOutputThatIsNoScan)
{
    struct Case {
        const char* name;
        std::string output;
    };
    const std::vector<Case> cases{
        {"nothing", ""},
        {"progress only", "progress 10 100\nprogress 50 100\n"},
        {"cut document", "progress 10 100\n{\"version\":1,\"streams\":["},
        {"other version", R"({"version":2,"streams":[]})"},
        {"no streams", R"({"version":1})"},
        {"not an object", "[1,2]"},
    };
    for (const Case& c : cases)
        EXPECT_FALSE(parseScanOutput(c.output)) << c.name;
}

TEST(ScanOutput, MembersOfTheWrongKindReadAsMissing)
{
    auto scan = parseScanOutput(
        R"({"version":1,"size":"big","truncated":"yes","streams":[7,{"index":"x","type":"audio",)"
        R"("decode_errors":-5,"loudness":{"integrated":"loud"},"silence":[{"start":1}],)"
        R"("samples":1.5e300}]})");
    ASSERT_TRUE(scan) << scan.error();
    EXPECT_EQ(scan->size, 0);
    EXPECT_FALSE(scan->truncated);
    ASSERT_EQ(scan->streams.size(), 1U);
    EXPECT_EQ(scan->streams[0].decodeErrors, 0);
    EXPECT_FALSE(scan->streams[0].loudness);
    EXPECT_TRUE(scan->streams[0].silence.empty());
    EXPECT_FALSE(scan->damaged());
    EXPECT_EQ(scanVerdictLines(*scan), std::vector<std::string>{"No decode errors"});
}

TEST(ScanOutput, SilenceHasNoTruePeakAndTruncationLeadsTheVerdict)
{
    auto scan = parseScanOutput(
        R"({"version":1,"truncated":true,"truncation":"the file ends inside a packet",)"
        R"("streams":[{"index":0,"type":"audio","codec":"flac","decode_errors":1,)"
        R"("first_errors":[{"time":null,"message":"invalid sync code"}],)"
        R"("loudness":{"integrated":-70.0,"range":0.0,"true_peak":null}}]})");
    ASSERT_TRUE(scan) << scan.error();
    EXPECT_EQ(scanVerdictLines(*scan),
              (std::vector<std::string>{"Truncated: the file ends inside a packet",
                                        "1 decode error in audio stream 0, first: invalid sync "
                                        "code"}));
    EXPECT_EQ(loudnessText(*scan->streams[0].loudness),
              "Loudness -70.0 LUFS, range 0.0 LU, true peak -inf dBTP");
}

}  // namespace
}  // namespace vellinor
