#pragma once

// The deep scan of one file: decode errors and truncation, exact counts and timing, interlacing,
// loudness, black, frozen and silent spans, captions, and content hashes, as `sniffer --scan`
// measured them (its output format is described in src/sniffer/deep_scan.h). This header holds
// the result, its parser, and what both faces show of it: the report lines, the record object
// and the verdict.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/expected.h"
#include "json/json.h"

namespace vellinor {

struct ScanSpan {
    double start = 0.0;  // seconds from the start of the file
    double end = 0.0;
    friend bool operator==(const ScanSpan&, const ScanSpan&) = default;
};

struct ScanError {
    std::optional<double> time;
    std::string message;  // the decoder's own words
    friend bool operator==(const ScanError&, const ScanError&) = default;
};

struct ScanLoudness {
    double integrated = 0.0;         // LUFS
    std::optional<double> range;     // LU
    std::optional<double> truePeak;  // dBTP; nothing for digital silence
    friend bool operator==(const ScanLoudness&, const ScanLoudness&) = default;
};

struct ScanInterlacing {
    std::int64_t progressive = 0;
    std::int64_t topFieldFirst = 0;
    std::int64_t bottomFieldFirst = 0;
    std::int64_t undetermined = 0;
    friend bool operator==(const ScanInterlacing&, const ScanInterlacing&) = default;
};

struct StreamScanFacts {
    std::int64_t index = 0;
    std::string kind;  // "video" or "audio"
    std::string codec;
    std::optional<std::string> decoderProblem;  // the stream could not be decoded at all
    std::int64_t decodeErrors = 0;
    std::vector<ScanError> firstErrors;
    std::optional<std::int64_t> frames;   // video
    std::optional<std::int64_t> samples;  // audio
    std::optional<std::int64_t> sampleRate;
    std::optional<double> start, end, duration;  // by the decoded frames' timestamps
    std::optional<std::string> frameRateMode;    // "constant" or "variable"
    std::optional<double> frameDurationMin, frameDurationMax;
    std::optional<ScanInterlacing> interlacing;
    std::vector<ScanSpan> black, frozen, silence;
    std::vector<std::string> captions;  // "CEA-608", "CEA-708"
    std::optional<ScanLoudness> loudness;
    std::optional<std::string> md5;  // of the decoded content

    [[nodiscard]] bool isVideo() const { return kind == "video"; }
    friend bool operator==(const StreamScanFacts&, const StreamScanFacts&) = default;
};

struct ScanResult {
    std::int64_t size = 0;
    std::optional<std::string> sha256, md5;  // of the file's bytes
    bool truncated = false;
    std::optional<std::string> truncation;  // why it counts as truncated
    std::int64_t containerErrors = 0;
    std::vector<std::string> containerMessages;
    std::optional<double> declaredDuration, duration;
    std::vector<StreamScanFacts> streams;

    [[nodiscard]] std::int64_t decodeErrors() const;
    // Decode errors, a stream that would not decode, or truncation: the file is damaged.
    [[nodiscard]] bool damaged() const;
    friend bool operator==(const ScanResult&, const ScanResult&) = default;
};

// The scanner's output: progress lines, then the document. Fails when there is no document
// (the scanner stopped early), it does not parse, or it is not a scan of a known version.
Expected<ScanResult> parseScanOutput(std::string_view text);

// The verdict line both faces show for a damaged file.
inline constexpr const char* kDecodeErrorsVerdict = "Decode errors found";

// One line on the state of the file: "No decode errors", "12 decode errors in video stream 0,
// first at 00:01:02.345: error while decoding MB 3 4", "Truncated: the file ends inside a
// packet".
std::vector<std::string> scanVerdictLines(const ScanResult& scan);

// The short readable report: the verdict lines, then each stream's facts, then the hashes.
std::vector<std::string> scanReportLines(const ScanResult& scan);

// The scan in a text report: a blank line, "Scan", then the report lines indented by two.
std::string scanReportSection(const ScanResult& scan);

// "Loudness -23.1 LUFS, range 6.2 LU, true peak -1.3 dBTP".
std::string loudnessText(const ScanLoudness& loudness);

// The `scan` object of a file's record (README, "Record format").
JSON scanRecord(const ScanResult& scan);

}  // namespace vellinor
