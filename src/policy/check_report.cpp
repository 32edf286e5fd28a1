#include "policy/check_report.h"

#include <fmt/format.h>
#include <vector>

#include "format/csv_text.h"
#include "json/json.h"
#include "policy/json_text.h"

namespace vellinor::policy {
namespace {

std::string failureText(const Rule& rule, const RuleOutcome& outcome)
{
    std::string text;
    if (!outcome.actual.empty())
        text = "actual " + outcome.actual + ", ";
    text += "expected " + rule.expected;
    if (!outcome.reason.empty())
        text += " (" + outcome.reason + ")";
    return text;
}

std::string jsonText(std::string_view text)
{
    return jsonString(text);
}

std::string xmlText(std::string_view raw)
{
    const std::string text = mendUtf8(raw);
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                // XML 1.0 has no place for most control characters.
                if (byte < 0x20 && c != '\n' && c != '\t')
                    out += ' ';
                else
                    out += c;
        }
    }
    return out;
}

std::string policyName(const Policy& policy)
{
    return policy.name.empty() ? policy.sourceName : policy.name;
}

}  // namespace

const char* resultWord(const Rule& rule, const RuleOutcome& outcome)
{
    if (outcome.passed)
        return "pass";
    return rule.severity == Severity::error ? "FAIL" : "warn";
}

std::string checkSummary(const Policy& policy, std::string_view path, const FileOutcome& outcome)
{
    const std::size_t errors = outcome.failedCount(policy, Severity::error);
    const std::size_t warnings = outcome.failedCount(policy, Severity::warning);
    const std::size_t total = policy.rules.size();
    if (errors + warnings == 0)
        return fmt::format("{}: pass, all {} rules passed\n", mendUtf8(path), total);
    return fmt::format("{}: {}, {} of {} rules failed ({} error{}, {} warning{})\n", mendUtf8(path),
                       errors > 0 ? "FAIL" : "pass", errors + warnings, total, errors,
                       errors == 1 ? "" : "s", warnings, warnings == 1 ? "" : "s");
}

std::string checkText(const Policy& policy, std::string_view path, const FileOutcome& outcome)
{
    std::string text;
    for (std::size_t i = 0; i < policy.rules.size(); ++i) {
        const Rule& rule = policy.rules[i];
        const RuleOutcome& result = outcome.rules[i];
        text += fmt::format("  {}  {}", resultWord(rule, result), mendUtf8(rule.name));
        if (!result.passed)
            text += ": " + mendUtf8(failureText(rule, result));
        text += "\n";
    }
    return text + checkSummary(policy, path, outcome);
}

std::string checkJsonLine(const Policy& policy, std::string_view path, const FileOutcome& outcome)
{
    std::string line = fmt::format(
        "{{\"path\":{},\"passed\":{},\"errors\":{},\"warnings\":{},\"rules\":[", jsonText(path),
        outcome.passed(policy) ? "true" : "false", outcome.failedCount(policy, Severity::error),
        outcome.failedCount(policy, Severity::warning));
    for (std::size_t i = 0; i < policy.rules.size(); ++i) {
        const Rule& rule = policy.rules[i];
        const RuleOutcome& result = outcome.rules[i];
        line += fmt::format(
            "{}{{\"name\":{},\"severity\":\"{}\",\"passed\":{},\"actual\":{},\"expected\":{},"
            "\"reason\":{}}}",
            i ? "," : "", jsonText(rule.name), severityName(rule.severity),
            result.passed ? "true" : "false",
            result.actual.empty() ? "null" : jsonText(result.actual), jsonText(rule.expected),
            result.reason.empty() ? "null" : jsonText(result.reason));
    }
    return line + "]}\n";
}

std::string checkCsvHeader()
{
    const std::vector<std::string> names{"path",   "rule",     "severity", "result",
                                         "actual", "expected", "reason"};
    return csv::record(names);
}

std::string checkCsvRows(const Policy& policy, std::string_view path, const FileOutcome& outcome)
{
    std::string rows;
    for (std::size_t i = 0; i < policy.rules.size(); ++i) {
        const Rule& rule = policy.rules[i];
        const RuleOutcome& result = outcome.rules[i];
        const std::vector<std::string> fields{mendUtf8(path),
                                              mendUtf8(rule.name),
                                              severityName(rule.severity),
                                              result.passed ? "pass" : "fail",
                                              mendUtf8(result.actual),
                                              mendUtf8(rule.expected),
                                              mendUtf8(result.reason)};
        rows += csv::record(fields);
    }
    return rows;
}

std::string junitBegin(const Policy& policy, std::size_t files, std::size_t failures)
{
    return fmt::format(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<testsuites tests=\"{0}\" failures=\"{1}\">\n"
        "  <testsuite name=\"{2}\" tests=\"{0}\" failures=\"{1}\" errors=\"0\">\n",
        files, failures, xmlText(policyName(policy)));
}

std::string junitCase(const Policy& policy, std::string_view path, const FileOutcome& outcome)
{
    std::string failures;
    std::string warnings;
    for (std::size_t i = 0; i < policy.rules.size(); ++i) {
        const Rule& rule = policy.rules[i];
        const RuleOutcome& result = outcome.rules[i];
        if (result.passed)
            continue;
        const std::string line = rule.name + ": " + failureText(rule, result) + "\n";
        (rule.severity == Severity::error ? failures : warnings) += line;
    }
    std::string text = fmt::format("    <testcase classname=\"{}\" name=\"{}\"",
                                   xmlText(policyName(policy)), xmlText(path));
    if (failures.empty() && warnings.empty())
        return text + "/>\n";
    text += ">\n";
    if (!failures.empty()) {
        const std::size_t count = outcome.failedCount(policy, Severity::error);
        text += fmt::format("      <failure message=\"{} rule{} failed\">{}</failure>\n", count,
                            count == 1 ? "" : "s", xmlText(failures));
    }
    if (!warnings.empty())
        text += fmt::format("      <system-out>{}</system-out>\n", xmlText(warnings));
    return text + "    </testcase>\n";
}

std::string junitEnd()
{
    return "  </testsuite>\n</testsuites>\n";
}

}  // namespace vellinor::policy
