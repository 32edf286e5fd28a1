#pragma once

// `sniffer --headers FILE`: facts that only a stream's own headers hold, for the Facts view:
//   - MPEG-1/2 video: the GOP structure, open or closed GOPs, custom quantisation matrices and
//     the first GOP's time code (mpeg2_headers.h), from the first GOPs' packets;
//   - AC-3 and E-AC-3: the service kind its first frame states (bsmod), which the decoder
//     reads;
//   - Matroska: the segment UID (segment_uid.h), from the file's first 64 KiB.
// It prints one JSON object; members and streams without anything found are left out:
//   {"segment_uid": "EF1D3792B77AE458159FCE441079CD87",
//    "streams": [{"index": 0, "gop_m": 3, "gop_n": 12, "gop_variable": false,
//                 "first_gop_closed": true, "later_gops_open": true, "custom_matrix": false,
//                 "timecode": "01:02:03:04"},
//                {"index": 1, "service_type": 0}]}
// service_type is libavcodec's AVAudioServiceType (0 main ... 8 karaoke).

#include <cstdio>

namespace sniffer {

// 0 when the file was read (with or without facts found), 1 when it could not be opened.
int writeStreamHeaders(const char* path, std::FILE* out);

}  // namespace sniffer
