#pragma once

// Letter case of ASCII text, for names that are ASCII by rule (file extensions, ffprobe's keys
// and tags): a byte outside A-Z is left as it is, so UTF-8 text passes through unchanged.

#include <algorithm>
#include <string>
#include <string_view>

namespace vellinor {

constexpr char asciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline std::string asciiLowered(std::string_view text)
{
    std::string lower(text);
    for (char& c : lower)
        c = asciiLower(c);
    return lower;
}

// Whether `text` is `lowerCase` but for the case of its ASCII letters; `lowerCase` is given in
// lower case.
inline bool equalsIgnoringAsciiCase(std::string_view text, std::string_view lowerCase)
{
    return text.size() == lowerCase.size() &&
           std::equal(text.begin(), text.end(), lowerCase.begin(),
                      [](char a, char b) { return asciiLower(a) == b; });
}

}  // namespace vellinor
