#include "sniffer/segment_uid.h"

#include <cstdint>

#include "sniffer/ebml.h"

namespace sniffer {
namespace {

constexpr std::uint64_t kInfoId = 0x1549A966;
constexpr std::uint64_t kSegmentUidId = 0x73A4;
constexpr std::uint64_t kClusterId = 0x1F43B675;
constexpr std::size_t kUidBytes = 16;

// The element header at `reader`: its ID and its data's size, which must lie within the bytes
// (an Info cut by the end of the head is not read).
struct Element {
    std::uint64_t id = 0;
    std::uint64_t size = 0;
};
std::optional<Element> element(ebml::Reader& reader)
{
    const auto id = ebml::number(reader, true);
    if (!id)
        return std::nullopt;
    const auto size = ebml::number(reader, false);
    if (!size)
        return std::nullopt;
    return Element{*id, *size};
}

std::string hex(std::string_view bytes)
{
    constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (const char c : bytes) {
        const auto b = static_cast<std::uint8_t>(c);
        text.push_back(kDigits[b >> 4]);
        text.push_back(kDigits[b & 15]);
    }
    return text;
}

std::optional<std::string> uidInInfo(std::string_view info)
{
    ebml::Reader reader{info};
    while (reader.left() > 0) {
        const auto child = element(reader);
        if (!child || child->size > reader.left())
            return std::nullopt;
        if (child->id == kSegmentUidId)
            return child->size == kUidBytes ? std::optional(hex(info.substr(reader.at, kUidBytes)))
                                            : std::nullopt;
        reader.at += static_cast<std::size_t>(child->size);
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> matroskaSegmentUid(std::string_view head)
{
    ebml::Reader reader{head};
    // The EBML header, perhaps Void padding, then the Segment.
    bool first = true;
    while (true) {
        const auto top = element(reader);
        if (!top || (first && top->id != ebml::kEbmlHeaderId))
            return std::nullopt;
        first = false;
        if (top->id == ebml::kSegmentId)
            break;
        if ((top->id != ebml::kEbmlHeaderId && top->id != ebml::kVoidId) ||
            top->size > reader.left())
            return std::nullopt;
        reader.at += static_cast<std::size_t>(top->size);
    }
    // The Segment's children up to the first Cluster; a size past the head ends the walk.
    while (reader.left() > 0) {
        const auto child = element(reader);
        if (!child || child->id == kClusterId || child->size > reader.left())
            return std::nullopt;
        if (child->id == kInfoId)
            return uidInInfo(head.substr(reader.at, static_cast<std::size_t>(child->size)));
        reader.at += static_cast<std::size_t>(child->size);
    }
    return std::nullopt;
}

}  // namespace sniffer
