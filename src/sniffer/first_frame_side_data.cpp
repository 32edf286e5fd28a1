#include "sniffer/first_frame_side_data.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/frame.h>
#include <libavutil/hdr_dynamic_metadata.h>
#include <libavutil/mastering_display_metadata.h>
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <charconv>
#include <cinttypes>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace sniffer {
namespace {

// A stream whose first frame needs more packets than this is given up on (a damaged or
// hostile stream must not make us decode a whole file).
constexpr int kMaxPacketsPerStream = 500;

struct CodecContextDeleter {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
using CodecContext = std::unique_ptr<AVCodecContext, CodecContextDeleter>;

struct FrameDeleter {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};

struct Wanted {
    int index = 0;
    CodecContext decoder;
    int packetsSent = 0;
    bool done = false;
    bool decoded = false;
    std::string sideData;  // the JSON array's entries, once the first frame is in
    std::string colours;   // the frame's colour fields, as members ", \"name\": \"value\""
};

std::string rational(AVRational value)
{
    std::string text = "\"";
    text += std::to_string(value.num);
    text += "/";
    text += std::to_string(value.den);
    text += "\"";
    return text;
}

void addField(std::string& fields, const std::string& name, const std::string& value)
{
    fields += ", \"";
    fields += name;
    fields += "\": ";
    fields += value;
}

std::string entry(const char* type, const std::string& fields)
{
    std::string text = "{\"side_data_type\": \"";
    text += type != nullptr ? type : "unknown";
    text += "\"";
    text += fields;
    text += "}";
    return text;
}

// The fields of the kinds of side data that tell HDR facts; other kinds are listed by name.
std::string sideDataFields(const AVFrameSideData& data)
{
    std::string fields;
    switch (data.type) {
        case AV_FRAME_DATA_MASTERING_DISPLAY_METADATA: {
            if (data.size < sizeof(AVMasteringDisplayMetadata))
                break;
            const auto* mastering = reinterpret_cast<const AVMasteringDisplayMetadata*>(data.data);
            if (mastering->has_primaries) {
                const char* names[3] = {"red", "green", "blue"};
                for (int i = 0; i < 3; ++i) {
                    addField(fields, std::string(names[i]) + "_x",
                             rational(mastering->display_primaries[i][0]));
                    addField(fields, std::string(names[i]) + "_y",
                             rational(mastering->display_primaries[i][1]));
                }
                addField(fields, "white_point_x", rational(mastering->white_point[0]));
                addField(fields, "white_point_y", rational(mastering->white_point[1]));
            }
            if (mastering->has_luminance) {
                addField(fields, "min_luminance", rational(mastering->min_luminance));
                addField(fields, "max_luminance", rational(mastering->max_luminance));
            }
            break;
        }
        case AV_FRAME_DATA_CONTENT_LIGHT_LEVEL: {
            if (data.size < sizeof(AVContentLightMetadata))
                break;
            const auto* light = reinterpret_cast<const AVContentLightMetadata*>(data.data);
            addField(fields, "max_content", std::to_string(light->MaxCLL));
            addField(fields, "max_average", std::to_string(light->MaxFALL));
            break;
        }
        case AV_FRAME_DATA_DYNAMIC_HDR_PLUS: {
            if (data.size < sizeof(AVDynamicHDRPlus))
                break;
            const auto* plus = reinterpret_cast<const AVDynamicHDRPlus*>(data.data);
            addField(fields, "application_version", std::to_string(plus->application_version));
            addField(fields, "num_windows", std::to_string(plus->num_windows));
            break;
        }
        default:
            break;
    }
    return fields;
}

std::string describeSideData(const AVFrame& frame)
{
    std::string list;
    for (int i = 0; i < frame.nb_side_data; ++i) {
        const AVFrameSideData* data = frame.side_data[i];
        if (data == nullptr)
            continue;
        if (!list.empty())
            list += ", ";
        list += entry(av_frame_side_data_name(data->type), sideDataFields(*data));
    }
    return list;
}

std::string quoted(const char* text)
{
    std::string result = "\"";
    result += text;
    result += "\"";
    return result;
}

// The frame's colour description, as ffprobe names the fields; unspecified ones are left out.
std::string describeColours(const AVFrame& frame)
{
    std::string fields;
    if (frame.color_primaries != AVCOL_PRI_UNSPECIFIED)
        if (const char* name = av_color_primaries_name(frame.color_primaries))
            addField(fields, "color_primaries", quoted(name));
    if (frame.color_trc != AVCOL_TRC_UNSPECIFIED)
        if (const char* name = av_color_transfer_name(frame.color_trc))
            addField(fields, "color_transfer", quoted(name));
    if (frame.colorspace != AVCOL_SPC_UNSPECIFIED)
        if (const char* name = av_color_space_name(frame.colorspace))
            addField(fields, "color_space", quoted(name));
    return fields;
}

CodecContext openDecoder(const AVStream& stream)
{
    const AVCodec* codec = avcodec_find_decoder(stream.codecpar->codec_id);
    if (codec == nullptr)
        return nullptr;
    CodecContext context(avcodec_alloc_context3(codec));
    if (!context || avcodec_parameters_to_context(context.get(), stream.codecpar) < 0)
        return nullptr;
    context->thread_count = 1;  // one frame is wanted; threads would only add start-up time
    if (avcodec_open2(context.get(), codec, nullptr) < 0)
        return nullptr;
    return context;
}

// Decodes the stream's first keyframe on its own: the packet, then a drain, so the frame comes
// out at once instead of after the decoder's reordering delay (several more frames of
// decoding). Packets before the first keyframe are skipped; a keyframe that gives no frame (a
// damaged one) is followed by the next, up to the packet limit.
void feed(Wanted& wanted, const AVPacket& packet, AVFrame* frame)
{
    if (wanted.done)
        return;
    wanted.done = ++wanted.packetsSent >= kMaxPacketsPerStream;
    if ((packet.flags & AV_PKT_FLAG_KEY) == 0)
        return;
    AVCodecContext* decoder = wanted.decoder.get();
    if (avcodec_send_packet(decoder, &packet) >= 0 && avcodec_send_packet(decoder, nullptr) >= 0) {
        for (;;) {
            int result = avcodec_receive_frame(decoder, frame);
            if (result != 0)
                break;
            if (!wanted.decoded) {
                wanted.sideData = describeSideData(*frame);
                wanted.colours = describeColours(*frame);
                wanted.decoded = true;
            }
            av_frame_unref(frame);
        }
    }
    if (wanted.decoded)
        wanted.done = true;
    else
        avcodec_flush_buffers(decoder);  // out of its drained state, for the next keyframe
}

std::vector<Wanted> wantedStreams(AVFormatContext* format, const std::vector<int>& indexes)
{
    std::vector<Wanted> wanted;
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        const AVStream* stream = format->streams[i];
        if (stream->codecpar->codec_type != AVMEDIA_TYPE_VIDEO ||
            (stream->disposition & AV_DISPOSITION_ATTACHED_PIC) != 0)
            continue;
        if (!indexes.empty() &&
            std::find(indexes.begin(), indexes.end(), static_cast<int>(i)) == indexes.end())
            continue;
        Wanted one;
        one.index = static_cast<int>(i);
        one.decoder = openDecoder(*stream);
        one.done = !one.decoder;
        wanted.push_back(std::move(one));
    }
    return wanted;
}

Wanted* findWanted(std::vector<Wanted>& wanted, int index)
{
    for (Wanted& one : wanted)
        if (one.index == index)
            return &one;
    return nullptr;
}

bool allDone(const std::vector<Wanted>& wanted)
{
    return std::all_of(wanted.begin(), wanted.end(), [](const Wanted& one) { return one.done; });
}

void decodeFirstFrames(AVFormatContext* format, std::vector<Wanted>& wanted)
{
    std::unique_ptr<AVFrame, FrameDeleter> frame(av_frame_alloc());
    AVPacket* packet = av_packet_alloc();
    if (!frame || packet == nullptr) {
        av_packet_free(&packet);
        return;
    }
    while (!allDone(wanted) && av_read_frame(format, packet) >= 0) {
        if (Wanted* one = findWanted(wanted, packet->stream_index))
            feed(*one, *packet, frame.get());
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
}

}  // namespace

int writeFirstFrameSideData(const char* path, const std::vector<int>& streamIndexes, std::FILE* out)
{
    av_log_set_level(AV_LOG_QUIET);
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path, nullptr, nullptr) < 0)
        return 1;
    std::vector<Wanted> wanted = wantedStreams(format, streamIndexes);
    decodeFirstFrames(format, wanted);
    avformat_close_input(&format);

    std::string document = "{\"frames\": [";
    bool first = true;
    for (const Wanted& one : wanted) {
        if (!one.decoded)
            continue;
        document += first ? "" : ", ";
        first = false;
        document += "{\"stream_index\": ";
        document += std::to_string(one.index);
        document += one.colours;
        document += ", \"side_data_list\": [";
        document += one.sideData;
        document += "]}";
    }
    document += "]}\n";
    std::fputs(document.c_str(), out);
    std::fflush(out);
    return 0;
}

int runFirstFrameSideData(int argc, char** argv)
{
    std::vector<int> indexes;
    for (int i = 3; i < argc; ++i) {
        const std::string_view text(argv[i]);
        int index = 0;
        auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), index);
        if (error != std::errc() || end != text.data() + text.size() || index < 0)
            return 2;
        indexes.push_back(index);
    }
    return writeFirstFrameSideData(argv[2], indexes, stdout);
}

}  // namespace sniffer
