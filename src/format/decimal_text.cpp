// formatShortestDecimal: the shortest round-tripping decimal text of a double.

#include <array>
#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

#include "format/utils.h"

namespace vellinor::Utils {

std::string formatShortestDecimal(double value)
{
    if (std::isnan(value))
        return "nan";
    if (std::isinf(value))
        return value < 0 ? "-inf" : "inf";

    // Plain digits for everyday magnitudes, exponent form for the very large and very small,
    // where plain digits would run to dozens of zeros.
    const double magnitude = std::fabs(value);
    const bool plain = magnitude == 0 || (magnitude >= 1e-5 && magnitude < 1e16);
    const auto format = plain ? std::chars_format::fixed : std::chars_format::scientific;

    std::array<char, 64> buffer{};
    const auto [end, error] =
        std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, format);
    if (error != std::errc())
        return "nan";  // cannot happen: 64 characters hold any shortest form
    std::string text(buffer.data(), end);

    // Always show a fractional part: "2" becomes "2.0" and "1e+20" becomes "1.0e+20".
    const auto exponent = text.find('e');
    const auto mantissaEnd = exponent == std::string::npos ? text.size() : exponent;
    if (text.find('.') == std::string::npos)
        text.insert(mantissaEnd, ".0");
    return text;
}

}  // namespace vellinor::Utils
