#pragma once

#include <string>
#include <string_view>

namespace vellinor::policy {

// `text` as a JSON string literal, quotes included; bytes that are not UTF-8 become U+FFFD.
std::string jsonString(std::string_view text);

}  // namespace vellinor::policy
