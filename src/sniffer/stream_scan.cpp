#include "sniffer/stream_scan.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/imgutils.h>
#include <libavutil/md5.h>
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "sniffer/scan_json.h"

namespace sniffer {
namespace {

// Packets waiting for a stream's thread; the demuxer waits beyond this (bounds memory when one
// stream decodes slower than the file is read).
constexpr std::size_t kQueuedPackets = 128;
// Decode errors listed with their time and message; the rest are only counted.
constexpr std::size_t kListedErrors = 10;
// Black, frozen and silent spans shorter than this are not reported.
constexpr double kMinSpanSeconds = 2.0;
constexpr const char* kVideoAnalyses =
    "idet,blackdetect=d=2:pic_th=0.98:pix_th=0.10,freezedetect=n=-60dB:d=2";
constexpr const char* kAudioAnalyses = "ebur128=peak=true:metadata=1,silencedetect=n=-60dB:d=2";

std::string errorText(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

std::optional<double> metadataNumber(const AVFrame* frame, const char* key)
{
    const AVDictionaryEntry* entry = av_dict_get(frame->metadata, key, nullptr, 0);
    if (entry == nullptr)
        return std::nullopt;
    char* end = nullptr;
    double value = std::strtod(entry->value, &end);
    if (end == entry->value || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::string trimmed(std::string_view line)
{
    while (!line.empty() && (line.back() == '\n' || line.back() == ' ' || line.back() == '\r'))
        line.remove_suffix(1);
    while (!line.empty() && line.front() == ' ')
        line.remove_prefix(1);
    return std::string(line);
}

// "True peak:\n    Peak:      -17.3 dBFS" in the loudness filter's closing summary.
std::optional<double> summaryTruePeak(const std::string& summary)
{
    std::size_t section = summary.find("True peak:");
    if (section == std::string::npos)
        return std::nullopt;
    std::size_t label = summary.find("Peak:", section + 10);
    if (label == std::string::npos)
        return std::nullopt;
    const char* start = summary.c_str() + label + 5;
    char* end = nullptr;
    double value = std::strtod(start, &end);
    if (end == start)
        return std::nullopt;
    return value;
}

void writeSpans(ScanJson& json, const char* name, const std::vector<TimeSpan>& spans)
{
    json.beginArray(name);
    for (const TimeSpan& span : spans) {
        json.beginObject();
        json.number("start", span.start);
        json.number("end", span.end);
        json.endObject();
    }
    json.endArray();
}

}  // namespace

StreamScan::StreamScan(const AVStream* stream, double fileStart)
    : m_stream(stream)
    , m_fileStart(fileStart)
    , m_video(stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO)
{
    m_frame = av_frame_alloc();
    m_filtered = av_frame_alloc();
    m_md5 = av_md5_alloc();
    if (m_md5 != nullptr)
        av_md5_init(m_md5);
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (codec == nullptr) {
        m_decoderProblem = "no decoder for this codec";
        return;
    }
    m_decoder = avcodec_alloc_context3(codec);
    if (m_decoder == nullptr || avcodec_parameters_to_context(m_decoder, stream->codecpar) < 0) {
        m_decoderProblem = "the decoder could not be set up";
        return;
    }
    m_decoder->pkt_timebase = stream->time_base;
    m_decoder->thread_count = 0;  // one per core
    m_decoder->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    routeDecoderLog(m_decoder, &m_logSink);
    if (int opened = avcodec_open2(m_decoder, codec, nullptr); opened < 0) {
        m_decoderProblem = "the decoder would not open: " + errorText(opened);
        avcodec_free_context(&m_decoder);
    }
}

StreamScan::~StreamScan()
{
    if (m_thread.joinable())
        finish();
    closeGraph();
    removeLogRoutes(&m_logSink);
    for (AVPacket* packet : m_queue)
        av_packet_free(&packet);
    avcodec_free_context(&m_decoder);
    av_frame_free(&m_frame);
    av_frame_free(&m_filtered);
    av_freep(&m_md5);
}

void StreamScan::start()
{
    m_thread = std::thread([this] { work(); });
}

void StreamScan::push(AVPacket* packet)
{
    AVPacket* kept = av_packet_alloc();
    if (kept == nullptr)
        return;
    av_packet_move_ref(kept, packet);
    std::unique_lock lock(m_queueMutex);
    m_queueChanged.wait(lock, [this] { return m_queue.size() < kQueuedPackets; });
    m_queue.push_back(kept);
    m_queueChanged.notify_all();
}

void StreamScan::finish()
{
    {
        std::lock_guard lock(m_queueMutex);
        m_ended = true;
    }
    m_queueChanged.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void StreamScan::work()
{
    for (;;) {
        AVPacket* packet = nullptr;
        {
            std::unique_lock lock(m_queueMutex);
            m_queueChanged.wait(lock, [this] { return !m_queue.empty() || m_ended; });
            if (m_queue.empty())
                break;
            packet = m_queue.front();
            m_queue.pop_front();
        }
        m_queueChanged.notify_all();
        if (m_decoder != nullptr)
            decode(packet);
        av_packet_free(&packet);
    }
    if (m_decoder != nullptr) {
        decode(nullptr);
        // Lines logged after the last frame still tell of damage.
        bool leftOver = false;
        {
            std::lock_guard lock(m_logMutex);
            leftOver = !m_pendingLines.empty();
        }
        if (leftOver)
            noteError(endTime(), "the decoder reported an error");
    }
    drainGraph();
    closeGraph();
    // Spans still open at the end of the stream end with it.
    const double end = endTime().value_or(0.0);
    if (m_blackStart && end - *m_blackStart >= kMinSpanSeconds)
        m_black.push_back({*m_blackStart, end});
    if (m_frozenStart && end - *m_frozenStart >= kMinSpanSeconds)
        m_frozen.push_back({*m_frozenStart, end});
    if (m_silenceStart && end - *m_silenceStart >= kMinSpanSeconds)
        m_silence.push_back({*m_silenceStart, end});
}

std::optional<double> StreamScan::seconds(std::int64_t ticks) const
{
    double value = static_cast<double>(ticks) * av_q2d(m_stream->time_base) - m_fileStart;
    if (!std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<double> StreamScan::endTime() const
{
    if (!m_lastTicks)
        return std::nullopt;
    if (!m_video)
        return m_lastAudioSeconds;
    return seconds(*m_lastTicks + m_lastDurationTicks);
}

void StreamScan::logLine(int level, std::string_view line)
{
    std::lock_guard lock(m_logMutex);
    if (level <= AV_LOG_ERROR) {
        if (m_pendingLines.size() < 8)
            m_pendingLines.push_back(trimmed(line));
    } else if (m_loudnessSummary.size() < 4096) {
        m_loudnessSummary += line;
    }
}

void StreamScan::noteError(std::optional<double> time, std::string fallback)
{
    std::lock_guard lock(m_logMutex);
    std::string message = fallback;
    for (const std::string& line : m_pendingLines)
        if (!line.empty()) {
            message = line;
            break;
        }
    m_pendingLines.clear();
    ++m_errorCount;
    if (m_firstErrors.size() < kListedErrors)
        m_firstErrors.push_back({time, std::move(message)});
}

void StreamScan::decode(AVPacket* packet)
{
    int sent = avcodec_send_packet(m_decoder, packet);
    if (sent < 0 && sent != AVERROR_EOF && sent != AVERROR(EAGAIN)) {
        std::optional<double> time;
        if (packet != nullptr && packet->pts != AV_NOPTS_VALUE)
            time = seconds(packet->pts);
        else if (packet != nullptr && packet->dts != AV_NOPTS_VALUE)
            time = seconds(packet->dts);
        noteError(time, errorText(sent));
    }
    for (;;) {
        int received = avcodec_receive_frame(m_decoder, m_frame);
        if (received == AVERROR(EAGAIN) || received == AVERROR_EOF)
            break;
        if (received < 0) {
            noteError(endTime(), errorText(received));
            break;
        }
        take(m_frame);
        av_frame_unref(m_frame);
    }
}

void StreamScan::take(AVFrame* frame)
{
    std::int64_t ticks = frame->best_effort_timestamp;
    if (ticks == AV_NOPTS_VALUE)
        ticks = m_lastTicks ? *m_lastTicks + m_lastDurationTicks : 0;
    if (m_lastTicks && ticks > *m_lastTicks) {
        const std::int64_t step = ticks - *m_lastTicks;
        m_minStep = std::min(m_minStep.value_or(step), step);
        m_maxStep = std::max(m_maxStep.value_or(step), step);
    }
    if (!m_firstTicks)
        m_firstTicks = ticks;
    if (m_video) {
        ++m_frames;
        if (frame->pkt_duration > 0)
            m_lastDurationTicks = frame->pkt_duration;
        else if (m_lastTicks && ticks > *m_lastTicks)
            m_lastDurationTicks = ticks - *m_lastTicks;
        if (const AVFrameSideData* captions = av_frame_get_side_data(frame, AV_FRAME_DATA_A53_CC)) {
            // cc_data triplets: cc_valid in bit 2, cc_type in bits 0-1 (0 and 1 carry CEA-608
            // fields, 2 and 3 carry CEA-708 service data).
            for (std::size_t at = 0; at + 3 <= captions->size; at += 3) {
                const std::uint8_t head = captions->data[at];
                if ((head & 0x04) == 0)
                    continue;
                ((head & 0x03) < 2 ? m_cea608 : m_cea708) = true;
            }
        }
    } else {
        m_samples += frame->nb_samples;
        if (frame->sample_rate > 0)
            m_lastAudioSeconds = seconds(ticks).value_or(0.0) +
                                 static_cast<double>(frame->nb_samples) / frame->sample_rate;
    }
    m_lastTicks = ticks;

    bool damaged = frame->decode_error_flags != 0 || (frame->flags & AV_FRAME_FLAG_CORRUPT) != 0;
    {
        std::lock_guard lock(m_logMutex);
        damaged = damaged || !m_pendingLines.empty();
    }
    if (damaged)
        noteError(seconds(ticks), "the decoder marked the frame as damaged");

    if (m_video)
        hashVideo(frame);
    frame->pts = ticks;
    if (!buildGraph(frame))
        return;
    if (av_buffersrc_add_frame_flags(m_source, frame, AV_BUFFERSRC_FLAG_KEEP_REF) < 0)
        return;
    drainGraph();
}

bool StreamScan::buildGraph(const AVFrame* frame)
{
    const bool same =
        m_graph != nullptr &&
        (m_video ? frame->width == m_graphWidth && frame->height == m_graphHeight &&
                       frame->format == m_graphFormat
                 : frame->sample_rate == m_graphRate && frame->format == m_graphFormat &&
                       frame->ch_layout.nb_channels == m_graphChannels);
    if (same)
        return true;
    if (m_graph != nullptr) {
        // The frames changed shape: what the old graph measured is kept, a new one goes on.
        if (av_buffersrc_add_frame(m_source, nullptr) >= 0)
            drainGraph();
        closeGraph();
    } else if (m_graphFailed) {
        return false;
    }

    m_graph = avfilter_graph_alloc();
    if (m_graph == nullptr)
        return false;
    m_graph->nb_threads = 0;
    char arguments[512];
    const AVRational base = m_stream->time_base;
    if (m_video) {
        AVRational aspect = frame->sample_aspect_ratio;
        if (aspect.num <= 0 || aspect.den <= 0)
            aspect = {1, 1};
        std::snprintf(arguments, sizeof arguments,
                      "video_size=%dx%d:pix_fmt=%d:time_base=%d/%d:pixel_aspect=%d/%d",
                      frame->width, frame->height, frame->format, base.num, base.den, aspect.num,
                      aspect.den);
    } else {
        // A layout of unknown order (a WAV file without a channel mask) is taken for the
        // default layout of its channel count, as ffmpeg guesses it; the filters need one.
        AVChannelLayout known{};
        if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
            av_channel_layout_default(&known, frame->ch_layout.nb_channels);
        else
            av_channel_layout_copy(&known, &frame->ch_layout);
        char layout[128] = {};
        const int described = av_channel_layout_describe(&known, layout, sizeof layout);
        av_channel_layout_uninit(&known);
        if (described < 0)
            std::snprintf(layout, sizeof layout, "%dc", frame->ch_layout.nb_channels);
        const char* format = av_get_sample_fmt_name(static_cast<AVSampleFormat>(frame->format));
        std::snprintf(arguments, sizeof arguments,
                      "time_base=%d/%d:sample_rate=%d:sample_fmt=%s:channel_layout=%s", base.num,
                      base.den, frame->sample_rate, format != nullptr ? format : "none", layout);
    }
    const char* sourceName = m_video ? "buffer" : "abuffer";
    const char* sinkName = m_video ? "buffersink" : "abuffersink";
    bool built =
        avfilter_graph_create_filter(&m_source, avfilter_get_by_name(sourceName), "in", arguments,
                                     nullptr, m_graph) >= 0 &&
        avfilter_graph_create_filter(&m_analysisSink, avfilter_get_by_name(sinkName), "analysis",
                                     nullptr, nullptr, m_graph) >= 0 &&
        (m_video || avfilter_graph_create_filter(&m_hashSink, avfilter_get_by_name(sinkName),
                                                 "hash", nullptr, nullptr, m_graph) >= 0);
    if (built) {
        std::string description = m_video ? std::string("[in]") + kVideoAnalyses + "[analysis]"
                                          : std::string("[in]asplit=2[a][h];[a]") + kAudioAnalyses +
                                                "[analysis];[h]aformat=sample_fmts=s16[hash]";
        AVFilterInOut* outputs = avfilter_inout_alloc();
        AVFilterInOut* inputs = avfilter_inout_alloc();
        AVFilterInOut* hashInput = m_video ? nullptr : avfilter_inout_alloc();
        if (outputs != nullptr && inputs != nullptr && (m_video || hashInput != nullptr)) {
            outputs->name = av_strdup("in");
            outputs->filter_ctx = m_source;
            inputs->name = av_strdup("analysis");
            inputs->filter_ctx = m_analysisSink;
            if (hashInput != nullptr) {
                hashInput->name = av_strdup("hash");
                hashInput->filter_ctx = m_hashSink;
                inputs->next = hashInput;
                hashInput = nullptr;
            }
            built = avfilter_graph_parse_ptr(m_graph, description.c_str(), &inputs, &outputs,
                                             nullptr) >= 0 &&
                    avfilter_graph_config(m_graph, nullptr) >= 0;
        } else {
            built = false;
        }
        avfilter_inout_free(&outputs);
        avfilter_inout_free(&inputs);
        avfilter_inout_free(&hashInput);
    }
    if (!built) {
        avfilter_graph_free(&m_graph);
        m_graphFailed = true;
        return false;
    }
    for (unsigned i = 0; i < m_graph->nb_filters; ++i)
        if (std::strcmp(m_graph->filters[i]->filter->name, "ebur128") == 0) {
            m_loudnessFilter = m_graph->filters[i];
            routeFilterLog(m_loudnessFilter, &m_logSink);
        }
    m_graphWidth = frame->width;
    m_graphHeight = frame->height;
    m_graphFormat = frame->format;
    m_graphRate = frame->sample_rate;
    m_graphChannels = frame->ch_layout.nb_channels;
    m_graphSamples = 0;
    m_graphIntegrated.reset();
    m_graphRange.reset();
    return true;
}

void StreamScan::drainGraph()
{
    if (m_graph == nullptr)
        return;
    while (av_buffersink_get_frame(m_analysisSink, m_filtered) >= 0) {
        readAnalysis(m_filtered);
        av_frame_unref(m_filtered);
    }
    if (m_hashSink == nullptr)
        return;
    while (av_buffersink_get_frame(m_hashSink, m_filtered) >= 0) {
        hashAudio(m_filtered);
        av_frame_unref(m_filtered);
    }
}

void StreamScan::closeGraph()
{
    if (m_graph == nullptr)
        return;
    if (av_buffersrc_add_frame(m_source, nullptr) >= 0)
        drainGraph();
    // The idet counts run on from one graph to the next.
    m_idetBase[0] = m_idetTff;
    m_idetBase[1] = m_idetBff;
    m_idetBase[2] = m_idetProgressive;
    m_idetBase[3] = m_idetUndetermined;
    {
        std::lock_guard lock(m_logMutex);
        m_loudnessSummary.clear();
    }
    avfilter_graph_free(&m_graph);  // the loudness filter logs its summary here
    m_source = m_analysisSink = m_hashSink = m_loudnessFilter = nullptr;
    if (!m_video && m_graphIntegrated && m_graphSamples > m_loudnessSamples) {
        m_loudnessSamples = m_graphSamples;
        m_integrated = m_graphIntegrated;
        m_range = m_graphRange;
        std::string summary;
        {
            std::lock_guard lock(m_logMutex);
            summary = m_loudnessSummary;
        }
        // The summary's peak is in dB; the frames' metadata has it linear to three places only.
        m_truePeak = summaryTruePeak(summary);
        if (!m_truePeak && m_truePeakLinear >= 0.0)
            m_truePeak = 20.0 * std::log10(m_truePeakLinear);
    }
}

void StreamScan::readAnalysis(const AVFrame* frame)
{
    auto spanTime = [this](const AVFrame* f, const char* key) -> std::optional<double> {
        auto value = metadataNumber(f, key);
        if (!value)
            return std::nullopt;
        return *value - m_fileStart;
    };
    if (m_video) {
        if (auto v = metadataNumber(frame, "lavfi.idet.multiple.tff"))
            m_idetTff = m_idetBase[0] + static_cast<std::int64_t>(*v);
        if (auto v = metadataNumber(frame, "lavfi.idet.multiple.bff"))
            m_idetBff = m_idetBase[1] + static_cast<std::int64_t>(*v);
        if (auto v = metadataNumber(frame, "lavfi.idet.multiple.progressive"))
            m_idetProgressive = m_idetBase[2] + static_cast<std::int64_t>(*v);
        if (auto v = metadataNumber(frame, "lavfi.idet.multiple.undetermined"))
            m_idetUndetermined = m_idetBase[3] + static_cast<std::int64_t>(*v);
        // blackdetect marks every start and end; the shortest spans are dropped here.
        if (auto start = spanTime(frame, "lavfi.black_start"))
            m_blackStart = start;
        if (auto end = spanTime(frame, "lavfi.black_end"); end && m_blackStart) {
            if (*end - *m_blackStart >= kMinSpanSeconds)
                m_black.push_back({*m_blackStart, *end});
            m_blackStart.reset();
        }
        // freezedetect marks a start only once the picture stayed for the minimum time.
        if (auto start = spanTime(frame, "lavfi.freezedetect.freeze_start"))
            m_frozenStart = start;
        if (auto end = spanTime(frame, "lavfi.freezedetect.freeze_end"); end && m_frozenStart) {
            m_frozen.push_back({*m_frozenStart, *end});
            m_frozenStart.reset();
        }
        return;
    }
    m_graphSamples += frame->nb_samples;
    if (auto value = metadataNumber(frame, "lavfi.r128.I"))
        m_graphIntegrated = value;
    if (auto value = metadataNumber(frame, "lavfi.r128.LRA"))
        m_graphRange = value;
    if (auto value = metadataNumber(frame, "lavfi.r128.true_peak"))
        m_truePeakLinear = std::max(m_truePeakLinear, *value);
    if (auto start = spanTime(frame, "lavfi.silence_start"))
        m_silenceStart = start;
    if (auto end = spanTime(frame, "lavfi.silence_end"); end && m_silenceStart) {
        m_silence.push_back({*m_silenceStart, *end});
        m_silenceStart.reset();
    }
}

namespace {

// Hashes the picture's rows straight from the frame, plane after plane: the digest of the rows
// packed one after another, without first copying a picture of some megabytes. Pictures with a
// palette (hashed with it) or whose rows are not whole bytes are left to the packed copy.
bool hashRows(AVMD5* md5, const AVFrame* frame, AVPixelFormat format)
{
    const AVPixFmtDescriptor* descriptor = av_pix_fmt_desc_get(format);
    constexpr auto kPacked =
        AV_PIX_FMT_FLAG_PAL | AV_PIX_FMT_FLAG_HWACCEL | AV_PIX_FMT_FLAG_BITSTREAM;
    std::array<int, 4> rowBytes{};
    if (descriptor == nullptr || (descriptor->flags & kPacked) != 0 ||
        av_image_fill_linesizes(rowBytes.data(), format, frame->width) < 0)
        return false;
    const int count = av_pix_fmt_count_planes(format);
    if (count <= 0 || count > 4)
        return false;
    const auto planes = static_cast<std::size_t>(count);
    for (std::size_t plane = 0; plane < planes; ++plane) {
        if (frame->data[plane] == nullptr || rowBytes[plane] <= 0)
            return false;
    }
    for (std::size_t plane = 0; plane < planes; ++plane) {
        // The two chroma planes have fewer rows; luma and alpha have the picture's height.
        const bool chroma = plane == 1 || plane == 2;
        const int rows =
            chroma ? AV_CEIL_RSHIFT(frame->height, descriptor->log2_chroma_h) : frame->height;
        const std::uint8_t* row = frame->data[plane];
        for (int y = 0; y < rows; ++y, row += frame->linesize[plane])
            av_md5_update(md5, row, static_cast<std::size_t>(rowBytes[plane]));
    }
    return true;
}

}  // namespace

void StreamScan::hashVideo(const AVFrame* frame)
{
    if (m_md5 == nullptr)
        return;
    const auto format = static_cast<AVPixelFormat>(frame->format);
    if (frame->width > 0 && frame->height > 0 && hashRows(m_md5, frame, format)) {
        m_hashed = true;
        return;
    }
    const int size = av_image_get_buffer_size(format, frame->width, frame->height, 1);
    if (size <= 0)
        return;
    m_pictureBuffer.resize(static_cast<std::size_t>(size));
    if (av_image_copy_to_buffer(m_pictureBuffer.data(), size, frame->data, frame->linesize, format,
                                frame->width, frame->height, 1) < 0)
        return;
    av_md5_update(m_md5, m_pictureBuffer.data(), m_pictureBuffer.size());
    m_hashed = true;
}

void StreamScan::hashAudio(const AVFrame* frame)
{
    if (m_md5 == nullptr || frame->format != AV_SAMPLE_FMT_S16)
        return;
    const std::size_t bytes = static_cast<std::size_t>(frame->nb_samples) *
                              static_cast<std::size_t>(frame->ch_layout.nb_channels) * 2;
    av_md5_update(m_md5, frame->data[0], bytes);
    m_hashed = true;
}

void StreamScan::write(ScanJson& json) const
{
    json.beginObject();
    json.integer("index", m_stream->index);
    json.string("type", m_video ? "video" : "audio");
    json.string("codec", avcodec_get_name(m_stream->codecpar->codec_id));
    if (m_decoderProblem.empty())
        json.null("decoder_problem");
    else
        json.string("decoder_problem", m_decoderProblem);
    json.integer("decode_errors", m_errorCount);
    json.beginArray("first_errors");
    for (const ErrorNote& note : m_firstErrors) {
        json.beginObject();
        json.number("time", note.time);
        json.string("message", note.message);
        json.endObject();
    }
    json.endArray();
    if (m_video)
        json.integer("frames", m_frames);
    else
        json.integer("samples", m_samples);
    std::optional<double> start = m_firstTicks ? seconds(*m_firstTicks) : std::nullopt;
    std::optional<double> end = endTime();
    json.number("start", start);
    json.number("end", end);
    json.number("duration", start && end ? std::optional<double>(*end - *start) : std::nullopt);

    if (m_video) {
        const double tick = av_q2d(m_stream->time_base);
        if (m_minStep && m_maxStep) {
            // A time base too coarse for the rate (Matroska's milliseconds) rounds a constant
            // rate's steps to two neighbouring ticks.
            json.string("frame_rate_mode", *m_maxStep - *m_minStep <= 1 ? "constant" : "variable");
            json.number("frame_duration_min", static_cast<double>(*m_minStep) * tick);
            json.number("frame_duration_max", static_cast<double>(*m_maxStep) * tick);
        } else {
            json.null("frame_rate_mode");
            json.null("frame_duration_min");
            json.null("frame_duration_max");
        }
        json.beginObject("interlacing");
        json.integer("progressive", m_idetProgressive);
        json.integer("tff", m_idetTff);
        json.integer("bff", m_idetBff);
        json.integer("undetermined", m_idetUndetermined);
        json.endObject();
        writeSpans(json, "black", m_black);
        writeSpans(json, "frozen", m_frozen);
        json.beginArray("captions");
        if (m_cea608)
            json.string({}, "CEA-608");
        if (m_cea708)
            json.string({}, "CEA-708");
        json.endArray();
    } else {
        json.integer("sample_rate", m_stream->codecpar->sample_rate);
        if (m_integrated) {
            json.beginObject("loudness");
            json.number("integrated", *m_integrated);
            json.number("range", m_range);
            json.number("true_peak", m_truePeak);
            json.endObject();
        } else {
            json.null("loudness");
        }
        writeSpans(json, "silence", m_silence);
    }
    if (m_hashed && m_md5 != nullptr) {
        // The context is finished on a copy, so writing twice gives the same hash.
        std::uint8_t digest[16];
        AVMD5* copy = av_md5_alloc();
        if (copy != nullptr) {
            std::memcpy(static_cast<void*>(copy), static_cast<const void*>(m_md5),
                        static_cast<std::size_t>(av_md5_size));
            av_md5_final(copy, digest);
            av_free(copy);
            char hex[33];
            for (int i = 0; i < 16; ++i)
                std::snprintf(hex + 2 * i, 3, "%02x", digest[i]);
            json.string("md5", hex);
        } else {
            json.null("md5");
        }
    } else {
        json.null("md5");
    }
    json.endObject();
}

}  // namespace sniffer
