#pragma once

// Matroska's element coding (EBML), read from bytes in memory: each element is an ID and a
// size, both variable-length numbers, then its data.

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>

namespace sniffer::ebml {

inline constexpr std::uint64_t kUnknownSize = std::numeric_limits<std::uint64_t>::max();

struct Reader {
    std::string_view bytes;
    std::size_t at = 0;

    [[nodiscard]] std::size_t left() const { return bytes.size() - at; }
    [[nodiscard]] std::uint8_t byte(std::size_t offset) const
    {
        return static_cast<std::uint8_t>(bytes[at + offset]);
    }
};

// A variable-length number: the leading zeros of its first byte tell its length (1 to 8
// bytes). For an element ID the marker bit stays in; for a size it is dropped, and all value
// bits set means "unknown size" (a file written live). Nothing when it runs past the bytes.
inline std::optional<std::uint64_t> number(Reader& reader, bool keepMarker)
{
    if (reader.left() == 0 || reader.byte(0) == 0)
        return std::nullopt;
    const std::uint8_t first = reader.byte(0);
    std::size_t length = 1;
    while ((first & (0x80u >> (length - 1))) == 0)
        ++length;
    if (reader.left() < length)
        return std::nullopt;
    const unsigned marker = 0x80u >> (length - 1);
    std::uint64_t value = keepMarker ? first : (first & (marker - 1));
    for (std::size_t i = 1; i < length; ++i)
        value = (value << 8) | reader.byte(i);
    reader.at += length;
    if (!keepMarker && value == (std::uint64_t{1} << (7 * length)) - 1)
        return kUnknownSize;
    return value;
}

inline constexpr std::uint64_t kEbmlHeaderId = 0x1A45DFA3;
inline constexpr std::uint64_t kSegmentId = 0x18538067;
inline constexpr std::uint64_t kVoidId = 0xEC;

}  // namespace sniffer::ebml
