#include "sniffer/encoder_settings.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "sniffer/encoder_sei.h"
#include "sniffer/probe_json.h"

namespace sniffer {
namespace {

// x264 and x265 write the text into the first frame; a stream without it in its first packets
// has none, and a hostile file must not make us read it all.
constexpr int kMaxPacketsPerStream = 30;
constexpr int kMaxPackets = 2000;

struct Wanted {
    NalCodec codec = NalCodec::h264;
    std::size_t lengthSize = 0;
    int packets = 0;
    std::optional<std::string> text;
    [[nodiscard]] bool done() const { return text || packets >= kMaxPacketsPerStream; }
};

std::optional<NalCodec> nalCodecOf(const AVStream& stream)
{
    if ((stream.disposition & AV_DISPOSITION_ATTACHED_PIC) != 0)
        return std::nullopt;
    switch (stream.codecpar->codec_id) {
        case AV_CODEC_ID_H264:
            return NalCodec::h264;
        case AV_CODEC_ID_HEVC:
            return NalCodec::hevc;
        default:
            return std::nullopt;
    }
}

}  // namespace

int writeEncoderSettings(const char* path, std::FILE* out)
{
    av_log_set_level(AV_LOG_QUIET);
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path, nullptr, nullptr) < 0)
        return 1;
    std::map<int, Wanted> wanted;
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        const AVStream& stream = *format->streams[i];
        if (const auto codec = nalCodecOf(stream)) {
            const std::string_view extradata(
                reinterpret_cast<const char*>(stream.codecpar->extradata),
                stream.codecpar->extradata != nullptr
                    ? static_cast<std::size_t>(stream.codecpar->extradata_size)
                    : 0);
            wanted[static_cast<int>(i)] = {*codec, nalLengthSize(extradata, *codec), 0,
                                           configurationText(extradata, *codec)};
        }
    }
    AVPacket* packet = av_packet_alloc();
    auto allDone = [&wanted] {
        for (const auto& [index, one] : wanted)
            if (!one.done())
                return false;
        return true;
    };
    for (int read = 0; packet != nullptr && read < kMaxPackets && !allDone() &&
                       av_read_frame(format, packet) >= 0;
         ++read) {
        if (auto found = wanted.find(packet->stream_index);
            found != wanted.end() && !found->second.done() && packet->data != nullptr) {
            Wanted& one = found->second;
            ++one.packets;
            one.text = encoderText(std::string_view(reinterpret_cast<const char*>(packet->data),
                                                    static_cast<std::size_t>(packet->size)),
                                   one.codec, one.lengthSize);
        }
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    avformat_close_input(&format);

    std::string document = "{\"streams\": [";
    bool first = true;
    for (const auto& [index, one] : wanted) {
        if (!one.text)
            continue;
        if (!first)
            document += ", ";
        first = false;
        document += "{\"index\": ";
        document += std::to_string(index);
        document += ", \"text\": ";
        document += jsonString(*one.text);
        document += "}";
    }
    document += "]}\n";
    std::fputs(document.c_str(), out);
    std::fflush(out);
    return 0;
}

}  // namespace sniffer
