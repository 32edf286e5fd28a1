#pragma once

// The deep scan's facts in a comparison of files (comparison.h), for files that were all
// scanned: damage, decoded durations and counts, loudness, and each stream's content hash as a
// row, with a closing "Content" row that marks files whose stream hashes are all equal as
// "same content" (a remux that kept the content, a copy in another container).

#include <memory>
#include <vector>

#include "probe/comparison.h"
#include "probe/scan_result.h"

namespace vellinor {

// The text of a "Content" cell for files whose decoded content is equal.
inline constexpr const char* kSameContent = "same content";
inline constexpr const char* kDifferentContent = "different content";
// The track name of the scan's rows: "Scan" for the file, "Scan 0", "Scan 1" per stream index.
inline constexpr std::string_view kScanTrack = "Scan";

// Appends the rows when every probed file of `comparison` has a scan (`scans` holds one entry
// per file, in its order; null for a file without one) and at least two were scanned; leaves
// the comparison as it is otherwise.
void appendScanRows(Comparison& comparison,
                    const std::vector<std::shared_ptr<const ScanResult>>& scans);

}  // namespace vellinor
