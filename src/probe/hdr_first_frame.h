#pragma once

// Completes the HDR facts of a probed file from the first frames of its video streams, for the
// streams whose probe document leaves them out (needsFirstFrame in hdr_facts.h): the packet
// reader decodes one frame per stream in a child process (`sniffer --hdr PATH INDEX...`,
// asked through the ToolRunner, so the probe cache answers it for an unchanged file) and
// prints its side data. Files that need nothing (8-bit SDR, HDR with its metadata in the
// container) ask nothing.

#include <string>

#include "base/expected.h"

namespace vellinor {

class FileProbe;
class ToolRunner;

// Adds the first frames' facts to the tracks of `probe` (its `hdr` and the HDR detail rows).
// Gives the number of streams the reader was asked about (0: nothing was asked), or why the
// reader gave nothing; a reader that fails changes nothing. `runner` null: a one-shot run.
Expected<int> addFirstFrameHdrFacts(FileProbe& probe, const std::string& path,
                                    ToolRunner* runner = nullptr);

}  // namespace vellinor
