// formatDuration: seconds as clock text.

#include <cmath>
#include <cstdint>
#include <string>

#include "format/utils.h"

namespace vellinor::Utils {
namespace {

// 2^63: every double strictly below it in magnitude truncates to a valid int64.
constexpr double kInt64Limit = 9223372036854775808.0;

// Appends `value` in decimal, zero-padded to at least `width` digits. (Chapter lists call this
// thousands of times per file, so it avoids a general-purpose formatter.)
void appendPadded(std::string& out, std::int64_t value, int width)
{
    char digits[20];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value > 0);
    for (int pad = count; pad < width; ++pad)
        out.push_back('0');
    while (count > 0)
        out.push_back(digits[--count]);
}

}  // namespace

std::string formatDuration(double seconds)
{
    if (!std::isfinite(seconds) || std::fabs(seconds) >= kInt64Limit)
        return "--:--:--.---";

    const double magnitude = std::fabs(seconds);
    auto whole = static_cast<std::int64_t>(magnitude);
    // The remainder is first rounded to whole microseconds, then cut to milliseconds: 59.9999
    // shows 59.999 (never a carry into the next second), while 17.04, stored a hair below,
    // shows 17.040 rather than 17.039. The subtraction is exact for every double.
    auto micros = static_cast<std::int64_t>(
        std::llround((magnitude - static_cast<double>(whole)) * 1'000'000.0));
    if (micros >= 1'000'000) {
        ++whole;
        micros -= 1'000'000;
    }
    const auto millis = micros / 1000;

    const std::int64_t hours = whole / 3600;  // not reduced modulo 24
    const std::int64_t minutes = (whole / 60) % 60;
    const std::int64_t secs = whole % 60;
    // One sign in front of the whole text, and none when every field is zero.
    const bool negative = seconds < 0 && (whole != 0 || millis != 0);
    std::string text;
    text.reserve(16);
    if (negative)
        text.push_back('-');
    appendPadded(text, hours, 2);
    text.push_back(':');
    appendPadded(text, minutes, 2);
    text.push_back(':');
    appendPadded(text, secs, 2);
    text.push_back('.');
    appendPadded(text, millis, 3);
    return text;
}

}  // namespace vellinor::Utils
