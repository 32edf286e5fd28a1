// evaluateFrameRate and formatFrameRate.

#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "format/utils.h"

namespace vellinor::Utils {
namespace {

constexpr double kNotANumber = std::numeric_limits<double>::quiet_NaN();

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

void skipBlanks(std::string_view& text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Reads one decimal number ("25", "-24", "+1.5", ".5", "1e3") from the front of `text`.
// from_chars alone would also take "inf" and "nan"; those are not numbers a rate is made of.
std::optional<double> takeNumber(std::string_view& text)
{
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty() || !(isDigit(text.front()) || text.front() == '.'))
        return std::nullopt;
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc())
        return std::nullopt;  // includes magnitudes beyond double's range
    text.remove_prefix(static_cast<std::size_t>(end - text.data()));
    return negative ? -value : value;
}

}  // namespace

double evaluateFrameRate(std::string_view text)
{
    skipBlanks(text);
    const auto numerator = takeNumber(text);
    if (!numerator)
        return kNotANumber;
    skipBlanks(text);
    if (text.empty())
        return *numerator;  // a plain number is its own value

    if (text.front() != '/')
        return kNotANumber;
    text.remove_prefix(1);
    skipBlanks(text);
    const auto denominator = takeNumber(text);
    if (!denominator)
        return kNotANumber;
    skipBlanks(text);
    if (!text.empty())
        return kNotANumber;
    // IEEE division: 0/0 is NaN and 1/0 is infinite, which callers read as "no usable rate".
    return *numerator / *denominator;
}

std::optional<std::string> formatFrameRate(double framesPerSecond)
{
    if (!std::isfinite(framesPerSecond))
        return std::nullopt;
    // Fixed notation with a precision rounds the exact binary value, ties to even; room for
    // the 309 integer digits of the largest double.
    std::array<char, 400> buffer{};
    const auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(),
                                            framesPerSecond, std::chars_format::fixed, 3);
    if (error != std::errc())
        return std::nullopt;
    std::string text(buffer.data(), end);
    while (text.back() == '0')
        text.pop_back();
    if (text.back() == '.')
        text.pop_back();
    if (text == "-0")
        text = "0";
    return text;
}

}  // namespace vellinor::Utils
