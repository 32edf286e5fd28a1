#include "probe/facts_catalogue.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "probe/field_explanations.h"
#include "probe/stream_headers.h"
#include "probe_test_support.h"

namespace vellinor {
namespace {

JSON parsed(const std::string& text)
{
    auto value = JSON::parse(text);
    EXPECT_TRUE(value.hasValue()) << text;
    return value.valueOr(JSON());
}

std::vector<Fact> factsOf(const std::string& stream, const std::string& format = "{}")
{
    return streamFacts(parsed(stream), parsed(format), std::nullopt);
}

const Fact* named(const std::vector<Fact>& facts, std::string_view name)
{
    for (const Fact& fact : facts)
        if (fact.name == name)
            return &fact;
    return nullptr;
}

TEST(FactsCatalogue, FieldsReadAsNamedFactsInTheirGroups)
{
    struct Case {
        std::string stream;
        FactGroup group;
        std::string name;
        std::string value;
        std::string source;  // empty: the field itself
    };
    const std::vector<Case> cases = {
        {R"J({"codec_name": "ac3", "codec_long_name": "ATSC A/52A (AC-3)"})J", FactGroup::codec,
         "Codec", "ATSC A/52A (AC-3) (ac3)", ""},
        {R"J({"bit_rate": "192000"})J", FactGroup::codec, "Bit rate", "192 kb/s", ""},
        {R"J({"bit_rate": "15200000"})J", FactGroup::codec, "Bit rate", "15.2 Mb/s", ""},
        {R"J({"codec_name": "h264", "level": 41})J", FactGroup::codec, "Level", "4.1", ""},
        {R"J({"codec_name": "hevc", "level": 153})J", FactGroup::codec, "Level", "5.1", ""},
        {R"J({"codec_name": "hevc", "level": 120})J", FactGroup::codec, "Level", "4", ""},
        {R"J({"codec_tag_string": "avc1"})J", FactGroup::codec, "Codec ID", "avc1", ""},
        {R"J({"codec_type": "audio", "sample_rate": "48000"})J", FactGroup::sound, "Sampling rate",
         "48.0 kHz", ""},
        {R"J({"codec_type": "audio", "sample_rate": "22050"})J", FactGroup::sound, "Sampling rate",
         "22.05 kHz", ""},
        {R"J({"channels": 6, "channel_layout": "5.1(side)"})J", FactGroup::sound, "Channels",
         "6 channels", ""},
        {R"J({"codec_type": "audio", "sample_fmt": "fltp"})J", FactGroup::sound, "Sample format",
         "32-bit float, planar", ""},
        {R"J({"codec_type": "audio", "sample_fmt": "s32", "bits_per_raw_sample": "24"})J",
         FactGroup::sound, "Bit depth", "24 bits", "bits_per_raw_sample"},
        {R"J({"width": 1920})J", FactGroup::picture, "Width", "1920 pixels", ""},
        {R"J({"pix_fmt": "yuv420p10le"})J", FactGroup::picture, "Bit depth", "10 bits",
         "pix_fmt yuv420p10le"},
        {R"J({"pix_fmt": "yuv420p10le"})J", FactGroup::picture, "Chroma subsampling", "4:2:0",
         "pix_fmt yuv420p10le"},
        {R"J({"pix_fmt": "yuvj422p"})J", FactGroup::picture, "Chroma subsampling", "4:2:2",
         "pix_fmt yuvj422p"},
        {R"J({"field_order": "progressive"})J", FactGroup::picture, "Scan type", "Progressive", ""},
        {R"J({"field_order": "tt"})J", FactGroup::picture, "Scan type",
         "Interlaced, top field first", ""},
        {R"J({"field_order": "bb"})J", FactGroup::picture, "Scan type",
         "Interlaced, bottom field first", ""},
        {R"J({"sample_aspect_ratio": "64:45"})J", FactGroup::picture, "Pixel aspect ratio", "64:45",
         ""},
        {R"J({"side_data_list": [{"side_data_type": "Display Matrix", "rotation": -90}]})J",
         FactGroup::picture, "Rotation", "-90°", "side_data_list Display Matrix"},
        {R"J({"side_data_list": [{"side_data_type": "CPB properties", "max_bitrate": 4000000}]})J",
         FactGroup::codec, "Maximum bit rate", "4000 kb/s",
         "side_data_list CPB properties max_bitrate"},
        {R"J({"color_range": "tv"})J", FactGroup::colour, "Colour range", "Limited", ""},
        {R"J({"color_primaries": "bt2020"})J", FactGroup::colour, "Colour primaries",
         "bt2020 (BT.2020)", ""},
        {R"J({"codec_type": "video", "r_frame_rate": "24000/1001", "avg_frame_rate": "24000/1001"})J",
         FactGroup::timing, "Frame rate", "23.976 fps (24000/1001)", ""},
        {R"J({"codec_type": "video", "r_frame_rate": "25/1", "avg_frame_rate": "25/1"})J",
         FactGroup::timing, "Frame rate mode", "Constant", "r_frame_rate and avg_frame_rate"},
        {R"J({"codec_type": "video", "r_frame_rate": "120/1", "avg_frame_rate": "30/1"})J",
         FactGroup::timing, "Frame rate mode", "Variable", "r_frame_rate and avg_frame_rate"},
        {R"J({"duration": "90.5"})J", FactGroup::timing, "Duration", "00:01:30.500", ""},
        {R"J({"nb_frames": "240"})J", FactGroup::timing, "Frame count", "240", ""},
        // Matroska keeps these in its statistics tags.
        {R"J({"tags": {"NUMBER_OF_FRAMES-eng": "1200"}})J", FactGroup::timing, "Frame count",
         "1200", "tag NUMBER_OF_FRAMES-eng"},
        {R"J({"tags": {"DURATION": "00:00:10.000000000"}})J", FactGroup::timing, "Duration",
         "00:00:10.000", "tag DURATION"},
        {R"J({"tags": {"BPS": "128000"}})J", FactGroup::codec, "Bit rate", "128 kb/s", "tag BPS"},
        {R"J({"tags": {"NUMBER_OF_BYTES": "250000"}})J", FactGroup::codec, "Stream size", "250 KB",
         "tag NUMBER_OF_BYTES"},
        {R"J({"tags": {"_STATISTICS_WRITING_APP": "mkvmerge v74.0.0"}})J", FactGroup::codec,
         "Writing application", "mkvmerge v74.0.0", "tag _STATISTICS_WRITING_APP"},
        {R"J({"tags": {"ENCODER": "Lavc59.37.100 libx264"}})J", FactGroup::codec, "Encoder",
         "Lavc59.37.100 libx264", "tag ENCODER"},
        {R"J({"tags": {"timecode": "01:00:00:00"}})J", FactGroup::timing, "Timecode", "01:00:00:00",
         "tag timecode"},
        {R"J({"bit_rate": "128000", "duration": "10.0"})J", FactGroup::codec, "Stream size",
         "160 KB", "bit_rate and duration"},
        {R"J({"disposition": {"default": 1, "forced": 0}})J", FactGroup::flags, "Default track",
         "Yes", "disposition default"},
        {R"J({"tags": {"title": "Line one\nLine two"}})J", FactGroup::tags, "title",
         "Line one\nLine two", "tag title"},
        {R"J({"side_data_list": [{"side_data_type": "CPB properties", "max_bitrate": 0}]})J",
         FactGroup::sideData, "CPB properties", "max_bitrate: 0", "side_data_list"},
    };
    for (const Case& c : cases) {
        const auto facts = factsOf(c.stream);
        const Fact* fact = named(facts, c.name);
        ASSERT_NE(fact, nullptr) << c.stream << " gives no " << c.name;
        EXPECT_EQ(fact->group, c.group) << c.stream;
        EXPECT_EQ(fact->value, c.value) << c.stream;
        EXPECT_EQ(fact->source, c.source.empty() ? fact->key : c.source) << c.stream;
    }
}

TEST(FactsCatalogue, ShareOfTheFile)
{
    const auto facts =
        factsOf(R"J({"tags": {"NUMBER_OF_BYTES": "250000"}})J", R"J({"size": "1000000"})J");
    ASSERT_NE(named(facts, "Stream size"), nullptr);
    EXPECT_EQ(named(facts, "Stream size")->value, "250 KB (25%)");
}

TEST(FactsCatalogue, DefaultsAndZeroFlagsAreLeftOut)
{
    struct Case {
        std::string stream;
        std::string name;
    };
    const std::vector<Case> cases = {
        {R"J({"codec_tag_string": "[0][0][0][0]"})J", "Codec ID"},
        {R"J({"codec_name": "aac", "level": -99})J", "Level"},
        {R"J({"profile": "unknown"})J", "Profile"},
        {R"J({"sample_aspect_ratio": "1:1"})J", "Pixel aspect ratio"},
        {R"J({"field_order": "unknown"})J", "Scan type"},
        {R"J({"disposition": {"default": 0}})J", "Default track"},
        {R"J({"closed_captions": 0})J", "Closed captions"},
        {R"J({"start_time": "0.000000"})J", "Start time"},
        {R"J({"refs": 1})J", "Reference frames"},
        {R"J({"initial_padding": 0})J", "Initial padding"},
        {R"J({"width": 1920, "coded_width": 1920})J", "Coded width"},
        {R"J({"codec_type": "audio", "r_frame_rate": "0/0", "avg_frame_rate": "0/0"})J",
         "Frame rate"},
        {R"J({"color_range": "unknown"})J", "Colour range"},
        // MPEG's "variable" marker is no rate at all.
        {R"J({"codec_name": "mpeg1video", "bit_rate": "104857200"})J", "Bit rate"},
        {R"J({"codec_name": "mpeg1video", "bit_rate": "104857200", "duration": "4.0"})J",
         "Stream size"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(named(factsOf(c.stream), c.name), nullptr) << c.stream;

    const auto marker = factsOf(R"J({"codec_name": "mpeg1video", "bit_rate": "104857200"})J");
    ASSERT_NE(named(marker, "Bit rate mode"), nullptr);
    EXPECT_EQ(named(marker, "Bit rate mode")->value, "Variable");
}

TEST(FactsCatalogue, GroupsComeInTheirOrder)
{
    const auto facts = factsOf(R"J({"tags": {"language": "eng"}, "codec_type": "audio",
        "disposition": {"default": 1}, "sample_rate": "48000", "codec_name": "aac",
        "duration": "1.0", "channels": 2})J");
    ASSERT_FALSE(facts.empty());
    for (std::size_t i = 1; i < facts.size(); ++i)
        EXPECT_LE(facts[i - 1].group, facts[i].group) << facts[i].name;
    EXPECT_EQ(facts.front().group, FactGroup::codec);
    EXPECT_EQ(facts.back().group, FactGroup::tags);
}

TEST(FactsCatalogue, EveryShownFieldIsExplained)
{
    for (const CatalogueEntry& entry : fieldCatalogue()) {
        EXPECT_EQ(explainField(entry.field), std::string(entry.text)) << entry.field;
        EXPECT_EQ(entry.name.empty(), entry.format == FactFormat::hidden) << entry.field;
    }
}

TEST(TrackSummary, OneLinePerTrack)
{
    struct Case {
        std::string stream;
        std::string summary;
    };
    const std::vector<Case> cases = {
        {R"J({"codec_type": "audio", "codec_name": "ac3", "bit_rate": "384000",
            "sample_rate": "48000", "channels": 6, "channel_layout": "5.1(side)"})J",
         "AC-3, 384 kb/s, 48 kHz, 5.1"},
        {R"J({"codec_type": "audio", "codec_name": "aac", "profile": "LC", "sample_rate": "44100",
            "channels": 2, "channel_layout": "stereo", "tags": {"BPS-eng": "128000"},
            "disposition": {"default": 1, "forced": 0}})J",
         "AAC LC, 128 kb/s, 44.1 kHz, stereo, Default"},
        {R"J({"codec_type": "video", "codec_name": "h264", "profile": "High", "width": 1920,
            "height": 1080, "r_frame_rate": "25/1", "avg_frame_rate": "25/1",
            "pix_fmt": "yuv420p", "field_order": "tt"})J",
         "AVC High, 1920x1080, 25 fps, 8 bits, 4:2:0, interlaced"},
        {R"J({"codec_type": "subtitle", "codec_name": "subrip",
            "tags": {"title": "Signs\nand songs"}, "disposition": {"default": 0, "forced": 1}})J",
         "SubRip, \"Signs\", Forced"},
        {R"J({"codec_type": "video", "codec_name": "mpeg1video", "bit_rate": "104857200",
            "width": 352, "height": 240, "avg_frame_rate": "30000/1001"})J",
         "MPEG-1 Video, 352x240, 29.97 fps"},
        {R"J({"codec_type": "data", "codec_name": "bin_data"})J", "bin_data"},
        {"{}", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(streamSummary(parsed(c.stream), std::nullopt), c.summary) << c.stream;

    HdrFacts hdr;
    hdr.primaries = "bt2020";
    hdr.transfer = "smpte2084";
    hdr.contentLightLevel = ContentLightLevel{1000, 400};
    EXPECT_EQ(streamSummary(parsed(R"J({"codec_type": "video", "codec_name": "hevc",
        "profile": "Main 10", "width": 3840, "height": 2160, "r_frame_rate": "24000/1001",
        "avg_frame_rate": "24000/1001", "pix_fmt": "yuv420p10le"})J"),
                            hdr),
              "HEVC Main 10, 3840x2160, 23.976 fps, 10 bits, 4:2:0, HDR10");
}

TEST(FactsText, PixelLayouts)
{
    struct Case {
        std::string pixFmt;
        std::string model;
        int depth;
        std::string chroma;
    };
    const std::vector<Case> cases = {
        {"yuv420p", "YUV", 8, "4:2:0"},      {"yuv420p10le", "YUV", 10, "4:2:0"},
        {"yuv444p12be", "YUV", 12, "4:4:4"}, {"yuva420p", "YUV", 8, "4:2:0"},
        {"yuv411p", "YUV", 8, "4:1:1"},      {"nv12", "YUV", 8, "4:2:0"},
        {"p010le", "YUV", 10, "4:2:0"},      {"gray", "Grey", 8, ""},
        {"gray10le", "Grey", 10, ""},        {"rgb24", "RGB", 8, ""},
        {"gbrp10le", "RGB", 10, ""},         {"pal8", "Palette", 8, ""},
    };
    for (const Case& c : cases) {
        const auto layout = facts_text::pixelLayout(c.pixFmt);
        ASSERT_TRUE(layout.has_value()) << c.pixFmt;
        EXPECT_EQ(layout->model, c.model) << c.pixFmt;
        EXPECT_EQ(layout->bitDepth, c.depth) << c.pixFmt;
        EXPECT_EQ(layout->chroma, c.chroma) << c.pixFmt;
    }
    for (const char* unknown : {"", "unknown", "yuv", "yuv999p", "bayer_rggb8"})
        EXPECT_FALSE(facts_text::pixelLayout(unknown).has_value()) << unknown;

    EXPECT_EQ(facts_text::bitRate(999), "999 b/s");
    EXPECT_EQ(facts_text::bitRate(1'499), "1 kb/s");
    EXPECT_EQ(facts_text::bitRate(9'999'000), "9999 kb/s");
    EXPECT_EQ(facts_text::bitRate(10'000'000), "10.0 Mb/s");
}

TEST(FactsCatalogue, ContainerFacts)
{
    const FileProbe probe = test::probeOf(R"J({"streams": [{"codec_type": "audio",
        "tags": {"_STATISTICS_WRITING_APP": "mkvmerge v74.0.0"}}],
        "chapters": [{"id": 1}, {"id": 2}],
        "format": {"format_long_name": "Matroska / WebM", "size": "2500000",
        "bit_rate": "2000000", "duration": "10.000000", "nb_streams": 1,
        "tags": {"ENCODER": "libebml v1.4.4 + libmatroska v1.7.1"}}})J");
    const auto facts = containerFacts(probe);
    struct Expected {
        std::string name;
        std::string value;
    };
    for (const Expected& e : std::vector<Expected>{
             {"Format", "Matroska / WebM"},
             {"File size", "2.5 MB (2500000 bytes)"},
             {"Streams", "1"},
             {"Overall bit rate", "2000 kb/s"},
             {"Writing library", "libebml v1.4.4 + libmatroska v1.7.1"},
             {"Writing application", "mkvmerge v74.0.0"},
             {"Duration", "00:00:10.000"},
             {"Chapters", "2"},
             {"ENCODER", "libebml v1.4.4 + libmatroska v1.7.1"},
         }) {
        const Fact* fact = named(facts, e.name);
        ASSERT_NE(fact, nullptr) << e.name;
        EXPECT_EQ(fact->value, e.value) << e.name;
    }
}

// What the headers reader found, and what the start times say, as facts of a track.
TEST(FactsCatalogue, HeaderFactsAndDelayToVideo)
{
    const std::string video = R"J({"index": 0, "codec_type": "video", "codec_name": "mpeg2video",
        "start_time": "0.500000"})J";
    const std::string audio = R"J({"index": 1, "codec_type": "audio", "codec_name": "ac3",
        "start_time": "0.478000"})J";
    using Set = void (*)(StreamHeaders&);
    struct Case {
        const char* name;
        std::size_t track;
        Set set;  // what the reader found; null: nothing
        std::string fact;
        std::string value;  // empty: the fact is not shown
    };
    const Set gops = [](StreamHeaders& h) {
        h.gopM = 3;
        h.gopN = 12;
        h.firstGopClosed = true;
        h.laterGopsOpen = true;
    };
    const Set allClosed = [](StreamHeaders& h) {
        h.firstGopClosed = true;
        h.laterGopsOpen = false;
    };
    const std::vector<Case> cases{
        {"long GOP", 0, gops, "GOP structure", "M=3, N=12"},
        {"intra only", 0, [](StreamHeaders& h) { h.gopM = h.gopN = 1; }, "GOP structure", "N=1"},
        {"variable", 0,
         [](StreamHeaders& h) {
             h.gopM = 3;
             h.gopN = 12;
             h.gopVariable = true;
         },
         "GOP structure", "Variable"},
        {"open GOPs", 0, gops, "GOP, open/closed", "Open"},
        {"the first closed", 0, gops, "GOP, open/closed of the first", "Closed"},
        {"all closed", 0, allClosed, "GOP, open/closed", "Closed"},
        {"first like the rest", 0, allClosed, "GOP, open/closed of the first", ""},
        {"one GOP", 0, [](StreamHeaders& h) { h.firstGopClosed = false; }, "GOP, open/closed",
         "Open"},
        {"custom matrix", 0, [](StreamHeaders& h) { h.customMatrix = true; }, "Quantisation matrix",
         "Custom"},
        {"default matrix", 0, [](StreamHeaders& h) { h.customMatrix = false; },
         "Quantisation matrix", "Default"},
        {"time code", 0, [](StreamHeaders& h) { h.timecode = "01:02:03:04"; },
         "Time code of first frame", "01:02:03:04"},
        {"main service", 1, [](StreamHeaders& h) { h.serviceType = 0; }, "Service kind",
         "Complete Main"},
        {"karaoke", 1, [](StreamHeaders& h) { h.serviceType = 8; }, "Service kind", "Karaoke"},
        {"audio after video", 1, nullptr, "Delay relative to video", "-22 ms"},
        {"no delay of video to itself", 0, nullptr, "Delay relative to video", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FileProbe probe = test::probeOf(test::streamsDocument({video, audio}));
        ASSERT_EQ(probe.tracksInfo.size(), 2u);
        TrackInfo& track = probe.tracksInfo[c.track];
        if (c.set != nullptr) {
            track.headers.emplace();
            c.set(*track.headers);
        }
        const auto facts = trackFacts(probe, track);
        const Fact* fact = named(facts, c.fact);
        if (c.value.empty()) {
            EXPECT_EQ(fact, nullptr);
            continue;
        }
        ASSERT_NE(fact, nullptr);
        EXPECT_EQ(fact->value, c.value);
        EXPECT_FALSE(fact->source.empty());
    }
}

TEST(FactsText, UniqueIdsInDecimalAndHexadecimal)
{
    EXPECT_EQ(facts_text::uniqueId("EF1D3792B77AE458159FCE441079CD87"),
              "317837194758116655621432773446108564871 (0xEF1D3792B77AE458159FCE441079CD87)");
    EXPECT_EQ(facts_text::uniqueId("00000000000000000000000000000000"),
              "0 (0x00000000000000000000000000000000)");
    FileProbe probe =
        test::probeOf(R"J({"streams": [], "format": {"format_name": "matroska,webm"}})J");
    probe.segmentUid = "00000000000000000000000000000100";
    const std::vector<Fact> facts = containerFacts(probe);
    const Fact* fact = named(facts, "Unique ID");
    ASSERT_NE(fact, nullptr);
    EXPECT_EQ(fact->value, "256 (0x00000000000000000000000000000100)");
}

}  // namespace
}  // namespace vellinor
