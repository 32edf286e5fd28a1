#pragma once

// Reading a policy file (TOML). The README's "Policies" section describes the schema:
//
//     name = "Broadcast HD delivery"
//     [[rule]]
//     name = "Full HD"
//     tracks = "video"
//     field = "width"
//     op = "=="
//     value = 1920
//
// A policy that cannot be used fails with one line naming the file, the line and the rule:
// `hd.toml:12: rule "Full HD": unknown op "=<"`.

#include <string>
#include <string_view>

#include "base/expected.h"
#include "policy/policy.h"

namespace vellinor::policy {

// The policy in `text`; `sourceName` names it in failures and is where a relative reference
// path is taken from. The jq programs are compiled by PolicyChecker::make, which names the rule
// of a syntax error in the same way.
Expected<Policy> parsePolicy(std::string_view text, const std::string& sourceName);

// The policy file at `path` (at most 1 MiB).
Expected<Policy> loadPolicy(const std::string& path);

}  // namespace vellinor::policy
