#include "probe/tool_problem.h"

#include <csignal>

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

}  // namespace

std::string cancelled()
{
    return "the probe was cancelled";
}

std::string timedOut(std::chrono::milliseconds limit)
{
    return "the probe tool timed out after " + durationText(limit);
}

std::string killedBySignal(int signalNumber)
{
    return "the probe tool was killed by signal " + std::to_string(signalNumber);
}

std::string endedBySignal(int signalNumber, std::string& output)
{
    if (signalNumber == SIGSYS) {
        if (auto call = sandbox_stop::stoppedCall(output)) {
            output.clear();
            return "the probe tool was stopped by its sandbox: " + *call;
        }
    }
    return killedBySignal(signalNumber);
}

std::string outputTooLarge(std::size_t maxBytes)
{
    return "the probe tool printed more than " + byteCountText(maxBytes);
}

std::string tooManyValues(std::size_t maxValues)
{
    return "the probe tool printed more than " + std::to_string(maxValues) + " values";
}

std::string missingTool()
{
    return "the probe tool is not among the resources";
}

std::string couldNotStart(const std::string& why)
{
    return "could not start the probe tool: " + why;
}

}  // namespace vellinor::tool_problem
