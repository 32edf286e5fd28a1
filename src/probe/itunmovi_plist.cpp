// The "iTunMOVI" tag of MP4 files: an XML property list (as text) with the film's cast and
// crew, written by iTunes and its followers:
//     <plist version="1.0"><dict>
//       <key>studio</key><string>Studio</string>
//       <key>cast</key><array><dict><key>name</key><string>A</string></dict>
//                             <dict><key>name</key><string>B</string></dict></array>
//       <key>rating</key><dict><key>value</key><integer>4</integer></dict>
//     </dict></plist>
// gives studio.tags = Studio, cast.tags = A, B, and value.rating.tags = 4.

#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <memory>
#include <optional>

#include <plist/plist.h>

#include "base/diagnostics.h"
#include "probe/probe_text.h"

namespace vellinor::probe_detail {
namespace {

struct PlistDeleter {
    void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};
using PlistPtr = std::unique_ptr<void, PlistDeleter>;

struct MallocDeleter {
    void operator()(void* pointer) const { std::free(pointer); }
};

// Calls `visit(key, value)` for each entry of a dictionary node, in the list's order.
template <typename Visit>
void forEachEntry(plist_t dictionary, Visit&& visit)
{
    plist_dict_iter rawIterator = nullptr;
    plist_dict_new_iter(dictionary, &rawIterator);
    const std::unique_ptr<void, MallocDeleter> iterator(rawIterator);
    for (;;) {
        char* rawKey = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(dictionary, rawIterator, &rawKey, &value);
        const std::unique_ptr<char, MallocDeleter> key(rawKey);
        if (value == nullptr)
            return;
        visit(std::string(rawKey != nullptr ? rawKey : ""), value);
    }
}

std::optional<std::string> stringOf(plist_t node)
{
    if (plist_get_node_type(node) != PLIST_STRING)
        return std::nullopt;
    std::uint64_t length = 0;
    const char* text = plist_get_string_ptr(node, &length);
    if (text == nullptr)
        return std::string();
    return std::string(text, static_cast<std::size_t>(length));
}

// Property-list dates count seconds from 2001-01-01 00:00:00 UTC.
std::string dateText(plist_t node)
{
    constexpr std::int64_t secondsFrom1970To2001 = 978'307'200;
    std::int32_t seconds = 0;
    std::int32_t microseconds = 0;
    plist_get_date_val(node, &seconds, &microseconds);
    const auto unixTime = static_cast<std::time_t>(seconds + secondsFrom1970To2001);
    std::tm parts{};
    if (gmtime_r(&unixTime, &parts) == nullptr)
        return {};
    char buffer[64];
    const auto length = std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S +0000", &parts);
    return std::string(buffer, length);
}

// The plain text of a scalar: a text as itself, an integer in decimal, a real as the shortest
// text that reads back the same (3.0 gives 3), a Boolean true/false, a date in UTC. Data,
// lists and dictionaries have none.
std::optional<std::string> plainDescription(plist_t node)
{
    switch (plist_get_node_type(node)) {
        case PLIST_STRING:
            return stringOf(node);
        case PLIST_UINT: {
            std::uint64_t value = 0;
            plist_get_uint_val(node, &value);
            // libplist keeps negative integers in two's complement.
            return std::to_string(static_cast<std::int64_t>(value));
        }
        case PLIST_REAL: {
            double value = 0.0;
            plist_get_real_val(node, &value);
            char buffer[64];
            const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
            return std::string(buffer, result.ptr);
        }
        case PLIST_BOOLEAN: {
            std::uint8_t value = 0;
            plist_get_bool_val(node, &value);
            return std::string(value != 0 ? "true" : "false");
        }
        case PLIST_DATE:
            return dateText(node);
        default:
            return std::nullopt;
    }
}

// The "name" members of a list of dictionaries whose values are all texts, joined with ", ".
// Nothing when an element is anything else or has no "name".
std::optional<std::string> joinedNames(plist_t list)
{
    std::string joined;
    const std::uint32_t size = plist_array_get_size(list);
    for (std::uint32_t i = 0; i < size; ++i) {
        plist_t element = plist_array_get_item(list, i);
        if (element == nullptr || plist_get_node_type(element) != PLIST_DICT)
            return std::nullopt;
        bool allTexts = true;
        std::optional<std::string> name;
        forEachEntry(element, [&](const std::string& key, plist_t value) {
            auto text = stringOf(value);
            if (!text)
                allTexts = false;
            else if (key == "name")
                name = std::move(text);
        });
        if (!allTexts || !name)
            return std::nullopt;
        if (i > 0)
            joined += ", ";
        joined += *name;
    }
    return joined;
}

}  // namespace

void unpackITunMovi(const JSON& tagValue, RowMap& rows)
{
    const std::string bytes = tagValue.stringValue();
    plist_t parsed = nullptr;
    // The XML form only. libplist 2.2's binary reader aborts the whole program (a failed
    // assertion) on a dictionary key holding U+0000, and a binary list cannot reach us anyway:
    // ffprobe prints tags as C strings, and every binary list holds NUL bytes.
    if (!bytes.empty() && bytes.size() <= std::numeric_limits<std::uint32_t>::max())
        plist_from_xml(bytes.data(), static_cast<std::uint32_t>(bytes.size()), &parsed);
    const PlistPtr root(parsed);
    if (root == nullptr) {
        diagnostics::emitLine(
            "Could not read the iTunMOVI property list: it is not an XML property list.");
        return;
    }
    if (plist_get_node_type(parsed) != PLIST_DICT)
        return;

    forEachEntry(parsed, [&](const std::string& entry, plist_t value) {
        switch (plist_get_node_type(value)) {
            case PLIST_STRING:
                rows[entry + ".tags"] = *stringOf(value);
                break;
            case PLIST_DICT:
                forEachEntry(value, [&](const std::string& subkey, plist_t subvalue) {
                    if (auto text = plainDescription(subvalue))
                        rows[subkey + "." + entry + ".tags"] = std::move(*text);
                });
                break;
            case PLIST_ARRAY:
                if (auto names = joinedNames(value))
                    rows[entry + ".tags"] = std::move(*names);
                break;
            default:
                break;
        }
    });
}

}  // namespace vellinor::probe_detail
