#pragma once

// What an MPEG-2 (or MPEG-1) video stream's headers say of how it was encoded, read from its
// packets as they are stored, without decoding: the GOP structure (M, the distance between
// anchor frames; N, the frames from one I-frame to the next), whether GOPs are open or closed,
// whether the sequence header loads its own quantisation matrices, and the first GOP header's
// time code.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sniffer {

struct Mpeg2Structure {
    friend bool operator==(const Mpeg2Structure&, const Mpeg2Structure&) = default;

    std::optional<int> gopM = std::nullopt;  // 1 + the longest run of B-frames
    std::optional<int> gopN = std::nullopt;  // frames from one I-frame to the next
    bool gopVariable = false;                // the I-to-I distances differ
    std::optional<bool> firstGopClosed = std::nullopt;
    std::optional<bool> laterGopsOpen = std::nullopt;  // any GOP after the first is open
    std::optional<bool> customMatrix =
        std::nullopt;           // the sequence header or its extension loads a matrix
    std::string timecode = {};  // "01:02:03:04" ("01:02:03;04" drop-frame); may be empty
};

// Fed one packet after another (in stored order); knows when it has seen enough.
class Mpeg2HeaderReader {
public:
    void read(std::string_view packet);
    // Three whole I-to-I distances seen: the rest of the stream is not needed.
    [[nodiscard]] bool done() const;
    [[nodiscard]] Mpeg2Structure structure() const;

private:
    void startCode(std::uint8_t code, std::string_view after);
    void picture(int type);

    std::optional<bool> m_customMatrix;
    std::optional<bool> m_firstGopClosed;
    std::optional<bool> m_laterGopsOpen;
    std::string m_timecode;
    int m_gops = 0;
    bool m_secondFieldNext = false;
    bool m_lastWasFirstField = false;
    int m_bRun = 0;
    int m_longestBRun = 0;
    bool m_sawAnchor = false;
    int m_framesSinceI = -1;        // -1: no I-frame yet
    std::vector<int> m_iDistances;  // frames from each I-frame to the next
};

}  // namespace sniffer
