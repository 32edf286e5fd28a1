#pragma once

// A policy: named rules a media file's record must meet, read from a TOML file
// (policy/policy_file.h) and checked by policy/policy_check.h. Every rule is a jq program in the
// end; the short form (field, op, value) is compiled to one when the file is read.

#include <optional>
#include <string>
#include <vector>

namespace vellinor::policy {

enum class Severity { error, warning };

struct Rule {
    std::string name;
    Severity severity = Severity::error;
    // Empty: the rule looks at the whole file. Otherwise "video", "audio" or "subtitle": the
    // rule is checked on each track of that kind, and the file needs at least one.
    std::string trackKind;
    // The jq program: its first output must be true for the rule to pass. It reads the file's
    // subject (or, per track, the track) and may use $file, $ref and $reftrack.
    std::string program;
    // A jq expression over the same input giving the value shown as "actual" when the rule
    // fails; empty for none.
    std::string actualProgram;
    std::string expected;  // shown beside the actual value
    bool needsScan = false;
    bool needsReference = false;
    int line = 0;  // where the rule starts in the policy file
};

struct Policy {
    std::string name;
    std::string description;
    std::string sourceName;                // the policy file, as given
    std::optional<std::string> reference;  // the reference file, relative paths resolved
    std::vector<Rule> rules;

    [[nodiscard]] bool needsScan() const;
    [[nodiscard]] bool needsReference() const;
};

inline const char* severityName(Severity severity)
{
    return severity == Severity::error ? "error" : "warning";
}

}  // namespace vellinor::policy
