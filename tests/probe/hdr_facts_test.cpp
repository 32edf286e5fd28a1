#include "probe/hdr_facts.h"

#include <string>

#include <gtest/gtest.h>

#include "probe/hdr_first_frame.h"
#include "probe_test_support.h"
#include "support/test_support.h"

namespace vellinor {
namespace {

JSON parsed(std::string_view text)
{
    auto value = JSON::parse(text);
    EXPECT_TRUE(value) << text;
    return value.valueOr(JSON());
}

constexpr const char* kMastering =
    R"({"side_data_type": "Mastering display metadata", "red_x": "34000/50000",
        "red_y": "16000/50000", "green_x": "13250/50000", "green_y": "34500/50000",
        "blue_x": "7500/50000", "blue_y": "3000/50000", "white_point_x": "15635/50000",
        "white_point_y": "16450/50000", "min_luminance": "1/10000",
        "max_luminance": "10000000/10000"})";
constexpr const char* kLight =
    R"({"side_data_type": "Content light level metadata", "max_content": 1000, "max_average": 400})";

std::string stream(std::string_view members, std::string_view sideData = {})
{
    std::string text = R"({"codec_type": "video", "pix_fmt": "yuv420p10le")";
    if (!members.empty())
        text += ", " + std::string(members);
    if (!sideData.empty())
        text += R"(, "side_data_list": [)" + std::string(sideData) + "]";
    return text + "}";
}

std::string dolbyVision(int profile, int compatibility)
{
    return R"({"side_data_type": "DOVI configuration record", "dv_version_major": 1,
               "dv_version_minor": 0, "dv_profile": )" +
           std::to_string(profile) + R"(, "dv_level": 6, "rpu_present_flag": 1,
               "el_present_flag": 0, "bl_present_flag": 1, "dv_bl_signal_compatibility_id": )" +
           std::to_string(compatibility) + "}";
}

constexpr const char* kPq =
    R"("color_primaries": "bt2020", "color_transfer": "smpte2084", "color_space": "bt2020nc")";

TEST(HdrFacts, SummaryAndWhetherTheFirstFrameIsNeeded)
{
    const std::string hdr10Plus =
        R"x({"side_data_type": "HDR Dynamic Metadata SMPTE2094-40 (HDR10+)"})x";
    const struct {
        const char* name;
        std::string stream;
        std::string summary;
        bool needsFirstFrame;
    } cases[] = {
        {"PQ, BT.2020, metadata in the container",
         stream(kPq, std::string(kMastering) + "," + kLight), "HDR10", false},
        {"PQ, BT.2020, no metadata: the SEI may hold it", stream(kPq), "HDR10", true},
        {"PQ with BT.709 primaries",
         stream(R"("color_primaries": "bt709", "color_transfer": "smpte2084")"), "PQ", true},
        {"PQ without primaries", stream(R"("color_transfer": "smpte2084")"), "HDR10", true},
        {"HLG", stream(R"("color_primaries": "bt2020", "color_transfer": "arib-std-b67")"), "HLG",
         true},
        {"SDR, tagged", stream(R"("color_primaries": "bt709", "color_transfer": "bt709")"), "SDR",
         false},
        {"10-bit without any colour tags", stream(""), "SDR", true},
        {"8-bit without any colour tags",
         R"({"codec_type": "video", "pix_fmt": "yuv420p", "color_transfer": "unknown"})", "SDR",
         false},
        {"static metadata without a transfer", stream("", kLight), "HDR10", false},
        {"Dolby Vision 8.1", stream(kPq, dolbyVision(8, 1)), "Dolby Vision 8.1, HDR10 compatible",
         true},
        {"Dolby Vision 5 (no base layer to fall back to)", stream("", dolbyVision(5, 0)),
         "Dolby Vision 5", true},
        {"Dolby Vision 8.4", stream(R"("color_transfer": "arib-std-b67")", dolbyVision(8, 4)),
         "Dolby Vision 8.4, HLG compatible", true},
        {"Dolby Vision 7.6 with HDR10+", stream(kPq, dolbyVision(7, 6) + "," + hdr10Plus),
         "Dolby Vision 7.6, HDR10 compatible, HDR10+", true},
        {"HDR10+", stream(kPq, hdr10Plus), "HDR10+", true},
        {"a cover picture",
         R"({"codec_type": "video", "pix_fmt": "yuvj420p", "disposition": {"attached_pic": 1}})",
         "SDR", false},
    };
    for (const auto& c : cases) {
        const JSON document = parsed(c.stream);
        const HdrFacts facts = hdrFactsOf(document);
        EXPECT_EQ(hdrSummary(facts), c.summary) << c.name;
        EXPECT_EQ(needsFirstFrame(document, facts), c.needsFirstFrame) << c.name;
    }
}

TEST(HdrFacts, RowsAndRecordOfHdr10)
{
    const HdrFacts facts = hdrFactsOf(parsed(stream(kPq, std::string(kMastering) + "," + kLight)));
    EXPECT_EQ(hdrRows(facts),
              (KeyValueRows{
                  {"HDR", "HDR10"},
                  {"HDR MaxCLL", "1000 cd/m²"},
                  {"HDR MaxFALL", "400 cd/m²"},
                  {"HDR color primaries", "bt2020 (BT.2020)"},
                  {"HDR mastering display luminance", "min 0.0001 cd/m², max 1000 cd/m²"},
                  {"HDR mastering display primaries",
                   "Display P3: R x 0.68, y 0.32; G x 0.265, y 0.69; B x 0.15, y 0.06"},
                  {"HDR mastering display white point", "D65: x 0.3127, y 0.329"},
                  {"HDR matrix", "bt2020nc (BT.2020 non-constant luminance)"},
                  {"HDR transfer", "smpte2084 (PQ)"},
              }));
    const JSON record = hdrRecord(facts);
    EXPECT_EQ(record["summary"], JSON("HDR10"));
    EXPECT_EQ((record[{"contentLightLevel", "maxCLL"}]), JSON(1000));
    EXPECT_EQ((record[{"masteringDisplay", "maxLuminance"}]), JSON(1000.0));
    EXPECT_EQ(record["colorTransferName"], JSON("PQ"));
    EXPECT_EQ(record["dolbyVision"].type(), JSONType::null);
}

TEST(HdrFacts, NamesOfColourValues)
{
    EXPECT_EQ(primariesText("bt2020"), "bt2020 (BT.2020)");
    EXPECT_EQ(transferText("smpte2084"), "smpte2084 (PQ)");
    EXPECT_EQ(transferText("arib-std-b67"), "arib-std-b67 (HLG)");
    EXPECT_EQ(matrixText("bt709"), "bt709 (BT.709)");
    EXPECT_EQ(transferText("something-new"), "something-new");
}

TEST(HdrFacts, FirstFrameFillsOnlyWhatTheStreamLeavesOut)
{
    HdrFacts facts = hdrFactsOf(parsed(stream(R"("color_transfer": "smpte2084")")));
    addFirstFrameFacts(facts, parsed(std::string(R"({"color_primaries": "bt2020",
        "color_transfer": "bt709", "side_data_list": [)") +
                                     kLight + "]}"));
    EXPECT_EQ(facts.transfer, "smpte2084") << "the stream's own word stands";
    EXPECT_EQ(facts.primaries, "bt2020");
    ASSERT_TRUE(facts.contentLightLevel);
    EXPECT_EQ(facts.contentLightLevel->maxCll, 1000);
    EXPECT_TRUE(facts.readFirstFrame);
}

// Real files: HEVC from libx265 keeps its HDR metadata in SEI messages, so the first frame is
// read; an HLG and an SDR file, and a Matroska file whose container holds the metadata.
class HdrMedia : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_dir = new test::TempDir;
        const std::string x265 =
            "log-level=error:hdr-opt=1:repeat-headers=1:colorprim=bt2020:transfer=smpte2084:"
            "colormatrix=bt2020nc:master-display=G(13250,34500)B(7500,3000)R(34000,16000)"
            "WP(15635,16450)L(10000000,1):max-cll=1000,400";
        test::runFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=128x72:rate=25", "-frames:v", "3",
                         "-c:v", "libx265", "-x265-params", x265, "-pix_fmt", "yuv420p10le",
                         path("hdr10.mp4")});
        test::runFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=128x72:rate=25", "-frames:v", "3",
                         "-c:v", "libx265", "-x265-params", "log-level=error", "-pix_fmt",
                         "yuv420p10le", "-color_primaries", "bt2020", "-color_trc", "arib-std-b67",
                         "-colorspace", "bt2020nc", path("hlg.mkv")});
        test::runFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=128x72:rate=25", "-frames:v", "3",
                         "-c:v", "libx264", "-color_primaries", "bt709", "-color_trc", "bt709",
                         "-colorspace", "bt709", path("sdr.mp4")});
    }
    static void TearDownTestSuite()
    {
        delete s_dir;
        s_dir = nullptr;
    }
    static std::string path(const std::string& name) { return (*s_dir / name).string(); }
    static FileProbe probe(const std::string& name)
    {
        ProbeOptions options;
        options.toolPath = test::ffprobePath();
        return FileProbe(path(name), options);
    }
    static test::TempDir* s_dir;
};

test::TempDir* HdrMedia::s_dir = nullptr;

TEST_F(HdrMedia, Hdr10FromTheFirstFramesSeiMessages)
{
    const FileProbe hdr10 = probe("hdr10.mp4");
    ASSERT_EQ(hdr10.tracksInfo.size(), 1U);
    const auto& facts = hdr10.tracksInfo[0].hdr;
    ASSERT_TRUE(facts);
    EXPECT_EQ(hdrSummary(*facts), "HDR10");
    EXPECT_TRUE(facts->readFirstFrame);
    ASSERT_TRUE(facts->contentLightLevel);
    EXPECT_EQ(*facts->contentLightLevel, (ContentLightLevel{1000, 400}));
    ASSERT_TRUE(facts->masteringDisplay);
    EXPECT_EQ(facts->masteringDisplay->maxLuminance, 1000.0);
    EXPECT_EQ(facts->masteringDisplay->minLuminance, 0.0001);
    EXPECT_EQ(facts->masteringDisplay->whitePoint, (Chromaticity{0.3127, 0.329}));
    // The rows follow the facts, in order among the stream's own.
    const KeyValueRows& rows = hdr10.tracksInfo[0].trackKeyValue;
    EXPECT_TRUE(std::is_sorted(rows.begin(), rows.end(),
                               [](const auto& a, const auto& b) { return a.key < b.key; }));
    EXPECT_NE(std::find(rows.begin(), rows.end(), KeyValueRow{"HDR MaxCLL", "1000 cd/m²"}),
              rows.end());
    EXPECT_NE(std::find(rows.begin(), rows.end(), KeyValueRow{"HDR", "HDR10"}), rows.end());
}

TEST_F(HdrMedia, HlgSdrAndWhoPaysForASecondProcess)
{
    FileProbe hlg = probe("hlg.mkv");
    ASSERT_TRUE(hlg.tracksInfo.at(0).hdr);
    EXPECT_EQ(hdrSummary(*hlg.tracksInfo[0].hdr), "HLG");
    EXPECT_EQ(transferText(hlg.tracksInfo[0].hdr->transfer), "arib-std-b67 (HLG)");

    FileProbe sdr = probe("sdr.mp4");
    ASSERT_TRUE(sdr.tracksInfo.at(0).hdr);
    EXPECT_EQ(hdrSummary(*sdr.tracksInfo[0].hdr), "SDR");
    EXPECT_FALSE(sdr.tracksInfo[0].hdr->readFirstFrame);
    EXPECT_EQ(addFirstFrameHdrFacts(sdr, path("sdr.mp4")).valueOr(-1), 0) << "SDR starts no reader";

    // Metadata in the container: nothing to read from the frames either.
    FileProbe container =
        test::probeOf(test::streamsDocument({stream(kPq, std::string(kMastering) + "," + kLight)}));
    EXPECT_EQ(addFirstFrameHdrFacts(container, path("hdr10.mp4")).valueOr(-1), 0);
    // A reader that fails (here: a file that is not there any more) changes nothing.
    FileProbe gone = test::probeOf(test::streamsDocument({stream(kPq)}));
    const auto before = gone.tracksInfo;
    EXPECT_FALSE(addFirstFrameHdrFacts(gone, path("missing.mkv")).hasValue());
    EXPECT_EQ(gone.tracksInfo, before);
}

}  // namespace
}  // namespace vellinor
