#include "policy/short_form.h"

#include <fmt/format.h>
#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

#include "policy/json_text.h"
#include "probe/field_explanations.h"

namespace vellinor::policy {
namespace {

// The record's keys (README, "Record format").
constexpr std::array<std::string_view, 25> kRecordKeys{"path",
                                                       "fileName",
                                                       "fileSize",
                                                       "fileSizeHuman",
                                                       "hasErrors",
                                                       "isValidMediaFile",
                                                       "isEncrypted",
                                                       "numberOfTracks",
                                                       "duration",
                                                       "durationHuman",
                                                       "bitrate",
                                                       "bitrateHuman",
                                                       "numberOfVideoTracks",
                                                       "numberOfAudioTracks",
                                                       "numberOfSubtitleTracks",
                                                       "tracksInfo",
                                                       "metadata",
                                                       "firstVideoTrackInfo",
                                                       "firstAudioTrackInfo",
                                                       "toolProblem",
                                                       "overview",
                                                       "problem",
                                                       "chapters",
                                                       "scan",
                                                       "format"};

constexpr std::array<std::string_view, 12> kScanKeys{"damaged",
                                                     "decodeErrors",
                                                     "truncated",
                                                     "truncation",
                                                     "containerErrors",
                                                     "containerMessages",
                                                     "declaredDuration",
                                                     "duration",
                                                     "size",
                                                     "sha256",
                                                     "md5",
                                                     "streams"};

// A track's own keys; everything else is one of its details rows, under "facts".
constexpr std::array<std::string_view, 9> kTrackKeys{
    "trackNumber",   "trackType",      "trackCodec", "trackDuration", "trackDurationHuman",
    "trackLanguage", "trackExtraInfo", "hdr",        "facts"};

template <std::size_t N>
bool among(const std::array<std::string_view, N>& names, std::string_view name)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

std::vector<std::string> dottedSegments(const std::string& field)
{
    std::vector<std::string> segments;
    std::size_t start = 0;
    for (;;) {
        const std::size_t dot = field.find('.', start);
        segments.push_back(field.substr(start, dot - start));
        if (dot == std::string::npos)
            return segments;
        start = dot + 1;
    }
}

bool endsWith(std::string_view text, std::string_view suffix)
{
    return text.size() > suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

bool isStreamField(std::string_view field)
{
    if (endsWith(field, ".tags") || endsWith(field, ".disposition"))
        return true;
    const auto entries = streamFieldExplanations();
    return std::any_of(entries.begin(), entries.end(),
                       [field](const FieldExplanation& entry) { return entry.field == field; });
}

// The jq path of the field, as getpath's argument: facts keys hold dots of their own
// ("language.tags"), so a track field that is not a track key is one step under "facts", and
// a container field one step under "format".
std::string jqPath(const ShortForm& form)
{
    std::vector<std::string> steps;
    const auto segments = dottedSegments(form.field);
    if (form.perTrack && !among(kTrackKeys, segments.front()))
        steps = {"facts", form.field};
    else if (!form.perTrack && segments.front() == "format" && segments.size() > 1)
        steps = {"format", form.field.substr(7)};
    else
        steps = segments;
    std::string path = "[";
    for (std::size_t i = 0; i < steps.size(); ++i) {
        if (i > 0)
            path += ',';
        path += jsonString(steps[i]);
    }
    return path + "]";
}

std::string absolute(const std::string& difference)
{
    return fmt::format("(({}) | if . < 0 then -. else . end)", difference);
}

}  // namespace

bool knownField(const std::string& field, bool perTrack)
{
    if (field.empty())
        return false;
    const auto segments = dottedSegments(field);
    if (std::any_of(segments.begin(), segments.end(),
                    [](const std::string& s) { return s.empty(); }))
        return false;
    if (perTrack)
        return among(kTrackKeys, segments.front()) || isStreamField(field);
    if (!among(kRecordKeys, segments.front()))
        return false;
    return segments.front() != "scan" || segments.size() == 1 || among(kScanKeys, segments[1]);
}

Expected<CompiledRule> compileShortForm(const ShortForm& form)
{
    if (!knownField(form.field, form.perTrack))
        return Unexpected(
            fmt::format("unknown {}field \"{}\"", form.perTrack ? "track " : "", form.field));
    static constexpr std::array<std::string_view, 9> kOperators{"==", "!=", "<",       "<=",    ">",
                                                                ">=", "in", "matches", "exists"};
    if (!among(kOperators, form.op))
        return Unexpected(
            fmt::format("unknown op \"{}\" (one of ==, !=, <, <=, >, >=, in, "
                        "matches, exists)",
                        form.op));
    const bool ordering = form.op == "<" || form.op == "<=" || form.op == ">" || form.op == ">=";
    const bool hasValue = !form.valueJson.empty() || form.sameAsReference;
    if (form.op == "exists") {
        if (hasValue || form.tolerance)
            return Unexpected("op \"exists\" takes no value or tolerance");
    } else if (!hasValue) {
        return Unexpected(fmt::format("op \"{}\" needs a value (or same_as_reference)", form.op));
    }
    if (!form.valueJson.empty() && form.sameAsReference)
        return Unexpected("a rule has a value or same_as_reference, not both");
    if (ordering && !form.valueIsNumber && !form.sameAsReference)
        return Unexpected(fmt::format("op \"{}\" needs a number as its value", form.op));
    if (form.op == "in" && (form.sameAsReference || form.valueJson.front() != '['))
        return Unexpected("op \"in\" needs a list as its value");
    if (form.op == "matches" && (form.sameAsReference || form.valueJson.front() != '"'))
        return Unexpected("op \"matches\" needs a regular expression (a string) as its value");
    if (form.tolerance) {
        if (*form.tolerance < 0)
            return Unexpected("tolerance must not be negative");
        const bool numeric = form.valueIsNumber || form.sameAsReference || form.op == "in";
        if (!numeric || ordering || form.op == "matches")
            return Unexpected("tolerance goes with ==, != or in and numbers");
    }

    const std::string path = jqPath(form);
    const std::string name = jsonString(form.field);
    CompiledRule rule;
    rule.actualProgram = fmt::format("getpath({})", path);
    if (form.op == "exists") {
        rule.program = fmt::format("getpath({}) != null", path);
        rule.expected = "present";
        return rule;
    }

    std::string value = form.valueJson;
    std::string guard;
    const bool numeric = form.valueIsNumber || ordering || form.tolerance.has_value();
    if (form.sameAsReference) {
        const char* other = form.perTrack ? "$reftrack" : "$ref";
        value = "$want";
        guard = fmt::format(
            "({} | getpath({})) as $want | if $want == null then "
            "error(\"the reference has no \" + {}) else ",
            other, path, name);
        rule.expected =
            form.op == "==" ? "the reference's value" : form.op + " the reference's value";
    } else {
        rule.expected = form.op + " " + form.valueJson;
    }
    if (form.tolerance)
        rule.expected += fmt::format(" ± {}", *form.tolerance);

    std::string comparison;
    const std::string tolerance = form.tolerance ? fmt::format("{}", *form.tolerance) : "";
    if (form.op == "in") {
        comparison = form.tolerance
                         ? fmt::format("any({}[]; {} <= {})", value, absolute(". - $a"), tolerance)
                         : fmt::format("any({}[]; . == $a)", value);
    } else if (form.op == "matches") {
        comparison = fmt::format("($a | test({}))", value);
    } else if (form.tolerance) {
        comparison = fmt::format("{} {} {}", absolute("$a - " + value),
                                 form.op == "==" ? "<=" : ">", tolerance);
    } else {
        comparison = fmt::format("$a {} {}", form.op, value);
    }

    std::string typeCheck;
    if (numeric)
        typeCheck = fmt::format(
            "if ($a | type) != \"number\" then error({} + \" is \" + ($a | "
            "tojson) + \", not a number\") else ",
            name);
    else if (form.op == "matches")
        typeCheck = fmt::format(
            "if ($a | type) != \"string\" then error({} + \" is \" + ($a | "
            "tojson) + \", not a text\") else ",
            name);
    rule.program = fmt::format(
        "getpath({}) as $a | if $a == null then error(\"no \" + {}) else {}{}{}{}{} end", path,
        name, guard, typeCheck, comparison, typeCheck.empty() ? "" : " end",
        guard.empty() ? "" : " end");
    if (form.sameAsReference)
        rule.actualProgram =
            fmt::format("{{actual: getpath({0}), reference: ({1} | getpath({0}))}}", path,
                        form.perTrack ? "$reftrack" : "$ref");
    return rule;
}

}  // namespace vellinor::policy
