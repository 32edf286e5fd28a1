#pragma once

// HDR facts of a video stream: its colour primaries, transfer and matrix with their names, the
// mastering display and content light level (static HDR metadata), the Dolby Vision
// configuration, HDR10+ dynamic metadata, and a one-line summary ("HDR10", "HLG",
// "Dolby Vision 8.1, HDR10 compatible", "SDR"). Read from the stream's entry in the probe
// document and, where only the frames carry the metadata (HEVC SEI messages), from the side
// data of its first frame (hdr_first_frame.h). One place for the rules both front ends show.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "json/json.h"
#include "probe/key_value_row.h"

namespace vellinor {

struct Chromaticity {
    double x = 0.0;
    double y = 0.0;
    friend bool operator==(const Chromaticity&, const Chromaticity&) = default;
};

struct MasteringDisplay {
    std::optional<Chromaticity> red, green, blue, whitePoint;
    std::optional<double> minLuminance, maxLuminance;  // cd/m²
    friend bool operator==(const MasteringDisplay&, const MasteringDisplay&) = default;
};

struct ContentLightLevel {
    std::int64_t maxCll = 0;   // brightest pixel of the content, cd/m²
    std::int64_t maxFall = 0;  // brightest frame average, cd/m²
    friend bool operator==(const ContentLightLevel&, const ContentLightLevel&) = default;
};

struct DolbyVisionConfiguration {
    std::int64_t profile = 0;
    std::int64_t level = 0;
    std::int64_t compatibilityId = 0;  // what a player without Dolby Vision shows: 1 HDR10, ...
    bool rpu = false;                  // reference processing unit present
    bool enhancementLayer = false;
    bool baseLayer = false;
    friend bool operator==(const DolbyVisionConfiguration&,
                           const DolbyVisionConfiguration&) = default;
};

struct HdrFacts {
    // As the probe tool names them ("bt2020", "smpte2084", "bt2020nc"); empty when not known.
    std::string primaries;
    std::string transfer;
    std::string matrix;
    std::optional<MasteringDisplay> masteringDisplay;
    std::optional<ContentLightLevel> contentLightLevel;
    std::optional<DolbyVisionConfiguration> dolbyVision;
    bool hdr10Plus = false;
    bool readFirstFrame = false;  // the first frame was decoded for the facts above

    friend bool operator==(const HdrFacts&, const HdrFacts&) = default;
};

// Whether a stream of the probe document gets HDR facts: video that is not an attached picture.
bool hasHdrFacts(const JSON& stream);

// The facts a stream of the probe document carries itself.
HdrFacts hdrFactsOf(const JSON& stream);

// Adds the facts of one frame's entry as the packet reader's --hdr mode (or ffprobe's
// -show_frames) prints it: its "side_data_list", and its colour fields where the stream's are
// not known. What the stream itself says is kept.
void addFirstFrameFacts(HdrFacts& facts, const JSON& frame);

// True when the stream's document leaves out what its first frame may hold: video whose
// transfer is PQ or HLG, or not given while its pixels have more than 8 bits, and whose entry
// has neither mastering display nor content light level. Everything else (8-bit video without
// transfer, SDR, HDR with its metadata in the container) costs nothing more.
bool needsFirstFrame(const JSON& stream, const HdrFacts& facts);

// The summary: "Dolby Vision <profile>[.<compatibility>]" with what it is compatible with and
// ", HDR10+" when present; else "HDR10+", "HDR10" (PQ with BT.2020 or unknown primaries, or
// static metadata without a transfer), "PQ" (other primaries), "HLG", or "SDR".
std::string hdrSummary(const HdrFacts& facts);

// "bt2020 (BT.2020)": the tool's name and the common one; the name alone when it has no other.
std::string primariesText(std::string_view name);
std::string transferText(std::string_view name);
std::string matrixText(std::string_view name);

// The rows the details show, each key starting "HDR" (the summary is "HDR").
KeyValueRows hdrRows(const HdrFacts& facts);

// Puts `facts`' rows into a stream's sorted detail rows, replacing any HDR rows there.
void setHdrRows(KeyValueRows& rows, const HdrFacts& facts);

// The record's "hdr" object (README "Record format").
JSON hdrRecord(const HdrFacts& facts);

}  // namespace vellinor
