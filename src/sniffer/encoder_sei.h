#pragma once

// The text an encoder writes into an H.264 or HEVC stream's first frames: x264 and x265 put
// their name, version and every setting in an SEI message of the "user data unregistered"
// kind, as "x264 - core 164 r3095 baee400 - H.264/MPEG-4 AVC codec - ... - options: cabac=1
// ref=3 ...". Read from the packets as they are stored, without decoding.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace sniffer {

enum class NalCodec { h264, hevc };

// The longest text kept; x264's settings take about 700 bytes.
inline constexpr std::size_t kMaxEncoderText = 4096;

// The first unregistered user data in `packet` that reads as an encoder's text (printable
// ASCII, at least 8 bytes, up to its NUL). The packet's NAL units are length-prefixed with
// `lengthSize` bytes (1, 2 or 4: MP4, Matroska), or, with `lengthSize` 0, start-code prefixed
// (MPEG-TS, elementary streams).
std::optional<std::string> encoderText(std::string_view packet, NalCodec codec,
                                       std::size_t lengthSize);

// The NAL length size an avcC or hvcC configuration record gives; 0 for anything else
// (Annex B extradata, none at all).
std::size_t nalLengthSize(std::string_view extradata, NalCodec codec);

// The encoder's text in a stream's configuration (extradata): x265 writes it there, among the
// headers, when the container keeps them apart from the frames.
std::optional<std::string> configurationText(std::string_view extradata, NalCodec codec);

}  // namespace sniffer
