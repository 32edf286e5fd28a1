#include "probe/packet_scan.h"

#include <csignal>
#include <optional>
#include <string_view>

#include "platform/bundle.h"
#include "platform/file_access.h"
#include "platform/process.h"
#include "probe/sandbox_stop.h"
#include "probe/tool_arguments.h"

namespace vellinor {
namespace {

// The reader among the resources, and how it is asked for packet statistics.
constexpr const char* kReaderResource = "sniffer";
constexpr const char* kPacketsMode = "--packets";
// The result of a days-long file with a few streams is a few MB; beyond this something is
// wrong, and memory stays bounded.
constexpr std::size_t kMaxReaderOutput = std::size_t{64} << 20;

// Splits the streamed output into lines and reports the last progress line of each piece.
class ProgressLines {
public:
    explicit ProgressLines(const std::function<bool(double)>& onProgress) : m_onProgress(onProgress)
    {
    }

    bool take(std::string_view piece)
    {
        std::optional<double> latest;
        m_pending.append(piece);
        std::size_t start = 0;
        for (std::size_t end = m_pending.find('\n'); end != std::string::npos;
             end = m_pending.find('\n', start)) {
            if (auto fraction =
                    packetProgress(std::string_view(m_pending).substr(start, end - start)))
                latest = fraction;
            start = end + 1;
        }
        m_pending.erase(0, start);
        if (latest)
            m_fraction = *latest;
        return m_onProgress(m_fraction);
    }

private:
    const std::function<bool(double)>& m_onProgress;
    std::string m_pending;
    double m_fraction = 0.0;
};

std::string secondsText(std::chrono::milliseconds limit)
{
    return std::to_string(limit.count() / 1000) + " s";
}

}  // namespace

Expected<PacketStatistics> scanPackets(const std::string& path, const PacketScanOptions& options)
{
    // Only a regular file that opens is handed to the reader: a FIFO or a device would block it.
    if (auto problem = platform::accessProblem(path);
        problem.kind != platform::AccessProblem::Kind::none)
        return Unexpected(std::move(problem.reason));
    std::string tool = options.toolPath;
    if (tool.empty()) {
        auto resource = platform::resourcePath(kReaderResource);
        if (!resource)
            return Unexpected(std::string("the packet reader \"") + kReaderResource +
                              "\" is not among the resources");
        tool = std::move(*resource);
    }

    platform::ProcessOptions processOptions;
    processOptions.timeout = options.timeout;
    processOptions.maxOutputBytes = kMaxReaderOutput;
    ProgressLines progress(options.onProgress);
    if (options.onProgress)
        processOptions.onOutput = [&progress](std::string_view piece) {
            return progress.take(piece);
        };

    // The same absolute path the probe tool gets: never read as an option or a protocol.
    const std::string file = toolFilePath(path);
    auto run = platform::runProcess(tool, {kPacketsMode, file}, processOptions);
    using Outcome = platform::ProcessResult::Outcome;
    switch (run.outcome) {
        case Outcome::exited:
            if (run.exitCode != 0)
                return Unexpected("the packet reader could not read the file");
            return parsePacketStatistics(run.standardOutput);
        case Outcome::signaled:
            if (auto call = run.signalNumber == SIGSYS
                                ? sandbox_stop::stoppedCall(run.standardOutput)
                                : std::nullopt)
                return Unexpected("the packet reader was stopped by its sandbox: " + *call);
            return Unexpected("the packet reader was killed by signal " +
                              std::to_string(run.signalNumber));
        case Outcome::timedOut:
            return Unexpected("the packet reader timed out after " + secondsText(options.timeout));
        case Outcome::outputTooLarge:
            return Unexpected(std::string("the packet reader printed too much"));
        case Outcome::cancelled:
            return Unexpected(std::string(kPacketScanCancelled));
        case Outcome::failedToStart:
            return Unexpected("could not start the packet reader: " + run.startError);
    }
    return Unexpected(std::string("the packet reader failed"));
}

}  // namespace vellinor
