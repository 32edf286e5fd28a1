#pragma once

// Completes the HDR facts of a probed file from the first frames of its video streams, for the
// streams whose probe document leaves them out (needsFirstFrame in hdr_facts.h): the packet
// reader decodes one frame per stream in a child process (`sniffer --hdr PATH INDEX...`)
// and prints its side data. Files that need nothing (8-bit SDR, HDR with its metadata in the
// container) start no process.

#include <chrono>
#include <string>

namespace vellinor {

class FileProbe;

struct FirstFrameOptions {
    std::string readerPath;  // empty: the "sniffer" resource
    // One frame takes milliseconds; a reader still busy after this is stuck on a hostile file.
    std::chrono::milliseconds timeout{10'000};
};

// Adds the first frames' facts to the tracks of `probe` (its `hdr` and the HDR detail rows).
// Returns the number of streams the reader was asked about (0: no process was started). A
// reader that fails changes nothing.
int addFirstFrameHdrFacts(FileProbe& probe, const std::string& path,
                          const FirstFrameOptions& options = {});

}  // namespace vellinor
