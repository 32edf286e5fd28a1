#pragma once

// The ISO 639 language table (184 rows, one per ISO 639-1 code) and its lookup.

#include <array>
#include <string>
#include <string_view>

namespace vellinor {

struct IsoLocaleInfo {
    std::string_view name;     // English name, as the table has it
    std::string_view local;    // the language's own name for itself
    std::string_view alpha1;   // ISO 639-1
    std::string_view alpha2;   // ISO 639-2/T
    std::string_view alpha2T;  // ISO 639-2/T (always equal to alpha2)
    std::string_view alpha2B;  // ISO 639-2/B
    std::string_view alpha3;   // always equal to alpha2

    friend bool operator==(const IsoLocaleInfo&, const IsoLocaleInfo&) = default;
};

class IsoLocaleCodes {
public:
    static constexpr std::size_t kCount = 184;
    static const std::array<IsoLocaleInfo, kCount>& all();
};

class IsoLocales {
public:
    // The row whose alpha1, alpha2, alpha3 or alpha2B equals the Unicode-lower-cased code (no
    // trimming); a record of seven empty texts when none does.
    static IsoLocaleInfo find(std::string_view code);
};

}  // namespace vellinor
