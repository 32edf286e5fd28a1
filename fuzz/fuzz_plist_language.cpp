// Fuzz target: arbitrary bytes as the text of a file's "iTunMOVI" tag (a property list, XML or
// binary, unpacked into metadata rows), and as a language code looked up in the ISO 639 table.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "format/iso_locales.h"
#include "fuzz_check.h"
#include "json/json.h"
#include "probe/file_probe.h"

namespace vellinor::fuzz {
namespace {

void checkMovieTag(std::string_view bytes)
{
    // {"format": {"tags": {"iTunMOVI": <bytes>}}}, as ffprobe prints an MP4 with the tag.
    const JSON document = JSON::dictionary(
        {{"format", JSON::dictionary(
                        {{"tags", JSON::dictionary({{"iTunMOVI", JSON(std::string(bytes))}})}})}});
    const KeyValueRows rows = FileProbe::containerMetadata(document);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        // Only rows of the property list's entries: the tag itself never shows.
        FUZZ_CHECK(rows[i].key.ends_with(".tags"));
        FUZZ_CHECK(rows[i].key != "iTunMOVI.tags");
        if (i > 0) {
            FUZZ_CHECK(rows[i - 1].key < rows[i].key);
        }
    }
}

bool isAscii(std::string_view text)
{
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::string asciiLower(std::string_view text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    return lower;
}

void checkLanguage(std::string_view code)
{
    const IsoLocaleInfo found = IsoLocales::find(code);
    const bool matched = !found.name.empty();
    if (matched) {
        // The row is one of the table's, and finding it by its own code gives it again.
        const auto& table = IsoLocaleCodes::all();
        FUZZ_CHECK(std::find(table.begin(), table.end(), found) != table.end());
        FUZZ_CHECK(IsoLocales::find(found.alpha1) == found);
        FUZZ_CHECK(IsoLocales::find(found.alpha2B) == found);
    } else {
        FUZZ_CHECK(found == IsoLocaleInfo{});
    }
    // For ASCII text, lower-casing is plain A-Z to a-z, so the answer is known exactly.
    if (isAscii(code)) {
        const std::string lower = asciiLower(code);
        const auto& table = IsoLocaleCodes::all();
        const auto row = std::find_if(table.begin(), table.end(), [&](const IsoLocaleInfo& info) {
            return lower == info.alpha1 || lower == info.alpha2 || lower == info.alpha3 ||
                   lower == info.alpha2B;
        });
        FUZZ_CHECK(row == table.end() ? !matched : found == *row);
    }
}

}  // namespace
}  // namespace vellinor::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace vellinor;
    fuzz::silenceDiagnostics();
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    fuzz::checkMovieTag(bytes);
    fuzz::checkLanguage(bytes);
    // Language tags are short; try each line as one too, so short codes come up often.
    std::size_t start = 0;
    for (std::size_t lines = 0; start <= bytes.size() && lines < 16; ++lines) {
        const std::size_t end = std::min(bytes.find('\n', start), bytes.size());
        fuzz::checkLanguage(bytes.substr(start, end - start));
        start = end + 1;
    }
    return 0;
}
