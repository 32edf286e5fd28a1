#pragma once

// Packet statistics of a media file, read from its packets without decoding
// (`sniffer --packets PATH`). Prints progress while it reads, then the result, in the line format
// that vellinor_core's packet statistics parser reads (src/probe/packet_statistics.h):
//
//     progress <bytes read> <file size>       while reading, at most ~20 per second
//     duration <seconds>                      the file's start-to-end span, when known
//     packets_end <seconds>                   where the last packet ends, when any has a time
//     stream <index> <kind> <codec>           every stream but attached pictures
//     bin <stream> <second> <bytes> <packets> <keyframes>
//     key <stream> <seconds> <frame>          video keyframes, in file order
//     frames <stream> <count>                 video packets (frames) of the stream
//     end                                     the read reached the end of the file
//
// Times are seconds from the start of the file. A keyframe's frame number is its position in
// presentation order among the stream's frames, from 0.

#include <cstdio>

namespace sniffer {

// Returns the process exit status: 0 when the whole file was read, 1 when it could not be
// opened (nothing but progress printed then).
int writePacketStatistics(const char* path, std::FILE* out);

}  // namespace sniffer
