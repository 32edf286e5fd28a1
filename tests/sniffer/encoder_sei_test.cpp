// The encoder's text in an H.264 or HEVC packet's SEI (sniffer --encoder), as stored in MP4 or
// Matroska (length-prefixed) and in MPEG-TS (start codes).

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "sniffer/encoder_sei.h"

namespace sniffer {
namespace {

const std::string kUuid(16, '\x11');
const std::string kText = "x264 - core 164 - options: cabac=1 ref=3";

// One SEI NAL unit holding one user-data-unregistered message with `payload`.
std::string seiUnit(NalCodec codec, const std::string& payload)
{
    std::string unit =
        codec == NalCodec::h264 ? std::string("\x06", 1) : std::string("\x4E\x01", 2);
    unit.push_back('\x05');
    std::size_t size = payload.size();
    for (; size >= 255; size -= 255)
        unit.push_back('\xFF');
    unit.push_back(static_cast<char>(size));
    return unit + payload + "\x80";
}

std::string lengthPrefixed(const std::string& unit)
{
    const auto size = static_cast<std::uint32_t>(unit.size());
    std::string prefix{static_cast<char>(size >> 24), static_cast<char>((size >> 16) & 0xFF),
                       static_cast<char>((size >> 8) & 0xFF), static_cast<char>(size & 0xFF)};
    return prefix + unit;
}

TEST(EncoderSei, FindsTheEncodersText)
{
    const std::string slice = lengthPrefixed(std::string("\x65\x88\x84\x00", 4));
    const std::string annexB = std::string("\x00\x00\x00\x01", 4);
    struct Case {
        const char* name;
        std::string packet;
        NalCodec codec;
        std::size_t lengthSize;
        std::optional<std::string> text;
    };
    // 00 00 03 in the stored bytes is 00 00 in the message: the UUID's first zeros here. The
    // message's size counts the bytes without the 03.
    std::string withEmulationPrevention =
        seiUnit(NalCodec::h264, std::string(3, '\0') + std::string(13, '\x22') + kText);
    withEmulationPrevention.insert(5, 1, '\x03');
    const std::vector<Case> cases{
        {"mp4", lengthPrefixed(seiUnit(NalCodec::h264, kUuid + kText + '\0')) + slice,
         NalCodec::h264, 4, kText},
        {"hevc", lengthPrefixed(seiUnit(NalCodec::hevc, kUuid + kText)), NalCodec::hevc, 4, kText},
        {"start codes", annexB + seiUnit(NalCodec::h264, kUuid + kText) + annexB + "\x65\x88",
         NalCodec::h264, 0, kText},
        {"emulation prevention", lengthPrefixed(withEmulationPrevention), NalCodec::h264, 4, kText},
        {"payload of 300 bytes",
         lengthPrefixed(seiUnit(NalCodec::h264, kUuid + std::string(300, 'a'))), NalCodec::h264, 4,
         std::string(300, 'a')},
        {"binary user data",
         lengthPrefixed(seiUnit(NalCodec::h264, kUuid + "\x01\x02\x03\x04\x05\x06\x07\x08\x09")),
         NalCodec::h264, 4, std::nullopt},
        {"message past the unit", lengthPrefixed(std::string("\x06\x05\x7F", 3) + kUuid + kText),
         NalCodec::h264, 4, std::nullopt},
        {"length past the packet", std::string("\x00\x00\x10\x00\x06\x05", 6), NalCodec::h264, 4,
         std::nullopt},
        {"no SEI", slice, NalCodec::h264, 4, std::nullopt},
        {"empty", "", NalCodec::hevc, 0, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(encoderText(c.packet, c.codec, c.lengthSize), c.text);
    }
}

TEST(EncoderSei, NalLengthSizeFromTheConfigurationRecord)
{
    EXPECT_EQ(nalLengthSize(std::string("\x01\x64\x00\x1F\xFF\xE1", 6), NalCodec::h264), 4u);
    EXPECT_EQ(nalLengthSize(std::string("\x01\x64\x00\x1F\xFD\xE1", 6), NalCodec::h264), 2u);
    EXPECT_EQ(nalLengthSize(std::string("\x00\x00\x00\x01\x67", 5), NalCodec::h264), 0u);
    std::string hvcc(23, '\0');
    hvcc[0] = 1;
    hvcc[21] = '\x0F';
    EXPECT_EQ(nalLengthSize(hvcc, NalCodec::hevc), 4u);
    EXPECT_EQ(nalLengthSize("", NalCodec::hevc), 0u);
}

}  // namespace
}  // namespace sniffer
