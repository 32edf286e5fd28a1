#pragma once

// Routes the libav libraries' log lines to the scan that caused them: a decoder's error lines
// to its stream (they name the damage: "error while decoding MB 3 4"), a demuxer's error lines
// to the file ("stream 1, offset 0x2a0: partial file"), and the loudness filter's summary to
// its stream. Decoder threads log too, so every route is guarded.

#include <string>
#include <string_view>

extern "C" {
struct AVCodecContext;
struct AVFilterContext;
}

namespace sniffer {

// Where a route's lines go: a plain function and its owner, no virtual call (UBSan's vptr check
// probes memory with a system call the sandbox refuses).
struct LogSink {
    void (*take)(void* owner, int level, std::string_view line) = nullptr;
    void* owner = nullptr;
    void logLine(int level, std::string_view line) const { take(owner, level, line); }
};

// Installs the routing callback (nothing else is printed from then on).
void installScanLog();

// A decoder's lines (its threads' copies carry the same `opaque`) and a filter's lines go to
// `sink` until removed. The sink must outlive the route.
void routeDecoderLog(AVCodecContext* decoder, LogSink* sink);
void routeFilterLog(const AVFilterContext* filter, LogSink* sink);
void routeContainerLog(LogSink* sink);
void removeLogRoutes(LogSink* sink);

}  // namespace sniffer
