#include "sniffer/deep_scan.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/md5.h>
#include <libavutil/mem.h>
#include <libavutil/sha.h>
}

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/expected.h"
#include "sniffer/read_progress.h"
#include "sniffer/scan_json.h"
#include "sniffer/scan_log.h"
#include "sniffer/stream_scan.h"

namespace sniffer {
namespace {

using vellinor::ok;
using vellinor::Status;
using vellinor::Unexpected;
constexpr std::size_t kListedMessages = 10;
// A file whose streams end this much before the duration its header declares was cut short
// (the larger of the two: a second, or 2% of the declared duration).
constexpr double kShortfallSeconds = 1.0;
constexpr double kShortfallShare = 0.02;

std::string hex(const std::uint8_t* bytes, std::size_t count)
{
    std::string text;
    char pair[3];
    for (std::size_t i = 0; i < count; ++i) {
        std::snprintf(pair, sizeof pair, "%02x", bytes[i]);
        text += pair;
    }
    return text;
}

// The file's own bytes, hashed on a thread of its own while the streams decode.
struct FileHashes {
    std::int64_t size = 0;  // the bytes read, even when they could not all be
    Status read = ok();     // the hashes are of the whole file only when it was read to its end
    std::string sha256;
    std::string md5;
};

FileHashes hashFile(const char* path)
{
    FileHashes hashes;
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        hashes.read = Unexpected("the file could not be opened for hashing");
        return hashes;
    }
    struct AVSHA* sha = av_sha_alloc();
    struct AVMD5* md5 = av_md5_alloc();
    if (sha == nullptr || md5 == nullptr) {
        av_free(sha);
        av_free(md5);
        std::fclose(file);
        hashes.read = Unexpected("out of memory");
        return hashes;
    }
    av_sha_init(sha, 256);
    av_md5_init(md5);
    std::vector<std::uint8_t> buffer(std::size_t{1} << 20);
    for (;;) {
        std::size_t read = std::fread(buffer.data(), 1, buffer.size(), file);
        if (read == 0)
            break;
        av_sha_update(sha, buffer.data(), read);
        av_md5_update(md5, buffer.data(), read);
        hashes.size += static_cast<std::int64_t>(read);
    }
    if (std::ferror(file) != 0)
        hashes.read = Unexpected("the file could not be read to its end");
    std::fclose(file);
    std::uint8_t shaDigest[32];
    std::uint8_t md5Digest[16];
    av_sha_final(sha, shaDigest);
    av_md5_final(md5, md5Digest);
    av_free(sha);
    av_free(md5);
    if (hashes.read) {
        hashes.sha256 = hex(shaDigest, sizeof shaDigest);
        hashes.md5 = hex(md5Digest, sizeof md5Digest);
    }
    return hashes;
}

// The demuxer's error lines: "partial file" is how the MP4 reader says a packet runs past the
// end of the file.
class ContainerLog {
public:
    LogSink sink{[](void* owner, int level, std::string_view line) {
                     static_cast<ContainerLog*>(owner)->logLine(level, line);
                 },
                 this};

    void logLine(int level, std::string_view line)
    {
        if (level > AV_LOG_ERROR)
            return;
        std::lock_guard lock(m_mutex);
        ++m_count;
        std::string text(line);
        while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
            text.pop_back();
        if (text.find("partial file") != std::string::npos)
            m_partial = true;
        if (m_lines.size() < kListedMessages)
            m_lines.push_back(std::move(text));
    }

    std::mutex m_mutex;
    std::int64_t m_count = 0;
    bool m_partial = false;
    std::vector<std::string> m_lines;
};

bool scanned(const AVStream* stream)
{
    const AVMediaType type = stream->codecpar->codec_type;
    return (type == AVMEDIA_TYPE_VIDEO || type == AVMEDIA_TYPE_AUDIO) &&
           (stream->disposition & AV_DISPOSITION_ATTACHED_PIC) == 0;
}

class DeepScan {
public:
    DeepScan(AVFormatContext* format, ContainerLog& log, std::FILE* out)
        : m_format(format), m_log(log), m_out(out), m_progress(format, out)
    {
    }

    void run(const char* path)
    {
        const double start = m_format->start_time != AV_NOPTS_VALUE
                                 ? static_cast<double>(m_format->start_time) / AV_TIME_BASE
                                 : 0.0;
        m_byIndex.resize(m_format->nb_streams);
        for (unsigned i = 0; i < m_format->nb_streams; ++i) {
            if (!scanned(m_format->streams[i]))
                continue;
            m_streams.push_back(std::make_unique<StreamScan>(m_format->streams[i], start));
            m_byIndex[i] = m_streams.back().get();
            m_streams.back()->start();
        }
        std::string filePath = path;
        FileHashes hashes;
        std::thread hasher([&hashes, filePath] { hashes = hashFile(filePath.c_str()); });

        AVPacket* packet = av_packet_alloc();
        bool lastCorrupt = false;
        if (packet != nullptr) {
            int read = 0;
            while ((read = av_read_frame(m_format, packet)) >= 0) {
                lastCorrupt = (packet->flags & AV_PKT_FLAG_CORRUPT) != 0;
                const auto index = static_cast<std::size_t>(packet->stream_index);
                if (packet->stream_index >= 0 && index < m_byIndex.size() &&
                    m_byIndex[index] != nullptr)
                    m_byIndex[index]->push(packet);
                av_packet_unref(packet);
                m_progress.report(false);
            }
            if (read != AVERROR_EOF)
                m_readProblem = errorText(read);
            av_packet_free(&packet);
        }
        for (auto& stream : m_streams)
            stream->finish();
        hasher.join();
        m_progress.report(true);

        std::optional<std::string> truncation = truncationReason(lastCorrupt);
        std::string document;
        ScanJson json(document);
        json.beginObject();
        json.integer("version", 1);
        json.integer("size", hashes.size);
        if (hashes.read) {
            json.string("sha256", hashes.sha256);
            json.string("md5", hashes.md5);
        } else {
            json.null("sha256");
            json.null("md5");
        }
        json.boolean("truncated", truncation.has_value());
        if (truncation)
            json.string("truncation", *truncation);
        else
            json.null("truncation");
        {
            std::lock_guard lock(m_log.m_mutex);
            json.integer("container_errors", m_log.m_count);
            json.beginArray("container_messages");
            for (const std::string& line : m_log.m_lines)
                json.string({}, line);
            json.endArray();
        }
        json.number("declared_duration", declaredDuration());
        json.number("duration", measuredDuration());
        json.beginArray("streams");
        for (const auto& stream : m_streams)
            stream->write(json);
        json.endArray();
        json.endObject();
        document += '\n';
        std::fputs(document.c_str(), m_out);
        std::fflush(m_out);
    }

private:
    static std::string errorText(int code)
    {
        char text[AV_ERROR_MAX_STRING_SIZE] = {};
        av_strerror(code, text, sizeof text);
        return text;
    }

    // The duration the header states; an estimate from the bit rate does not count.
    [[nodiscard]] std::optional<double> declaredDuration() const
    {
        if (m_format->duration == AV_NOPTS_VALUE || m_format->duration <= 0 ||
            m_format->duration_estimation_method == AVFMT_DURATION_FROM_BITRATE)
            return std::nullopt;
        return static_cast<double>(m_format->duration) / AV_TIME_BASE;
    }

    [[nodiscard]] std::optional<double> measuredDuration() const
    {
        std::optional<double> end;
        for (const auto& stream : m_streams)
            if (auto streamEnd = stream->endTime())
                end = std::max(end.value_or(*streamEnd), *streamEnd);
        return end;
    }

    [[nodiscard]] std::optional<std::string> truncationReason(bool lastCorrupt) const
    {
        if (!m_readProblem.empty())
            return "the file could not be read to its end: " + m_readProblem;
        {
            std::lock_guard lock(m_log.m_mutex);
            if (m_log.m_partial)
                return std::string("the file ends inside a packet");
        }
        if (lastCorrupt)
            return std::string("the file ends inside a packet");
        auto declared = declaredDuration();
        auto measured = measuredDuration();
        if (declared && measured &&
            *declared - *measured > std::max(kShortfallSeconds, kShortfallShare * *declared)) {
            char text[160];
            std::snprintf(text, sizeof text,
                          "the streams end at %.3f s, before the declared duration of %.3f s",
                          *measured, *declared);
            return std::string(text);
        }
        return std::nullopt;
    }

    AVFormatContext* m_format;
    ContainerLog& m_log;
    std::FILE* m_out;
    std::vector<std::unique_ptr<StreamScan>> m_streams;
    std::vector<StreamScan*> m_byIndex;
    std::string m_readProblem;
    ReadProgress m_progress;
};

}  // namespace

int writeDeepScan(const char* path, std::FILE* out)
{
    installScanLog();
    ContainerLog log;
    routeContainerLog(&log.sink);
    AVFormatContext* format = nullptr;
    if (int opened = avformat_open_input(&format, path, nullptr, nullptr); opened < 0) {
        removeLogRoutes(&log.sink);
        char text[AV_ERROR_MAX_STRING_SIZE] = {};
        av_strerror(opened, text, sizeof text);
        std::fprintf(out, "error %s\n", text);
        return 1;
    }
    // A failure here still leaves the packets readable.
    (void)avformat_find_stream_info(format, nullptr);
    DeepScan(format, log, out).run(path);
    avformat_close_input(&format);
    removeLogRoutes(&log.sink);
    return 0;
}

}  // namespace sniffer
