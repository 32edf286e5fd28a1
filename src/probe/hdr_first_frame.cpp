#include "probe/hdr_first_frame.h"

#include <vector>

#include "probe/file_probe.h"
#include "probe/hdr_facts.h"
#include "probe/one_shot_tool_runner.h"

namespace vellinor {
namespace {

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

Expected<int> addFirstFrameHdrFacts(FileProbe& probe, const std::string& path, ToolRunner* runner)
{
    const std::vector<Wanted> wanted = wantedStreams(probe);
    if (wanted.empty())
        return 0;
    std::vector<std::int64_t> streamIndexes;
    for (const Wanted& one : wanted)
        streamIndexes.push_back(one.streamIndex);
    OneShotToolRunner oneShot;
    const ToolRun run = (runner != nullptr ? *runner : oneShot).runFirstFrames(path, streamIndexes);
    if (!run.status)
        return Unexpected(run.status.failure());
    auto document = JSON::parse(run.output);
    if (!document)
        return Unexpected("the frame reader printed no document: " + document.error());
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
