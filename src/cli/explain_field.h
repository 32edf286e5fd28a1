#pragma once

// `vellinor-cli --explain KEY`: what a details key means, in one line.

#include <string>

namespace vellinor::cli {

// Prints "KEY: explanation" and returns 0; for a key without an explanation, says so on
// standard error and returns 1 (as grep does for no match; 2 stays for a bad command line).
int runExplain(const std::string& key);

}  // namespace vellinor::cli
