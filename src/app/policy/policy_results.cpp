#include "app/policy/policy_results.h"

#include <QCoreApplication>

#include "app/widgets/colored_text.h"

namespace vellinor {
namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("PolicyView", text);
}

bool isUnscanned(const policy::RuleOutcome& outcome)
{
    return !outcome.passed && QString::fromStdString(outcome.reason) == needsScanReason();
}

}  // namespace

QString needsScanReason()
{
    return tr("needs a scan: choose Inspect > Scan (Ctrl+K)");
}

void markUnscannedRules(const policy::Policy& policy, PolicyFileResult& result)
{
    if (result.scanned || !result.problem.isEmpty())
        return;
    for (std::size_t i = 0; i < policy.rules.size() && i < result.outcome.rules.size(); ++i) {
        if (policy.rules[i].needsScan)
            result.outcome.rules[i] = {false, {}, needsScanReason().toStdString()};
    }
}

QVariant policyCell(const policy::Policy& policy, const PolicyFileResult& result)
{
    if (!result.problem.isEmpty())
        return tr("Not checked: %1").arg(result.problem);
    bool errorFailed = false;
    bool unscanned = false;
    bool warningFailed = false;
    for (std::size_t i = 0; i < policy.rules.size() && i < result.outcome.rules.size(); ++i) {
        const policy::RuleOutcome& outcome = result.outcome.rules[i];
        if (outcome.passed)
            continue;
        if (isUnscanned(outcome))
            unscanned = true;
        else if (policy.rules[i].severity == policy::Severity::error)
            errorFailed = true;
        else
            warningFailed = true;
    }
    if (errorFailed)
        return QVariant::fromValue(ColoredText{tr("Fail"), ColoredText::Tone::bad});
    if (unscanned)
        return tr("Needs scan");
    if (warningFailed)
        return tr("Warn");
    return QVariant::fromValue(ColoredText{tr("Pass"), ColoredText::Tone::good});
}

QList<QVariantMap> failingRuleRows(const policy::Policy& policy, const PolicyFileResult& result)
{
    QList<QVariantMap> rows;
    for (std::size_t i = 0; i < policy.rules.size() && i < result.outcome.rules.size(); ++i) {
        const policy::Rule& rule = policy.rules[i];
        const policy::RuleOutcome& outcome = result.outcome.rules[i];
        if (outcome.passed)
            continue;
        rows.append({
            {policyKeys::rule, QString::fromStdString(rule.name)},
            {policyKeys::severity, QString::fromLatin1(policy::severityName(rule.severity))},
            {policyKeys::expected, QString::fromStdString(rule.expected)},
            {policyKeys::actual, QString::fromStdString(outcome.actual)},
            {policyKeys::reason, QString::fromStdString(outcome.reason)},
        });
    }
    return rows;
}

}  // namespace vellinor
