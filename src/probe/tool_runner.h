#pragma once

// ToolRunner: where FileProbe gets the probe tool's output for one file. The default runs the
// tool once per file (OneShotToolRunner); others keep a tool warm, cache answers or wrap
// another runner. FileProbe's own steps do not change with the runner.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/expected.h"

namespace vellinor {

struct ToolRun {
    std::string output;    // what the tool printed on standard output (a crash keeps what came
                           // before it)
    Status status = ok();  // why the run gave nothing, or only part, to read

    // The reason as FileProbe::toolProblem shows it; empty for a run that went well.
    [[nodiscard]] std::string problemText() const
    {
        return status ? std::string() : status.error();
    }
};

// A run of one of the sniffer's reading modes (`--hdr`, `--embedded`) over one file: every
// read of a media file happens in a child, never in a front end.
struct ModeRequest {
    std::string path;                    // the file, as the caller was given it (its stamp)
    std::vector<std::string> arguments;  // everything after the program's name
    std::chrono::milliseconds timeout{10'000};
    std::size_t maxOutputBytes = std::size_t{1} << 20;
};

class ToolRunner {  // callable from several threads at once
public:
    virtual ~ToolRunner() = default;
    // The tool's output for `path`, the path exactly as FileProbe was given it.
    virtual ToolRun run(const std::string& path) = 0;
    // The same, given up once `cancelled` (when not null) turns true: a runner that can ends
    // the tool's run then and answers at once with a failure of kind cancelled. By default the
    // plain run, which ends only at its time limit.
    virtual ToolRun runCancellable(const std::string& path, const std::atomic<bool>* cancelled);
    // The tool's version and build (its path and the first line of what it prints for
    // --version), for keying cached answers; empty when the tool could not tell it.
    [[nodiscard]] virtual std::string identity() const = 0;
    // The output of a reading mode of the "sniffer" resource. By default a one-shot run
    // (runSnifferMode); a cache answers it for unchanged files.
    virtual ToolRun runMode(const ModeRequest& request);
    // The side data of the first frame of each of the given video streams (`sniffer --hdr`),
    // read through runMode within the limits of a one-frame decode.
    ToolRun runFirstFrames(const std::string& path, const std::vector<std::int64_t>& streamIndexes);
};

}  // namespace vellinor
