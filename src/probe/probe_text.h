#pragma once

// Small text rules shared by the derivations of the probe record (internal to src/probe).

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "json/json.h"

namespace vellinor::probe_detail {

// Row name to row text; names are unique, later entries replace earlier ones, and iteration is
// in byte order, which is Unicode code point order for UTF-8 names.
using RowMap = std::map<std::string, std::string>;

// A value as the details tables show it: a text without quotes, a number in decimal, true/false,
// null, or the pretty-printed JSON of an array or object; "unknown" when the writer gives none.
std::string rawText(const JSON& value);

// Bits per second as kilobits per second: 1500 gives "1.5kbps", 0 gives "0.0kbps".
std::string kbpsText(std::int64_t bitsPerSecond);

// True when `value` is a text value with exactly this content (a missing member, a number or any
// other kind never matches), as comparing with JSON(text) does, without building a value.
bool isText(const JSON& value, std::string_view text);

// Unpacks the property list of an "iTunMOVI" tag into `rows` ("<entry>.tags" and
// "<subkey>.<entry>.tags"). A text that is not a property list adds nothing and prints one
// diagnostic line.
void unpackITunMovi(const JSON& tagValue, RowMap& rows);

}  // namespace vellinor::probe_detail
