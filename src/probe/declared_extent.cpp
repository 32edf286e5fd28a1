#include "probe/declared_extent.h"

#include "probe/file_probe.h"
#include "probe/sniffer_mode.h"

namespace vellinor {
namespace {

// Reading 64 KiB takes a millisecond; anything longer is a stuck file system.
constexpr ReaderLimits kExtentReader{std::chrono::milliseconds{10'000}, 4096,
                                     std::uint64_t{256} << 20};

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
    const ToolRun run = runFileReader(path, "--extent", kExtentReader, runner);
    if (run.status)
        probe.declaredExtent = parseDeclaredExtent(run.output);
}

}  // namespace vellinor
