#pragma once

// One audio or video stream of a deep scan: decodes every packet on a thread of its own (the
// decoder itself uses every core too), runs the analysis filters over the frames and hashes the
// decoded content. The demuxing thread hands packets over through a bounded queue.
//
// Analyses and their thresholds:
//   video: idet (interlacing counts), blackdetect (pictures 98% of whose pixels are below 10%
//          luminance), freezedetect (noise -60 dB); spans shorter than 2 s are not kept;
//   audio: ebur128 with true peak (integrated loudness, loudness range, true peak), silencedetect
//          (below -60 dBFS for at least 2 s).
// The content hash is the MD5 of the decoded pictures as raw video in their own pixel format
// (rows packed, no padding), or of the decoded sound as interleaved signed 16-bit samples: the
// bytes ffmpeg's streamhash muxer hashes.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "sniffer/scan_log.h"

extern "C" {
struct AVCodecContext;
struct AVFilterContext;
struct AVFilterGraph;
struct AVFormatContext;
struct AVFrame;
struct AVMD5;
struct AVPacket;
struct AVStream;
}

namespace sniffer {

class ScanJson;

struct TimeSpan {
    double start = 0.0;
    double end = 0.0;
};

struct ErrorNote {
    std::optional<double> time;
    std::string message;
};

class StreamScan final {
public:
    StreamScan(const AVStream* stream, double fileStart);
    ~StreamScan();
    StreamScan(const StreamScan&) = delete;
    StreamScan& operator=(const StreamScan&) = delete;

    void start();
    // Takes the packet's reference; blocks while the queue is full.
    void push(AVPacket* packet);
    // No more packets: drains the decoder and the filters, then stops the thread.
    void finish();

    void write(ScanJson& json) const;
    [[nodiscard]] bool hasErrors() const { return m_errorCount > 0; }
    [[nodiscard]] std::optional<double> endTime() const;

    void logLine(int level, std::string_view line);

private:
    LogSink m_logSink{[](void* owner, int level, std::string_view line) {
                          static_cast<StreamScan*>(owner)->logLine(level, line);
                      },
                      this};
    void work();
    void decode(AVPacket* packet);  // nullptr: flush
    void take(AVFrame* frame);
    void noteError(std::optional<double> time, std::string fallback);
    bool buildGraph(const AVFrame* frame);
    void drainGraph();
    void closeGraph();
    void readAnalysis(const AVFrame* frame);
    void hashVideo(const AVFrame* frame);
    void hashAudio(const AVFrame* frame);
    [[nodiscard]] std::optional<double> seconds(std::int64_t ticks) const;

    const AVStream* m_stream;
    const double m_fileStart;
    const bool m_video;
    AVCodecContext* m_decoder = nullptr;
    std::string m_decoderProblem;  // why the stream could not be decoded; empty when it was
    AVFrame* m_frame = nullptr;
    AVFrame* m_filtered = nullptr;

    // The queue between the demuxer and this thread.
    std::mutex m_queueMutex;
    std::condition_variable m_queueChanged;
    std::deque<AVPacket*> m_queue;
    bool m_ended = false;
    std::thread m_thread;

    // The filter graph, rebuilt when the frames' format changes.
    AVFilterGraph* m_graph = nullptr;
    AVFilterContext* m_source = nullptr;
    AVFilterContext* m_analysisSink = nullptr;
    AVFilterContext* m_hashSink = nullptr;  // audio only
    AVFilterContext* m_loudnessFilter = nullptr;
    int m_graphWidth = 0, m_graphHeight = 0, m_graphFormat = -1, m_graphRate = 0,
        m_graphChannels = 0;
    bool m_graphFailed = false;

    // Errors: decoder lines since the last frame, and what was noted.
    std::mutex m_logMutex;
    std::vector<std::string> m_pendingLines;
    std::string m_loudnessSummary;
    std::int64_t m_errorCount = 0;
    std::vector<ErrorNote> m_firstErrors;

    // Counts and timing.
    std::int64_t m_frames = 0;
    std::int64_t m_samples = 0;
    std::optional<std::int64_t> m_firstTicks;
    std::optional<std::int64_t> m_lastTicks;
    std::int64_t m_lastDurationTicks = 0;
    double m_lastAudioSeconds = 0.0;
    std::optional<std::int64_t> m_minStep, m_maxStep;

    // Analyses.
    std::int64_t m_idetTff = 0, m_idetBff = 0, m_idetProgressive = 0, m_idetUndetermined = 0;
    std::int64_t m_idetBase[4] = {0, 0, 0, 0};  // counts of graphs already closed
    std::vector<TimeSpan> m_black, m_frozen, m_silence;
    std::optional<double> m_blackStart, m_frozenStart, m_silenceStart;
    std::optional<double> m_integrated, m_range, m_truePeak;
    double m_truePeakLinear = -1.0;
    std::int64_t m_loudnessSamples = 0;  // samples measured by the graph whose loudness is kept
    std::int64_t m_graphSamples = 0;
    std::optional<double> m_graphIntegrated, m_graphRange;
    bool m_cea608 = false, m_cea708 = false;

    // Content hash.
    AVMD5* m_md5 = nullptr;
    bool m_hashed = false;
    std::vector<std::uint8_t> m_pictureBuffer;
};

}  // namespace sniffer
