#include "sniffer/scan_log.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/avfilter.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <set>
#include <utility>
#include <vector>

namespace sniffer {
namespace {

std::mutex g_mutex;
std::set<LogSink*> g_decoderSinks;
std::vector<std::pair<const AVFilterContext*, LogSink*>> g_filterSinks;
LogSink* g_containerSink = nullptr;

const AVClass* classOf(void* object)
{
    return object != nullptr ? *static_cast<const AVClass* const*>(object) : nullptr;
}

// The format is libav's own printf format.
__attribute__((format(printf, 3, 0))) void callback(void* object, int level, const char* format,
                                                    va_list arguments)
{
    // Only errors and the filters' summaries (info) are of use; debug chatter is dropped early.
    if (level > AV_LOG_INFO || object == nullptr)
        return;
    const AVClass* kind = classOf(object);
    if (kind == nullptr)
        return;
    char line[1024];
    va_list copy;
    va_copy(copy, arguments);
    std::vsnprintf(line, sizeof line, format, copy);
    va_end(copy);

    std::lock_guard lock(g_mutex);
    LogSink* sink = nullptr;
    if (kind == avcodec_get_class()) {
        auto* sinkCandidate = static_cast<LogSink*>(static_cast<AVCodecContext*>(object)->opaque);
        if (level <= AV_LOG_ERROR && g_decoderSinks.count(sinkCandidate) != 0)
            sink = sinkCandidate;
    } else if (kind == avformat_get_class()) {
        if (level <= AV_LOG_ERROR)
            sink = g_containerSink;
    } else if (kind == avfilter_get_class()) {
        for (const auto& [filter, filterSink] : g_filterSinks)
            if (filter == object)
                sink = filterSink;
    }
    if (sink != nullptr)
        sink->logLine(level, line);
}

}  // namespace

void installScanLog()
{
    av_log_set_level(AV_LOG_INFO);
    av_log_set_callback(callback);
}

void routeDecoderLog(AVCodecContext* decoder, LogSink* sink)
{
    std::lock_guard lock(g_mutex);
    decoder->opaque = sink;
    g_decoderSinks.insert(sink);
}

void routeFilterLog(const AVFilterContext* filter, LogSink* sink)
{
    std::lock_guard lock(g_mutex);
    g_filterSinks.emplace_back(filter, sink);
}

void routeContainerLog(LogSink* sink)
{
    std::lock_guard lock(g_mutex);
    g_containerSink = sink;
}

void removeLogRoutes(LogSink* sink)
{
    std::lock_guard lock(g_mutex);
    g_decoderSinks.erase(sink);
    g_filterSinks.erase(std::remove_if(g_filterSinks.begin(), g_filterSinks.end(),
                                       [sink](const auto& route) { return route.second == sink; }),
                        g_filterSinks.end());
    if (g_containerSink == sink)
        g_containerSink = nullptr;
}

}  // namespace sniffer
