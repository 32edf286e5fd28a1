#include "sniffer/stream_headers.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "sniffer/container_extent.h"
#include "sniffer/mpeg2_headers.h"
#include "sniffer/segment_uid.h"

namespace sniffer {
namespace {

// Three GOPs of long-GOP MPEG-2 take a few hundred packets; a hostile file must not make us
// read it all.
constexpr int kMaxVideoPackets = 1500;
constexpr int kMaxAudioPackets = 10;
constexpr int kMaxPackets = 6000;
// An MPEG program stream's streams have all shown up after this many packets.
constexpr int kPacketsToFindStreams = 500;

struct CodecContextDeleter {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
using CodecContext = std::unique_ptr<AVCodecContext, CodecContextDeleter>;
struct FrameDeleter {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};

struct Video {
    Mpeg2HeaderReader reader;
    int packets = 0;
    [[nodiscard]] bool done() const { return reader.done() || packets >= kMaxVideoPackets; }
};

struct Audio {
    CodecContext decoder;
    int packets = 0;
    std::optional<int> serviceType;
    [[nodiscard]] bool done() const { return serviceType || packets >= kMaxAudioPackets; }
};

CodecContext openDecoder(const AVCodecParameters& parameters)
{
    const AVCodec* codec = avcodec_find_decoder(parameters.codec_id);
    if (codec == nullptr)
        return nullptr;
    CodecContext context(avcodec_alloc_context3(codec));
    if (!context || avcodec_parameters_to_context(context.get(), &parameters) < 0 ||
        avcodec_open2(context.get(), codec, nullptr) < 0)
        return nullptr;
    return context;
}

// The AC-3 decoder sets the context's service type from each frame's bsmod.
void decode(Audio& audio, const AVPacket& packet, AVFrame& frame)
{
    ++audio.packets;
    if (avcodec_send_packet(audio.decoder.get(), &packet) < 0)
        return;
    if (avcodec_receive_frame(audio.decoder.get(), &frame) == 0)
        audio.serviceType = static_cast<int>(audio.decoder->audio_service_type);
    av_frame_unref(&frame);
}

void member(std::string& object, const char* name, const std::string& value)
{
    object += ", \"";
    object += name;
    object += "\": ";
    object += value;
}

std::string flag(bool value)
{
    return value ? "true" : "false";
}

std::string videoJson(int index, const Mpeg2Structure& found)
{
    std::string object = "{\"index\": " + std::to_string(index);
    if (found.gopN) {
        member(object, "gop_m", std::to_string(found.gopM.value_or(1)));
        member(object, "gop_n", std::to_string(*found.gopN));
        member(object, "gop_variable", flag(found.gopVariable));
    }
    if (found.firstGopClosed)
        member(object, "first_gop_closed", flag(*found.firstGopClosed));
    if (found.laterGopsOpen)
        member(object, "later_gops_open", flag(*found.laterGopsOpen));
    if (found.customMatrix)
        member(object, "custom_matrix", flag(*found.customMatrix));
    if (!found.timecode.empty())
        member(object, "timecode", "\"" + found.timecode + "\"");
    return object + "}";
}

std::optional<std::string> segmentUidOf(const char* path)
{
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr)
        return std::nullopt;
    std::string head(kExtentHeadBytes, '\0');
    head.resize(std::fread(head.data(), 1, head.size(), file));
    std::fclose(file);
    return matroskaSegmentUid(head);
}

}  // namespace

int writeStreamHeaders(const char* path, std::FILE* out)
{
    av_log_set_level(AV_LOG_QUIET);
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path, nullptr, nullptr) < 0)
        return 1;
    std::map<int, Video> videos;
    std::map<int, Audio> audios;
    // MPEG program streams add their streams as their packets come, so a stream is looked at
    // when it is first seen, before its first packet or in the header.
    int looked = 0;
    auto lookAtNewStreams = [&] {
        for (; looked < static_cast<int>(format->nb_streams); ++looked) {
            const AVCodecParameters& parameters = *format->streams[looked]->codecpar;
            if (parameters.codec_id == AV_CODEC_ID_MPEG2VIDEO ||
                parameters.codec_id == AV_CODEC_ID_MPEG1VIDEO) {
                videos[looked];
            } else if (parameters.codec_id == AV_CODEC_ID_AC3 ||
                       parameters.codec_id == AV_CODEC_ID_EAC3) {
                if (CodecContext decoder = openDecoder(parameters))
                    audios[looked].decoder = std::move(decoder);
            }
        }
    };
    lookAtNewStreams();
    // Where streams come with their packets, one not seen yet may still come.
    const bool streamsLater = (format->ctx_flags & AVFMTCTX_NOHEADER) != 0;
    int read = 0;
    auto allDone = [&videos, &audios, &read, streamsLater] {
        if (streamsLater && read < kPacketsToFindStreams)
            return false;
        for (const auto& [index, video] : videos)
            if (!video.done())
                return false;
        for (const auto& [index, audio] : audios)
            if (!audio.done())
                return false;
        return true;
    };
    AVPacket* packet = av_packet_alloc();
    const std::unique_ptr<AVFrame, FrameDeleter> frame(av_frame_alloc());
    for (; packet != nullptr && frame && read < kMaxPackets && !allDone() &&
           av_read_frame(format, packet) >= 0;
         ++read) {
        lookAtNewStreams();
        if (packet->data != nullptr) {
            if (auto video = videos.find(packet->stream_index);
                video != videos.end() && !video->second.done()) {
                ++video->second.packets;
                video->second.reader.read(
                    std::string_view(reinterpret_cast<const char*>(packet->data),
                                     static_cast<std::size_t>(packet->size)));
            } else if (auto audio = audios.find(packet->stream_index);
                       audio != audios.end() && !audio->second.done()) {
                decode(audio->second, *packet, *frame);
            }
        }
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    const bool matroska =
        std::string_view(format->iformat->name).find("matroska") != std::string_view::npos;
    avformat_close_input(&format);

    std::string document = "{";
    if (const auto uid = matroska ? segmentUidOf(path) : std::nullopt)
        document += "\"segment_uid\": \"" + *uid + "\", ";
    document += "\"streams\": [";
    bool first = true;
    auto add = [&document, &first](const std::string& object) {
        document += first ? "" : ", ";
        document += object;
        first = false;
    };
    for (const auto& [index, video] : videos)
        add(videoJson(index, video.reader.structure()));
    for (const auto& [index, audio] : audios)
        if (audio.serviceType)
            add("{\"index\": " + std::to_string(index) +
                ", \"service_type\": " + std::to_string(*audio.serviceType) + "}");
    document += "]}\n";
    std::fputs(document.c_str(), out);
    return std::fflush(out) == 0 ? 0 : 1;
}

}  // namespace sniffer
