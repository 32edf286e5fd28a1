#pragma once

// Packet statistics of a media file: the bytes of each stream per second, its keyframes and GOP
// lengths, read from the packets without decoding by the packet reader (a child process, see
// packet_scan.h). This header holds the result, the parser of the reader's line format, and
// the rules derived from it, so the window and vellinor-cli show the same numbers.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/expected.h"

namespace vellinor {

// One second of one stream: the packets whose presentation time falls in [second, second + 1),
// counted from the start of the file.
struct PacketBin {
    std::int64_t second = 0;
    std::int64_t bytes = 0;
    std::int64_t packets = 0;
    std::int64_t keyframes = 0;

    [[nodiscard]] std::int64_t bits() const { return bytes * 8; }
    friend bool operator==(const PacketBin&, const PacketBin&) = default;
};

struct KeyframePosition {
    double time = 0.0;       // presentation time, seconds from the start of the file
    std::int64_t frame = 0;  // the frame's number in presentation order, from 0

    friend bool operator==(const KeyframePosition&, const KeyframePosition&) = default;
};

struct StreamPackets {
    std::int64_t index = 0;       // the stream's index, as in the probe document
    std::string kind;             // "video", "audio", "subtitle", "data", "attachment", "unknown"
    std::string codec;            // e.g. "h264"
    std::vector<PacketBin> bins;  // seconds with packets, in ascending order
    std::vector<KeyframePosition> keyframes;  // video streams only, in file order
    std::int64_t frameCount = 0;              // video streams only

    [[nodiscard]] bool isVideo() const { return kind == "video"; }
    friend bool operator==(const StreamPackets&, const StreamPackets&) = default;
};

struct PacketStatistics {
    std::optional<double> duration;      // seconds, when the reader knew it
    std::optional<double> packetsEnd;    // where the last packet ends, seconds from the start
    std::vector<StreamPackets> streams;  // by index

    // The number of one-second bins that cover every stream's packets (the last bin's second,
    // plus one). The duration plays no part: a damaged header may claim any.
    [[nodiscard]] std::int64_t secondCount() const;
    friend bool operator==(const PacketStatistics&, const PacketStatistics&) = default;
};

// The reader's output (the format is described in src/sniffer/packet_scan.h). Fails on a line
// that does not read, a bin or keyframe of a stream that was never declared, or output without
// the closing "end" line (the reader stopped early). Lines of unknown kinds are skipped.
Expected<PacketStatistics> parsePacketStatistics(std::string_view text);

// The fraction read so far, from one "progress <read> <size>" line (without its line break),
// in [0, 1]; nothing for any other line or a size that is not known.
std::optional<double> packetProgress(std::string_view line);

// A reader's output as it streams in, piece by piece: each piece's last progress line goes to
// `onProgress`, whose answer (false: stop) is the piece's. For ProcessOptions::onOutput.
class ProgressLines {
public:
    explicit ProgressLines(const std::function<bool(double)>& onProgress);
    bool take(std::string_view piece);

private:
    const std::function<bool(double)>& m_onProgress;
    std::string m_pending;
    double m_fraction = 0.0;
};

// A stream's bins for every second in [0, secondCount): the seconds without packets as zero.
std::vector<PacketBin> everySecond(const StreamPackets& stream, std::int64_t secondCount);

// The length in frames of the GOP that keyframe `keyframe` (its place in stream.keyframes)
// starts: up to the next keyframe, the last one to the end of the stream. Nothing when the
// numbers do not grow (a damaged file).
std::optional<std::int64_t> gopLengthAt(const StreamPackets& stream, std::size_t keyframe);

// Every GOP's length, in file order.
std::vector<std::int64_t> gopLengths(const StreamPackets& stream);

struct GopSummary {
    std::int64_t minimum = 0;
    double median = 0.0;  // the mean of the middle two when the count is even
    std::int64_t maximum = 0;
    std::size_t count = 0;

    friend bool operator==(const GopSummary&, const GopSummary&) = default;
};

// Nothing for a stream without keyframes.
std::optional<GopSummary> summarizeGops(const StreamPackets& stream);

}  // namespace vellinor
