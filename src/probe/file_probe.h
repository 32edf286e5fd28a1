#pragma once

// FileProbe: the record of one probed media file, built in one step from a path. The
// constructor reads the file size, runs the probe tool (resource "sniffer", i.e. ffprobe) with
// nine fixed arguments, parses its JSON and derives every field. It never fails and never
// throws: problems show as hasErrors / isValidMediaFile and fields left at their initial values.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "json/json.h"
#include "probe/declared_extent.h"
#include "probe/encoder_settings.h"
#include "probe/hdr_facts.h"
#include "probe/key_value_row.h"
#include "probe/probe_defaults.h"
#include "probe/stream_headers.h"
#include "probe/tool_runner.h"

namespace vellinor {

// One row of the track list; the field names are the keys the tables read.
struct TrackInfo {
    std::int64_t trackNumber = 0;  // position in "streams", from 0
    std::string trackType;         // Audio, Video, Subtitle, Closed Caption, Poster, Chapter, Other
    std::string trackCodec;
    double trackDuration = 0.0;  // seconds
    std::string trackDurationHuman;
    std::string trackLanguage;  // English language name, or empty
    std::string trackExtraInfo;
    KeyValueRows trackKeyValue;   // the stream's detail rows
    std::optional<HdrFacts> hdr;  // video (not attached pictures) only
    // What x264 or x265 wrote into the first frame (H.264 and HEVC video, when asked for).
    std::optional<EncoderSettings> encoder;
    // What the stream's own headers say (MPEG video's GOPs, AC-3's service kind), when asked for.
    std::optional<StreamHeaders> headers;

    friend bool operator==(const TrackInfo&, const TrackInfo&) = default;
};

struct ProbeOptions {
    // The tool to run instead of the "sniffer" resource (tests, and anyone who wants another
    // ffprobe). Empty: look the resource up.
    std::string toolPath;
    // A tool that runs longer is killed and its run counts as empty output. Zero: no limit.
    std::chrono::milliseconds timeout = probe_defaults::kTimeLimit;
    // Where the tool output comes from (a warm server, a cache). Null: a one-shot run of
    // toolPath (or the resource) with the timeout above, both of which a runner ignores.
    std::shared_ptr<ToolRunner> toolRunner;
    // Read what only the bitstream holds, for the facts: the encoder's settings from the first
    // frame of H.264 and HEVC tracks, and the stream headers (stream_headers.h); a child
    // process per such file and reader, so off where no facts are shown.
    bool bitstreamFacts = false;
    // Set by the caller to give up on the probe (Cancel, quitting): the tool's run ends as soon
    // as the runner can end it, its problem says it was cancelled, and nothing more is read.
    std::shared_ptr<const std::atomic<bool>> cancelled{};
};

class FileProbe {
public:
    // The record with every field at its initial value; nothing is probed.
    FileProbe() = default;
    explicit FileProbe(const std::string& path, const ProbeOptions& options = {});

    // The arguments the tool is run with for `path` (probeToolArguments): "-v", "quiet",
    // "-print_format", "json", "-show_format", "-show_streams", "-show_chapters", "-show_error",
    // then the path, made absolute so it reaches the tool as a file (toolFilePath).
    static std::vector<std::string> toolArguments(const std::string& path);

    // Steps after the tool has run: parse `output` and derive every probe field. `path` gives
    // the extension test. Public so the derivation can be exercised without a tool.
    void readToolOutput(std::string_view output, const std::string& path);
    // The same steps from an already parsed document (everything after the parse).
    void readDocument(const JSON& document, const std::string& path);

    // The detail rows of one stream (flattened disposition and tags, frame rate, chapter rows in
    // front of a "bin_data" stream), sorted by name.
    [[nodiscard]] KeyValueRows trackDetails(const JSON& stream) const;
    // The chapters of the probe document as title / "start - end" rows, sorted by range text.
    [[nodiscard]] KeyValueRows chapterRows() const;
    // The "format" object of `document` as sorted rows, tags suffixed ".tags".
    [[nodiscard]] static KeyValueRows containerMetadata(const JSON& document);

    // ---- Fields, in declaration order; the shell reads them by name ----
    std::optional<std::uint64_t> fileSize;
    std::optional<std::string> fileSizeHuman;
    std::optional<std::string> fileName;
    bool hasErrors = false;
    bool isValidMediaFile = false;
    bool isEncrypted = false;
    std::int64_t numberOfTracks = 0;
    double duration = 0.0;
    std::optional<std::string> durationHuman;
    std::int64_t bitrate = 0;
    std::optional<std::string> bitrateHuman;
    std::int64_t numberOfVideoTracks = 0;
    std::int64_t numberOfAudioTracks = 0;
    std::int64_t numberOfSubtitleTracks = 0;
    std::optional<JSON> json;
    std::vector<TrackInfo> tracksInfo;
    KeyValueRows metadata;
    std::optional<JSON> firstVideoTrackInfo;
    std::optional<JSON> firstAudioTrackInfo;

    // Why the tool run gave nothing to read, as one line for the user ("the probe tool timed out
    // after 60 s", "could not start the probe tool: ..."); empty when the run was fine. It
    // changes no other field: such a run reads as empty output.
    std::string toolProblem;
    // The probe tool's own words when its document holds an "error" object (its "string":
    // "Invalid data found when processing input"); empty otherwise. Like toolProblem, it only
    // explains: the record stays that of a file with errors.
    std::string toolError;
    // The size the container's header declares, asked for the files where it can tell that the
    // file ends early (declared_extent.h); none otherwise.
    std::optional<DeclaredExtent> declaredExtent;
    // The document's length was estimated from MPEG's "variable" bit-rate marker
    // (variable_bit_rate.h): duration, bit rate and the tracks' durations then come from where
    // the packets end, read by the packet reader, or are unknown when it was not read.
    bool lengthFromMarker = false;
    std::optional<double> packetsEnd;
    // A Matroska segment's UID, 32 hexadecimal digits, when the stream headers were read.
    std::optional<std::string> segmentUid;

private:
    void buildTrackList(const JSON& document);
};

}  // namespace vellinor
