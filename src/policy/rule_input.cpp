#include "policy/rule_input.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <string>

namespace vellinor::policy {
namespace {

// A details value as a number when the whole text is one.
jv factValue(jv text)
{
    const char* value = jv_string_value(text);
    const std::string_view view(value);
    if (view.empty() || view.size() > 64)
        return text;
    const bool plain = view.find_first_not_of("0123456789+-.eE") == std::string_view::npos;
    const std::size_t slash = view.find('/');
    char* end = nullptr;
    if (plain && (std::isdigit(static_cast<unsigned char>(view.front())) || view.front() == '-')) {
        errno = 0;
        const double number = std::strtod(value, &end);
        if (*end == '\0' && errno == 0 && std::isfinite(number)) {
            jv_free(text);
            return jv_number(number);
        }
    } else if (slash != std::string_view::npos && slash > 0 &&
               view.find_first_not_of("0123456789/") == std::string_view::npos &&
               view.find('/', slash + 1) == std::string_view::npos && slash + 1 < view.size()) {
        const double numerator = std::strtod(value, &end);
        const double denominator = std::strtod(value + slash + 1, &end);
        if (denominator != 0) {
            jv_free(text);
            return jv_number(numerator / denominator);
        }
    }
    return text;
}

// `{"key", "value"}` rows as one object, numbers as numbers.
jv rowsObject(jv rows)
{
    jv facts = jv_object();
    if (jv_get_kind(rows) == JV_KIND_ARRAY) {
        const int count = jv_array_length(jv_copy(rows));
        for (int i = 0; i < count; ++i) {
            jv row = jv_array_get(jv_copy(rows), i);
            if (jv_get_kind(row) == JV_KIND_OBJECT) {
                jv key = jv_object_get(jv_copy(row), jv_string("key"));
                jv value = jv_object_get(jv_copy(row), jv_string("value"));
                if (jv_get_kind(key) == JV_KIND_STRING) {
                    if (jv_get_kind(value) == JV_KIND_STRING)
                        value = factValue(value);
                    facts = jv_object_set(facts, key, value);
                } else {
                    jv_free(key);
                    jv_free(value);
                }
            }
            jv_free(row);
        }
    }
    jv_free(rows);
    return facts;
}

jv trackFacts(jv track)
{
    jv facts = rowsObject(jv_object_get(jv_copy(track), jv_string("trackKeyValue")));
    return jv_object_set(track, jv_string("facts"), facts);
}

}  // namespace

std::string ruleProgram(const std::string& program)
{
    // The user's text on lines of its own, so a trailing comment cannot swallow the wrapper.
    return ". as {file: $file, ref: $ref, reftrack: $reftrack} | .subject | (\n" + program + "\n)";
}

Expected<jv> ruleSubject(std::string_view recordJson)
{
    jv subject = jv_parse_sized(recordJson.data(), static_cast<int>(recordJson.size()));
    if (!jv_is_valid(subject)) {
        jv message = jv_invalid_get_msg(subject);
        std::string why =
            jv_get_kind(message) == JV_KIND_STRING ? jv_string_value(message) : "not JSON";
        jv_free(message);
        return Unexpected("the record is not JSON: " + why);
    }
    if (jv_get_kind(subject) != JV_KIND_OBJECT) {
        jv_free(subject);
        return Unexpected("the record is not a JSON object");
    }
    jv format = rowsObject(jv_object_get(jv_copy(subject), jv_string("metadata")));
    subject = jv_object_set(subject, jv_string("format"), format);
    jv tracks = jv_object_get(jv_copy(subject), jv_string("tracksInfo"));
    if (jv_get_kind(tracks) == JV_KIND_ARRAY) {
        const int count = jv_array_length(jv_copy(tracks));
        for (int i = 0; i < count; ++i) {
            jv track = jv_array_get(jv_copy(tracks), i);
            if (jv_get_kind(track) == JV_KIND_OBJECT)
                tracks = jv_array_set(tracks, i, trackFacts(track));
            else
                jv_free(track);
        }
        subject = jv_object_set(subject, jv_string("tracksInfo"), tracks);
    } else {
        jv_free(tracks);
    }
    return subject;
}

std::string policyProgram(const Policy& policy)
{
    std::string program = ". as {rule: $rule, actual: $actual} | ";
    for (std::size_t i = 0; i < policy.rules.size(); ++i) {
        const Rule& rule = policy.rules[i];
        program += i == 0 ? "if " : " elif ";
        program +=
            "$rule == " + std::to_string(i) + " then (if $actual then (" +
            (rule.actualProgram.empty() ? std::string("null") : ruleProgram(rule.actualProgram)) +
            ") else (" + ruleProgram(rule.program) + ") end)";
    }
    return program + " else error(\"no such rule\") end";
}

jv ruleInput(std::size_t rule, bool actual, jv subject, jv track, jv reference, jv referenceTrack)
{
    const bool perTrack = jv_get_kind(track) != JV_KIND_NULL;
    jv input = jv_object();
    input = jv_object_set(input, jv_string("rule"), jv_number(static_cast<double>(rule)));
    input = jv_object_set(input, jv_string("actual"), actual ? jv_true() : jv_false());
    input =
        jv_object_set(input, jv_string("subject"), perTrack ? jv_copy(track) : jv_copy(subject));
    input = jv_object_set(input, jv_string("file"), subject);
    input = jv_object_set(input, jv_string("ref"), reference);
    input = jv_object_set(input, jv_string("reftrack"), referenceTrack);
    jv_free(track);
    return input;
}

}  // namespace vellinor::policy
