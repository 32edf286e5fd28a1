#pragma once

// The forms a policy check's outcome is written in: text lines, JSON Lines, CSV and JUnit XML.

#include <string>
#include <string_view>

#include "policy/policy.h"
#include "policy/policy_check.h"

namespace vellinor::policy {

// A rule's result word: "pass", "FAIL" (an error rule) or "warn" (a warning rule).
const char* resultWord(const Rule& rule, const RuleOutcome& outcome);

// One file: a line per rule ("  FAIL  Full HD: actual 1280, expected == 1920"), then the
// summary line ("clip.mp4: FAIL, 1 of 5 rules failed (1 error)").
std::string checkText(const Policy& policy, std::string_view path, const FileOutcome& outcome);
std::string checkSummary(const Policy& policy, std::string_view path, const FileOutcome& outcome);

// One JSON line for the file.
std::string checkJsonLine(const Policy& policy, std::string_view path, const FileOutcome& outcome);

std::string checkCsvHeader();
std::string checkCsvRows(const Policy& policy, std::string_view path, const FileOutcome& outcome);

// JUnit XML: one test suite (the policy), one test case per file, a failure when an error rule
// failed; failed warning rules go to the case's system-out.
std::string junitBegin(const Policy& policy, std::size_t files, std::size_t failures);
std::string junitCase(const Policy& policy, std::string_view path, const FileOutcome& outcome);
std::string junitEnd();

}  // namespace vellinor::policy
