#include "probe/packet_scan.h"

#include <optional>
#include <string_view>

#include "platform/bundle.h"
#include "platform/file_access.h"
#include "platform/process.h"
#include "probe/tool_arguments.h"
#include "probe/tool_problem.h"

namespace vellinor {
namespace {

// The reader among the resources, and how it is asked for packet statistics.
constexpr const char* kReaderResource = "sniffer";
constexpr const char* kPacketsMode = "--packets";
// The result of a days-long file with a few streams is a few MB; beyond this something is
// wrong, and memory stays bounded.
constexpr std::size_t kMaxReaderOutput = std::size_t{64} << 20;

}  // namespace

Expected<PacketStatistics> scanPackets(const std::string& path, const PacketScanOptions& options)
{
    // Only a regular file that opens is handed to the reader: a FIFO or a device would block it.
    if (Status readable = platform::checkReadable(path); !readable)
        return Unexpected(readable.failure());
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
    if (Status ended = tool_problem::childStatus(tool_problem::kPacketReader, run, options.timeout,
                                                 kMaxReaderOutput);
        !ended)
        return Unexpected(ended.failure());
    if (run.exitCode != 0)
        return Unexpected("the packet reader could not read the file");
    return parsePacketStatistics(run.standardOutput);
}

}  // namespace vellinor
