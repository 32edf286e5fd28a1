#pragma once

// The "progress <read> <size>" lines a reading mode prints while it works through a file
// (--scan, --packets), which the core reads to show how far it has got.

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdint>
#include <cstdio>

extern "C" {
#include <libavformat/avformat.h>
}

namespace sniffer {

class ReadProgress {
public:
    ReadProgress(AVFormatContext* format, std::FILE* out) : m_format(format), m_out(out) {}

    // The bytes read so far of the file's size, at most every 50 ms; `final` always, as the
    // whole size once the end is reached.
    void report(bool final)
    {
        const auto now = Clock::now();
        if (!final && now - m_last < kInterval)
            return;
        m_last = now;
        if (m_format->pb == nullptr)
            return;
        const std::int64_t size = avio_size(m_format->pb);
        const std::int64_t position = final && size > 0 ? size : avio_tell(m_format->pb);
        std::fprintf(m_out, "progress %" PRId64 " %" PRId64 "\n",
                     std::max<std::int64_t>(0, position), std::max<std::int64_t>(0, size));
        std::fflush(m_out);
    }

private:
    using Clock = std::chrono::steady_clock;
    static constexpr auto kInterval = std::chrono::milliseconds(50);

    AVFormatContext* m_format;
    std::FILE* m_out;
    Clock::time_point m_last{};
};

}  // namespace sniffer
