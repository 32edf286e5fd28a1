// Fuzz target: arbitrary bytes as the embedded-items listing the sniffer prints, read by the
// parser behind the poster, the attachments list and --extract-attachments.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_check.h"
#include "probe/embedded_files.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace vellinor;
    fuzz::silenceDiagnostics();
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const bool picturesOnly : {false, true}) {
        const auto reading = readEmbeddedListing(text, picturesOnly);
        if (!reading) {
            FUZZ_CHECK(!reading.error().empty());
            continue;
        }
        std::size_t bytes = 0;
        for (const EmbeddedFile& file : reading->files) {
            FUZZ_CHECK(!picturesOnly || file.isPicture);
            FUZZ_CHECK(!file.extension.empty());
            bytes += file.bytes.size();
        }
        // Every byte handed out was in the listing.
        FUZZ_CHECK(bytes <= size);
        for (const auto& problem : reading->problems)
            FUZZ_CHECK(!problem.empty());
    }
    return 0;
}
