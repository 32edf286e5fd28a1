#include "sniffer/encoder_sei.h"

#include <vector>

namespace sniffer {
namespace {

constexpr int kH264Sei = 6;
constexpr int kHevcPrefixSei = 39;
constexpr int kUserDataUnregistered = 5;
constexpr std::size_t kUuidBytes = 16;
constexpr std::size_t kShortestText = 8;

std::uint8_t byteAt(std::string_view bytes, std::size_t at)
{
    return static_cast<std::uint8_t>(bytes[at]);
}

// The NAL units of a packet, header included.
std::vector<std::string_view> nalUnits(std::string_view packet, std::size_t lengthSize)
{
    std::vector<std::string_view> units;
    if (lengthSize > 0) {
        std::size_t at = 0;
        while (packet.size() - at > lengthSize) {
            std::size_t length = 0;
            for (std::size_t i = 0; i < lengthSize; ++i)
                length = (length << 8) | byteAt(packet, at + i);
            at += lengthSize;
            if (length > packet.size() - at)
                length = packet.size() - at;  // a cut packet: what there is
            units.push_back(packet.substr(at, length));
            at += length;
        }
        return units;
    }
    // Start codes 00 00 01 (a fourth 00 in front belongs to the previous unit's trailing
    // zeros, which SEI parsing never reaches).
    std::size_t start = std::string_view::npos;
    for (std::size_t i = 0; i + 2 < packet.size(); ++i) {
        if (byteAt(packet, i) != 0 || byteAt(packet, i + 1) != 0 || byteAt(packet, i + 2) != 1)
            continue;
        if (start != std::string_view::npos)
            units.push_back(packet.substr(start, i - start));
        start = i + 3;
        i += 2;
    }
    if (start != std::string_view::npos && start < packet.size())
        units.push_back(packet.substr(start));
    return units;
}

// The payload with its emulation prevention bytes (00 00 03 -> 00 00) taken out.
std::string rawBytes(std::string_view payload)
{
    std::string raw;
    raw.reserve(payload.size());
    int zeros = 0;
    for (const char c : payload) {
        const auto byte = static_cast<std::uint8_t>(c);
        if (zeros >= 2 && byte == 3) {
            zeros = 0;
            continue;
        }
        zeros = byte == 0 ? zeros + 1 : 0;
        raw.push_back(c);
    }
    return raw;
}

std::optional<std::string> textOf(std::string_view data)
{
    if (data.size() <= kUuidBytes)
        return std::nullopt;
    data.remove_prefix(kUuidBytes);
    data = data.substr(0, data.find('\0'));
    if (data.size() < kShortestText)
        return std::nullopt;
    for (const char c : data)
        if (c < 0x20 || c > 0x7E)
            return std::nullopt;
    return std::string(data.substr(0, kMaxEncoderText));
}

// The SEI messages of one SEI NAL unit's payload (after its header).
std::optional<std::string> unregisteredText(const std::string& sei)
{
    std::size_t at = 0;
    auto number = [&sei, &at]() -> std::optional<std::size_t> {
        std::size_t value = 0;
        while (at < sei.size()) {
            const std::uint8_t byte = byteAt(sei, at++);
            value += byte;
            if (byte != 0xFF)
                return value;
        }
        return std::nullopt;
    };
    // Stops at the trailing bits (0x80) or when the message runs past the unit.
    while (at < sei.size() && byteAt(sei, at) != 0x80) {
        const auto type = number();
        const auto size = number();
        if (!type || !size || *size > sei.size() - at)
            return std::nullopt;
        if (*type == kUserDataUnregistered)
            if (auto text = textOf(std::string_view(sei).substr(at, *size)))
                return text;
        at += *size;
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> encoderText(std::string_view packet, NalCodec codec,
                                       std::size_t lengthSize)
{
    const std::size_t header = codec == NalCodec::h264 ? 1 : 2;
    for (const std::string_view unit : nalUnits(packet, lengthSize)) {
        if (unit.size() <= header)
            continue;
        const int type =
            codec == NalCodec::h264 ? byteAt(unit, 0) & 0x1F : (byteAt(unit, 0) >> 1) & 0x3F;
        if (type != (codec == NalCodec::h264 ? kH264Sei : kHevcPrefixSei))
            continue;
        if (auto text = unregisteredText(rawBytes(unit.substr(header))))
            return text;
    }
    return std::nullopt;
}

std::size_t nalLengthSize(std::string_view extradata, NalCodec codec)
{
    // avcC: version 1, then the length size minus one in byte 4; hvcC: version 1, byte 21.
    const std::size_t at = codec == NalCodec::h264 ? 4 : 21;
    if (extradata.size() <= at || byteAt(extradata, 0) != 1)
        return 0;
    const std::size_t size = (byteAt(extradata, at) & 0x03) + 1;
    return size == 3 ? 0 : size;
}

std::optional<std::string> configurationText(std::string_view extradata, NalCodec codec)
{
    // Annex B extradata (or none) holds its units behind start codes.
    if (nalLengthSize(extradata, codec) == 0)
        return encoderText(extradata, codec, 0);
    // hvcC: after 22 bytes of header, arrays of units, each unit behind a 2-byte length;
    // x265 puts its SEI there when the container wants the headers apart (Matroska, MP4).
    // avcC holds only parameter sets.
    constexpr std::size_t kArraysAt = 22;
    if (codec != NalCodec::hevc || extradata.size() <= kArraysAt)
        return std::nullopt;
    const std::size_t arrays = byteAt(extradata, kArraysAt);
    std::size_t at = kArraysAt + 1;
    for (std::size_t array = 0; array < arrays && extradata.size() - at >= 3; ++array) {
        const std::size_t units =
            (std::size_t{byteAt(extradata, at + 1)} << 8) | byteAt(extradata, at + 2);
        at += 3;
        for (std::size_t unit = 0; unit < units && extradata.size() - at >= 2; ++unit) {
            const std::size_t length =
                (std::size_t{byteAt(extradata, at)} << 8) | byteAt(extradata, at + 1);
            if (length > extradata.size() - at - 2)
                return std::nullopt;
            if (auto text = encoderText(extradata.substr(at, 2 + length), codec, 2))
                return text;
            at += 2 + length;
        }
    }
    return std::nullopt;
}

}  // namespace sniffer
