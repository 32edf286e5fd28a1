#pragma once

// The side data of the first decoded frame of video streams (`sniffer --hdr PATH [INDEX...]`): HDR
// facts that some files carry only in the bitstream, such as HEVC mastering display and content
// light level SEI messages, and HDR10+ dynamic metadata. Prints one JSON document in the shape
// ffprobe prints frames in:
//
//     {"frames": [{"stream_index": 0, "color_primaries": "bt2020", "color_transfer": "smpte2084",
//                  "color_space": "bt2020nc", "side_data_list": [{"side_data_type": "...", ...}]}]}
//
// with one entry per stream whose first frame was decoded. Without indexes, every video stream
// (attached pictures aside) is read.

#include <cstdio>
#include <vector>

namespace sniffer {

// Returns the process exit status: 0 when the document was printed, 1 when the file could not
// be opened.
int writeFirstFrameSideData(const char* path, const std::vector<int>& streamIndexes,
                            std::FILE* out);

// `sniffer --hdr PATH [INDEX...]`: the document above on standard output; 2 for an index that
// is not a number.
int runFirstFrameSideData(int argc, char** argv);

}  // namespace sniffer
