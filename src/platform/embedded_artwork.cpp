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

#include "platform/attachment_names.h"

namespace vellinor::platform {
namespace {

using Clock = std::chrono::steady_clock;

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

bool isAttachedPicture(const AVStream& stream)
{
    return (stream.disposition & AV_DISPOSITION_ATTACHED_PIC) != 0;
}

bool isAttachment(const AVStream& stream)
{
    return stream.codecpar->codec_type == AVMEDIA_TYPE_ATTACHMENT;
}

// The bytes a picture or attachment stream carries, or nothing.
std::string_view payloadOf(const AVStream& stream)
{
    if (isAttachedPicture(stream))
        return bytesOf(stream.attached_pic.data, stream.attached_pic.size);
    if (isAttachment(stream))
        return bytesOf(stream.codecpar->extradata, stream.codecpar->extradata_size);
    return {};
}

// The picture a stream carries, or nothing.
std::string_view pictureOf(const AVStream& stream)
{
    if (isAttachedPicture(stream) || (isAttachment(stream) && isImageAttachment(stream)))
        return payloadOf(stream);
    return {};
}

std::string tag(const AVStream& stream, const char* key)
{
    const AVDictionaryEntry* entry = av_dict_get(stream.metadata, key, nullptr, 0);
    return entry != nullptr ? std::string(entry->value) : std::string();
}

// ID3 and FLAC pictures keep their description as "title" and their picture type ("Cover
// (front)") as "comment"; Matroska attachments their description as "title".
std::string descriptionOf(const AVStream& stream)
{
    std::string title = tag(stream, "title");
    const std::string comment = tag(stream, "comment");
    if (title.empty() || comment == title)
        return comment.empty() ? title : comment;
    return comment.empty() ? title : title + " \xE2\x80\x94 " + comment;
}

EmbeddedFile embeddedFileOf(const AVStream& stream, std::string_view payload)
{
    EmbeddedFile file;
    file.isPicture = !pictureOf(stream).empty();
    file.name = tag(stream, "filename");
    file.mimeType = tag(stream, "mimetype");
    if (file.mimeType.empty())
        file.mimeType = mimeTypeOfCodec(avcodec_get_name(stream.codecpar->codec_id));
    file.description = descriptionOf(stream);
    file.extension = extensionForMimeType(file.mimeType);
    file.bytes = std::string(payload);
    return file;
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

Expected<std::vector<EmbeddedFile>> embeddedFiles(const std::string& path)
{
    std::error_code error;
    if (path.empty() || !std::filesystem::is_regular_file(path, error))
        return Unexpected("not a regular file");
    silenceLibav();
    const Clock::time_point deadline = Clock::now() + kOpenTimeLimit;
    Input input = openHeader(path, deadline);
    if (!input)
        return Unexpected(Clock::now() > deadline ? "reading it took longer than 5 s"
                                                  : "not a media file");

    std::vector<EmbeddedFile> files;
    for (unsigned int i = 0; i < input->nb_streams; ++i) {
        const AVStream& stream = *input->streams[i];
        const std::string_view payload = payloadOf(stream);
        if (!payload.empty())
            files.push_back(embeddedFileOf(stream, payload));
    }
    return files;
}

}  // namespace vellinor::platform
