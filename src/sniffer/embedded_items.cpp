#include "sniffer/embedded_items.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
}

#include <sys/stat.h>

#include <chrono>
#include <cstdarg>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "probe/embedded_listing.h"

namespace sniffer {
namespace {

namespace listing = vellinor::embedded_listing;
using Clock = std::chrono::steady_clock;

// Reading a header takes milliseconds; a demuxer that wanders (a playlist naming a device, a
// damaged file that makes it scan) is stopped after this long.
constexpr std::chrono::seconds kOpenTimeLimit{5};
// Messages about failed allocations kept for the listing; the rest are only counted.
constexpr std::size_t kMaxLostMessages = 64;

// The demuxers say so at error level when an item cannot be allocated, and skip it.
std::vector<std::string>& lostMessages()
{
    static std::vector<std::string> messages;
    return messages;
}

void noteAllocationFailures(void* context, int level, const char* format, va_list arguments)
{
    if (level > AV_LOG_ERROR)
        return;
    char line[512];
    int prefix = 0;
    av_log_format_line2(context, level, format, arguments, line, sizeof line, &prefix);
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    if (text.find("alloc") != std::string::npos && lostMessages().size() < kMaxLostMessages)
        lostMessages().push_back(std::move(text));
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
Input openHeader(const char* path, const Clock::time_point& deadline, int& error)
{
    AVFormatContext* context = avformat_alloc_context();
    if (context == nullptr) {
        error = AVERROR(ENOMEM);
        return nullptr;
    }
    context->interrupt_callback.callback = pastDeadline;
    context->interrupt_callback.opaque = const_cast<Clock::time_point*>(&deadline);

    AVDictionary* options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    // The "file:" prefix keeps a name such as "x:y.mp3" from being read as a protocol.
    const std::string url = std::string("file:") + path;
    error = avformat_open_input(&context, url.c_str(), nullptr, &options);
    av_dict_free(&options);
    if (error < 0)
        return nullptr;  // avformat_open_input has freed the context
    return Input(context);
}

bool isAttachedPicture(const AVStream& stream)
{
    return (stream.disposition & AV_DISPOSITION_ATTACHED_PIC) != 0;
}

bool isAttachment(const AVStream& stream)
{
    return stream.codecpar->codec_type == AVMEDIA_TYPE_ATTACHMENT;
}

std::string tag(const AVStream& stream, const char* key)
{
    const AVDictionaryEntry* entry = av_dict_get(stream.metadata, key, nullptr, 0);
    return entry != nullptr ? std::string(entry->value) : std::string();
}

bool isImageAttachment(const AVStream& stream)
{
    if (tag(stream, "mimetype").substr(0, 6) == "image/")
        return true;
    const AVCodecDescriptor* codec = avcodec_descriptor_get(stream.codecpar->codec_id);
    return codec != nullptr && codec->type == AVMEDIA_TYPE_VIDEO;
}

// The bytes a picture or attachment stream carries, or nothing.
std::string_view payloadOf(const AVStream& stream)
{
    const std::uint8_t* data = nullptr;
    int size = 0;
    if (isAttachedPicture(stream)) {
        data = stream.attached_pic.data;
        size = stream.attached_pic.size;
    } else if (isAttachment(stream)) {
        data = stream.codecpar->extradata;
        size = stream.codecpar->extradata_size;
    }
    if (data == nullptr || size <= 0)
        return {};
    return {reinterpret_cast<const char*>(data), static_cast<std::size_t>(size)};
}

class ListingWriter {
public:
    explicit ListingWriter(std::FILE* out) : m_out(out) {}

    void field(std::string_view key, std::string_view value)
    {
        const std::string header = listing::fieldHeader(key, value.size());
        std::fwrite(header.data(), 1, header.size(), m_out);
        std::fwrite(value.data(), 1, value.size(), m_out);
        std::fputc('\n', m_out);
    }

    // False when the output could not be written whole.
    bool finish() { return std::fflush(m_out) == 0 && std::ferror(m_out) == 0; }

private:
    std::FILE* m_out;
};

void writeItem(ListingWriter& out, const AVStream& stream, std::string_view payload,
               bool picturesOnly, std::uint64_t& budget)
{
    const bool picture = isAttachedPicture(stream) || isImageAttachment(stream);
    out.field("item", picture ? listing::kPicture : listing::kAttachment);
    // Listing field, and the tag it comes from.
    static constexpr std::pair<const char*, const char*> kTags[] = {
        {"name", "filename"}, {"mimetype", "mimetype"}, {"title", "title"}, {"comment", "comment"}};
    for (const auto& [key, tagName] : kTags) {
        if (std::string value = tag(stream, tagName); !value.empty())
            out.field(key, value);
    }
    out.field("codec", avcodec_get_name(stream.codecpar->codec_id));
    out.field("size", std::to_string(payload.size()));
    if (picturesOnly && !picture)
        return;
    if (payload.size() > listing::kMaxItemBytes) {
        out.field("leftout", listing::kItemLimit);
    } else if (payload.size() > budget) {
        out.field("leftout", listing::kFileLimit);
    } else {
        budget -= payload.size();
        out.field("data", payload);
    }
}

}  // namespace

int writeEmbeddedItems(const char* path, bool picturesOnly, std::FILE* out)
{
    ListingWriter writer(out);
    // A pipe or a device would make the demuxer wait or read forever; the caller checks this
    // too, this keeps the mode safe on its own.
    struct stat info {};
    if (::stat(path, &info) != 0 || !S_ISREG(info.st_mode)) {
        writer.field("failure", listing::kNotMedia);
        writer.finish();
        return 1;
    }
    av_log_set_callback(noteAllocationFailures);
    // An item that claims gigabytes is refused by the allocator instead of taking them.
    av_max_alloc(listing::kReaderLargestAllocation);

    const Clock::time_point deadline = Clock::now() + kOpenTimeLimit;
    int error = 0;
    Input input = openHeader(path, deadline, error);
    if (!input) {
        const std::string_view why = error == AVERROR(ENOMEM)  ? listing::kOutOfMemory
                                     : Clock::now() > deadline ? listing::kTimeout
                                                               : listing::kNotMedia;
        writer.field("failure", why);
        writer.finish();
        return 1;
    }

    std::uint64_t budget = listing::kMaxFileBytes;
    for (unsigned int i = 0; i < input->nb_streams; ++i) {
        const AVStream& stream = *input->streams[i];
        const std::string_view payload = payloadOf(stream);
        if (!payload.empty())
            writeItem(writer, stream, payload, picturesOnly, budget);
    }
    for (const std::string& message : lostMessages())
        writer.field("lost", message);
    writer.field("end", "");
    return writer.finish() ? 0 : 1;
}

int runEmbeddedItems(int argc, char** argv)
{
    bool picturesOnly = false;
    int at = 2;
    if (at < argc && std::string_view(argv[at]) == "--pictures-only") {
        picturesOnly = true;
        ++at;
    }
    if (at + 1 != argc)
        return 2;
    return writeEmbeddedItems(argv[at], picturesOnly, stdout);
}

}  // namespace sniffer
