#pragma once

// The probe document: what "ffprobe -v quiet -print_format json -show_format -show_streams
// -show_chapters -show_error PATH" prints for a file, written by our own code over libavformat.

#include <string>

namespace sniffer {

// Appends the document for `path` to `out` and returns the exit status ffprobe gives for it:
// 0, or 1 with an "error" object when the file cannot be opened or read. Call it in a process
// whose libav log level is already set (the caller decides how quiet the libraries are).
int writeProbeDocument(const char* path, std::string& out);

}  // namespace sniffer
