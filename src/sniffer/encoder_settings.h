#pragma once

// `sniffer --encoder FILE`: the encoder's own text from the first packets of each H.264 and
// HEVC video stream (encoder_sei.h), as one JSON object:
//     {"streams": [{"index": 0, "text": "x264 - core 164 r3095 baee400 - ..."}]}
// Streams without such text are left out. Reads at most a few dozen packets per stream.

#include <cstdio>

namespace sniffer {

// 0 when the file was read (with or without text found), 1 when it could not be opened.
int writeEncoderSettings(const char* path, std::FILE* out);

}  // namespace sniffer
