// Fuzz target: arbitrary bytes as the head of a media file, read by the sniffer's container
// header reader (--extent); what it prints is read back by the core's parser, which must see the
// same size.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_check.h"
#include "probe/declared_extent.h"
#include "sniffer/container_extent.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace vellinor;
    fuzz::silenceDiagnostics();
    std::string_view head(reinterpret_cast<const char*>(data), size);
    head = head.substr(0, sniffer::kExtentHeadBytes);

    const auto extent = sniffer::containerExtent(head);
    const auto read = parseDeclaredExtent(sniffer::extentJson(extent));
    if (!extent) {
        FUZZ_CHECK(!read);
        return 0;
    }
    FUZZ_CHECK(extent->container == "matroska" || extent->container == "mp4");
    FUZZ_CHECK(extent->index.has_value() == (extent->container == "mp4"));
    if (extent->declaredSize <= static_cast<std::uint64_t>(INT64_MAX)) {
        FUZZ_CHECK(read.has_value());
        FUZZ_CHECK(read->container == extent->container);
        FUZZ_CHECK(read->size == extent->declaredSize);
        FUZZ_CHECK(read->index == extent->index);
    }
    return 0;
}
