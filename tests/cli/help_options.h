#pragma once

// The options as `vellinor-cli --help` lists them, read back from its text, so tests can hold
// the manual and the shell completions against what the program really accepts.

#include <string>
#include <vector>

namespace vellinor::test {

struct HelpOption {
    std::vector<std::string> names;  // "-j", "--jobs"
    std::string valueName;           // "N", "DIR"; empty for a flag
};

// The entries of the "Options:" section of the help text.
std::vector<HelpOption> parseHelpOptions(const std::string& helpText);

// Every name of every option, in the order listed.
std::vector<std::string> allOptionNames(const std::vector<HelpOption>& options);

}  // namespace vellinor::test
