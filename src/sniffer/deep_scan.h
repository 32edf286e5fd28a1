#pragma once

// The deep scan of a media file (`sniffer --scan PATH`): every audio and video stream decoded
// once, with the analyses of stream_scan.h, and the file's raw bytes hashed. While it reads it
// prints progress lines in the format of `--packets`:
//
//     progress <bytes read> <file size>
//
// and then one JSON document on one line, which vellinor_core's scan parser reads
// (src/probe/scan_result.h):
//
//     {"version":1,"size":N,"sha256":"..","md5":"..","truncated":false,"truncation":null,
//      "container_errors":0,"container_messages":[],"declared_duration":12.0,
//      "duration":12.0,"streams":[{...}]}
//
// Times are seconds from the start of the file.

#include <cstdio>

namespace sniffer {

// Returns the process exit status: 0 when the file was scanned (damage is in the document),
// 1 when it could not be opened (then one line "error <the library's message>" is printed).
int writeDeepScan(const char* path, std::FILE* out);

}  // namespace sniffer
