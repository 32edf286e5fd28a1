#pragma once

// Plain-text tables for the terminal: columns lined up by displayed width, optional colour.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vellinor {

// The width `text` takes on a terminal: one column per UTF-8 code point (wide CJK characters
// are not special-cased). "Norwegian Bokmål" is 16 columns, not 17 bytes.
std::size_t displayWidth(std::string_view text);

// `text` with every control character (C0, DEL, and C1 such as U+009B) replaced by U+FFFD and
// tabs by a blank, so a tag or file name cannot move the cursor, change colours or break a line.
std::string printableText(std::string_view text);

// ANSI colours of a cell; none leaves the text as it is.
enum class CellColor { none, green, red };

struct TextCell {
    std::string text;
    CellColor color = CellColor::none;
};

using TextRow = std::vector<TextCell>;

// The rows as lines (without line breaks), each column padded to the widest cell of that column
// and followed by gaps[column] (or "  " where gaps is shorter). Colour codes are written only
// when `useColor`, and never count towards a width. Trailing blanks are dropped. Cell texts are
// shown as printableText.
std::vector<std::string> alignColumns(const std::vector<TextRow>& rows,
                                      const std::vector<std::string>& gaps, bool useColor);

}  // namespace vellinor
