#pragma once

// The comparison of several probed files, side by side: one column per file, one row per fact.
// The rows are the container, its title and the overview's facts, then, for each track position
// matched by kind and order across the files (Video 1, Audio 1, Audio 2, Subtitle 1, ...), the
// facts that tell tracks apart: codec, language, duration, summary, and the detail keys that matter
// most (resolution, frame rate, pixel format, colour, channels, sample rate, bit rate, title,
// default and forced). Both faces show this one model, and its CSV and JSON texts.
//
//     std::vector<ComparedFile> files = {probed(a), probed(b), failed("c.mkv", "empty file")};
//     Comparison comparison = compareFiles(files);
//     for (const ComparisonRow& row : onlyDifferences(comparison).rows) ...

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "json/json.h"
#include "probe/file_probe.h"

namespace vellinor {

// One file as the comparison takes it. With a probe it is compared; without one it has either
// a problem (it could not be probed: its column says why) or none yet (its probe still runs).
struct ComparedFile {
    std::string name;  // the column title, usually the last component of the path
    std::string path;  // as the user gave it
    std::shared_ptr<const FileProbe> probe;
    std::string problem;

    [[nodiscard]] bool isPending() const { return !probe && problem.empty(); }
    [[nodiscard]] bool isProbed() const { return probe != nullptr && problem.empty(); }
};

// A cell: a fact's text, or nothing when the file has no such track (or has not been probed).
// An empty text and no value are not the same: a track without a title has the value "".
using ComparisonCell = std::optional<std::string>;

struct ComparisonRow {
    std::string track;  // "File" for the file's own facts, else "Video 1", "Audio 2", ...
    std::string fact;   // "Frame rate", "Language", ...
    std::string key;    // the detail key the fact comes from ("pix_fmt"), or empty
    std::vector<ComparisonCell> cells;  // one per file, in the files' order
    // The probed files do not all agree: their cells are not all equal (a missing track counts
    // as a value of its own). Files without a probe take no part, except in the "Problem" row.
    bool differs = false;
};

struct Comparison {
    std::vector<ComparedFile> files;
    std::vector<ComparisonRow> rows;

    // True when any row differs.
    [[nodiscard]] bool differs() const;
    // How many rows differ.
    [[nodiscard]] std::size_t differingRowCount() const;
};

// The track-level name of the row block that holds file-level facts.
inline constexpr std::string_view kFileTrack = "File";
// The fact of the row that says why a file could not be probed; present when any file failed.
inline constexpr std::string_view kProblemFact = "Problem";

// Probes `path` for a comparison: its probe, and why it counts as failed (the verdict's problem:
// "no such file", "empty file", "not a media file", the probe tool's own words), if it does. A
// path that cannot be probed at all is not handed to the tool. The name is the path's last
// component.
ComparedFile probeComparedFile(const std::string& path, const ProbeOptions& options);

// Builds the comparison of `files`, in their order. Rows whose cells are all missing or empty
// (a bit rate that no file states) are left out, except the overview's facts, which are
// always there. Never fails: any mix of probed, failed and pending files gives a table.
Comparison compareFiles(std::vector<ComparedFile> files);

// The same comparison with only the rows that differ.
Comparison onlyDifferences(const Comparison& comparison);

// The comparison as CSV (RFC 4180, UTF-8, CR LF): a header "Track,Fact,Differs,<file>...",
// then one record per row; "Differs" is "yes" or empty, a missing cell an empty field.
std::string comparisonCsv(const Comparison& comparison);

// The comparison as a JSON value:
//   {"files": [{"name", "path", "problem"}], "differs": true,
//    "rows": [{"track", "fact", "key", "differs", "values": ["25", "29.97", null]}]}
// "problem" and "key" are null when empty; a missing cell is null. Texts that are not UTF-8
// (a file name) are mended to U+FFFD, so the value always writes.
JSON comparisonJson(const Comparison& comparison);

}  // namespace vellinor
