// Fuzz target: arbitrary bytes as the names embedded attachments give themselves, made safe and
// unique the way they are before being written into a folder.

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "probe/attachment_names.h"

namespace vellinor::fuzz {
namespace {

// True for valid UTF-8 without controls, separators or direction marks (the same decoding as
// the code under test would be no check at all, so this one is written plainly).
bool isCleanUtf8(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        if (lead >= 0x80 && lead < 0xC2)
            return false;
        if (i + length > text.size())
            return false;
        char32_t c = length == 1 ? lead : lead & (0x7Fu >> length);
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0u) != 0x80u)
                return false;
            c = (c << 6) | (next & 0x3Fu);
        }
        const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (c < smallest[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            return false;
        if (c < 0x20 || c == '/' || c == '\\' || (c >= 0x7F && c <= 0x9F) ||
            (c >= 0x2028 && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069) || c == 0x200E ||
            c == 0x200F)
            return false;
        i += length;
    }
    return true;
}

void checkSafe(std::string_view name)
{
    FUZZ_CHECK(!name.empty());
    FUZZ_CHECK(name.size() <= kMaxFileNameBytes);
    FUZZ_CHECK(name.front() != '.' && name.front() != ' ' && name.back() != ' ');
    FUZZ_CHECK(isCleanUtf8(name));
}

}  // namespace
}  // namespace vellinor::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace vellinor;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    const std::string safe = safeFileName(bytes);
    if (!safe.empty())
        fuzz::checkSafe(safe);
    FUZZ_CHECK(safeFileName(safe) == safe);

    // Each line a name from one media file: every name handed out is safe and none twice,
    // also when the folder already holds some of them.
    std::set<std::string> handedOut;
    UniqueFileNames names([](const std::string& name) { return name.size() % 7 == 3; });
    std::size_t start = 0;
    for (std::size_t lines = 0; start <= bytes.size() && lines < 64; ++lines) {
        const std::size_t end = std::min(bytes.find('\n', start), bytes.size());
        const std::string name = names.take(safeFileName(bytes.substr(start, end - start)));
        fuzz::checkSafe(name);
        FUZZ_CHECK(name.size() % 7 != 3);
        FUZZ_CHECK(handedOut.insert(name).second);
        start = end + 1;
    }
    return 0;
}
