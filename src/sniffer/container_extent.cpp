#include "sniffer/container_extent.h"

#include <array>

#include "sniffer/ebml.h"

namespace sniffer {
namespace {

using ebml::kEbmlHeaderId;
using ebml::kSegmentId;
using ebml::kUnknownSize;
using ebml::kVoidId;
using ebml::Reader;

std::optional<std::uint64_t> ebmlNumber(Reader& reader, bool keepMarker)
{
    return ebml::number(reader, keepMarker);
}

std::optional<ContainerExtent> matroskaExtent(std::string_view head)
{
    Reader reader{head};
    if (ebmlNumber(reader, true) != kEbmlHeaderId)
        return std::nullopt;
    // The top-level elements before the first Segment: the EBML header, perhaps Void padding.
    while (true) {
        const auto size = ebmlNumber(reader, false);
        if (!size || *size == kUnknownSize || *size > reader.left())
            return std::nullopt;
        reader.at += static_cast<std::size_t>(*size);
        const auto id = ebmlNumber(reader, true);
        if (id == kSegmentId)
            break;
        if (id != kVoidId)
            return std::nullopt;
    }
    const auto size = ebmlNumber(reader, false);
    if (!size || *size == kUnknownSize || *size > kUnknownSize - reader.at)
        return std::nullopt;
    return ContainerExtent{"matroska", reader.at + *size, std::nullopt};
}

bool isBoxType(std::string_view type)
{
    for (const char c : type)
        if (c < 0x20 || c > 0x7E)
            return false;
    return true;
}

std::uint64_t bigEndian(std::string_view bytes)
{
    std::uint64_t value = 0;
    for (const char c : bytes)
        value = (value << 8) | static_cast<std::uint8_t>(c);
    return value;
}

std::optional<ContainerExtent> mp4Extent(std::string_view head)
{
    // The boxes a file of this family starts with: "ftyp" in MP4, older QuickTime files go
    // straight to their data or index.
    constexpr std::array<std::string_view, 6> kFirst{"ftyp", "moov", "mdat",
                                                     "wide", "free", "skip"};
    if (head.size() < 8)
        return std::nullopt;
    bool known = false;
    for (const std::string_view type : kFirst)
        known = known || head.substr(4, 4) == type;
    if (!known)
        return std::nullopt;
    std::uint64_t at = 0;
    bool index = false;
    while (at + 8 <= head.size()) {
        const std::string_view type = head.substr(static_cast<std::size_t>(at) + 4, 4);
        if (!isBoxType(type))
            return std::nullopt;
        std::uint64_t size = bigEndian(head.substr(static_cast<std::size_t>(at), 4));
        std::uint64_t header = 8;
        if (size == 1) {
            if (at + 16 > head.size())
                break;
            size = bigEndian(head.substr(static_cast<std::size_t>(at) + 8, 8));
            header = 16;
        } else if (size == 0) {
            return std::nullopt;  // the last box, running to the end of the file: no size
        }
        if (size < header || size > kUnknownSize - at)
            return std::nullopt;
        index = index || type == "moov";
        at += size;
    }
    return ContainerExtent{"mp4", at, index};
}

}  // namespace

std::optional<ContainerExtent> containerExtent(std::string_view head)
{
    if (auto matroska = matroskaExtent(head))
        return matroska;
    return mp4Extent(head);
}

std::string extentJson(const std::optional<ContainerExtent>& extent)
{
    if (!extent)
        return "{}\n";
    std::string text = "{\"container\": \"" + extent->container + "\", \"declared_size\": ";
    text += std::to_string(extent->declaredSize);
    if (extent->index) {
        text += ", \"index\": ";
        text += *extent->index ? "true" : "false";
    }
    text += "}\n";
    return text;
}

int writeContainerExtent(const char* path, std::FILE* out)
{
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr)
        return 1;
    std::string head(kExtentHeadBytes, '\0');
    head.resize(std::fread(head.data(), 1, head.size(), file));
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed)
        return 1;
    const std::string text = extentJson(containerExtent(head));
    std::fwrite(text.data(), 1, text.size(), out);
    return std::fflush(out) == 0 ? 0 : 1;
}

}  // namespace sniffer
