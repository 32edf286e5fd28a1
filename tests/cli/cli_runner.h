#pragma once

// Runs the built vellinor-cli as a child process and captures what it writes, the way a shell
// would run it: in a chosen folder, with chosen environment changes, and with standard output
// on a pipe or on a pseudo-terminal.

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace vellinor::test {

struct CliRun {
    int exitStatus = -1;  // -1 when the program did not exit normally
    std::string out;      // standard output
    std::string err;      // standard error
};

struct CliRunOptions {
    std::string workingDirectory;                           // empty: the test's own
    std::map<std::string, std::optional<std::string>> env;  // nullopt removes the variable
    bool terminal = false;                                  // standard output on a pseudo-terminal
    bool errorTerminal = false;  // standard error on a pseudo-terminal of its own
    std::string standardInput;   // a file read as standard input; empty: /dev/null
};

CliRun runCli(const std::vector<std::string>& arguments, const CliRunOptions& options = {});

// The path of the built program.
std::string cliPath();

}  // namespace vellinor::test
