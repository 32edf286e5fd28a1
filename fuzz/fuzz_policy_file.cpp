// Fuzz target: arbitrary bytes as a policy file. Reading must either fail with one line that
// starts with the file's name, or give rules that each have a name (unique), a program and the
// line they start on.

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "policy/policy_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    vellinor::fuzz::silenceDiagnostics();
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    auto policy = vellinor::policy::parsePolicy(text, "fuzz.toml");
    if (!policy) {
        FUZZ_CHECK(policy.error().rfind("fuzz.toml", 0) == 0);
        FUZZ_CHECK(policy.error().find('\n') == std::string::npos);
        return 0;
    }
    FUZZ_CHECK(!policy->rules.empty());
    std::set<std::string> names;
    for (const vellinor::policy::Rule& rule : policy->rules) {
        FUZZ_CHECK(!rule.name.empty());
        FUZZ_CHECK(names.insert(rule.name).second);
        FUZZ_CHECK(!rule.program.empty());
        FUZZ_CHECK(rule.line > 0);
        FUZZ_CHECK(rule.trackKind.empty() || rule.trackKind == "video" ||
                   rule.trackKind == "audio" || rule.trackKind == "subtitle");
    }
    return 0;
}
