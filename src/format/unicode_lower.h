#pragma once

// Unicode lower-casing of UTF-8 text, independent of the locale.

#include <string>
#include <string_view>

namespace vellinor::unicode {

// The full (unconditional) lower-case mapping of the capitals of Basic Latin, Latin-1, Latin
// Extended-A and -B, Latin Extended Additional, Greek and Coptic, Cyrillic and its Supplement,
// Armenian, full-width Latin, and of the letter-like symbols that lower to letters (KELVIN
// SIGN gives "k", ANGSTROM SIGN "å", OHM SIGN "ω"); "İ" gives "i" followed by U+0307. Other
// code points are kept, and so is a final capital sigma (it gives "σ", never "ς"). Bytes that
// are not well-formed UTF-8 are kept as they are, one by one.
std::string toLower(std::string_view utf8);

}  // namespace vellinor::unicode
