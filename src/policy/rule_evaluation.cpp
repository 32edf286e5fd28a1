#include "policy/rule_evaluation.h"

#include <fmt/format.h>
#include <cctype>

#include "policy/rule_input.h"

namespace vellinor::policy {
namespace {

bool sameKind(const char* trackType, const std::string& kind)
{
    const std::string_view type(trackType);
    if (type.size() != kind.size())
        return false;
    for (std::size_t i = 0; i < kind.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(type[i])) != kind[i])
            return false;
    return true;
}

}  // namespace

std::vector<jv> tracksOfKind(jv subject, const std::string& kind)
{
    std::vector<jv> found;
    if (jv_get_kind(subject) != JV_KIND_OBJECT)
        return found;
    jv tracks = jv_object_get(jv_copy(subject), jv_string("tracksInfo"));
    if (jv_get_kind(tracks) == JV_KIND_ARRAY) {
        const int count = jv_array_length(jv_copy(tracks));
        for (int i = 0; i < count; ++i) {
            jv track = jv_array_get(jv_copy(tracks), i);
            jv type = jv_get_kind(track) == JV_KIND_OBJECT
                          ? jv_object_get(jv_copy(track), jv_string("trackType"))
                          : jv_null();
            if (jv_get_kind(type) == JV_KIND_STRING && sameKind(jv_string_value(type), kind))
                found.push_back(track);
            else
                jv_free(track);
            jv_free(type);
        }
    }
    jv_free(tracks);
    return found;
}

RuleEvaluator::RuleEvaluator(const Policy& policy, JqProgram& rules,
                             const std::optional<std::string>& referenceRecord)
    : m_policy(policy), m_rules(rules), m_reference(jv_null()), m_subject(jv_null())
{
    if (referenceRecord) {
        auto reference = ruleSubject(*referenceRecord);
        if (reference)
            m_reference = *reference;
        else
            m_referenceProblem = "the reference file's " + reference.error().substr(4);
    }
}

RuleEvaluator::~RuleEvaluator()
{
    jv_free(m_reference);
    jv_free(m_subject);
}

void RuleEvaluator::setRecord(const std::string& recordJson)
{
    jv_free(m_subject);
    m_subject = jv_null();
    m_subjectProblem.clear();
    auto subject = ruleSubject(recordJson);
    if (subject)
        m_subject = *subject;
    else
        m_subjectProblem = subject.error();
}

RuleOutcome RuleEvaluator::evaluateOn(std::size_t rule, jv track, jv referenceTrack)
{
    RuleOutcome outcome;
    auto answer = m_rules.first(ruleInput(rule, false, jv_copy(m_subject), jv_copy(track),
                                          jv_copy(m_reference), jv_copy(referenceTrack)));
    if (!answer) {
        outcome.reason = answer.error();
    } else {
        const jv_kind kind = jv_get_kind(*answer);
        if (kind == JV_KIND_TRUE)
            outcome.passed = true;
        else if (kind != JV_KIND_FALSE)
            outcome.reason =
                fmt::format("gave {}, not true or false", jvText(jv_copy(*answer), 80));
        jv_free(*answer);
    }
    if (!outcome.passed && !m_policy.rules[rule].actualProgram.empty()) {
        auto actual = m_rules.first(ruleInput(rule, true, jv_copy(m_subject), jv_copy(track),
                                              jv_copy(m_reference), jv_copy(referenceTrack)));
        // A missing value says nothing the reason does not.
        if (actual && jv_get_kind(*actual) != JV_KIND_NULL)
            outcome.actual = jvText(*actual);
        else if (actual)
            jv_free(*actual);
    }
    jv_free(referenceTrack);
    jv_free(track);
    return outcome;
}

RuleOutcome RuleEvaluator::evaluate(std::size_t index)
{
    const Rule& rule = m_policy.rules[index];
    if (!m_subjectProblem.empty())
        return {false, {}, m_subjectProblem};
    if (rule.needsReference && !m_referenceProblem.empty())
        return {false, {}, m_referenceProblem};
    if (rule.trackKind.empty())
        return evaluateOn(index, jv_null(), jv_null());

    const std::vector<jv> tracks = tracksOfKind(m_subject, rule.trackKind);
    if (tracks.empty())
        return {false, {}, fmt::format("the file has no {} track", rule.trackKind)};
    const std::vector<jv> referenceTracks = tracksOfKind(m_reference, rule.trackKind);
    RuleOutcome overall{true, {}, {}};
    for (std::size_t i = 0; i < tracks.size(); ++i) {
        jv number = jv_object_get(jv_copy(tracks[i]), jv_string("trackNumber"));
        const std::string label = jv_get_kind(number) == JV_KIND_NUMBER
                                      ? fmt::format("track {}", jv_number_value(number))
                                      : fmt::format("{} track {}", rule.trackKind, i + 1);
        jv_free(number);
        RuleOutcome one = evaluateOn(
            index, tracks[i], i < referenceTracks.size() ? jv_copy(referenceTracks[i]) : jv_null());
        if (one.passed)
            continue;
        overall.passed = false;
        const auto join = [&](std::string& into, const std::string& part) {
            if (part.empty())
                return;
            into += (into.empty() ? "" : "; ") + label + ": " + part;
        };
        join(overall.actual, one.actual);
        join(overall.reason, one.reason);
    }
    for (jv track : referenceTracks)
        jv_free(track);
    return overall;
}

}  // namespace vellinor::policy
