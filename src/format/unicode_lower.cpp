#include "format/unicode_lower.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>

namespace vellinor::unicode {
namespace {

enum class Rule : std::uint8_t {
    offset,   // every code point in the range moves by `delta`
    evenOdd,  // capitals at even code points, each followed by its small letter
    oddEven,  // capitals at odd code points, each followed by its small letter
};

struct CaseRange {
    char32_t first;
    char32_t last;
    Rule rule;
    std::int32_t delta;
};

// Sorted, non-overlapping. Single letters are ranges of one.
constexpr std::array kRanges{
    CaseRange{0x0041, 0x005A, Rule::offset, 32},
    CaseRange{0x00C0, 0x00D6, Rule::offset, 32},
    CaseRange{0x00D8, 0x00DE, Rule::offset, 32},
    CaseRange{0x0100, 0x012F, Rule::evenOdd, 0},
    // U+0130 is handled apart: it lowers to two code points.
    CaseRange{0x0132, 0x0137, Rule::evenOdd, 0},
    CaseRange{0x0139, 0x0148, Rule::oddEven, 0},
    CaseRange{0x014A, 0x0177, Rule::evenOdd, 0},
    CaseRange{0x0178, 0x0178, Rule::offset, 0x00FF - 0x0178},
    CaseRange{0x0179, 0x017E, Rule::oddEven, 0},
    CaseRange{0x0181, 0x0181, Rule::offset, 0x0253 - 0x0181},
    CaseRange{0x0182, 0x0185, Rule::evenOdd, 0},
    CaseRange{0x0186, 0x0186, Rule::offset, 0x0254 - 0x0186},
    CaseRange{0x0187, 0x0187, Rule::offset, 1},
    CaseRange{0x0189, 0x018A, Rule::offset, 0x0256 - 0x0189},
    CaseRange{0x018B, 0x018B, Rule::offset, 1},
    CaseRange{0x018E, 0x018E, Rule::offset, 0x01DD - 0x018E},
    CaseRange{0x018F, 0x018F, Rule::offset, 0x0259 - 0x018F},
    CaseRange{0x0190, 0x0190, Rule::offset, 0x025B - 0x0190},
    CaseRange{0x0191, 0x0191, Rule::offset, 1},
    CaseRange{0x0193, 0x0193, Rule::offset, 0x0260 - 0x0193},
    CaseRange{0x0194, 0x0194, Rule::offset, 0x0263 - 0x0194},
    CaseRange{0x0196, 0x0196, Rule::offset, 0x0269 - 0x0196},
    CaseRange{0x0197, 0x0197, Rule::offset, 0x0268 - 0x0197},
    CaseRange{0x0198, 0x0198, Rule::offset, 1},
    CaseRange{0x019C, 0x019C, Rule::offset, 0x026F - 0x019C},
    CaseRange{0x019D, 0x019D, Rule::offset, 0x0272 - 0x019D},
    CaseRange{0x019F, 0x019F, Rule::offset, 0x0275 - 0x019F},
    CaseRange{0x01A0, 0x01A5, Rule::evenOdd, 0},
    CaseRange{0x01A6, 0x01A6, Rule::offset, 0x0280 - 0x01A6},
    CaseRange{0x01A7, 0x01A7, Rule::offset, 1},
    CaseRange{0x01A9, 0x01A9, Rule::offset, 0x0283 - 0x01A9},
    CaseRange{0x01AC, 0x01AC, Rule::offset, 1},
    CaseRange{0x01AE, 0x01AE, Rule::offset, 0x0288 - 0x01AE},
    CaseRange{0x01AF, 0x01AF, Rule::offset, 1},
    CaseRange{0x01B1, 0x01B2, Rule::offset, 0x028A - 0x01B1},
    CaseRange{0x01B3, 0x01B6, Rule::oddEven, 0},
    CaseRange{0x01B7, 0x01B7, Rule::offset, 0x0292 - 0x01B7},
    CaseRange{0x01B8, 0x01B8, Rule::offset, 1},
    CaseRange{0x01BC, 0x01BC, Rule::offset, 1},
    CaseRange{0x01C4, 0x01C4, Rule::offset, 2},
    CaseRange{0x01C5, 0x01C5, Rule::offset, 1},
    CaseRange{0x01C7, 0x01C7, Rule::offset, 2},
    CaseRange{0x01C8, 0x01C8, Rule::offset, 1},
    CaseRange{0x01CA, 0x01CA, Rule::offset, 2},
    CaseRange{0x01CB, 0x01DC, Rule::oddEven, 0},
    CaseRange{0x01DE, 0x01EF, Rule::evenOdd, 0},
    CaseRange{0x01F1, 0x01F1, Rule::offset, 2},
    CaseRange{0x01F2, 0x01F5, Rule::evenOdd, 0},
    CaseRange{0x01F6, 0x01F6, Rule::offset, 0x0195 - 0x01F6},
    CaseRange{0x01F7, 0x01F7, Rule::offset, 0x01BF - 0x01F7},
    CaseRange{0x01F8, 0x021F, Rule::evenOdd, 0},
    CaseRange{0x0220, 0x0220, Rule::offset, 0x019E - 0x0220},
    CaseRange{0x0222, 0x0233, Rule::evenOdd, 0},
    CaseRange{0x023A, 0x023A, Rule::offset, 0x2C65 - 0x023A},
    CaseRange{0x023B, 0x023B, Rule::offset, 1},
    CaseRange{0x023D, 0x023D, Rule::offset, 0x019A - 0x023D},
    CaseRange{0x023E, 0x023E, Rule::offset, 0x2C66 - 0x023E},
    CaseRange{0x0241, 0x0241, Rule::offset, 1},
    CaseRange{0x0243, 0x0243, Rule::offset, 0x0180 - 0x0243},
    CaseRange{0x0244, 0x0244, Rule::offset, 0x0289 - 0x0244},
    CaseRange{0x0245, 0x0245, Rule::offset, 0x028C - 0x0245},
    CaseRange{0x0246, 0x024F, Rule::evenOdd, 0},
    CaseRange{0x0370, 0x0373, Rule::evenOdd, 0},
    CaseRange{0x0376, 0x0377, Rule::evenOdd, 0},
    CaseRange{0x037F, 0x037F, Rule::offset, 0x03F3 - 0x037F},
    CaseRange{0x0386, 0x0386, Rule::offset, 0x03AC - 0x0386},
    CaseRange{0x0388, 0x038A, Rule::offset, 0x03AD - 0x0388},
    CaseRange{0x038C, 0x038C, Rule::offset, 0x03CC - 0x038C},
    CaseRange{0x038E, 0x038F, Rule::offset, 0x03CD - 0x038E},
    CaseRange{0x0391, 0x03A1, Rule::offset, 32},
    CaseRange{0x03A3, 0x03AB, Rule::offset, 32},
    CaseRange{0x03CF, 0x03CF, Rule::offset, 0x03D7 - 0x03CF},
    CaseRange{0x03D8, 0x03EF, Rule::evenOdd, 0},
    CaseRange{0x03F4, 0x03F4, Rule::offset, 0x03B8 - 0x03F4},
    CaseRange{0x03F7, 0x03F7, Rule::offset, 1},
    CaseRange{0x03F9, 0x03F9, Rule::offset, 0x03F2 - 0x03F9},
    CaseRange{0x03FA, 0x03FA, Rule::offset, 1},
    CaseRange{0x03FD, 0x03FF, Rule::offset, 0x037B - 0x03FD},
    CaseRange{0x0400, 0x040F, Rule::offset, 80},
    CaseRange{0x0410, 0x042F, Rule::offset, 32},
    CaseRange{0x0460, 0x0481, Rule::evenOdd, 0},
    CaseRange{0x048A, 0x04BF, Rule::evenOdd, 0},
    CaseRange{0x04C0, 0x04C0, Rule::offset, 0x04CF - 0x04C0},
    CaseRange{0x04C1, 0x04CE, Rule::oddEven, 0},
    CaseRange{0x04D0, 0x052F, Rule::evenOdd, 0},
    CaseRange{0x0531, 0x0556, Rule::offset, 48},
    CaseRange{0x1E00, 0x1E95, Rule::evenOdd, 0},
    CaseRange{0x1E9E, 0x1E9E, Rule::offset, 0x00DF - 0x1E9E},
    CaseRange{0x1EA0, 0x1EFF, Rule::evenOdd, 0},
    CaseRange{0x2126, 0x2126, Rule::offset, 0x03C9 - 0x2126},  // OHM SIGN
    CaseRange{0x212A, 0x212A, Rule::offset, 0x006B - 0x212A},  // KELVIN SIGN
    CaseRange{0x212B, 0x212B, Rule::offset, 0x00E5 - 0x212B},  // ANGSTROM SIGN
    CaseRange{0xFF21, 0xFF3A, Rule::offset, 32},
};

constexpr bool sortedWithoutOverlap()
{
    for (std::size_t i = 0; i < kRanges.size(); ++i) {
        if (kRanges[i].first > kRanges[i].last)
            return false;
        if (i > 0 && kRanges[i - 1].last >= kRanges[i].first)
            return false;
    }
    return true;
}
static_assert(sortedWithoutOverlap(), "the binary search needs sorted, disjoint ranges");

char32_t lowerCodePoint(char32_t c)
{
    const auto it =
        std::upper_bound(kRanges.begin(), kRanges.end(), c,
                         [](char32_t value, const CaseRange& r) { return value < r.first; });
    if (it == kRanges.begin())
        return c;
    const CaseRange& range = *(it - 1);
    if (c > range.last)
        return c;
    switch (range.rule) {
        case Rule::offset:
            return static_cast<char32_t>(static_cast<std::int32_t>(c) + range.delta);
        case Rule::evenOdd:
            return c % 2 == 0 ? c + 1 : c;
        case Rule::oddEven:
            return c % 2 == 1 ? c + 1 : c;
    }
    return c;
}

// Decodes one well-formed UTF-8 sequence at the front of `text` (no overlong forms, no
// surrogates, nothing above U+10FFFF); sets `length` to the bytes it used.
std::optional<char32_t> decode(std::string_view text, std::size_t& length)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) {
        length = 1;
        return lead;
    }
    std::size_t count = 0;
    char32_t value = 0;
    char32_t minimum = 0;
    if ((lead & 0xE0) == 0xC0) {
        count = 2;
        value = lead & 0x1Fu;
        minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        count = 3;
        value = lead & 0x0Fu;
        minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        count = 4;
        value = lead & 0x07u;
        minimum = 0x10000;
    } else {
        return std::nullopt;
    }
    if (text.size() < count)
        return std::nullopt;
    for (std::size_t i = 1; i < count; ++i) {
        if ((byte(i) & 0xC0) != 0x80)
            return std::nullopt;
        value = (value << 6) | (byte(i) & 0x3Fu);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return std::nullopt;
    length = count;
    return value;
}

void encode(char32_t c, std::string& out)
{
    const auto put = [&](char32_t bits) { out.push_back(static_cast<char>(bits)); };
    if (c < 0x80) {
        put(c);
    } else if (c < 0x800) {
        put(0xC0 | (c >> 6));
        put(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        put(0xE0 | (c >> 12));
        put(0x80 | ((c >> 6) & 0x3F));
        put(0x80 | (c & 0x3F));
    } else {
        put(0xF0 | (c >> 18));
        put(0x80 | ((c >> 12) & 0x3F));
        put(0x80 | ((c >> 6) & 0x3F));
        put(0x80 | (c & 0x3F));
    }
}

}  // namespace

std::string toLower(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    while (!utf8.empty()) {
        std::size_t length = 1;
        const auto codePoint = decode(utf8, length);
        if (!codePoint) {
            out.push_back(utf8.front());  // not UTF-8: kept as it is
        } else if (*codePoint == 0x0130) {
            encode(U'i', out);  // LATIN CAPITAL LETTER I WITH DOT ABOVE keeps its dot
            encode(0x0307, out);
        } else {
            encode(lowerCodePoint(*codePoint), out);
        }
        utf8.remove_prefix(length);
    }
    return out;
}

}  // namespace vellinor::unicode
