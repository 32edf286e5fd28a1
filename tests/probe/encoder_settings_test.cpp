// The encoder's settings from the first frame (x264 and x265), as the facts show them.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "probe/encoder_settings.h"
#include "probe/facts_catalogue.h"
#include "probe/file_probe.h"
#include "support/test_support.h"

namespace vellinor {
namespace {

namespace fs = std::filesystem;

TEST(EncoderSettings, ReadsTheEncodersText)
{
    struct Case {
        std::string text;
        std::optional<std::string> library;
        std::string settings;
        std::optional<bool> cabac;
        std::optional<int> references;
    };
    const std::vector<Case> cases{
        {"x264 - core 164 r3095 baee400 - H.264/MPEG-4 AVC codec - Copyleft 2003-2022 - "
         "http://www.videolan.org/x264.html - options: cabac=1 ref=3 deblock=1:0:0",
         "x264 core 164 r3095 baee400", "cabac=1 / ref=3 / deblock=1:0:0", true, 3},
        {"x265 (build 199) - 3.5+1-f0c1022b6:[Linux][GCC 12.2.0][64 bit] 8bit+10bit+12bit - "
         "H.265/HEVC codec - Copyright 2013-2018 (c) Multicoreware, Inc - http://x265.org - "
         "options: cpuid=1111039 wpp no-pmode ref=4",
         "x265 3.5+1-f0c1022b6:[Linux][GCC 12.2.0][64 bit] 8bit+10bit+12bit",
         "cpuid=1111039 / wpp / no-pmode / ref=4", std::nullopt, 4},
        {"x264 - core 148 - H.264/MPEG-4 AVC codec", "x264 core 148", "", std::nullopt,
         std::nullopt},
        {"x264 - core 164 - options: cabac=2 ref=many", "x264 core 164", "cabac=2 / ref=many",
         std::nullopt, std::nullopt},
        {"Lavc59.37.100 libx264", std::nullopt, "", std::nullopt, std::nullopt},
        {"x264 - ", std::nullopt, "", std::nullopt, std::nullopt},
        {"", std::nullopt, "", std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const auto settings = parseEncoderText(c.text);
        ASSERT_EQ(settings.has_value(), c.library.has_value());
        if (!settings)
            continue;
        EXPECT_EQ(settings->library, *c.library);
        EXPECT_EQ(settings->settings, c.settings);
        EXPECT_EQ(settings->cabac, c.cabac);
        EXPECT_EQ(settings->referenceFrames, c.references);
    }
}

// Files as ffmpeg writes them with libx264 and libx265, in MP4 (length-prefixed units) and
// MPEG-TS (start codes): the facts name the library, the settings and where they come from.
TEST(EncoderSettings, FactsOfX264AndX265Files)
{
    test::TempDir dir;
    struct Case {
        const char* name;
        std::vector<std::string> encoder;
        std::string library;   // the start of "Writing library"
        std::string settings;  // the start of "Encoding settings"
    };
    const std::vector<Case> cases{
        {"x264.mp4", {"-c:v", "libx264"}, "x264 core ", "cabac=1 / ref=3 / "},
        {"x264.ts",
         {"-c:v", "libx264", "-bf", "0", "-x264-params", "ref=2"},
         "x264 core ",
         "cabac=1 / ref=2 / "},
        {"x265.mkv", {"-c:v", "libx265", "-x265-params", "log-level=error"}, "x265 ", "cpuid="},
        {"mpeg4.mp4", {"-c:v", "mpeg4"}, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path path = dir / c.name;
        std::vector<std::string> arguments{"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25",
                                           "-t", "1"};
        arguments.insert(arguments.end(), c.encoder.begin(), c.encoder.end());
        arguments.push_back(path.string());
        ASSERT_TRUE(test::runFfmpeg(arguments));
        ProbeOptions options;
        options.toolPath = test::ffprobePath();
        options.bitstreamFacts = true;
        const FileProbe probe(path.string(), options);
        ASSERT_EQ(probe.tracksInfo.size(), 1u);
        const std::vector<Fact> facts = trackFacts(probe, probe.tracksInfo[0]);
        auto named = [&facts](const std::string& name) -> const Fact* {
            for (const Fact& fact : facts)
                if (fact.name == name && fact.source.find("SEI") != std::string::npos)
                    return &fact;
            return nullptr;
        };
        if (c.library.empty()) {
            EXPECT_FALSE(probe.tracksInfo[0].encoder.has_value());
            EXPECT_EQ(named("Encoding settings"), nullptr);
            continue;
        }
        ASSERT_NE(named("Writing library"), nullptr);
        EXPECT_TRUE(named("Writing library")->value.starts_with(c.library))
            << named("Writing library")->value;
        ASSERT_NE(named("Encoding settings"), nullptr);
        EXPECT_TRUE(named("Encoding settings")->value.starts_with(c.settings))
            << named("Encoding settings")->value;
    }
}

}  // namespace
}  // namespace vellinor
