// What the sniffer's header readers (--headers) find in MPEG video made by ffmpeg, cut short
// or garbled, and in Matroska heads.

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "sniffer/mpeg2_headers.h"
#include "sniffer/segment_uid.h"
#include "support/test_support.h"

namespace sniffer {
namespace {

namespace fs = std::filesystem;
using namespace vellinor;

std::string mpeg2Stream(const test::TempDir& dir, const std::string& name,
                        const std::vector<std::string>& settings)
{
    const fs::path path = dir / name;
    std::vector<std::string> arguments{
        "-f",         "lavfi",         "-i",        "testsrc=size=64x48:rate=25", "-t", "2", "-c:v",
        "mpeg2video", "-sc_threshold", "1000000000"};
    arguments.insert(arguments.end(), settings.begin(), settings.end());
    arguments.push_back(path.string());
    EXPECT_TRUE(test::runFfmpeg(arguments));
    return test::readFile(path);
}

TEST(Mpeg2Headers, ReadsTheStructureOfGeneratedStreams)
{
    test::TempDir dir;
    std::string flatMatrix;
    for (int i = 0; i < 64; ++i) {
        if (i > 0)
            flatMatrix += ',';
        flatMatrix += "16";
    }
    const std::string longGop =
        mpeg2Stream(dir, "long.m2v", {"-g", "12", "-bf", "2", "-timecode", "01:02:03:04"});
    std::mt19937 random(7);
    std::string garbled(20000, '\0');
    for (char& c : garbled)
        c = static_cast<char>(random());
    // Start codes with nothing after them, and headers cut short.
    garbled += std::string("\0\0\1\xB5\0\0\1\x00\x01\0\0\1\xB8\x01", 14);

    // What a stream of ffmpeg's without custom settings says of its GOPs.
    auto closedGops = [](int m, int n, bool custom, const char* timecode) {
        Mpeg2Structure s;
        s.gopM = m;
        s.gopN = n;
        s.firstGopClosed = true;
        s.laterGopsOpen = false;
        s.customMatrix = custom;
        s.timecode = timecode;
        return s;
    };
    Mpeg2Structure open = closedGops(3, 12, false, "01:02:03:04");
    open.laterGopsOpen = true;
    Mpeg2Structure cut;
    cut.firstGopClosed = true;
    cut.customMatrix = false;
    cut.timecode = "01:02:03:04";
    struct Case {
        const char* name;
        std::string bytes;
        Mpeg2Structure expected;
    };
    const std::vector<Case> cases{
        {"open long GOPs", longGop, open},
        {"closed GOPs without B-frames, custom matrix",
         mpeg2Stream(dir, "closed.m2v",
                     {"-g", "6", "-bf", "0", "-flags", "+cgop", "-intra_matrix", flatMatrix}),
         closedGops(1, 6, true, "00:00:00:00")},
        {"intra only", mpeg2Stream(dir, "intra.m2v", {"-g", "1"}),
         closedGops(1, 1, false, "00:00:00:00")},
        // The first GOP's headers are read; its length is not known without the next I-frame.
        {"cut in the first GOP", longGop.substr(0, 400), cut},
        {"garbled", garbled, Mpeg2Structure()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Mpeg2HeaderReader reader;
        reader.read(c.bytes);
        const Mpeg2Structure found = reader.structure();
        EXPECT_EQ(found.gopM, c.expected.gopM);
        EXPECT_EQ(found.gopN, c.expected.gopN);
        EXPECT_EQ(found.gopVariable, c.expected.gopVariable);
        EXPECT_EQ(found.firstGopClosed, c.expected.firstGopClosed);
        EXPECT_EQ(found.laterGopsOpen, c.expected.laterGopsOpen);
        EXPECT_EQ(found.customMatrix, c.expected.customMatrix);
        EXPECT_EQ(found.timecode, c.expected.timecode);
    }
}

std::string bytes(std::initializer_list<int> values)
{
    std::string text;
    for (const int value : values)
        text.push_back(static_cast<char>(value));
    return text;
}

TEST(SegmentUid, FromTheInfoElementBeforeTheFirstCluster)
{
    const std::string ebml = bytes({0x1A, 0x45, 0xDF, 0xA3, 0x83, 0x42, 0x86, 0x81});
    const std::string segment = bytes({0x18, 0x53, 0x80, 0x67, 0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                       0xFF, 0xFF});  // unknown size: written live
    const std::string seekHead = bytes({0x11, 0x4D, 0x9B, 0x74, 0x82, 0, 0});
    const std::string uid = bytes({0x73, 0xA4, 0x90}) + std::string(15, '\x11') + "\xAB";
    const std::string timecodeScale = bytes({0x2A, 0xD7, 0xB1, 0x83, 0x0F, 0x42, 0x40});
    auto info = [](const std::string& children) {
        return bytes({0x15, 0x49, 0xA9, 0x66, 0x80 | static_cast<int>(children.size())}) + children;
    };
    const std::string cluster = bytes({0x1F, 0x43, 0xB6, 0x75, 0x80});
    const std::string expected = std::string(30, '1') + "AB";
    struct Case {
        const char* name;
        std::string head;
        std::optional<std::string> uid;
    };
    const std::vector<Case> cases{
        {"after the seek head", ebml + segment + seekHead + info(timecodeScale + uid), expected},
        {"Info without a UID", ebml + segment + info(timecodeScale), std::nullopt},
        {"UID of 8 bytes", ebml + segment + info(bytes({0x73, 0xA4, 0x88}) + std::string(8, 'x')),
         std::nullopt},
        {"Cluster before Info", ebml + segment + cluster + info(uid), std::nullopt},
        {"Info cut by the end of the head", (ebml + segment + info(uid)).substr(0, 30),
         std::nullopt},
        {"not Matroska", segment + info(uid), std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(matroskaSegmentUid(c.head), c.uid);
    }
}

}  // namespace
}  // namespace sniffer
