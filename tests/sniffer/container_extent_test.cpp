// The declared size the sniffer reads from a container's first bytes (sniffer --extent).

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "sniffer/container_extent.h"

namespace sniffer {
namespace {

std::string bytes(std::initializer_list<int> values)
{
    std::string text;
    for (const int value : values)
        text.push_back(static_cast<char>(value));
    return text;
}

// An MP4 box header: 32-bit size, then the type.
std::string box(std::uint32_t size, const char* type)
{
    return bytes({static_cast<int>(size >> 24), static_cast<int>((size >> 16) & 0xFF),
                  static_cast<int>((size >> 8) & 0xFF), static_cast<int>(size & 0xFF)}) +
           type;
}

TEST(ContainerExtent, ReadsTheSizeTheHeaderDeclares)
{
    // EBML header of 3 data bytes, then a Segment of 1,000 bytes (size 0x4000|1000 in 2 bytes).
    const std::string ebml = bytes({0x1A, 0x45, 0xDF, 0xA3, 0x83, 0x42, 0x86, 0x81});
    const std::string segment = bytes({0x18, 0x53, 0x80, 0x67, 0x43, 0xE8});
    struct Case {
        const char* name;
        std::string head;
        std::optional<ContainerExtent> expected;
    };
    const std::vector<Case> cases{
        {"matroska", ebml + segment, ContainerExtent{"matroska", 14 + 1000, std::nullopt}},
        {"void before the segment", ebml + bytes({0xEC, 0x82, 0, 0}) + segment,
         ContainerExtent{"matroska", 18 + 1000, std::nullopt}},
        {"segment of unknown size (written live)", ebml + bytes({0x18, 0x53, 0x80, 0x67, 0xFF}),
         std::nullopt},
        {"8-byte segment size", ebml + bytes({0x18, 0x53, 0x80, 0x67, 1, 0, 0, 0, 0, 0, 0x10, 0}),
         ContainerExtent{"matroska", 20 + 0x1000, std::nullopt}},
        {"EBML header past the head", bytes({0x1A, 0x45, 0xDF, 0xA3, 0x88, 0x42}), std::nullopt},
        {"another element before the segment", ebml + bytes({0x15, 0x49, 0xA9, 0x66, 0x80}),
         std::nullopt},
        {"mp4, index first",
         box(24, "ftyp") + std::string(16, 'x') + box(8, "moov") + box(5000, "mdat"),
         ContainerExtent{"mp4", 24 + 8 + 5000, true}},
        {"mp4, index after the data", box(16, "ftyp") + std::string(8, 'x') + box(90000, "mdat"),
         ContainerExtent{"mp4", 16 + 90000, false}},
        {"mp4, 64-bit box size",
         box(16, "ftyp") + std::string(8, 'x') + box(1, "mdat") + bytes({0, 0, 0, 1, 0, 0, 0, 0}),
         ContainerExtent{"mp4", 16 + (std::uint64_t{1} << 32), false}},
        {"mp4, last box to the end of the file",
         box(16, "ftyp") + std::string(8, 'x') + box(0, "mdat"), std::nullopt},
        {"mp4, box smaller than its header", box(16, "ftyp") + std::string(8, 'x') + box(4, "mdat"),
         std::nullopt},
        {"mp4, unprintable box type", box(16, "ftyp") + std::string(8, 'x') + box(8, "\x01xyz"),
         std::nullopt},
        {"text", "Hello, world: no container here", std::nullopt},
        {"empty", "", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto extent = containerExtent(c.head);
        ASSERT_EQ(extent.has_value(), c.expected.has_value());
        if (!extent)
            continue;
        EXPECT_EQ(extent->container, c.expected->container);
        EXPECT_EQ(extent->declaredSize, c.expected->declaredSize);
        EXPECT_EQ(extent->index, c.expected->index);
    }
}

}  // namespace
}  // namespace sniffer
