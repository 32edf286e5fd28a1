#include "policy/policy_file.h"

#include <toml++/toml.h>

#include <fmt/format.h>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <set>

#include "policy/json_text.h"
#include "policy/short_form.h"

namespace vellinor::policy {
namespace {

constexpr std::size_t kMaxPolicyBytes = 1 << 20;
constexpr std::size_t kMaxRules = 10'000;

const std::set<std::string, std::less<>> kPolicyKeys{"name", "description", "reference", "rule"};
const std::set<std::string, std::less<>> kRuleKeys{
    "name",  "severity", "tracks", "jq",        "actual",           "expected",
    "field", "op",       "value",  "tolerance", "same_as_reference"};

struct Problem {
    int line = 0;
    std::string rule;
    std::string why;
};

int lineOf(const toml::node& node)
{
    return static_cast<int>(node.source().begin.line);
}

// A TOML value as a JSON literal for the short form's value.
std::optional<std::string> jsonLiteral(const toml::node& node)
{
    if (const auto* text = node.as_string())
        return jsonString(text->get());
    if (const auto* integer = node.as_integer())
        return std::to_string(integer->get());
    if (const auto* real = node.as_floating_point()) {
        if (!std::isfinite(real->get()))
            return std::nullopt;
        return fmt::format("{}", real->get());
    }
    if (const auto* boolean = node.as_boolean())
        return boolean->get() ? "true" : "false";
    if (const auto* list = node.as_array()) {
        std::string out = "[";
        for (std::size_t i = 0; i < list->size(); ++i) {
            const toml::node* member = list->get(i);
            if (member == nullptr || member->is_array())
                return std::nullopt;
            auto element = jsonLiteral(*member);
            if (!element)
                return std::nullopt;
            out += (i ? "," : "") + *element;
        }
        return out + "]";
    }
    return std::nullopt;
}

std::optional<std::string> textOf(const toml::table& table, std::string_view key, Problem& problem,
                                  int line)
{
    const toml::node* node = table.get(key);
    if (node == nullptr)
        return std::nullopt;
    if (!node->is_string()) {
        problem = {lineOf(*node), problem.rule, fmt::format("\"{}\" must be a text", key)};
        return std::nullopt;
    }
    (void)line;
    return node->as_string()->get();
}

bool mentions(const std::string& program, std::string_view word)
{
    return program.find(word) != std::string::npos;
}

// One [[rule]] table, or why it cannot be used (problem.why set).
std::optional<Rule> readRule(const toml::table& table, std::size_t index, Problem& problem)
{
    Rule rule;
    rule.line = lineOf(table);
    problem = {rule.line, fmt::format("#{}", index + 1), {}};
    const toml::node* nameNode = table.get("name");
    if (nameNode == nullptr || !nameNode->is_string() || nameNode->as_string()->get().empty()) {
        problem.why = "every rule needs a name (a text)";
        return std::nullopt;
    }
    rule.name = nameNode->as_string()->get();
    problem.rule = fmt::format("\"{}\"", rule.name);
    for (const auto& [key, node] : table) {
        if (!kRuleKeys.contains(key.str())) {
            problem = {lineOf(node), problem.rule, fmt::format("unknown key \"{}\"", key.str())};
            return std::nullopt;
        }
    }
    if (auto severity = textOf(table, "severity", problem, rule.line)) {
        if (*severity == "warning")
            rule.severity = Severity::warning;
        else if (*severity != "error") {
            problem.line = lineOf(*table.get("severity"));
            problem.why =
                fmt::format("severity \"{}\" is neither \"error\" nor \"warning\"", *severity);
            return std::nullopt;
        }
    }
    if (auto tracks = textOf(table, "tracks", problem, rule.line)) {
        if (*tracks != "video" && *tracks != "audio" && *tracks != "subtitle") {
            problem.line = lineOf(*table.get("tracks"));
            problem.why =
                fmt::format("tracks \"{}\" is not \"video\", \"audio\" or \"subtitle\"", *tracks);
            return std::nullopt;
        }
        rule.trackKind = *tracks;
    }
    auto jqText = textOf(table, "jq", problem, rule.line);
    auto actual = textOf(table, "actual", problem, rule.line);
    auto expected = textOf(table, "expected", problem, rule.line);
    auto field = textOf(table, "field", problem, rule.line);
    auto op = textOf(table, "op", problem, rule.line);
    if (!problem.why.empty())
        return std::nullopt;

    if (jqText && field) {
        problem.why = "a rule has \"jq\" or \"field\", not both";
        return std::nullopt;
    }
    if (jqText) {
        for (const char* key : {"op", "value", "tolerance", "same_as_reference"})
            if (table.contains(key)) {
                problem.line = lineOf(*table.get(key));
                problem.why = fmt::format("\"{}\" goes with \"field\", not with \"jq\"", key);
                return std::nullopt;
            }
        rule.program = *jqText;
        rule.actualProgram = actual.value_or("");
        rule.expected = expected.value_or(*jqText);
    } else if (field) {
        ShortForm form;
        form.field = *field;
        form.op = op.value_or("==");
        form.perTrack = !rule.trackKind.empty();
        if (const toml::node* value = table.get("value")) {
            auto literal = jsonLiteral(*value);
            if (!literal) {
                problem.line = lineOf(*value);
                problem.why = "\"value\" must be a number, a text, true, false or a list of those";
                return std::nullopt;
            }
            form.valueJson = *literal;
            form.valueIsNumber = value->is_number();
        }
        if (const toml::node* tolerance = table.get("tolerance")) {
            if (!tolerance->is_number()) {
                problem.line = lineOf(*tolerance);
                problem.why = "\"tolerance\" must be a number";
                return std::nullopt;
            }
            form.tolerance = tolerance->value<double>();
        }
        if (const toml::node* same = table.get("same_as_reference")) {
            if (!same->is_boolean()) {
                problem.line = lineOf(*same);
                problem.why = "\"same_as_reference\" must be true or false";
                return std::nullopt;
            }
            form.sameAsReference = same->as_boolean()->get();
        }
        auto compiled = compileShortForm(form);
        if (!compiled) {
            problem.why = compiled.error();
            return std::nullopt;
        }
        rule.program = compiled->program;
        rule.actualProgram = actual.value_or(compiled->actualProgram);
        rule.expected = expected.value_or(compiled->expected);
    } else {
        problem.why = "a rule needs \"jq\" (a jq program) or \"field\" (the short form)";
        return std::nullopt;
    }

    rule.needsScan = mentions(rule.program, "scan") || mentions(rule.actualProgram, "scan");
    rule.needsReference = mentions(rule.program, "$ref") || mentions(rule.actualProgram, "$ref");
    return rule;
}

std::string located(const std::string& sourceName, const Problem& problem);

// One line: a rule's name or jq's message may hold line breaks.
std::string oneLine(std::string text)
{
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20)
            c = ' ';
    return text;
}

Unexpected failure(const std::string& sourceName, const Problem& problem)
{
    return Unexpected(oneLine(located(sourceName, problem)));
}

std::string located(const std::string& sourceName, const Problem& problem)
{
    std::string where =
        problem.line > 0 ? fmt::format("{}:{}", sourceName, problem.line) : sourceName;
    if (!problem.rule.empty())
        return fmt::format("{}: rule {}: {}", where, problem.rule, problem.why);
    return fmt::format("{}: {}", where, problem.why);
}

}  // namespace

bool Policy::needsScan() const
{
    return std::any_of(rules.begin(), rules.end(), [](const Rule& rule) { return rule.needsScan; });
}

bool Policy::needsReference() const
{
    return std::any_of(rules.begin(), rules.end(),
                       [](const Rule& rule) { return rule.needsReference; });
}

Expected<Policy> parsePolicy(std::string_view text, const std::string& sourceName)
{
    toml::table document;
    try {
        document = toml::parse(text, sourceName);
    } catch (const toml::parse_error& error) {
        return failure(
            sourceName,
            {static_cast<int>(error.source().begin.line), {}, std::string(error.description())});
    }
    Policy policy;
    policy.sourceName = sourceName;
    Problem problem;
    for (const auto& [key, node] : document)
        if (!kPolicyKeys.contains(key.str()))
            return failure(sourceName,
                           {lineOf(node), {}, fmt::format("unknown key \"{}\"", key.str())});
    for (const char* key : {"name", "description", "reference"}) {
        const toml::node* node = document.get(key);
        if (node != nullptr && !node->is_string())
            return failure(sourceName,
                           {lineOf(*node), {}, fmt::format("\"{}\" must be a text", key)});
    }
    policy.name = document["name"].value_or(std::string());
    policy.description = document["description"].value_or(std::string());
    if (auto reference = document["reference"].value<std::string>()) {
        std::filesystem::path path(*reference);
        if (path.is_relative())
            path = std::filesystem::path(sourceName).parent_path() / path;
        policy.reference = path.string();
    }
    const toml::node* rules = document.get("rule");
    if (rules == nullptr)
        return failure(sourceName, {0, {}, "no rules ([[rule]] tables)"});
    const toml::array* list = rules->as_array();
    if (list == nullptr || !list->is_array_of_tables())
        return failure(sourceName, {lineOf(*rules), {}, "\"rule\" must be [[rule]] tables"});
    if (list->size() > kMaxRules)
        return failure(sourceName,
                       {lineOf(*rules), {}, fmt::format("more than {} rules", kMaxRules)});
    std::set<std::string> names;
    for (std::size_t i = 0; i < list->size(); ++i) {
        auto rule = readRule(*list->get(i)->as_table(), i, problem);
        if (!rule)
            return failure(sourceName, problem);
        if (!names.insert(rule->name).second)
            return failure(sourceName, {rule->line, problem.rule, "another rule has this name"});
        policy.rules.push_back(std::move(*rule));
    }
    return policy;
}

Expected<Policy> loadPolicy(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return Unexpected(fmt::format("{}: cannot be read", path));
    std::string text(kMaxPolicyBytes + 1, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (in.bad())
        return Unexpected(fmt::format("{}: cannot be read", path));
    text.resize(static_cast<std::size_t>(in.gcount()));
    if (text.size() > kMaxPolicyBytes)
        return Unexpected(fmt::format("{}: larger than 1 MiB, not a policy", path));
    return parsePolicy(text, path);
}

}  // namespace vellinor::policy
