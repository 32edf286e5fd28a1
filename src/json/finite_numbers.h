#pragma once

// JSON text has no infinity or NaN, and a value holding one cannot be written out at all (a
// video of height 0 has an infinite ratio, a duration "1e999" an infinite length). Records keep
// such a number as null.

#include "json/json.h"

namespace vellinor {

// `value` as a number, or null when it is not finite.
JSON finiteNumberOrNull(double value);

// `value` with every non-finite number inside it (at any depth) replaced by null.
JSON withFiniteNumbers(const JSON& value);

}  // namespace vellinor
