// Fuzz target: arbitrary bytes as the packet reader's output (progress lines and the result),
// read by the parser the window and vellinor-cli use, and every number derived from it.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_check.h"
#include "probe/packet_statistics.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace vellinor;
    fuzz::silenceDiagnostics();
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    if (auto fraction = packetProgress(text.substr(0, text.find('\n'))))
        FUZZ_CHECK(*fraction >= 0.0 && *fraction <= 1.0);

    auto statistics = parsePacketStatistics(text);
    if (!statistics)
        return 0;
    const std::int64_t seconds = statistics->secondCount();
    FUZZ_CHECK(seconds >= 0);
    for (const StreamPackets& stream : statistics->streams) {
        for (std::size_t i = 1; i < stream.bins.size(); ++i)
            FUZZ_CHECK(stream.bins[i - 1].second < stream.bins[i].second);
        if (!stream.bins.empty())
            FUZZ_CHECK(stream.bins.back().second < seconds);
        if (seconds < 100'000)
            FUZZ_CHECK(everySecond(stream, seconds).size() == static_cast<std::size_t>(seconds));
        if (auto gops = summarizeGops(stream)) {
            FUZZ_CHECK(gops->minimum > 0);
            FUZZ_CHECK(static_cast<double>(gops->minimum) <= gops->median);
            FUZZ_CHECK(gops->median <= static_cast<double>(gops->maximum));
            FUZZ_CHECK(gops->count == gopLengths(stream).size());
        }
    }
    return 0;
}
