#pragma once

// How long a file says it is: the size its container's own header declares, read from the
// file's first bytes without libav. A file cut short (an interrupted copy or download) keeps
// its header, so the declared size tells what is missing even where the demuxer still reads
// the tracks (Matroska) or reads nothing (MP4 whose index comes after the media data).
//   sniffer --extent FILE
// prints one JSON object: {"container": "matroska", "declared_size": 927000}, for MP4 and
// QuickTime also "index": whether a "moov" box was among the boxes read; {} when the head is
// of neither kind or declares no size (Matroska written live, an MP4 box "to the end").

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace sniffer {

// The bytes of a file that are read: the headers this needs sit at its start.
inline constexpr std::size_t kExtentHeadBytes = 64 * 1024;

struct ContainerExtent {
    std::string container;       // "matroska" or "mp4"
    std::uint64_t declaredSize;  // bytes from the file's start to the end its header declares
    std::optional<bool> index;   // MP4: a "moov" box was seen among the top-level boxes read
};

// The extent `head` (a file's first bytes, at most kExtentHeadBytes of them) declares. For MP4
// the top-level boxes are walked as far as their headers lie within `head`: the size is then
// the end of the last box whose header was read, a lower bound of the whole.
std::optional<ContainerExtent> containerExtent(std::string_view head);

// The JSON object --extent prints for `extent`.
std::string extentJson(const std::optional<ContainerExtent>& extent);

// --extent: reads the head of `path` and prints extentJson(). 1 when the file cannot be read.
int writeContainerExtent(const char* path, std::FILE* out);

}  // namespace sniffer
