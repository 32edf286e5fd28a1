#include "probe/hdr_first_frame.h"

#include <vector>

#include "platform/bundle.h"
#include "platform/diagnostics.h"
#include "platform/process.h"
#include "probe/file_probe.h"
#include "probe/hdr_facts.h"

namespace vellinor {
namespace {

constexpr const char* kReaderResource = "sniffer";
constexpr std::size_t kMaxReaderOutput = std::size_t{1} << 20;

// The tracks (by position) whose facts need the first frame, with their stream indexes.
struct Wanted {
    std::size_t track = 0;
    std::int64_t streamIndex = 0;
};

std::vector<Wanted> wantedStreams(const FileProbe& probe)
{
    std::vector<Wanted> wanted;
    if (!probe.json)
        return wanted;
    const JSON streams = (*probe.json)["streams"];
    for (std::size_t i = 0; i < probe.tracksInfo.size(); ++i) {
        const TrackInfo& track = probe.tracksInfo[i];
        const JSON stream = streams[track.trackNumber];
        if (track.hdr && needsFirstFrame(stream, *track.hdr))
            wanted.push_back({i, stream["index"].intOptional().value_or(track.trackNumber)});
    }
    return wanted;
}

}  // namespace

int addFirstFrameHdrFacts(FileProbe& probe, const std::string& path,
                          const FirstFrameOptions& options)
{
    const std::vector<Wanted> wanted = wantedStreams(probe);
    if (wanted.empty())
        return 0;
    std::string reader = options.readerPath;
    if (reader.empty()) {
        auto resource = platform::resourcePath(kReaderResource);
        if (!resource)
            return 0;
        reader = std::move(*resource);
    }

    std::vector<std::string> arguments{"--hdr", FileProbe::toolArguments(path).back()};
    for (const Wanted& one : wanted)
        arguments.push_back(std::to_string(one.streamIndex));
    platform::ProcessOptions processOptions;
    processOptions.timeout = options.timeout;
    processOptions.maxOutputBytes = kMaxReaderOutput;
    auto run = platform::runProcess(reader, arguments, processOptions);
    if (run.outcome != platform::ProcessResult::Outcome::exited || run.exitCode != 0) {
        if (run.outcome == platform::ProcessResult::Outcome::failedToStart)
            diagnostics::emitLine(run.startError);
        return static_cast<int>(wanted.size());
    }
    auto document = JSON::parse(run.standardOutput);
    if (!document)
        return static_cast<int>(wanted.size());
    for (const auto& [position, frame] : (*document)["frames"]) {
        const auto index = frame["stream_index"].intOptional();
        for (const Wanted& one : wanted) {
            if (!index || *index != one.streamIndex)
                continue;
            TrackInfo& track = probe.tracksInfo[one.track];
            addFirstFrameFacts(*track.hdr, frame);
            setHdrRows(track.trackKeyValue, *track.hdr);
        }
    }
    return static_cast<int>(wanted.size());
}

}  // namespace vellinor
