#pragma once

// What a rule's jq program reads. Its input is the file's subject (a file rule) or one track
// (a track rule); $file is the subject, $ref the reference file's subject or null, and
// $reftrack the reference's track of the same kind at the same place among them, or null.

#include "policy/jq_c.h"

#include <string>
#include <string_view>

#include "base/expected.h"
#include "policy/policy.h"

namespace vellinor::policy {

// The user's program wrapped to take its variables from the object ruleInput makes.
std::string ruleProgram(const std::string& program);

// Every rule of `policy` as one jq program, its input made by ruleInput: the input's "rule"
// picks the rule, and "actual" whether its check or its actual value is wanted (null when it
// has none). One program, because libjq takes tens of milliseconds to compile each.
std::string policyProgram(const Policy& policy);

// The subject of a rule: the file's record (JSON text, as `vellinor-cli --record` writes one)
// with each track given "facts", its details rows as one object whose numbers are numbers
// ("48000" is 48000, a rate "30000/1001" its quotient, "0/0" stays text), and "format", the
// container's metadata rows as one object in the same way.
Expected<jv> ruleSubject(std::string_view recordJson);

// The input for rule number `rule` on `subject` (or on `track` of it; null for a file rule).
jv ruleInput(std::size_t rule, bool actual, jv subject, jv track, jv reference, jv referenceTrack);

}  // namespace vellinor::policy
