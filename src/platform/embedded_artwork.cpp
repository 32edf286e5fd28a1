#include "platform/embedded_artwork.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/log.h>
}

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string_view>
#include <system_error>

namespace vellinor::platform {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kLargestPicture = std::size_t{64} << 20;
// Reading a header takes milliseconds; a demuxer that wanders (a playlist naming a device, a
// damaged file that makes it scan) is stopped after this long.
constexpr std::chrono::seconds kOpenTimeLimit{5};

// libav writes warnings about damaged files to stderr; here they are expected and unwanted.
// The level is process-wide, and nothing else in the program uses libav.
void silenceLibav()
{
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

int pastDeadline(void* opaque)
{
    return Clock::now() > *static_cast<const Clock::time_point*>(opaque) ? 1 : 0;
}

struct CloseInput {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
using Input = std::unique_ptr<AVFormatContext, CloseInput>;

// Opens only the header: the pictures are all known once it has been read, so the costly
// stream analysis is skipped. Only local files may be read, also by demuxers that follow
// references (playlists), so a file can never make us reach out to the network.
Input openHeader(const std::string& path, const Clock::time_point& deadline)
{
    AVFormatContext* context = avformat_alloc_context();
    if (context == nullptr)
        return nullptr;
    context->interrupt_callback.callback = pastDeadline;
    context->interrupt_callback.opaque = const_cast<Clock::time_point*>(&deadline);

    AVDictionary* options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    // The "file:" prefix keeps a name such as "x:y.mp3" from being read as a protocol.
    std::string url = "file:" + path;
    int error = avformat_open_input(&context, url.c_str(), nullptr, &options);
    av_dict_free(&options);
    if (error < 0)
        return nullptr;  // avformat_open_input has freed the context
    return Input(context);
}

std::string_view bytesOf(const std::uint8_t* data, int size)
{
    if (data == nullptr || size <= 0)
        return {};
    return {reinterpret_cast<const char*>(data), static_cast<std::size_t>(size)};
}

bool isImageAttachment(const AVStream& stream)
{
    if (const AVDictionaryEntry* mime = av_dict_get(stream.metadata, "mimetype", nullptr, 0)) {
        if (std::string_view(mime->value).substr(0, 6) == "image/")
            return true;
    }
    const AVCodecDescriptor* codec = avcodec_descriptor_get(stream.codecpar->codec_id);
    return codec != nullptr && codec->type == AVMEDIA_TYPE_VIDEO;
}

// The picture a stream carries, or nothing.
std::string_view pictureOf(const AVStream& stream)
{
    if ((stream.disposition & AV_DISPOSITION_ATTACHED_PIC) != 0)
        return bytesOf(stream.attached_pic.data, stream.attached_pic.size);
    const AVCodecParameters& parameters = *stream.codecpar;
    if (parameters.codec_type == AVMEDIA_TYPE_ATTACHMENT && isImageAttachment(stream))
        return bytesOf(parameters.extradata, parameters.extradata_size);
    return {};
}

}  // namespace

std::vector<std::string> embeddedPictures(const std::string& path)
{
    // A pipe or a device would make the demuxer wait or read forever.
    std::error_code error;
    if (path.empty() || !std::filesystem::is_regular_file(path, error))
        return {};
    silenceLibav();
    const Clock::time_point deadline = Clock::now() + kOpenTimeLimit;
    Input input = openHeader(path, deadline);
    if (!input)
        return {};

    std::vector<std::string> pictures;
    for (unsigned int i = 0; i < input->nb_streams; ++i) {
        std::string_view picture = pictureOf(*input->streams[i]);
        if (!picture.empty() && picture.size() <= kLargestPicture)
            pictures.emplace_back(picture);
    }
    return pictures;
}

}  // namespace vellinor::platform
