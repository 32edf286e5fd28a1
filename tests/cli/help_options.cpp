#include "help_options.h"

#include <regex>
#include <sstream>

namespace vellinor::test {

std::vector<HelpOption> parseHelpOptions(const std::string& helpText)
{
    // CLI11 lists each option as "  -j,--jobs N:UINT in [1 - 1024]" (names, then the value's
    // name and type), followed by its description after a run of blanks or on the next line,
    // indented further. Flags may show "Excludes: ..." where the value's name would be.
    static const std::regex entry(R"(^  (-[^ ]+)(?: ([^ :]+)(:[^ ]*)?)?(?:  .*| .*)?$)");
    std::vector<HelpOption> options;
    std::istringstream lines(helpText);
    std::string line;
    bool inOptions = false;
    while (std::getline(lines, line)) {
        if (line == "Options:") {
            inOptions = true;
            continue;
        }
        if (!inOptions)
            continue;
        if (line.empty())
            break;
        std::smatch match;
        if (!std::regex_match(line, match, entry))
            continue;
        HelpOption option;
        std::istringstream names(match[1].str());
        for (std::string name; std::getline(names, name, ',');)
            option.names.push_back(name);
        // "Excludes:" and "Needs:" are CLI11's notes, not a value; a value's name stands before
        // a run of blanks, its ":TYPE", such a note, or the end of the line.
        const std::string value = match[2].str();
        const bool isNote = match[3].matched && match[3].str() == ":";
        const std::string rest = line.substr(static_cast<std::size_t>(match.position(2)) +
                                             static_cast<std::size_t>(match.length(2)));
        const bool standsAlone = rest.empty() || rest.starts_with(":") || rest.starts_with("  ") ||
                                 rest.starts_with(" Excludes:") || rest.starts_with(" Needs:");
        if (!value.empty() && !isNote && standsAlone)
            option.valueName = value;
        options.push_back(option);
    }
    return options;
}

std::vector<std::string> allOptionNames(const std::vector<HelpOption>& options)
{
    std::vector<std::string> names;
    for (const HelpOption& option : options)
        names.insert(names.end(), option.names.begin(), option.names.end());
    return names;
}

}  // namespace vellinor::test
