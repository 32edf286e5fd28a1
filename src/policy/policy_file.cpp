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

// Where a policy file goes wrong and how, for the one line that says so.
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

// One line: a rule's name or jq's message may hold line breaks.
std::string oneLine(std::string text)
{
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20)
            c = ' ';
    return text;
}

std::string located(const std::string& sourceName, const Problem& problem)
{
    std::string where =
        problem.line > 0 ? fmt::format("{}:{}", sourceName, problem.line) : sourceName;
    if (!problem.rule.empty())
        return fmt::format("{}: rule {}: {}", where, problem.rule, problem.why);
    return fmt::format("{}: {}", where, problem.why);
}

Unexpected failure(const std::string& sourceName, const Problem& problem)
{
    return Unexpected(oneLine(located(sourceName, problem)));
}

bool mentions(const std::string& program, std::string_view word)
{
    return program.find(word) != std::string::npos;
}

// One [[rule]] table, or the one line that says why it cannot be used.
class RuleReader {
public:
    RuleReader(const toml::table& table, std::size_t index, const std::string& sourceName)
        : m_table(table)
        , m_sourceName(sourceName)
        , m_line(lineOf(table))
        , m_rule(fmt::format("#{}", index + 1))
    {
    }

    Expected<Rule> read();

private:
    // The rule's failure at `line` (its own first line when 0).
    Unexpected at(int line, std::string why) const
    {
        return failure(m_sourceName, {line > 0 ? line : m_line, m_rule, std::move(why)});
    }
    int lineOfKey(std::string_view key) const { return lineOf(*m_table.get(key)); }
    // The text at `key`: nothing when the key is not there, a failure when it holds no text.
    Expected<std::optional<std::string>> text(std::string_view key) const
    {
        const toml::node* node = m_table.get(key);
        if (node == nullptr)
            return std::optional<std::string>();
        if (!node->is_string())
            return at(lineOf(*node), fmt::format("\"{}\" must be a text", key));
        return std::optional<std::string>(node->as_string()->get());
    }
    Status readShortForm(Rule& rule, const std::string& field, const std::optional<std::string>& op,
                         const std::optional<std::string>& actual,
                         const std::optional<std::string>& expected) const;

    const toml::table& m_table;
    const std::string& m_sourceName;
    int m_line;
    std::string m_rule;  // "#3" until its name is read, then "\"its name\""
};

Expected<Rule> RuleReader::read()
{
    Rule rule;
    rule.line = m_line;
    const toml::node* nameNode = m_table.get("name");
    if (nameNode == nullptr || !nameNode->is_string() || nameNode->as_string()->get().empty())
        return at(0, "every rule needs a name (a text)");
    rule.name = nameNode->as_string()->get();
    m_rule = fmt::format("\"{}\"", rule.name);
    for (const auto& [key, node] : m_table) {
        if (!kRuleKeys.contains(key.str()))
            return at(lineOf(node), fmt::format("unknown key \"{}\"", key.str()));
    }
    auto severity = text("severity");
    if (!severity)
        return Unexpected(severity.failure());
    if (*severity) {
        if (**severity == "warning")
            rule.severity = Severity::warning;
        else if (**severity != "error")
            return at(
                lineOfKey("severity"),
                fmt::format("severity \"{}\" is neither \"error\" nor \"warning\"", **severity));
    }
    auto tracks = text("tracks");
    if (!tracks)
        return Unexpected(tracks.failure());
    if (*tracks) {
        if (**tracks != "video" && **tracks != "audio" && **tracks != "subtitle")
            return at(
                lineOfKey("tracks"),
                fmt::format("tracks \"{}\" is not \"video\", \"audio\" or \"subtitle\"", **tracks));
        rule.trackKind = **tracks;
    }
    // The other texts are read before any is used, so each is checked to be one.
    std::optional<std::string> jqText, actual, expected, field, op;
    for (auto [key, into] :
         {std::pair{"jq", &jqText}, std::pair{"actual", &actual}, std::pair{"expected", &expected},
          std::pair{"field", &field}, std::pair{"op", &op}}) {
        auto read = text(key);
        if (!read)
            return Unexpected(read.failure());
        *into = std::move(*read);
    }

    if (jqText && field)
        return at(0, "a rule has \"jq\" or \"field\", not both");
    if (jqText) {
        for (const char* key : {"op", "value", "tolerance", "same_as_reference"})
            if (m_table.contains(key))
                return at(lineOfKey(key),
                          fmt::format("\"{}\" goes with \"field\", not with \"jq\"", key));
        rule.program = *jqText;
        rule.actualProgram = actual.value_or("");
        rule.expected = expected.value_or(*jqText);
    } else if (field) {
        if (Status read = readShortForm(rule, *field, op, actual, expected); !read)
            return Unexpected(read.failure());
    } else {
        return at(0, "a rule needs \"jq\" (a jq program) or \"field\" (the short form)");
    }

    rule.needsScan = mentions(rule.program, "scan") || mentions(rule.actualProgram, "scan");
    rule.needsReference = mentions(rule.program, "$ref") || mentions(rule.actualProgram, "$ref");
    return rule;
}

Status RuleReader::readShortForm(Rule& rule, const std::string& field,
                                 const std::optional<std::string>& op,
                                 const std::optional<std::string>& actual,
                                 const std::optional<std::string>& expected) const
{
    ShortForm form;
    form.field = field;
    form.op = op.value_or("==");
    form.perTrack = !rule.trackKind.empty();
    if (const toml::node* value = m_table.get("value")) {
        auto literal = jsonLiteral(*value);
        if (!literal)
            return at(lineOf(*value),
                      "\"value\" must be a number, a text, true, false or a list of those");
        form.valueJson = *literal;
        form.valueIsNumber = value->is_number();
    }
    if (const toml::node* tolerance = m_table.get("tolerance")) {
        if (!tolerance->is_number())
            return at(lineOf(*tolerance), "\"tolerance\" must be a number");
        form.tolerance = tolerance->value<double>();
    }
    if (const toml::node* same = m_table.get("same_as_reference")) {
        if (!same->is_boolean())
            return at(lineOf(*same), "\"same_as_reference\" must be true or false");
        form.sameAsReference = same->as_boolean()->get();
    }
    auto compiled = compileShortForm(form);
    if (!compiled)
        return at(0, compiled.error());
    rule.program = compiled->program;
    rule.actualProgram = actual.value_or(compiled->actualProgram);
    rule.expected = expected.value_or(compiled->expected);
    return ok();
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
        auto rule = RuleReader(*list->get(i)->as_table(), i, sourceName).read();
        if (!rule)
            return Unexpected(rule.failure());
        if (!names.insert(rule->name).second)
            return failure(sourceName, {rule->line, fmt::format("\"{}\"", rule->name),
                                        "another rule has this name"});
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
