#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "json/json_node.h"

namespace vellinor {

namespace {

// 2^63 and 2^64 as doubles: the first reals outside int64 and uint64.
constexpr double kTwoTo63 = 9223372036854775808.0;
constexpr double kTwoTo64 = 18446744073709551616.0;

template <typename Integer>
std::string integerText(Integer value)
{
    char buffer[24];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return {buffer, result.ptr};
}

}  // namespace

double JSONNumber::toDouble() const
{
    switch (kind) {
        case Kind::integer:
            return static_cast<double>(integer);
        case Kind::unsignedInteger:
            return static_cast<double>(unsignedInteger);
        case Kind::real:
            break;
    }
    return real;
}

std::int64_t JSONNumber::toInt64() const
{
    constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
    constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
    switch (kind) {
        case Kind::integer:
            return integer;
        case Kind::unsignedInteger:
            return unsignedInteger > static_cast<std::uint64_t>(kMax)
                       ? kMax
                       : static_cast<std::int64_t>(unsignedInteger);
        case Kind::real:
            break;
    }
    if (std::isnan(real)) {
        return 0;
    }
    if (real >= kTwoTo63) {
        return kMax;
    }
    if (real < -kTwoTo63) {
        return kMin;
    }
    return static_cast<std::int64_t>(real);
}

std::uint64_t JSONNumber::toUInt64() const
{
    switch (kind) {
        case Kind::integer:
            return integer < 0 ? 0 : static_cast<std::uint64_t>(integer);
        case Kind::unsignedInteger:
            return unsignedInteger;
        case Kind::real:
            break;
    }
    // Truncation toward zero makes everything above -1 zero.
    if (std::isnan(real) || real <= 0.0) {
        return 0;
    }
    if (real >= kTwoTo64) {
        return std::numeric_limits<std::uint64_t>::max();
    }
    return static_cast<std::uint64_t>(real);
}

std::string JSONNumber::toString() const
{
    switch (kind) {
        case Kind::integer:
            return integerText(integer);
        case Kind::unsignedInteger:
            return integerText(unsignedInteger);
        case Kind::real:
            break;
    }
    return detail::shortestReal(real);
}

namespace detail {

std::string shortestReal(double value)
{
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return {buffer, result.ptr};
}

JSONNumber numberOf(const JsonNode& node)
{
    JSONNumber number;
    switch (node.kind) {
        case JsonKind::integer:
            number.integer = node.integer;
            break;
        case JsonKind::unsignedInteger:
            number.kind = JSONNumber::Kind::unsignedInteger;
            number.unsignedInteger = node.unsignedInteger;
            break;
        case JsonKind::real:
            number.kind = JSONNumber::Kind::real;
            number.real = node.real;
            break;
        case JsonKind::boolean:
            number.integer = node.boolean ? 1 : 0;
            break;
        case JsonKind::string:
            return readDecimal(node.textView());
        case JsonKind::null:
        case JsonKind::array:
        case JsonKind::dictionary:
        case JsonKind::unknown:
            number.kind = JSONNumber::Kind::real;
            break;
    }
    return number;
}

namespace {

int sign(bool less, bool greater)
{
    return less ? -1 : (greater ? 1 : 0);
}

// Compares an int64 with a real that is neither NaN nor outside [-2^63, 2^63).
int compareIntegerWithReal(std::int64_t integer, double real)
{
    const auto truncated = static_cast<std::int64_t>(real);
    if (integer != truncated) {
        return sign(integer<truncated, integer> truncated);
    }
    const double fraction = real - static_cast<double>(truncated);
    return sign(fraction > 0.0, fraction < 0.0);
}

int compareUnsignedWithReal(std::uint64_t integer, double real)
{
    const auto truncated = static_cast<std::uint64_t>(real);
    if (integer != truncated) {
        return sign(integer<truncated, integer> truncated);
    }
    const double fraction = real - static_cast<double>(truncated);
    return sign(fraction > 0.0, fraction < 0.0);
}

// Exact comparison of a number that is not a real with a real that is not NaN.
int compareExactWithReal(const JSONNumber& exact, double real)
{
    if (exact.kind == JSONNumber::Kind::integer) {
        if (real >= kTwoTo63) {
            return -1;
        }
        if (real < -kTwoTo63) {
            return 1;
        }
        return compareIntegerWithReal(exact.integer, real);
    }
    if (real >= kTwoTo64) {
        return -1;
    }
    if (real < 0.0) {
        return 1;
    }
    return compareUnsignedWithReal(exact.unsignedInteger, real);
}

}  // namespace

std::optional<int> compareNumbers(const JSONNumber& a, const JSONNumber& b)
{
    using Kind = JSONNumber::Kind;
    const bool aReal = a.kind == Kind::real;
    const bool bReal = b.kind == Kind::real;
    if (aReal && bReal) {
        if (std::isnan(a.real) || std::isnan(b.real)) {
            // NaN equals itself so that a value always equals its copy; it orders with nothing.
            return std::isnan(a.real) && std::isnan(b.real) ? std::optional<int>(0) : std::nullopt;
        }
        return sign(a.real<b.real, a.real> b.real);
    }
    if (aReal || bReal) {
        const double real = aReal ? a.real : b.real;
        if (std::isnan(real)) {
            return std::nullopt;
        }
        const int exactVersusReal = compareExactWithReal(aReal ? b : a, real);
        return aReal ? -exactVersusReal : exactVersusReal;
    }
    if (a.kind == Kind::integer && b.kind == Kind::integer) {
        return sign(a.integer<b.integer, a.integer> b.integer);
    }
    if (a.kind == Kind::unsignedInteger && b.kind == Kind::unsignedInteger) {
        return sign(a.unsignedInteger<b.unsignedInteger, a.unsignedInteger> b.unsignedInteger);
    }
    // One signed, one unsigned.
    if (a.kind == Kind::integer) {
        if (a.integer < 0) {
            return -1;
        }
        const auto value = static_cast<std::uint64_t>(a.integer);
        return sign(value<b.unsignedInteger, value> b.unsignedInteger);
    }
    if (b.integer < 0) {
        return 1;
    }
    const auto value = static_cast<std::uint64_t>(b.integer);
    return sign(a.unsignedInteger<value, a.unsignedInteger> value);
}

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

std::size_t skipDigits(std::string_view text, std::size_t position)
{
    while (position < text.size() && isDigit(text[position])) {
        ++position;
    }
    return position;
}

// A plain integer (digits only, optional minus) as int64, or as uint64 above INT64_MAX.
std::optional<JSONNumber> readPlainInteger(std::string_view digits, bool negative)
{
    std::uint64_t magnitude = 0;
    auto result = std::from_chars(digits.data(), digits.data() + digits.size(), magnitude);
    if (result.ec != std::errc()) {
        return std::nullopt;
    }
    constexpr auto kMax = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    JSONNumber number;
    if (negative) {
        if (magnitude > kMax + 1) {
            return std::nullopt;
        }
        number.integer = magnitude == kMax + 1 ? std::numeric_limits<std::int64_t>::min()
                                               : -static_cast<std::int64_t>(magnitude);
    } else if (magnitude > kMax) {
        number.kind = JSONNumber::Kind::unsignedInteger;
        number.unsignedInteger = magnitude;
    } else {
        number.integer = static_cast<std::int64_t>(magnitude);
    }
    return number;
}

// The texts ffprobe writes ("7200.000000", "48000", "-0.021333") in one pass, without a general
// conversion: at most 15 digits make an exact double mantissa, and dividing it by an exact power
// of ten is correctly rounded. Anything else (blanks, a plus sign, an exponent, more digits,
// trailing characters) is left to the general reading.
std::optional<JSONNumber> readCommonDecimal(std::string_view text)
{
    static constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                              1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    const char* position = text.data();
    const char* const end = position + text.size();
    const bool negative = position != end && *position == '-';
    if (negative) {
        ++position;
    }
    std::uint64_t mantissa = 0;
    const char* const integerStart = position;
    while (position != end && isDigit(*position)) {
        mantissa = mantissa * 10 + static_cast<std::uint64_t>(*position++ - '0');
    }
    const auto integerDigits = static_cast<std::size_t>(position - integerStart);
    if (position == end) {
        // Up to 18 digits cannot overflow int64.
        if (integerDigits == 0 || integerDigits > 18) {
            return std::nullopt;
        }
        JSONNumber number;
        number.integer =
            negative ? -static_cast<std::int64_t>(mantissa) : static_cast<std::int64_t>(mantissa);
        return number;
    }
    if (*position != '.') {
        return std::nullopt;
    }
    const char* const fractionStart = ++position;
    while (position != end && isDigit(*position)) {
        mantissa = mantissa * 10 + static_cast<std::uint64_t>(*position++ - '0');
    }
    const auto fractionDigits = static_cast<std::size_t>(position - fractionStart);
    const std::size_t digits = integerDigits + fractionDigits;
    if (position != end || digits == 0 || digits > 15) {
        return std::nullopt;
    }
    JSONNumber number;
    number.kind = JSONNumber::Kind::real;
    number.real = static_cast<double>(mantissa) / kPowersOfTen[fractionDigits];
    if (negative) {
        number.real = -number.real;
    }
    return number;
}

}  // namespace

JSONNumber readDecimal(std::string_view text)
{
    if (auto common = readCommonDecimal(text)) {
        return *common;
    }
    std::size_t position = 0;
    while (position < text.size() && isBlank(text[position])) {
        ++position;
    }
    bool negative = false;
    if (position < text.size() && (text[position] == '+' || text[position] == '-')) {
        negative = text[position] == '-';
        ++position;
    }
    const std::size_t mantissaStart = position;
    const std::size_t integerEnd = skipDigits(text, position);
    std::size_t end = integerEnd;
    bool plainInteger = true;
    std::size_t fractionDigits = 0;
    if (end < text.size() && text[end] == '.') {
        const std::size_t fractionEnd = skipDigits(text, end + 1);
        fractionDigits = fractionEnd - end - 1;
        if (integerEnd > mantissaStart || fractionDigits > 0) {
            end = fractionEnd;
            plainInteger = false;
        }
    }
    if (integerEnd == mantissaStart && fractionDigits == 0) {
        return {};  // no digits at all
    }
    if (end < text.size() && (text[end] == 'e' || text[end] == 'E')) {
        std::size_t exponentStart = end + 1;
        if (exponentStart < text.size() &&
            (text[exponentStart] == '+' || text[exponentStart] == '-')) {
            ++exponentStart;
        }
        const std::size_t exponentEnd = skipDigits(text, exponentStart);
        if (exponentEnd > exponentStart) {
            end = exponentEnd;
            plainInteger = false;
        }
    }
    if (plainInteger) {
        if (auto number = readPlainInteger(text.substr(mantissaStart, integerEnd - mantissaStart),
                                           negative)) {
            return *number;
        }
    }
    JSONNumber number;
    number.kind = JSONNumber::Kind::real;
    // from_chars takes a minus sign but no plus sign.
    const char* first = text.data() + (negative ? mantissaStart - 1 : mantissaStart);
    const char* last = text.data() + end;
    auto result = std::from_chars(first, last, number.real);
    if (result.ec == std::errc::result_out_of_range) {
        // Too large or too small for a double: decide by the decimal exponent of the first
        // significant digit.
        const std::string_view mantissa = text.substr(mantissaStart, end - mantissaStart);
        long long exponent = 0;
        const std::size_t exponentMark = mantissa.find_first_of("eE");
        if (exponentMark != std::string_view::npos) {
            std::string_view digits = mantissa.substr(exponentMark + 1);
            if (!digits.empty() && digits.front() == '+') {
                digits.remove_prefix(1);
            }
            auto parsed = std::from_chars(digits.data(), digits.data() + digits.size(), exponent);
            if (parsed.ec == std::errc::result_out_of_range) {
                exponent = digits.front() == '-' ? std::numeric_limits<int>::min()
                                                 : std::numeric_limits<int>::max();
            }
            // Far beyond any double either way, and small enough that adding the position of
            // the first digit below cannot overflow ("1e9223372036854775807").
            constexpr long long kExponentBound = 1LL << 48;
            exponent = std::clamp(exponent, -kExponentBound, kExponentBound);
        }
        const std::size_t significant = mantissa.find_first_of("123456789");
        std::size_t point = mantissa.find('.');
        if (point == std::string_view::npos) {
            point = std::min(exponentMark, mantissa.size());
        }
        const long long magnitude =
            exponent + (static_cast<long long>(point) - static_cast<long long>(significant));
        const double value = magnitude > 0 ? std::numeric_limits<double>::infinity() : 0.0;
        number.real = negative ? -value : value;
    }
    return number;
}

}  // namespace detail

}  // namespace vellinor
