#pragma once

// Facts that only a stream's own headers hold, read by the sniffer (`sniffer --headers`,
// through the ToolRunner, so the probe cache answers it for an unchanged file) for files with
// MPEG-1/2 video, AC-3 or E-AC-3 audio, or a Matroska container: the GOP structure, open or
// closed GOPs, custom quantisation matrices and the first GOP's time code of MPEG video; the
// service kind (bsmod) of Dolby audio; the Matroska segment UID.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vellinor {

class FileProbe;
class ToolRunner;

// What the headers of one stream say; only what was found is set.
struct StreamHeaders {
    friend bool operator==(const StreamHeaders&, const StreamHeaders&) = default;

    std::optional<std::int64_t> gopM = std::nullopt;  // distance between anchor frames
    std::optional<std::int64_t> gopN = std::nullopt;  // frames from one I-frame to the next
    bool gopVariable = false;
    std::optional<bool> firstGopClosed = std::nullopt;
    std::optional<bool> laterGopsOpen = std::nullopt;
    std::optional<bool> customMatrix = std::nullopt;
    std::string timecode = {};  // the first GOP header's, "01:02:03:04"
    std::optional<std::int64_t> serviceType =
        std::nullopt;  // AC-3's bsmod as libavcodec names it, 0 to 8
};

// What the reader printed: the segment UID and the headers of each stream by index.
struct HeadersReading {
    std::optional<std::string> segmentUid;  // 32 hexadecimal digits
    std::vector<std::pair<std::int64_t, StreamHeaders>> streams;
};
std::optional<HeadersReading> parseStreamHeaders(std::string_view output);

// Whether `probe` has anything the reader can tell.
bool wantsStreamHeaders(const FileProbe& probe);

// Sets `headers` of the tracks the reader found something for and `probe.segmentUid`. A reader
// that fails changes nothing. `runner` null: a one-shot run.
void addStreamHeaders(FileProbe& probe, const std::string& path, ToolRunner* runner = nullptr);

// Dolby's words for a service kind: 0 "Complete Main", 1 "Music and Effects", ... 8
// "Karaoke"; empty for another number.
std::string_view serviceKindName(std::int64_t serviceType);

}  // namespace vellinor
