// Fuzz target: arbitrary bytes as an H.264 or HEVC packet (and as its configuration), read for the
// encoder's text by the sniffer's SEI reader (--encoder), and that text read for settings by the
// core.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_check.h"
#include "probe/encoder_settings.h"
#include "sniffer/encoder_sei.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace vellinor;
    fuzz::silenceDiagnostics();
    if (size == 0)
        return 0;
    // The first byte picks the codec and the NAL length size (0: start codes).
    const auto codec = (data[0] & 1) != 0 ? sniffer::NalCodec::hevc : sniffer::NalCodec::h264;
    constexpr std::size_t kLengthSizes[] = {0, 1, 2, 4};
    const std::size_t lengthSize = kLengthSizes[(data[0] >> 1) & 3];
    const std::string_view packet(reinterpret_cast<const char*>(data) + 1, size - 1);

    const auto text = sniffer::encoderText(packet, codec, lengthSize);
    if (text) {
        FUZZ_CHECK(text->size() <= sniffer::kMaxEncoderText);
        for (const char c : *text)
            FUZZ_CHECK(c >= 0x20 && c <= 0x7E);
    }
    (void)sniffer::nalLengthSize(packet, codec);
    // The same bytes as the stream's configuration (an hvcC, avcC or Annex B extradata).
    if (const auto configured = sniffer::configurationText(packet, codec))
        FUZZ_CHECK(configured->size() <= sniffer::kMaxEncoderText);
    if (const auto settings = parseEncoderText(text ? std::string_view(*text) : packet)) {
        FUZZ_CHECK(settings->library.starts_with("x26"));
        FUZZ_CHECK(settings->settings.find(" /  / ") == std::string::npos);
    }
    return 0;
}
