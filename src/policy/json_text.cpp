#include "policy/json_text.h"

#include <fmt/format.h>

#include "json/json.h"

namespace vellinor::policy {

std::string jsonString(std::string_view raw)
{
    const std::string text = mendUtf8(raw);
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\')
            out += {'\\', c};
        else if (byte < 0x20)
            out += fmt::format("\\u{:04x}", byte);
        else
            out += c;
    }
    return out + "\"";
}

}  // namespace vellinor::policy
