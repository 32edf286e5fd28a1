#pragma once

// The short form of a rule, `field = "sample_rate"`, `op = "=="`, `value = 48000`,
// `tolerance = 0`, compiled to the jq program that checks it, so that every rule is evaluated
// the same way.

#include <optional>
#include <string>

#include "base/expected.h"

namespace vellinor::policy {

struct ShortForm {
    std::string field;
    std::string op;  // ==, !=, <, <=, >, >=, in, matches, exists
    // The value as a JSON literal (1920, "h264", [44100, 48000]); empty with sameAsReference or
    // the "exists" operator.
    std::string valueJson;
    bool valueIsNumber = false;
    std::optional<double> tolerance;
    bool sameAsReference = false;  // compare with the same field of the reference file
    bool perTrack = false;
};

struct CompiledRule {
    std::string program;
    std::string actualProgram;
    std::string expected;
};

// The failure names what is wrong with the short form ("unknown field \"widht\"").
Expected<CompiledRule> compileShortForm(const ShortForm& form);

// Whether a field name can be checked: a record key ("duration", "firstVideoTrackInfo.width",
// "scan.decodeErrors") for a file rule; a track key ("trackCodec", "hdr.summary") or one of
// the probe tool's stream fields ("sample_rate", "language.tags") for a track rule.
bool knownField(const std::string& field, bool perTrack);

}  // namespace vellinor::policy
