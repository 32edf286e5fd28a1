#include "sniffer/packet_scan.h"

#include "sniffer/read_progress.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
}

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <map>
#include <vector>

namespace sniffer {
namespace {

// A timestamp this far from the start is taken for garbage, not for a bin: a hostile file
// must not make us hold one bin per second of 2^63 ticks.
constexpr double kLatestSecond = 7.0 * 24 * 3600;
// Presentation times kept per video stream to number keyframes in display order; past this the
// numbers fall back to decode order (bounds memory on a file of billions of tiny packets).
constexpr std::size_t kMaxKeptTimestamps = std::size_t{32} << 20;

struct Bin {
    std::int64_t bytes = 0;
    std::int64_t packets = 0;
    std::int64_t keyframes = 0;
};

struct Keyframe {
    double time = 0.0;
    std::int64_t pts = AV_NOPTS_VALUE;
    std::int64_t decodeIndex = 0;
};

struct StreamTally {
    bool used = false;
    std::map<std::int64_t, Bin> bins;
    std::map<std::int64_t, Bin>::iterator lastBin = bins.end();
    std::vector<Keyframe> keyframes;
    std::vector<std::int64_t> presentationTimes;
    bool presentationTimesComplete = true;
    std::int64_t packets = 0;
    std::int64_t lastSecond = 0;

    Bin& bin(std::int64_t second)
    {
        if (lastBin == bins.end() || lastBin->first != second)
            lastBin = bins.try_emplace(second).first;
        return lastBin->second;
    }
};

bool isAttachedPicture(const AVStream* stream)
{
    return (stream->disposition & AV_DISPOSITION_ATTACHED_PIC) != 0;
}

const char* kindName(AVMediaType type)
{
    const char* name = av_get_media_type_string(type);
    return name != nullptr ? name : "unknown";
}

class Scanner {
public:
    Scanner(AVFormatContext* format, std::FILE* out)
        : m_format(format), m_out(out), m_progress(format, out)
    {
    }

    void run()
    {
        m_start = startSeconds();
        AVPacket* packet = av_packet_alloc();
        if (packet == nullptr)
            return;
        while (av_read_frame(m_format, packet) >= 0) {
            count(*packet);
            av_packet_unref(packet);
            m_progress.report(false);
        }
        av_packet_free(&packet);
        m_progress.report(true);
        printResult();
    }

private:
    double startSeconds() const
    {
        if (m_format->start_time != AV_NOPTS_VALUE)
            return static_cast<double>(m_format->start_time) / AV_TIME_BASE;
        return 0.0;
    }

    void count(const AVPacket& packet)
    {
        if (packet.stream_index < 0 ||
            static_cast<unsigned>(packet.stream_index) >= m_format->nb_streams)
            return;
        const AVStream* stream = m_format->streams[packet.stream_index];
        if (isAttachedPicture(stream))
            return;
        auto index = static_cast<std::size_t>(packet.stream_index);
        if (m_streams.size() <= index)
            m_streams.resize(index + 1);
        StreamTally& tally = m_streams[index];
        tally.used = true;

        const double tick = av_q2d(stream->time_base);
        const bool key = (packet.flags & AV_PKT_FLAG_KEY) != 0;
        // Bins follow presentation time, so a second of 25 frames holds those 25 frames
        // whatever the decode order; a packet without any time joins its stream's previous one.
        std::int64_t stamp = packet.pts != AV_NOPTS_VALUE ? packet.pts : packet.dts;
        if (stamp != AV_NOPTS_VALUE) {
            double seconds = static_cast<double>(stamp) * tick - m_start;
            if (std::isfinite(seconds) && seconds < kLatestSecond) {
                tally.lastSecond =
                    std::max<std::int64_t>(0, static_cast<std::int64_t>(std::floor(seconds)));
                m_end = std::max(m_end, seconds + static_cast<double>(packet.duration) * tick);
            }
        }
        Bin& bin = tally.bin(tally.lastSecond);
        bin.bytes += packet.size;
        bin.packets += 1;
        bin.keyframes += key ? 1 : 0;

        if (stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
            std::int64_t shown = packet.pts != AV_NOPTS_VALUE ? packet.pts : packet.dts;
            if (shown != AV_NOPTS_VALUE && tally.presentationTimesComplete) {
                if (tally.presentationTimes.size() < kMaxKeptTimestamps)
                    tally.presentationTimes.push_back(shown);
                else
                    tally.presentationTimesComplete = false;
            } else {
                tally.presentationTimesComplete = false;
            }
            if (key) {
                double time = shown != AV_NOPTS_VALUE ? static_cast<double>(shown) * tick - m_start
                                                      : static_cast<double>(tally.lastSecond);
                tally.keyframes.push_back({std::isfinite(time) ? time : 0.0, shown, tally.packets});
            }
        }
        tally.packets += 1;
    }

    // Display-order numbers need every frame's presentation time; without them the decode
    // order stands in (the same for streams without reordering).
    static std::int64_t frameNumber(const StreamTally& tally,
                                    const std::vector<std::int64_t>& sorted, const Keyframe& key)
    {
        if (!tally.presentationTimesComplete || key.pts == AV_NOPTS_VALUE)
            return key.decodeIndex;
        return std::lower_bound(sorted.begin(), sorted.end(), key.pts) - sorted.begin();
    }

    void printResult()
    {
        double duration = m_format->duration != AV_NOPTS_VALUE && m_format->duration > 0
                              ? static_cast<double>(m_format->duration) / AV_TIME_BASE
                              : m_end;
        if (std::isfinite(duration) && duration > 0)
            std::fprintf(m_out, "duration %.6f\n", duration);
        // The packets' own end, whatever the header claims (an MPEG stream's length estimated
        // from its "variable" bit-rate marker is far too short).
        if (std::isfinite(m_end) && m_end > 0)
            std::fprintf(m_out, "packets_end %.6f\n", m_end);
        for (unsigned i = 0; i < m_format->nb_streams; ++i) {
            const AVStream* stream = m_format->streams[i];
            if (isAttachedPicture(stream))
                continue;
            std::fprintf(m_out, "stream %u %s %s\n", i, kindName(stream->codecpar->codec_type),
                         avcodec_get_name(stream->codecpar->codec_id));
        }
        for (std::size_t i = 0; i < m_streams.size(); ++i) {
            StreamTally& tally = m_streams[i];
            if (!tally.used)
                continue;
            for (const auto& [second, bin] : tally.bins)
                std::fprintf(m_out, "bin %zu %" PRId64 " %" PRId64 " %" PRId64 " %" PRId64 "\n", i,
                             second, bin.bytes, bin.packets, bin.keyframes);
            if (m_format->streams[i]->codecpar->codec_type != AVMEDIA_TYPE_VIDEO)
                continue;
            std::sort(tally.presentationTimes.begin(), tally.presentationTimes.end());
            for (const Keyframe& key : tally.keyframes)
                std::fprintf(m_out, "key %zu %.6f %" PRId64 "\n", i, key.time,
                             frameNumber(tally, tally.presentationTimes, key));
            std::fprintf(m_out, "frames %zu %" PRId64 "\n", i, tally.packets);
        }
        std::fprintf(m_out, "end\n");
        std::fflush(m_out);
    }

    AVFormatContext* m_format;
    std::FILE* m_out;
    double m_start = 0.0;
    double m_end = 0.0;
    std::vector<StreamTally> m_streams;
    ReadProgress m_progress;
};

}  // namespace

int writePacketStatistics(const char* path, std::FILE* out)
{
    av_log_set_level(AV_LOG_QUIET);
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path, nullptr, nullptr) < 0)
        return 1;
    // The start time and the duration come from the stream analysis; a failure there still
    // leaves the packets readable.
    (void)avformat_find_stream_info(format, nullptr);
    Scanner(format, out).run();
    avformat_close_input(&format);
    return 0;
}

}  // namespace sniffer
