#pragma once

// Checking files against a policy. Rules are evaluated in a child process, so a hostile rule or
// record (`def f: f; f`, `[range(1e12)]`) costs at most the time and memory limits: the rule
// counts as failed with the reason and checking goes on with the next one.

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/expected.h"
#include "policy/policy.h"

namespace vellinor::policy {

struct RuleOutcome {
    bool passed = false;
    std::string actual;  // the value found (JSON text), when the rule failed and says one
    std::string reason;  // why it failed to evaluate, or which tracks failed; empty if passed
};

struct FileOutcome {
    std::vector<RuleOutcome> rules;  // in the policy's order
    [[nodiscard]] std::size_t failedCount(const Policy& policy, Severity severity) const;
    [[nodiscard]] bool passed(const Policy& policy) const  // no error rule failed
    {
        return failedCount(policy, Severity::error) == 0;
    }
};

struct CheckLimits {
    std::chrono::milliseconds perRule{2000};         // one rule on one file (all its tracks)
    std::size_t memoryBytes = std::size_t(1) << 30;  // beyond what the program holds already
};

class PolicyChecker {
public:
    // Fails when a program does not compile (parsePolicy has checked them already).
    static Expected<std::shared_ptr<PolicyChecker>> make(Policy policy, CheckLimits limits = {});
    ~PolicyChecker();
    PolicyChecker(const PolicyChecker&) = delete;
    PolicyChecker& operator=(const PolicyChecker&) = delete;

    [[nodiscard]] const Policy& policy() const { return m_policy; }

    // Each record (JSON text, `--record`'s object for one file) against every rule, with the
    // reference file's record when the policy compares with one. Not callable from two threads
    // at once on the same checker.
    std::vector<FileOutcome> check(const std::vector<std::string>& records,
                                   const std::optional<std::string>& referenceRecord = {});

    struct Programs;

private:
    PolicyChecker(Policy policy, CheckLimits limits);
    Policy m_policy;
    CheckLimits m_limits;
    std::unique_ptr<Programs> m_programs;
};

}  // namespace vellinor::policy
