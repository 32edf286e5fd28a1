#include "probe/declared_extent.h"

#include "probe/file_probe.h"
#include "probe/sniffer_mode.h"
#include "probe/tool_arguments.h"

namespace vellinor {
namespace {

// Reading 64 KiB takes a millisecond; anything longer is a stuck file system.
constexpr std::chrono::milliseconds kReaderTimeout{10'000};
constexpr std::size_t kMaxReaderOutput = 4096;
constexpr const char* kReaderMemoryBytes = "268435456";

}  // namespace

std::optional<DeclaredExtent> parseDeclaredExtent(std::string_view output)
{
    const auto document = JSON::parse(output);
    if (!document)
        return std::nullopt;
    const auto container = (*document)["container"].string();
    const auto size = (*document)["declared_size"].intOptional();
    if (!container || container->empty() || !size || *size < 0)
        return std::nullopt;
    return DeclaredExtent{*container, static_cast<std::uint64_t>(*size),
                          (*document)["index"].boolean()};
}

bool wantsDeclaredExtent(const FileProbe& probe)
{
    if (!probe.toolProblem.empty() || probe.fileSize.value_or(0) == 0)
        return false;
    if (probe.hasErrors)
        return !probe.toolError.empty();
    return probe.json && (*probe.json)["format"]["format_name"].stringValue().find("matroska") !=
                             std::string::npos;
}

void addDeclaredExtent(FileProbe& probe, const std::string& path, ToolRunner* runner)
{
    if (!wantsDeclaredExtent(probe))
        return;
    ModeRequest request;
    request.path = path;
    request.timeout = kReaderTimeout;
    request.maxOutputBytes = kMaxReaderOutput;
    request.arguments = {"--memory-limit", kReaderMemoryBytes, "--extent", toolFilePath(path)};
    const ToolRun run = runner != nullptr ? runner->runMode(request) : runSnifferMode(request);
    if (run.toolProblem.empty())
        probe.declaredExtent = parseDeclaredExtent(run.output);
}

}  // namespace vellinor
