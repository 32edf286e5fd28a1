#pragma once

// The one-shot mode: ffprobe's nine probe arguments, one document on standard output.

namespace sniffer {

// True for exactly "-v quiet -print_format json -show_format -show_streams -show_chapters
// -show_error PATH" (the path may be anything, even empty).
bool isProbeCommand(int argc, const char* const* argv);

// Probes `path` quietly, prints its document and returns the exit status.
int runOneShot(const char* path);

}  // namespace sniffer
