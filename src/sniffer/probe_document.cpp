#include "sniffer/probe_document.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "sniffer/clean_probe.h"
#include "sniffer/probe_json.h"
#include "sniffer/stream_side_data.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
}

namespace sniffer {
namespace {

struct FormatCloser {
    void operator()(AVFormatContext* format) const { avformat_close_input(&format); }
};
using FormatHandle = std::unique_ptr<AVFormatContext, FormatCloser>;

struct DecoderCloser {
    void operator()(AVCodecContext* decoder) const { avcodec_free_context(&decoder); }
};
using DecoderHandle = std::unique_ptr<AVCodecContext, DecoderCloser>;

struct DictionaryFreer {
    void operator()(AVDictionary* dictionary) const { av_dict_free(&dictionary); }
};

// C's "%f", as ffprobe prints every time in seconds.
std::string fixedPoint(double value)
{
    char text[400];  // "%f" of DBL_MAX has 316 characters
    std::snprintf(text, sizeof text, "%f", value);
    return text;
}

std::string hexadecimal(const char* prefix, unsigned value, int minimumDigits)
{
    char text[32];
    std::snprintf(text, sizeof text, "%s%0*x", prefix, minimumDigits, value);
    return text;
}

std::string rational(AVRational value, char separator = '/')
{
    return std::to_string(value.num) + separator + std::to_string(value.den);
}

// Times are "%f" of the timestamp in seconds; ffprobe leaves out a time that is not set.
void timeMember(ProbeJson& json, const char* name, int64_t timestamp, AVRational timeBase)
{
    if (timestamp != AV_NOPTS_VALUE)
        json.member(name, fixedPoint(static_cast<double>(timestamp) * av_q2d(timeBase)));
}

void timestampMember(ProbeJson& json, const char* name, int64_t timestamp)
{
    if (timestamp != AV_NOPTS_VALUE)
        json.member(name, timestamp);
}

void errorObject(ProbeJson& json, int code)
{
    char reason[AV_ERROR_MAX_STRING_SIZE] = {};
    if (av_strerror(code, reason, sizeof reason) < 0)
        std::snprintf(reason, sizeof reason, "%s", std::strerror(AVUNERROR(code)));
    json.beginObject("error");
    json.member("code", code);
    json.member("string", reason);
    json.endObject();
}

void tagsObject(ProbeJson& json, const AVDictionary* tags)
{
    if (av_dict_count(tags) == 0)
        return;
    json.beginObject("tags");
    const AVDictionaryEntry* tag = nullptr;
    while ((tag = av_dict_get(tags, "", tag, AV_DICT_IGNORE_SUFFIX)))
        json.member(tag->key, tag->value);
    json.endObject();
}

void dispositionObject(ProbeJson& json, int disposition)
{
    static constexpr std::pair<const char*, int> flags[] = {
        {"default", AV_DISPOSITION_DEFAULT},
        {"dub", AV_DISPOSITION_DUB},
        {"original", AV_DISPOSITION_ORIGINAL},
        {"comment", AV_DISPOSITION_COMMENT},
        {"lyrics", AV_DISPOSITION_LYRICS},
        {"karaoke", AV_DISPOSITION_KARAOKE},
        {"forced", AV_DISPOSITION_FORCED},
        {"hearing_impaired", AV_DISPOSITION_HEARING_IMPAIRED},
        {"visual_impaired", AV_DISPOSITION_VISUAL_IMPAIRED},
        {"clean_effects", AV_DISPOSITION_CLEAN_EFFECTS},
        {"attached_pic", AV_DISPOSITION_ATTACHED_PIC},
        {"timed_thumbnails", AV_DISPOSITION_TIMED_THUMBNAILS},
        {"captions", AV_DISPOSITION_CAPTIONS},
        {"descriptions", AV_DISPOSITION_DESCRIPTIONS},
        {"metadata", AV_DISPOSITION_METADATA},
        {"dependent", AV_DISPOSITION_DEPENDENT},
        {"still_image", AV_DISPOSITION_STILL_IMAGE},
    };
    json.beginObject("disposition");
    for (const auto& [name, flag] : flags)
        json.member(name, (disposition & flag) ? 1 : 0);
    json.endObject();
}

const char* fieldOrderName(AVFieldOrder order)
{
    switch (order) {
        case AV_FIELD_PROGRESSIVE:
            return "progressive";
        case AV_FIELD_TT:
            return "tt";
        case AV_FIELD_BB:
            return "bb";
        case AV_FIELD_TB:
            return "tb";
        case AV_FIELD_BT:
            return "bt";
        default:
            return nullptr;
    }
}

void videoMembers(ProbeJson& json, AVFormatContext* format, AVStream* stream,
                  const AVCodecContext* decoder)
{
    const AVCodecParameters* parameters = stream->codecpar;
    json.member("width", parameters->width);
    json.member("height", parameters->height);
    if (decoder) {
        json.member("coded_width", decoder->coded_width);
        json.member("coded_height", decoder->coded_height);
        json.member("closed_captions",
                    (decoder->properties & FF_CODEC_PROPERTY_CLOSED_CAPTIONS) ? 1 : 0);
        json.member("film_grain", (decoder->properties & FF_CODEC_PROPERTY_FILM_GRAIN) ? 1 : 0);
    }
    json.member("has_b_frames", parameters->video_delay);
    const AVRational sampleAspect = av_guess_sample_aspect_ratio(format, stream, nullptr);
    if (sampleAspect.num != 0) {
        AVRational displayAspect{};
        av_reduce(&displayAspect.num, &displayAspect.den,
                  int64_t{parameters->width} * sampleAspect.num,
                  int64_t{parameters->height} * sampleAspect.den, 1024 * 1024);
        json.member("sample_aspect_ratio", rational(sampleAspect, ':'));
        json.member("display_aspect_ratio", rational(displayAspect, ':'));
    }
    if (const char* name = av_get_pix_fmt_name(static_cast<AVPixelFormat>(parameters->format)))
        json.member("pix_fmt", name);
    json.member("level", parameters->level);
    if (parameters->color_range != AVCOL_RANGE_UNSPECIFIED)
        json.member("color_range", av_color_range_name(parameters->color_range));
    if (parameters->color_space != AVCOL_SPC_UNSPECIFIED)
        json.member("color_space", av_color_space_name(parameters->color_space));
    if (parameters->color_trc != AVCOL_TRC_UNSPECIFIED)
        json.member("color_transfer", av_color_transfer_name(parameters->color_trc));
    if (parameters->color_primaries != AVCOL_PRI_UNSPECIFIED)
        json.member("color_primaries", av_color_primaries_name(parameters->color_primaries));
    if (parameters->chroma_location != AVCHROMA_LOC_UNSPECIFIED)
        json.member("chroma_location", av_chroma_location_name(parameters->chroma_location));
    if (const char* order = fieldOrderName(parameters->field_order))
        json.member("field_order", order);
    if (decoder)
        json.member("refs", decoder->refs);
}

void audioMembers(ProbeJson& json, const AVCodecParameters* parameters)
{
    if (const char* name = av_get_sample_fmt_name(static_cast<AVSampleFormat>(parameters->format)))
        json.member("sample_fmt", name);
    json.member("sample_rate", std::to_string(parameters->sample_rate));
    json.member("channels", parameters->ch_layout.nb_channels);
    if (parameters->ch_layout.order != AV_CHANNEL_ORDER_UNSPEC) {
        char layout[128] = {};
        if (av_channel_layout_describe(&parameters->ch_layout, layout, sizeof layout) >= 0)
            json.member("channel_layout", layout);
    }
    json.member("bits_per_sample", av_get_bits_per_sample(parameters->codec_id));
}

// The decoder's exported private options (h264's is_avc and nal_length_size, mpeg4's
// quarter_sample and divx_packed), printed as the option system renders them.
void decoderOptionMembers(ProbeJson& json, const AVCodecContext* decoder)
{
    if (!decoder || !decoder->priv_data || !decoder->codec || !decoder->codec->priv_class)
        return;
    const AVOption* option = nullptr;
    while ((option = av_opt_next(decoder->priv_data, option))) {
        if (!(option->flags & AV_OPT_FLAG_EXPORT))
            continue;
        uint8_t* value = nullptr;
        if (av_opt_get(decoder->priv_data, option->name, 0, &value) >= 0 && value) {
            json.member(option->name, reinterpret_cast<const char*>(value));
            av_free(value);
        }
    }
}

void streamObject(ProbeJson& json, AVFormatContext* format, AVStream* stream,
                  const AVCodecContext* decoder)
{
    const AVCodecParameters* parameters = stream->codecpar;
    json.beginObject();
    json.member("index", stream->index);
    if (const AVCodecDescriptor* codec = avcodec_descriptor_get(parameters->codec_id)) {
        json.member("codec_name", codec->name);
        json.member("codec_long_name", codec->long_name ? codec->long_name : "unknown");
        if (const char* profile = avcodec_profile_name(parameters->codec_id, parameters->profile))
            json.member("profile", profile);
        else if (parameters->profile != FF_PROFILE_UNKNOWN)
            json.member("profile", std::to_string(parameters->profile));
    }
    if (const char* type = av_get_media_type_string(parameters->codec_type))
        json.member("codec_type", type);
    char fourcc[AV_FOURCC_MAX_STRING_SIZE] = {};
    json.member("codec_tag_string", av_fourcc_make_string(fourcc, parameters->codec_tag));
    json.member("codec_tag", hexadecimal("0x", parameters->codec_tag, 4));

    if (parameters->codec_type == AVMEDIA_TYPE_VIDEO)
        videoMembers(json, format, stream, decoder);
    else if (parameters->codec_type == AVMEDIA_TYPE_AUDIO)
        audioMembers(json, parameters);
    else if (parameters->codec_type == AVMEDIA_TYPE_SUBTITLE) {
        if (parameters->width)
            json.member("width", parameters->width);
        if (parameters->height)
            json.member("height", parameters->height);
    }
    decoderOptionMembers(json, decoder);

    if (format->iformat->flags & AVFMT_SHOW_IDS)
        json.member("id", hexadecimal("0x", static_cast<unsigned>(stream->id), 1));
    json.member("r_frame_rate", rational(stream->r_frame_rate));
    json.member("avg_frame_rate", rational(stream->avg_frame_rate));
    json.member("time_base", rational(stream->time_base));
    timestampMember(json, "start_pts", stream->start_time);
    timeMember(json, "start_time", stream->start_time, stream->time_base);
    timestampMember(json, "duration_ts", stream->duration);
    timeMember(json, "duration", stream->duration, stream->time_base);
    if (parameters->bit_rate > 0)
        json.member("bit_rate", std::to_string(parameters->bit_rate));
    if (parameters->bits_per_raw_sample > 0)
        json.member("bits_per_raw_sample", std::to_string(parameters->bits_per_raw_sample));
    if (stream->nb_frames > 0)
        json.member("nb_frames", std::to_string(stream->nb_frames));
    if (parameters->extradata_size > 0)
        json.member("extradata_size", parameters->extradata_size);
    dispositionObject(json, stream->disposition);
    tagsObject(json, stream->metadata);
    if (stream->nb_side_data > 0) {
        json.beginArray("side_data_list");
        for (int i = 0; i < stream->nb_side_data; ++i)
            writeSideData(json, stream->side_data[i], parameters->width, parameters->height);
        json.endArray();
    }
    json.endObject();
}

void chapterObject(ProbeJson& json, const AVChapter* chapter)
{
    json.beginObject();
    json.member("id", chapter->id);
    json.member("time_base", rational(chapter->time_base));
    json.member("start", chapter->start);
    timeMember(json, "start_time", chapter->start, chapter->time_base);
    json.member("end", chapter->end);
    timeMember(json, "end_time", chapter->end, chapter->time_base);
    tagsObject(json, chapter->metadata);
    json.endObject();
}

// AV_TIME_BASE_Q, which is a C compound literal.
constexpr AVRational kMicroseconds{1, AV_TIME_BASE};

void formatObject(ProbeJson& json, AVFormatContext* format)
{
    json.beginObject("format");
    json.member("filename", format->url);
    json.member("nb_streams", static_cast<int64_t>(format->nb_streams));
    json.member("nb_programs", static_cast<int64_t>(format->nb_programs));
    json.member("format_name", format->iformat->name);
    if (format->iformat->long_name)
        json.member("format_long_name", format->iformat->long_name);
    timeMember(json, "start_time", format->start_time, kMicroseconds);
    timeMember(json, "duration", format->duration, kMicroseconds);
    if (format->pb) {
        const int64_t size = avio_size(format->pb);
        if (size >= 0)
            json.member("size", std::to_string(size));
    }
    if (format->bit_rate > 0)
        json.member("bit_rate", std::to_string(format->bit_rate));
    json.member("probe_score", format->probe_score);
    tagsObject(json, format->metadata);
    json.endObject();
}

// The decoder context behind the [decoder-derived] keys: opened without decoding a frame.
// Null when the stream has no decoder or its decoder will not open (`failed` is then set);
// ffprobe gives up on the whole file in the second case, we leave out only that stream's
// decoder-derived keys while another stream's decoder opened.
DecoderHandle openedDecoder(const AVStream* stream, bool& failed)
{
    failed = false;
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!codec)
        return nullptr;
    failed = true;
    DecoderHandle decoder(avcodec_alloc_context3(codec));
    if (!decoder || avcodec_parameters_to_context(decoder.get(), stream->codecpar) < 0) {
        clean_probe::decoderFailed();
        return nullptr;
    }
    decoder->pkt_timebase = stream->time_base;
    decoder->framerate = stream->avg_frame_rate;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "threads", "1", 0);
    const int opened = avcodec_open2(decoder.get(), codec, &options);
    av_dict_free(&options);
    if (opened < 0) {
        clean_probe::decoderFailed();
        return nullptr;
    }
    failed = false;
    return decoder;
}

}  // namespace

int writeProbeDocument(const char* path, std::string& out)
{
    ProbeJson json(out);
    json.beginDocument();

    AVFormatContext* opening = nullptr;
    AVDictionary* options = nullptr;
    // Every program of an MPEG-TS, as ffprobe asks for them.
    av_dict_set(&options, "scan_all_pmts", "1", AV_DICT_DONT_OVERWRITE);
    // ffprobe reads "-" as standard input.
    const char* url = std::strcmp(path, "-") == 0 ? "pipe:" : path;
    int status = avformat_open_input(&opening, url, nullptr, &options);
    std::unique_ptr<AVDictionary, DictionaryFreer> unusedOptions(options);
    if (status < 0) {
        errorObject(json, status);
        json.endDocument();
        return 1;
    }
    FormatHandle format(opening);
    status = avformat_find_stream_info(format.get(), nullptr);
    if (status < 0) {
        errorObject(json, status);
        json.endDocument();
        return 1;
    }

    std::vector<DecoderHandle> decoders;
    decoders.reserve(format->nb_streams);
    bool anyFailed = false;
    bool anyOpened = false;
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        bool failed = false;
        decoders.push_back(openedDecoder(format->streams[i], failed));
        anyFailed = anyFailed || failed;
        anyOpened = anyOpened || decoders.back() != nullptr;
    }
    // Not one decoder opened (headerless raw video without a pixel format, say): nothing in
    // the file is known to be readable, so the answer is ffprobe's, a bare "{" and status 1.
    if (anyFailed && !anyOpened)
        return 1;

    json.beginArray("streams");
    for (unsigned i = 0; i < format->nb_streams; ++i)
        streamObject(json, format.get(), format->streams[i], decoders[i].get());
    json.endArray();

    json.beginArray("chapters");
    for (unsigned i = 0; i < format->nb_chapters; ++i)
        chapterObject(json, format->chapters[i]);
    json.endArray();

    formatObject(json, format.get());
    json.endDocument();
    return 0;
}

}  // namespace sniffer
