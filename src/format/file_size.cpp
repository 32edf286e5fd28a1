// getFileSize, getFileSizeHuman and the byte-count text they share.

#include <sys/stat.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <optional>
#include <string>
#include <system_error>

#include "base/diagnostics.h"
#include "format/utils.h"

namespace vellinor::Utils {
namespace {

// Reads the size from the file's attributes, printing one diagnostic line when it cannot.
// stat() only reads the inode: a FIFO, a device or a folder is never opened, so this cannot
// block. It follows symbolic links, so a link to a film reports the film's size.
std::optional<std::uint64_t> readSizeAttribute(const std::string& path)
{
    int error = 0;
    struct stat attributes {};
    if (path.find('\0') != std::string::npos)
        error = EINVAL;  // the system call would silently look at a shorter path
    else if (::stat(path.c_str(), &attributes) != 0)
        error = errno;
    if (error != 0) {
        diagnostics::emitLine("Failed to get file attributes for local path: " + path +
                              " with error: " + std::generic_category().message(error));
        return std::nullopt;
    }
    // st_size is signed; a negative value would be a broken file system, not a size.
    if (attributes.st_size < 0) {
        diagnostics::emitLine("Failed to get a size attribute from path: " + path);
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(attributes.st_size);
}

struct ByteUnit {
    const char* name;
    std::uint64_t divisor;
    int fractionDigits;
};

constexpr std::array<ByteUnit, 6> kUnits{{
    {"KB", 1'000ULL, 0},
    {"MB", 1'000'000ULL, 1},
    {"GB", 1'000'000'000ULL, 2},
    {"TB", 1'000'000'000'000ULL, 2},
    {"PB", 1'000'000'000'000'000ULL, 2},
    {"EB", 1'000'000'000'000'000'000ULL, 2},
}};

constexpr std::uint64_t powerOfTen(int exponent)
{
    std::uint64_t result = 1;
    for (int i = 0; i < exponent; ++i)
        result *= 10;
    return result;
}

// bytes / (divisor / 10^fractionDigits), rounded half to even, in exact integer arithmetic.
std::uint64_t scaledCount(std::uint64_t bytes, const ByteUnit& unit)
{
    const std::uint64_t step = unit.divisor / powerOfTen(unit.fractionDigits);
    std::uint64_t quotient = bytes / step;
    const std::uint64_t remainder = bytes % step;
    const std::uint64_t twice = remainder * 2;  // step <= 1e18, so this cannot overflow
    if (twice > step || (twice == step && quotient % 2 == 1))
        ++quotient;
    return quotient;
}

std::string renderScaled(std::uint64_t scaled, const ByteUnit& unit)
{
    const std::uint64_t denominator = powerOfTen(unit.fractionDigits);
    std::string text = std::to_string(scaled / denominator);
    std::uint64_t fraction = scaled % denominator;
    int digits = unit.fractionDigits;
    while (digits > 0 && fraction % 10 == 0) {
        fraction /= 10;
        --digits;
    }
    if (digits > 0) {
        std::string fractionText = std::to_string(fraction);
        text += '.';
        text.append(static_cast<std::size_t>(digits) - fractionText.size(), '0');
        text += fractionText;
    }
    return text + ' ' + unit.name;
}

}  // namespace

std::string formatByteCount(std::uint64_t bytes)
{
    if (bytes == 1)
        return "1 byte";
    if (bytes < kUnits[0].divisor)
        return std::to_string(bytes) + " bytes";

    std::size_t index = 0;
    while (index + 1 < kUnits.size() && bytes >= kUnits[index + 1].divisor)
        ++index;
    std::uint64_t scaled = scaledCount(bytes, kUnits[index]);
    // 999,999 bytes round to 1000 KB; show that as the next unit, "1 MB".
    if (index + 1 < kUnits.size() && scaled >= 1000 * powerOfTen(kUnits[index].fractionDigits)) {
        ++index;
        scaled = scaledCount(bytes, kUnits[index]);
    }
    return renderScaled(scaled, kUnits[index]);
}

std::uint64_t getFileSize(const std::string& path)
{
    return readSizeAttribute(path).value_or(0);
}

std::string getFileSizeHuman(const std::string& path)
{
    const auto size = readSizeAttribute(path);
    if (!size)
        return "Unknown File Size";
    return formatByteCount(*size);
}

}  // namespace vellinor::Utils
