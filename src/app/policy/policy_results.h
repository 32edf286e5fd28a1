#pragma once

// What the window shows of a file checked against a policy: the file list's "Policy" cell
// and the rows of the failing rules, made from the core's outcome (the rules themselves are
// the core's alone).

#include <QList>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include "policy/policy.h"
#include "policy/policy_check.h"

namespace vellinor {

struct PolicyFileResult {
    QString problem;       // why the file could not be read; empty when it was
    bool scanned = false;  // its record held the facts of a kept scan
    policy::FileOutcome outcome;
};

// The keys of a failing rule's row.
namespace policyKeys {
inline const QString rule = QStringLiteral("rule");
inline const QString severity = QStringLiteral("severity");
inline const QString expected = QStringLiteral("expected");
inline const QString actual = QStringLiteral("actual");
inline const QString reason = QStringLiteral("reason");
}  // namespace policyKeys

// The reason of a rule that needs scan facts on a file that has no scan kept.
QString needsScanReason();

// A rule that needs scan facts fails, on a file without a kept scan, with needsScanReason():
// the window does not decode a file unasked, and a rule it could not evaluate never passes.
void markUnscannedRules(const policy::Policy& policy, PolicyFileResult& result);

// The "Policy" cell: "Pass" (green), "Fail" (red, an error rule failed), "Needs scan", "Warn"
// (only warning rules failed), or "Not checked: " and why the file could not be read.
QVariant policyCell(const policy::Policy& policy, const PolicyFileResult& result);

// The failed rules in the policy's order: name, "error" or "warning", expected, actual (empty
// when the rule gives none) and the reason (why it could not be evaluated, which tracks).
QList<QVariantMap> failingRuleRows(const policy::Policy& policy, const PolicyFileResult& result);

}  // namespace vellinor
