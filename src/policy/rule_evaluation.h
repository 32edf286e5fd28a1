#pragma once

// Evaluating the rules on one file at a time, in this process (PolicyChecker runs it in a
// child, which bounds its time and memory).

#include "policy/jq_c.h"

#include <optional>
#include <string>
#include <vector>

#include "policy/jq_program.h"
#include "policy/policy.h"
#include "policy/policy_check.h"

namespace vellinor::policy {

class RuleEvaluator {
public:
    // `rules` is policyProgram(policy), compiled.
    RuleEvaluator(const Policy& policy, JqProgram& rules,
                  const std::optional<std::string>& referenceRecord);
    ~RuleEvaluator();
    RuleEvaluator(const RuleEvaluator&) = delete;
    RuleEvaluator& operator=(const RuleEvaluator&) = delete;

    void setRecord(const std::string& recordJson);
    RuleOutcome evaluate(std::size_t rule);

private:
    // One input's verdict: passed, or why not (actual filled when it says).
    RuleOutcome evaluateOn(std::size_t rule, jv track, jv referenceTrack);

    const Policy& m_policy;
    JqProgram& m_rules;
    jv m_reference;
    std::string m_referenceProblem;
    jv m_subject;
    std::string m_subjectProblem;
};

// The tracks of `subject` whose trackType is `kind` ("audio" takes "Audio"), in order; consumes
// nothing.
std::vector<jv> tracksOfKind(jv subject, const std::string& kind);

}  // namespace vellinor::policy
