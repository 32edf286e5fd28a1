// Fuzz target: arbitrary bytes as MPEG video packets (read by the sniffer's MPEG header reader)
// and as the head of a Matroska file (read for its segment UID), as --headers reads them; what
// the sniffer would print is read back by the core's parser.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "probe/stream_headers.h"
#include "sniffer/container_extent.h"
#include "sniffer/mpeg2_headers.h"
#include "sniffer/segment_uid.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace vellinor;
    fuzz::silenceDiagnostics();
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    // The bytes as packets, cut at each 0xFF byte (so start codes also fall across packets).
    sniffer::Mpeg2HeaderReader reader;
    std::string_view rest = bytes;
    while (!rest.empty() && !reader.done()) {
        const std::size_t cut = rest.find('\xFF');
        reader.read(rest.substr(0, cut));
        rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 1);
    }
    const sniffer::Mpeg2Structure found = reader.structure();
    if (found.gopN) {
        FUZZ_CHECK(*found.gopN > 0);
        FUZZ_CHECK(found.gopM && *found.gopM >= 1);
    }
    FUZZ_CHECK(found.timecode.empty() || found.timecode.size() == 11);

    const auto uid = sniffer::matroskaSegmentUid(bytes.substr(0, sniffer::kExtentHeadBytes));
    if (uid)
        FUZZ_CHECK(uid->size() == 32);

    // The same bytes as the reader's output.
    if (const auto reading = parseStreamHeaders(bytes)) {
        if (reading->segmentUid)
            FUZZ_CHECK(reading->segmentUid->size() == 32);
        for (const auto& [index, headers] : reading->streams) {
            (void)index;
            FUZZ_CHECK(!headers.gopN || (headers.gopM && *headers.gopM <= *headers.gopN));
            FUZZ_CHECK(!headers.serviceType || !serviceKindName(*headers.serviceType).empty());
        }
    }
    return 0;
}
