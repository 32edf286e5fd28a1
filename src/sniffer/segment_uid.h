#pragma once

// A Matroska file's segment UID: the 128-bit number its Info element gives the segment, which
// linked segments and chapter editions refer to. Read from the file's first bytes, where
// muxers put the Info element (after the SeekHead), without libav: the demuxer keeps it to
// itself.

#include <optional>
#include <string>
#include <string_view>

namespace sniffer {

// The UID as 32 upper-case hexadecimal digits; nothing when `head` is not Matroska, holds no
// SegmentUID before the first Cluster, or the UID is not 16 bytes.
std::optional<std::string> matroskaSegmentUid(std::string_view head);

}  // namespace sniffer
