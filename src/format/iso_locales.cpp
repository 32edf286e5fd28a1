#include "format/iso_locales.h"

#include <string>

#include "format/unicode_lower.h"

namespace vellinor {

IsoLocaleInfo IsoLocales::find(std::string_view code)
{
    // Codes in the table are lower-case ASCII, so "EN" and "En" must find English; the
    // Unicode-aware lowering keeps non-ASCII input from ever being folded onto a code wrongly.
    const std::string lowered = unicode::toLower(code);
    for (const IsoLocaleInfo& row : IsoLocaleCodes::all()) {
        // alpha2T is not tried: it always equals alpha2.
        if (lowered == row.alpha1 || lowered == row.alpha2 || lowered == row.alpha3 ||
            lowered == row.alpha2B)
            return row;
    }
    return {};
}

}  // namespace vellinor
