#pragma once

// MPEG-1 and MPEG-2 video headers say "variable bit rate" by writing the largest rate they can
// hold (0x3FFFF units of 400 b/s), and the probe tool passes it on as the stream's bit rate.
// For a stream without timestamps (an elementary stream) it then estimates the length from
// that "rate": a 4 s file reads as 0.014 s at 104,853 kb/s. Such a length is replaced here by
// where the packets end, read by the packet reader (`sniffer --packets`, through the
// ToolRunner, so the probe cache answers it) when the file is small enough to read quickly;
// a larger one is shown without a length or bit rate rather than with wrong ones.

#include <cstdint>
#include <string>

#include "json/json.h"

namespace vellinor {

class FileProbe;
class ToolRunner;

inline constexpr std::int64_t kMpegVariableBitRate = 104'857'200;

// Whether `stream`'s bit rate is the marker.
bool isVariableBitRateMarker(const JSON& stream);

// Whether the document's length is the tool's estimate from the streams' bit rates, one of
// which is the marker.
bool lengthEstimatedFromMarker(const JSON& document, std::uint64_t fileSize);

// Files larger than this are not read for their packets' end.
inline constexpr std::uint64_t kMaxPacketsEndBytes = std::uint64_t{256} << 20;

// For a file whose length was estimated from the marker: sets `probe.lengthFromMarker`, and
// its duration, bit rate and the tracks' durations from `probe.packetsEnd` when the packet
// reader tells it (cleared otherwise). `runner` null: a one-shot run.
void mendLengthFromMarker(FileProbe& probe, const std::string& path, ToolRunner* runner = nullptr);

}  // namespace vellinor
