#include "probe/sniffer_mode.h"

#include "base/diagnostics.h"
#include "platform/bundle.h"
#include "platform/process.h"
#include "probe/tool_arguments.h"
#include "probe/tool_problem.h"

namespace vellinor {
namespace {

// One frame takes milliseconds; a reader still busy after this is stuck on a hostile file.
constexpr std::chrono::milliseconds kFrameReaderTimeout{10'000};
constexpr std::size_t kMaxFrameReaderOutput = std::size_t{1} << 20;
// As much as a probe child may use: a frame of 8K video with its references fits easily.
constexpr const char* kFrameReaderMemoryBytes = "4294967296";

}  // namespace

std::optional<std::string> snifferModeExecutable()
{
    return platform::resourcePath("sniffer");
}

ToolRun toolRunOf(platform::ProcessResult result, std::chrono::milliseconds timeout,
                  std::size_t maxOutputBytes)
{
    // Whatever went wrong with the run, it reads as one whose tool printed nothing (a crash
    // keeps what was printed before it); the reason goes to the run's status.
    if (result.outcome == platform::ProcessResult::Outcome::failedToStart)
        diagnostics::emitLine(result.startError);
    ToolRun run;
    run.status =
        tool_problem::childStatus(tool_problem::kProbeTool, result, timeout, maxOutputBytes);
    if (run.status || result.outcome == platform::ProcessResult::Outcome::signaled)
        run.output = std::move(result.standardOutput);
    return run;
}

ToolRun runSnifferMode(const ModeRequest& request)
{
    const auto sniffer = snifferModeExecutable();
    if (!sniffer)
        return {.output = {}, .status = Unexpected(tool_problem::missingTool())};
    platform::ProcessOptions options;
    options.timeout = request.timeout;
    options.maxOutputBytes = request.maxOutputBytes;
    return toolRunOf(platform::runProcess(*sniffer, request.arguments, options), request.timeout,
                     request.maxOutputBytes);
}

ToolRun runFileReader(const std::string& path, std::string_view mode, const ReaderLimits& limits,
                      ToolRunner* runner)
{
    ModeRequest request;
    request.path = path;
    request.timeout = limits.timeout;
    request.maxOutputBytes = limits.maxOutputBytes;
    request.arguments = {"--memory-limit", std::to_string(limits.memoryBytes), std::string(mode),
                         toolFilePath(path)};
    return runner != nullptr ? runner->runMode(request) : runSnifferMode(request);
}

ToolRun ToolRunner::runCancellable(const std::string& path, const std::atomic<bool>* cancelled)
{
    (void)cancelled;
    return run(path);
}

ToolRun ToolRunner::runMode(const ModeRequest& request)
{
    return runSnifferMode(request);
}

ToolRun ToolRunner::runFirstFrames(const std::string& path,
                                   const std::vector<std::int64_t>& streamIndexes)
{
    ModeRequest request;
    request.path = path;
    request.timeout = kFrameReaderTimeout;
    request.maxOutputBytes = kMaxFrameReaderOutput;
    request.arguments = {"--memory-limit", kFrameReaderMemoryBytes, "--hdr", toolFilePath(path)};
    for (const std::int64_t index : streamIndexes)
        request.arguments.push_back(std::to_string(index));
    return runMode(request);
}

}  // namespace vellinor
