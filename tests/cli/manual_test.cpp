// vellinor-cli(1) and `vellinor-cli --help` describe the same options: every option the program
// lists is in the manual, every option the manual describes is one the program takes, and both
// give each option the same value.

#include <map>
#include <regex>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "cli_runner.h"
#include "help_options.h"
#include "probe/probe_defaults.h"
#include "probe/tool_problem.h"
#include "support/test_support.h"

namespace vellinor::test {
namespace {

const std::filesystem::path kManualSource =
    std::filesystem::path(VELLINOR_DOC_SOURCE_DIR) / "vellinor-cli.1.scd";

// The option entries of the manual: in its OPTIONS section, each entry starts on an unindented
// line such as "*-j*, *--jobs* _N_" and its text follows indented by a tab.
std::vector<HelpOption> parseManualOptions(const std::string& source)
{
    static const std::regex name(R"(\*(-[^*\s]+)\*)");
    static const std::regex value(R"(^[^_]*\*\s+_([^_]+)_)");
    std::vector<HelpOption> options;
    std::istringstream lines(source);
    std::string line;
    bool inOptions = false;
    while (std::getline(lines, line)) {
        if (line.starts_with("# ")) {
            inOptions = line == "# OPTIONS";
            continue;
        }
        if (!inOptions || !line.starts_with("*-"))
            continue;
        HelpOption option;
        for (auto match = std::sregex_iterator(line.begin(), line.end(), name);
             match != std::sregex_iterator(); ++match)
            option.names.push_back((*match)[1].str());
        std::smatch valueMatch;
        if (std::regex_search(line, valueMatch, value))
            option.valueName = valueMatch[1].str();
        options.push_back(option);
    }
    return options;
}

std::map<std::string, std::string> valueByName(const std::vector<HelpOption>& options)
{
    std::map<std::string, std::string> values;
    for (const HelpOption& option : options) {
        for (const std::string& name : option.names)
            values[name] = option.valueName;
    }
    return values;
}

TEST(Manual, DescribesEveryOptionOfTheHelpAndNoOther)
{
    const CliRun help = runCli({"--help"});
    ASSERT_EQ(help.exitStatus, 0) << help.err;
    const auto helpOptions = valueByName(parseHelpOptions(help.out));
    const auto manualOptions = valueByName(parseManualOptions(readFile(kManualSource)));
    // Both readers must see the options every version has, or an empty list would pass.
    for (const char* always : {"--help", "--version", "--jobs"}) {
        ASSERT_TRUE(helpOptions.contains(always)) << "no " << always << " read from:\n" << help.out;
        ASSERT_TRUE(manualOptions.contains(always))
            << "no " << always << " read from the OPTIONS section of " << kManualSource;
    }

    for (const auto& [name, value] : helpOptions) {
        const auto described = manualOptions.find(name);
        if (described == manualOptions.end()) {
            ADD_FAILURE() << "vellinor-cli --help lists " << name << " but the manual does not: "
                          << "add an entry for it under OPTIONS in " << kManualSource;
        } else if (described->second != value) {
            ADD_FAILURE() << name << " takes " << (value.empty() ? "no value" : value)
                          << " in --help but "
                          << (described->second.empty() ? "no value" : described->second) << " in "
                          << kManualSource;
        }
    }
    for (const auto& [name, value] : manualOptions) {
        if (!helpOptions.contains(name))
            ADD_FAILURE() << "the manual " << kManualSource << " describes " << name
                          << ", which vellinor-cli --help does not list";
    }
}

// Runs of white space as one space, so a quote may wrap in the text.
std::string folded(const std::string& text)
{
    return std::regex_replace(text, std::regex(R"(\s+)"), " ");
}

TEST(Manual, TheTextsQuoteTheDefaultsTheProgramsUse)
{
    const std::string seconds = std::to_string(
        std::chrono::duration_cast<std::chrono::seconds>(probe_defaults::kTimeLimit).count());
    const std::string compared = std::to_string(probe_defaults::kFewestComparedFiles) + " to " +
                                 std::to_string(probe_defaults::kMostComparedFiles) + " files";
    const std::string timedOut = tool_problem::timedOut(probe_defaults::kTimeLimit).reason;
    const std::filesystem::path docs(VELLINOR_DOC_SOURCE_DIR);
    const std::string readme = readFile(docs / ".." / "README.md");
    const std::string windowManual = readFile(docs / "vellinor.1.scd");
    const std::string cliManual = readFile(kManualSource);
    const struct {
        const char* where;
        std::string text;
        std::string quote;
    } cases[] = {
        {"vellinor-cli --help", runCli({"--help"}).out, "(default " + seconds + ")"},
        {"vellinor-cli check --help", runCli({"check", "--help"}).out, "(default " + seconds + ")"},
        {"vellinor-cli(1), --timeout", cliManual, "(default " + seconds + "; 0 for no limit)"},
        {"vellinor-cli(1), a file's problem", cliManual, "\"" + timedOut + "\""},
        {"README, the verdict line", readme, "after " + seconds + " s."},
        {"README, Compare", readme, "With " + compared + " selected"},
        {"vellinor(1), Compare", windowManual, "with " + compared + " selected"},
    };
    ASSERT_EQ(timedOut, "the probe tool timed out after " + seconds + " s");
    for (const auto& c : cases)
        EXPECT_NE(folded(c.text).find(c.quote), std::string::npos)
            << c.where << " does not say " << c.quote;
}

}  // namespace
}  // namespace vellinor::test
