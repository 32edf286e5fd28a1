#include "format/text_table.h"

#include <algorithm>

namespace vellinor {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD
constexpr std::string_view kReset = "\x1b[0m";

std::string_view colorCode(CellColor color)
{
    switch (color) {
        case CellColor::green:
            return "\x1b[32m";
        case CellColor::red:
            return "\x1b[31m";
        case CellColor::none:
            break;
    }
    return {};
}

}  // namespace

std::size_t displayWidth(std::string_view text)
{
    // Every byte that is not a UTF-8 continuation byte starts a code point.
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

std::string printableText(std::string_view text)
{
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte == '\t') {
            result.push_back(' ');
        } else if (byte < 0x20 || byte == 0x7F) {
            result += kReplacement;
        } else if (byte == 0xC2 && i + 1 < text.size() &&
                   static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
            // U+0080 to U+009F, the C1 controls (U+009B starts an escape sequence on some
            // terminals).
            result += kReplacement;
            ++i;
        } else {
            result.push_back(static_cast<char>(byte));
        }
    }
    return result;
}

std::vector<std::string> alignColumns(const std::vector<TextRow>& rows,
                                      const std::vector<std::string>& gaps, bool useColor)
{
    std::vector<std::vector<std::string>> texts;
    std::vector<std::size_t> widths;
    texts.reserve(rows.size());
    for (const TextRow& row : rows) {
        auto& shown = texts.emplace_back();
        for (std::size_t column = 0; column < row.size(); ++column) {
            shown.push_back(printableText(row[column].text));
            if (widths.size() <= column)
                widths.push_back(0);
            widths[column] = std::max(widths[column], displayWidth(shown.back()));
        }
    }

    std::vector<std::string> lines;
    lines.reserve(rows.size());
    for (std::size_t r = 0; r < rows.size(); ++r) {
        std::string line;
        for (std::size_t column = 0; column < rows[r].size(); ++column) {
            const std::string& text = texts[r][column];
            const std::string_view code = useColor ? colorCode(rows[r][column].color) : "";
            line += code;
            line += text;
            if (!code.empty())
                line += kReset;
            if (column + 1 == rows[r].size())
                break;
            line.append(widths[column] - displayWidth(text), ' ');
            line += column < gaps.size() ? gaps[column] : std::string("  ");
        }
        line.erase(line.find_last_not_of(' ') + 1);
        lines.push_back(std::move(line));
    }
    return lines;
}

}  // namespace vellinor
