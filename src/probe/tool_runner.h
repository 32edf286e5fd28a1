#pragma once

// ToolRunner: where FileProbe gets the probe tool's output for one file. The default runs the
// tool once per file (OneShotToolRunner); others keep a tool warm, cache answers or wrap
// another runner. FileProbe's own steps do not change with the runner.

#include <string>

namespace vellinor {

struct ToolRun {
    std::string output;  // what the tool printed on standard output
    std::string
        toolProblem;  // why the run gave nothing to read (FileProbe::toolProblem); empty = fine
};

class ToolRunner {  // callable from several threads at once
public:
    virtual ~ToolRunner() = default;
    // The tool's output for `path`, the path exactly as FileProbe was given it.
    virtual ToolRun run(const std::string& path) = 0;
    // The tool's version and build (its path and the first line of what it prints for
    // --version), for keying cached answers; empty when the tool could not tell it.
    [[nodiscard]] virtual std::string identity() const = 0;
};

}  // namespace vellinor
