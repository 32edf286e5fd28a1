#include "probe/tool_problem.h"

#include <csignal>
#include <optional>

#include "probe/sandbox_stop.h"

namespace vellinor::tool_problem {
namespace {

std::string durationText(std::chrono::milliseconds limit)
{
    const auto count = limit.count();
    if (count % 1000 == 0)
        return std::to_string(count / 1000) + " s";
    return std::to_string(count) + " ms";
}

std::string byteCountText(std::size_t bytes)
{
    constexpr std::size_t mebibyte = std::size_t{1} << 20;
    if (bytes % mebibyte == 0)
        return std::to_string(bytes / mebibyte) + " MiB";
    return std::to_string(bytes) + " bytes";
}

Failure timedOutFailure(const ChildNames& child, std::chrono::milliseconds limit)
{
    return {ErrorKind::timedOut,
            std::string(child.subject) + " timed out after " + durationText(limit)};
}

// A sandboxed sniffer says which call it was refused before the kernel ends it with SIGSYS.
std::string signalReason(const ChildNames& child, int signalNumber, std::string& output)
{
    if (signalNumber == SIGSYS) {
        if (auto call = sandbox_stop::stoppedCall(output)) {
            output.clear();
            return std::string(child.subject) + " was stopped by its sandbox: " + *call;
        }
    }
    return std::string(child.subject) + " was killed by signal " + std::to_string(signalNumber);
}

}  // namespace

Status childStatus(const ChildNames& child, platform::ProcessResult& result,
                   std::chrono::milliseconds timeLimit, std::size_t maxOutputBytes)
{
    using Outcome = platform::ProcessResult::Outcome;
    const std::string subject(child.subject);
    switch (result.outcome) {
        case Outcome::exited:
            return ok();
        case Outcome::signaled:
            return Unexpected(signalReason(child, result.signalNumber, result.standardOutput));
        case Outcome::timedOut:
            return Unexpected(timedOutFailure(child, timeLimit));
        case Outcome::outputTooLarge:
            return Unexpected(ErrorKind::tooLarge,
                              subject + " printed more than " + byteCountText(maxOutputBytes));
        case Outcome::cancelled:
            return Unexpected(ErrorKind::cancelled, std::string(child.cancelled));
        case Outcome::failedToStart:
            break;
    }
    return Unexpected("could not start " + subject + ": " + result.startError);
}

Failure timedOut(std::chrono::milliseconds limit)
{
    return timedOutFailure(kProbeTool, limit);
}

Failure tooManyValues(std::size_t maxValues)
{
    return {ErrorKind::tooLarge,
            "the probe tool printed more than " + std::to_string(maxValues) + " values"};
}

Failure missingTool()
{
    return {ErrorKind::failed, "the probe tool is not among the resources"};
}

Failure cancelled()
{
    return {ErrorKind::cancelled, std::string(kProbeTool.cancelled)};
}

}  // namespace vellinor::tool_problem
