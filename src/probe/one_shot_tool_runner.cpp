#include "probe/one_shot_tool_runner.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "base/diagnostics.h"
#include "platform/process.h"
#include "probe/probe_tool.h"
#include "probe/sniffer_mode.h"
#include "probe/tool_arguments.h"
#include "probe/tool_problem.h"

namespace vellinor {
namespace {

// A tool that cannot say its version within this long has none worth keying on.
constexpr std::chrono::seconds kVersionTimeout{10};

std::optional<std::string> toolFor(const std::string& toolPath)
{
    if (!toolPath.empty())
        return toolPath;
    if (auto tool = chosenProbeTool())
        return std::move(tool->path);
    return std::nullopt;
}

}  // namespace

OneShotToolRunner::OneShotToolRunner(std::string toolPath, std::chrono::milliseconds timeout)
    : m_toolPath(std::move(toolPath)), m_timeout(timeout)
{
}

ToolRun OneShotToolRunner::run(const std::string& path)
{
    return runCancellable(path, nullptr);
}

ToolRun OneShotToolRunner::runCancellable(const std::string& path,
                                          const std::atomic<bool>* cancelled)
{
    // Without the resource there is no run: the record reads as one whose tool printed nothing.
    const auto tool = toolFor(m_toolPath);
    if (!tool)
        return {.output = {}, .status = Unexpected(tool_problem::missingTool())};

    platform::ProcessOptions processOptions;
    processOptions.timeout = m_timeout;
    processOptions.maxOutputBytes = tool_problem::kMaxDocumentBytes;
    if (cancelled != nullptr)
        processOptions.onOutput = [cancelled](std::string_view) { return !cancelled->load(); };
    return toolRunOf(platform::runProcess(*tool, probeToolArguments(path), processOptions),
                     m_timeout, processOptions.maxOutputBytes);
}

std::string OneShotToolRunner::identity() const
{
    std::call_once(m_identityOnce, [this] {
        const auto tool = toolFor(m_toolPath);
        if (!tool)
            return;
        platform::ProcessOptions options;
        // Never longer than a probe may take: a tool that hangs costs one time limit here.
        options.timeout = m_timeout.count() > 0
                              ? std::min<std::chrono::milliseconds>(m_timeout, kVersionTimeout)
                              : kVersionTimeout;
        options.maxOutputBytes = std::size_t{1} << 20;
        // ffprobe 5.1 takes only "-version": for "--version" it prints its banner, then fails
        // on the missing argument. Only such a refusal is worth asking again.
        for (const char* option : {"--version", "-version"}) {
            auto result = platform::runProcess(*tool, {option}, options);
            if (result.outcome != platform::ProcessResult::Outcome::exited)
                return;
            if (result.exitCode != 0)
                continue;
            const std::string& text = result.standardOutput;
            const std::string firstLine = text.substr(0, text.find('\n'));
            if (!firstLine.empty())
                m_identity = *tool + "\n" + firstLine;
            return;
        }
    });
    return m_identity;
}

}  // namespace vellinor
