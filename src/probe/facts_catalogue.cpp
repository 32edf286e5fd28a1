#include "probe/facts_catalogue.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <utility>

#include <fmt/format.h>

#include "format/utils.h"
#include "probe/field_explanations.h"
#include "probe/probe_text.h"
#include "probe/variable_bit_rate.h"

namespace vellinor {
namespace {

using enum FactGroup;
using enum FactFormat;

// Fields of a stream or of the container ("format"), and the ones Vellinor derives, in the
// order their facts are shown within a group.
constexpr CatalogueEntry kFields[] = {
    // ---- Container ("format") ----
    {"format_long_name", "Full name of the container format.", container, "Format", text},
    {"format_name",
     "Short names of the container formats the file matches (mov,mp4,m4a,3gp,3g2,mj2).", container,
     "Format names", text},
    {"size", "Size of the file in bytes.", container, "File size", byteCount},
    {"nb_streams", "Number of streams in the file.", container, "Streams", count},
    {"nb_programs", "Number of programs, as in an MPEG transport stream broadcast.", container,
     "Programs", count},
    {"filename", "Path of the file as the probe tool was given it."},
    {"probe_score", "How sure the probe tool is of the container format, out of 100."},

    // ---- Codec ----
    {"codec_name", "Short name of the codec that encodes the stream (h264, aac, subrip).", codec,
     "Codec", words},
    {"codec_long_name", "Full name of the codec that encodes the stream."},
    {"profile",
     "Feature set of the codec the encoder kept to (High, Main 10, LC); players must support it to "
     "decode the stream.",
     codec, "Profile", words},
    {"level",
     "Codec level: caps on resolution, frame rate and bit rate a decoder must handle (41 means "
     "level 4.1); -99 when unknown.",
     codec, "Level", words},
    {"codec_tag_string",
     "The codec's four-character code as the container stores it (avc1, mp4a); [0][0][0][0] when "
     "none is stored.",
     codec, "Codec ID", words},
    {"codec_tag",
     "The codec's four-character code as a hexadecimal number, as the container stores it."},
    {"codec_type", "Kind of stream: video, audio, subtitle, data or attachment."},
    {"index", "Position of the stream in the file, counting from 0."},
    {"id", "The container's own identifier of the stream (such as an MPEG-TS PID), in hexadecimal.",
     codec, "ID", text},
    {"bit_rate", "Average bit rate in bits per second.", codec, "Bit rate", words},
    {"max_bit_rate", "Highest bit rate the stream declares, in bits per second.", codec,
     "Maximum bit rate", bitRate},
    {"extradata_size",
     "Size in bytes of the codec's set-up data stored beside the stream (such as H.264 parameter "
     "sets)."},
    {"is_avc",
     "For H.264: true when the stream is stored with length prefixes (as in MP4), false for start "
     "codes (Annex B)."},
    {"nal_length_size",
     "For H.264 and HEVC stored with length prefixes: bytes in each length field."},
    {"quarter_sample",
     "For MPEG-4 Part 2 video: 1 when motion vectors use quarter-pixel precision."},
    {"divx_packed",
     "For MPEG-4 Part 2 video: 1 when frames are packed in the DivX way, several per packet."},

    // ---- Picture ----
    {"width", "Width of the decoded picture in pixels.", picture, "Width", pixels},
    {"height", "Height of the decoded picture in pixels.", picture, "Height", pixels},
    {"coded_width",
     "Width the codec actually encodes, which may exceed the shown width by padding to whole "
     "blocks.",
     picture, "Coded width", words},
    {"coded_height",
     "Height the codec actually encodes, which may exceed the shown height by padding to whole "
     "blocks.",
     picture, "Coded height", words},
    {"display_aspect_ratio",
     "Shape of the picture as shown, width:height, after the pixel shape is applied (16:9, 4:3).",
     picture, "Display aspect ratio", words},
    {"sample_aspect_ratio",
     "Shape of one pixel, width:height; 1:1 means square pixels, anything else stretches the "
     "picture on display.",
     picture, "Pixel aspect ratio", words},
    {"pix_fmt",
     "Pixel format: how colour is stored per pixel, its chroma subsampling and bit depth (yuv420p, "
     "yuv420p10le).",
     picture, "Pixel format", words},
    {"field_order",
     "Whether the video is progressive or interlaced, and which field comes first (tt, bb, tb, "
     "bt).",
     picture, "Scan type", words},
    {"refs", "How many earlier frames a frame may refer to when it is predicted.", picture,
     "Reference frames", words},
    {"has_b_frames",
     "How many frames the decoder must hold back because B-frames arrive before the frames they "
     "refer to; 0 means no reordering.",
     picture, "B-frames", words},
    {"closed_captions",
     "1 when the video carries closed captions inside its own data (such as EIA-608 in H.264).",
     flags, "Closed captions", words},
    {"film_grain",
     "1 when the video carries film-grain parameters for the decoder to synthesise grain.", flags,
     "Film grain", words},

    // ---- Colour and HDR ----
    {"color_range",
     "Range of the sample values: tv (limited, 16-235 for 8 bits) or pc (full, 0-255).", colour,
     "Colour range", words},
    {"color_primaries",
     "Which red, green and blue the colours refer to: the gamut (bt709, bt2020).", colour,
     "Colour primaries", words},
    {"color_transfer",
     "Transfer function between stored values and light (bt709, smpte2084 for PQ HDR, arib-std-b67 "
     "for HLG).",
     colour, "Transfer characteristics", words},
    {"color_space", "Matrix that turns the stored luma and chroma into RGB (bt709, bt2020nc).",
     colour, "Matrix coefficients", words},
    {"chroma_location",
     "Where the colour samples sit relative to the luma samples when chroma is subsampled (left, "
     "center, topleft).",
     colour, "Chroma location", words},

    // ---- Timing ----
    {"duration", "Length in seconds, as the container or stream states it.", timing, "Duration",
     seconds},
    {"start_time", "Time of the first packet in seconds.", timing, "Start time", words},
    {"r_frame_rate",
     "Lowest frame rate that can express every timestamp of the stream, as a fraction; not always "
     "the rate the video plays at.",
     timing, "Frame rate", words},
    {"avg_frame_rate",
     "Average frame rate over the stream, as a fraction: frames divided by duration; 0/0 when "
     "unknown."},
    {"frames_per_second",
     "Vellinor's reading of r_frame_rate as a decimal number, shown when it lies between 20 and "
     "200."},
    {"nb_frames", "Number of frames (or packets) the container says the stream holds.", timing,
     "Frame count", count},
    {"nb_read_frames", "Number of frames counted by decoding the whole stream.", timing,
     "Frames read", count},
    {"nb_read_packets", "Number of packets counted by reading the whole stream.", timing,
     "Packets read", count},
    {"time_base",
     "Unit of the stream's timestamps in seconds, as a fraction (1/1000 means milliseconds)."},
    {"start_pts", "Timestamp of the stream's first packet, in units of its time base."},
    {"duration_ts", "Length of the stream in units of its time base."},

    // ---- Sound ----
    {"sample_rate", "Audio samples per second per channel, in hertz (44100, 48000).", sound,
     "Sampling rate", sampleRate},
    {"channels", "Number of audio channels.", sound, "Channels", channels},
    {"channel_layout", "Which speakers the channels are for (mono, stereo, 5.1(side)).", sound,
     "Channel layout", text},
    {"sample_fmt",
     "How decoded audio samples are stored: integer or float, bit depth, planar or packed (s16, "
     "fltp).",
     sound, "Sample format", words},
    {"bits_per_raw_sample",
     "Bits per sample as the codec stores them before decoding (8 or 10 for video, 16 or 24 for "
     "lossless audio).",
     sound, "Bit depth", words},
    {"bits_per_sample",
     "Bits per audio sample as the codec stores them; 0 for compressed formats such as AAC or "
     "MP3."},
    {"initial_padding", "Audio samples the encoder added at the start, which a player skips.",
     sound, "Initial padding", words},

    // ---- Side data ----
    {"side_data_list",
     "Extra facts attached to the stream, such as a display rotation, HDR mastering data or a "
     "Dolby Vision configuration.",
     sideData, "Side data", words},

    // The HDR rows Vellinor adds to a video stream's details.
    {"HDR",
     "What kind of picture the video is: HDR10, HDR10+, HLG, Dolby Vision (with the format a "
     "player without it shows), PQ, or SDR."},
    {"HDR color primaries", "The gamut the colours refer to, with its common name."},
    {"HDR transfer",
     "The transfer function with its common name: PQ and HLG are HDR, BT.709 and sRGB are SDR."},
    {"HDR matrix", "The matrix from luma and chroma to RGB, with its common name."},
    {"HDR mastering display primaries",
     "Gamut of the display the video was graded on (x, y chromaticity of red, green and blue)."},
    {"HDR mastering display white point", "White point of the display the video was graded on."},
    {"HDR mastering display luminance",
     "Darkest and brightest light of the display the video was graded on, in candelas per square "
     "metre."},
    {"HDR MaxCLL", "Maximum content light level: the brightest pixel of the whole video."},
    {"HDR MaxFALL",
     "Maximum frame-average light level: the brightest frame of the video, averaged over its "
     "pixels."},
    {"HDR Dolby Vision",
     "Dolby Vision configuration: profile, level, the base layer's compatibility (1 HDR10, 2 SDR, "
     "4 HLG, 6 HDR10) and which layers are present (RPU, BL, EL)."},
    {"HDR10+", "The video carries HDR10+ dynamic metadata, brightness hints for each scene."},
};

// Whether an audio codec keeps every sample (Lossless) or not (Lossy), and whether its bit rate
// is fixed by its frame format; codecs whose rate may be either are not listed there.
constexpr std::pair<std::string_view, std::string_view> kCompression[] = {
    {"aac", "Lossy"},
    {"ac3", "Lossy"},
    {"eac3", "Lossy"},
    {"dts", "Lossy"},
    {"mp3", "Lossy"},
    {"mp2", "Lossy"},
    {"mp1", "Lossy"},
    {"opus", "Lossy"},
    {"vorbis", "Lossy"},
    {"wmav2", "Lossy"},
    {"amr_nb", "Lossy"},
    {"amr_wb", "Lossy"},
    {"flac", "Lossless"},
    {"alac", "Lossless"},
    {"truehd", "Lossless"},
    {"mlp", "Lossless"},
    {"wavpack", "Lossless"},
    {"ape", "Lossless"},
    {"tak", "Lossless"},
    {"tta", "Lossless"},
    // Video codecs without a lossless mode, and lossless ones (H.264, HEVC, VP9 and AV1 can be
    // either, which only their bitstream tells).
    {"mpeg1video", "Lossy"},
    {"mpeg2video", "Lossy"},
    {"mpeg4", "Lossy"},
    {"mjpeg", "Lossy"},
    {"theora", "Lossy"},
    {"vp8", "Lossy"},
    {"prores", "Lossy"},
    {"dnxhd", "Lossy"},
    {"ffv1", "Lossless"},
    {"huffyuv", "Lossless"},
    {"ffvhuff", "Lossless"},
    {"utvideo", "Lossless"},
    {"png", "Lossless"},
    {"rawvideo", "Lossless"},
    {"qtrle", "Lossless"},
    {"magicyuv", "Lossless"},
};
constexpr std::pair<std::string_view, std::string_view> kAudioBitRateMode[] = {
    {"ac3", "Constant"},    {"eac3", "Constant"}, {"flac", "Variable"},   {"alac", "Variable"},
    {"truehd", "Variable"}, {"opus", "Variable"}, {"vorbis", "Variable"},
};

// Codec names as people say them, for the summaries; any other codec is its short name.
constexpr std::pair<std::string_view, std::string_view> kCodecNames[] = {
    {"h264", "AVC"},
    {"hevc", "HEVC"},
    {"av1", "AV1"},
    {"vp8", "VP8"},
    {"vp9", "VP9"},
    {"mpeg1video", "MPEG-1 Video"},
    {"mpeg2video", "MPEG-2 Video"},
    {"mpeg4", "MPEG-4 Visual"},
    {"prores", "ProRes"},
    {"dnxhd", "DNxHD"},
    {"mjpeg", "JPEG"},
    {"png", "PNG"},
    {"theora", "Theora"},
    {"ffv1", "FFV1"},
    {"vc1", "VC-1"},
    {"aac", "AAC"},
    {"ac3", "AC-3"},
    {"eac3", "E-AC-3"},
    {"truehd", "TrueHD"},
    {"dts", "DTS"},
    {"mp3", "MP3"},
    {"mp2", "MPEG Audio Layer 2"},
    {"opus", "Opus"},
    {"vorbis", "Vorbis"},
    {"flac", "FLAC"},
    {"alac", "ALAC"},
    {"subrip", "SubRip"},
    {"ass", "ASS"},
    {"ssa", "SSA"},
    {"webvtt", "WebVTT"},
    {"mov_text", "Timed text"},
    {"hdmv_pgs_subtitle", "PGS"},
    {"dvd_subtitle", "VobSub"},
    {"dvb_subtitle", "DVB subtitles"},
    {"eia_608", "EIA-608"},
};

template <std::size_t N>
std::string_view lookUp(const std::pair<std::string_view, std::string_view> (&table)[N],
                        std::string_view key)
{
    for (const auto& [from, to] : table)
        if (from == key)
            return to;
    return {};
}

// A number without trailing zeros, at most `digits` fraction digits ("2.0" keeps one).
std::string decimal(double value, int digits, int minimumDigits = 0)
{
    std::string text = fmt::format("{:.{}f}", value, digits);
    if (const auto dot = text.find('.'); dot != std::string::npos) {
        while (text.size() > dot + 1 + static_cast<std::size_t>(minimumDigits) &&
               text.back() == '0')
            text.pop_back();
        if (text.back() == '.')
            text.pop_back();
    }
    return text;
}

std::string plural(std::int64_t n, std::string_view one, std::string_view many)
{
    return std::to_string(n) + " " + std::string(n == 1 ? one : many);
}

// No size, rate, count or time in a probe document comes near this; a larger one is damage.
// Leaving it out also keeps every conversion of a fact to an integer defined.
constexpr double kLargestNumber = 1e15;

std::optional<double> plausible(double number)
{
    if (!std::isfinite(number) || std::fabs(number) > kLargestNumber)
        return std::nullopt;
    return number;
}

// A number the tool prints as a text or a number; nothing for anything else (N/A).
std::optional<double> numberIn(const JSON& value)
{
    if (!value.exists())
        return std::nullopt;
    if (value.type() == JSONType::string) {
        const std::string text = value.stringValue();
        double number = 0.0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
        if (error != std::errc() || end != text.data() + text.size())
            return std::nullopt;
        return plausible(number);
    }
    if (value.type() == JSONType::number)
        return plausible(value.doubleValue());
    return std::nullopt;
}

// Matroska writes a stream's length as a DURATION tag, "00:01:30.500000000".
std::optional<double> clockSeconds(std::string_view text)
{
    double parts[3] = {0, 0, 0};
    std::size_t part = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != ':')
            continue;
        if (part == 3)
            return std::nullopt;
        const auto [end, error] =
            std::from_chars(text.data() + start, text.data() + i, parts[part]);
        if (error != std::errc() || end != text.data() + i)
            return std::nullopt;
        ++part;
        start = i + 1;
    }
    if (part != 3)
        return std::nullopt;
    return parts[0] * 3600 + parts[1] * 60 + parts[2];
}

// A tag of `tags` by name without regard to case, with or without a language suffix
// ("BPS-eng", which mkvmerge writes for tracks with a language).
JSON tagNamed(const JSON& tags, std::string_view name)
{
    for (const auto& [key, value] : tags) {
        std::string_view k = key;
        if (k.size() == name.size() + 4 && k[name.size()] == '-')
            k = k.substr(0, name.size());
        if (k.size() == name.size() &&
            std::equal(k.begin(), k.end(), name.begin(), [](char a, char b) {
                return (a >= 'a' && a <= 'z' ? a - 32 : a) == (b >= 'a' && b <= 'z' ? b - 32 : b);
            }))
            return value;
    }
    return JSON::null();
}
std::string tagKeyNamed(const JSON& tags, std::string_view name)
{
    for (const auto& [key, value] : tags) {
        std::string upper = key;
        for (char& c : upper)
            if (c >= 'a' && c <= 'z')
                c = static_cast<char>(c - 32);
        std::string wanted(name);
        if (upper == wanted || (upper.size() == wanted.size() + 4 && upper.starts_with(wanted) &&
                                upper[wanted.size()] == '-'))
            return key;
    }
    return std::string(name);
}

bool isVideo(const JSON& stream)
{
    return probe_detail::isText(stream["codec_type"], "video");
}
bool isAudio(const JSON& stream)
{
    return probe_detail::isText(stream["codec_type"], "audio");
}

// The level as its codec writes it: H.264 41 is 4.1, HEVC 153 is 5.1 (30 per level), AV1 8 is
// 4.0, MPEG-2 4 is High; -99 (unknown) and levels of codecs without them are left out.
std::string levelText(const JSON& stream)
{
    const std::string codec = stream["codec_name"].stringValue();
    const std::int64_t level = stream["level"].intValue();
    if (level <= 0)
        return {};
    if (codec == "h264")
        return level == 9 ? "1b" : decimal(static_cast<double>(level) / 10.0, 1, 1);
    if (codec == "hevc" || codec == "vvc")
        return decimal(static_cast<double>(level) / 30.0, 1);
    if (codec == "av1")
        return std::to_string(2 + level / 4) + "." + std::to_string(level % 4);
    if (codec == "mpeg2video") {
        switch (level) {
            case 4:
                return "High";
            case 6:
                return "High 1440";
            case 8:
                return "Main";
            case 10:
                return "Low";
            default:
                return std::to_string(level);
        }
    }
    return std::to_string(level);
}

std::string frameRateText(double rate, std::string_view fraction)
{
    const auto text = Utils::formatFrameRate(rate);
    if (!text)
        return {};
    std::string result = *text + " fps";
    if (fraction.find('/') != std::string_view::npos && !fraction.ends_with("/1"))
        result += " (" + std::string(fraction) + ")";
    return result;
}

std::string colourRangeText(std::string_view range)
{
    if (range == "tv")
        return "Limited";
    if (range == "pc")
        return "Full";
    return {};
}

// "fltp" -> "32-bit float, planar".
std::string sampleFormatText(std::string_view format)
{
    constexpr std::pair<std::string_view, std::string_view> kFormats[] = {
        {"u8", "8-bit unsigned integer"}, {"s16", "16-bit integer"}, {"s32", "32-bit integer"},
        {"s64", "64-bit integer"},        {"flt", "32-bit float"},   {"dbl", "64-bit float"},
    };
    const bool planar = format.ends_with('p');
    const std::string_view base = planar ? format.substr(0, format.size() - 1) : format;
    const std::string_view words = lookUp(kFormats, base);
    if (words.empty())
        return std::string(format);
    return std::string(words) + (planar ? ", planar" : "");
}

std::string flagWord(const JSON& value)
{
    return value.intValue() != 0 ? "Yes" : std::string();
}

// Side data entry as "name: value" lines, its type left out (it is the fact's name).
std::string sideDataText(const JSON& entry)
{
    std::string text;
    for (const auto& [key, value] : entry) {
        if (key == "side_data_type")
            continue;
        if (!text.empty())
            text += "\n";
        text += key + ": " + probe_detail::rawText(value);
    }
    return text;
}

std::optional<std::int64_t> rotationOf(const JSON& stream)
{
    for (const auto& [position, entry] : stream["side_data_list"]) {
        (void)position;
        if (probe_detail::isText(entry["side_data_type"], "Display Matrix") &&
            entry["rotation"].exists())
            return entry["rotation"].intValue();
    }
    return std::nullopt;
}

class StreamFacts {
public:
    StreamFacts(const JSON& stream, const JSON& format, const std::optional<HdrFacts>& hdr)
        : m_stream(stream), m_format(format), m_hdr(hdr), m_tags(stream["tags"])
    {
    }

    std::vector<Fact> build()
    {
        for (const CatalogueEntry& entry : kFields) {
            if (entry.format == hidden || entry.group == container)
                continue;
            const JSON value = m_stream[entry.field];
            if (value.exists())
                addField(entry, value);
            addAfter(entry.field);
        }
        addFlags();
        addTags();
        std::stable_sort(m_facts.begin(), m_facts.end(),
                         [](const Fact& a, const Fact& b) { return a.group < b.group; });
        return std::move(m_facts);
    }

private:
    void add(FactGroup group, std::string_view name, std::string value, std::string source,
             std::string key = {})
    {
        if (value.empty())
            return;
        if (key.empty())
            key = source;
        m_facts.push_back(
            {group, std::string(name), std::move(value), std::move(source), std::move(key)});
    }

    void addField(const CatalogueEntry& entry, const JSON& value)
    {
        const std::string field(entry.field);
        std::string shown;
        switch (entry.format) {
            case hidden:
                return;
            case text:
                shown = value.stringValue();
                break;
            case count:
                if (value.intValue() > 0)
                    shown = std::to_string(value.intValue());
                break;
            case pixels:
                if (value.intValue() > 0)
                    shown = plural(value.intValue(), "pixel", "pixels");
                break;
            case bitRate:
                if (value.intValue() > 0)
                    shown = facts_text::bitRate(value.intValue());
                break;
            case sampleRate:
                if (value.intValue() > 0)
                    shown = facts_text::sampleRate(value.intValue());
                break;
            case bits:
                if (value.intValue() > 0)
                    shown = plural(value.intValue(), "bit", "bits");
                break;
            case seconds:
                if (auto number = numberIn(value))
                    shown = Utils::formatDuration(*number);
                break;
            case byteCount:
                shown = Utils::formatByteCount(value.uintValue());
                break;
            case channels:
                if (value.intValue() > 0)
                    shown = plural(value.intValue(), "channel", "channels");
                break;
            case words:
                shown = wordsOf(field, value);
                break;
        }
        add(entry.group, entry.name, std::move(shown), field);
    }

    // The fields whose text follows a rule of its own.
    std::string wordsOf(const std::string& field, const JSON& value)
    {
        const std::string text = value.stringValue();
        if (field == "codec_name") {
            const std::string longName = m_stream["codec_long_name"].stringValue();
            if (longName.empty() || longName == text)
                return text;
            return text.empty() ? longName : longName + " (" + text + ")";
        }
        if (field == "profile")
            return text == "unknown" || text == "0" ? std::string() : text;
        if (field == "level")
            return levelText(m_stream);
        if (field == "codec_tag_string")
            return text == "[0][0][0][0]" ? std::string() : text;
        if (field == "bit_rate") {
            if (isVariableBitRateMarker(m_stream))
                return {};
            return value.intValue() > 0 ? facts_text::bitRate(value.intValue()) : std::string();
        }
        if (field == "coded_width" || field == "coded_height") {
            const std::int64_t shown =
                m_stream[field == "coded_width" ? "width" : "height"].intValue();
            const std::int64_t coded = value.intValue();
            return coded > 0 && coded != shown ? plural(coded, "pixel", "pixels") : std::string();
        }
        if (field == "display_aspect_ratio")
            return text == "0:1" || text == "N/A" ? std::string() : text;
        if (field == "sample_aspect_ratio")
            return text == "1:1" || text == "0:1" || text == "N/A" ? std::string() : text;
        if (field == "pix_fmt")
            return text == "unknown" ? std::string() : text;
        if (field == "field_order")
            return facts_text::scanType(text);
        if (field == "refs")
            return value.intValue() > 1 ? plural(value.intValue(), "frame", "frames")
                                        : std::string();
        if (field == "has_b_frames")
            return value.intValue() > 0 ? "Yes" : std::string();
        if (field == "closed_captions" || field == "film_grain")
            return flagWord(value);
        if (field == "color_range")
            return colourRangeText(text);
        if (field == "color_primaries")
            return text == "unknown" ? std::string() : primariesText(text);
        if (field == "color_transfer")
            return text == "unknown" ? std::string() : transferText(text);
        if (field == "color_space")
            return text == "unknown" ? std::string() : matrixText(text);
        if (field == "chroma_location")
            return text == "unspecified" ? std::string() : text;
        if (field == "start_time") {
            const auto number = numberIn(value);
            return number && *number != 0.0 ? Utils::formatDuration(*number) : std::string();
        }
        if (field == "r_frame_rate")
            return isVideo(m_stream) ? frameRate() : std::string();
        if (field == "sample_fmt")
            return sampleFormatText(text);
        if (field == "bits_per_raw_sample")
            return {};  // the bit depth comes after the sample format or pixel format
        if (field == "initial_padding")
            return value.intValue() > 0 ? plural(value.intValue(), "sample", "samples")
                                        : std::string();
        if (field == "side_data_list") {
            for (const auto& [position, entry] : value) {
                (void)position;
                add(sideData, entry["side_data_type"].stringValue(), sideDataText(entry),
                    "side_data_list");
            }
            return {};
        }
        return text;
    }

    // Playing rate, preferring the average where the two agree to within 1 %.
    std::string frameRate()
    {
        const std::string real = m_stream["r_frame_rate"].stringValue();
        const std::string average = m_stream["avg_frame_rate"].stringValue();
        const double r = Utils::evaluateFrameRate(real);
        const double avg = Utils::evaluateFrameRate(average);
        const bool haveR = std::isfinite(r) && r > 0;
        const bool haveAvg = std::isfinite(avg) && avg > 0;
        if (!haveR && !haveAvg)
            return {};
        if (haveAvg)
            return frameRateText(avg, average);
        return frameRateText(r, real);
    }

    // Facts derived from a field, placed after its own.
    void addAfter(std::string_view field)
    {
        if (field == "codec_tag_string") {
            addTag(codec, "Encoder", "ENCODER");
            addTag(codec, "Writing application", "_STATISTICS_WRITING_APP");
        } else if (field == "bit_rate") {
            if (isVariableBitRateMarker(m_stream))
                add(codec, "Bit rate mode", "Variable", "bit_rate", "bit_rate");
            else if (!m_stream["bit_rate"].exists())
                if (const auto bps = numberIn(tagNamed(m_tags, "BPS")); bps && *bps > 0)
                    add(codec, "Bit rate", facts_text::bitRate(static_cast<std::int64_t>(*bps)),
                        "tag " + tagKeyNamed(m_tags, "BPS"), tagKeyNamed(m_tags, "BPS") + ".tags");
        } else if (field == "max_bit_rate") {
            addCpbMaximum();
            addStreamSize();
        } else if (field == "pix_fmt") {
            addPixelLayout();
        } else if (field == "field_order") {
            addBitsPerPixel();
            if (isVideo(m_stream))
                addCompressionMode(picture);
        } else if (field == "has_b_frames") {
            if (const auto rotation = rotationOf(m_stream); rotation && *rotation != 0)
                add(picture, "Rotation", std::to_string(*rotation) + "°",
                    "side_data_list Display Matrix", "side_data_list");
        } else if (field == "chroma_location") {
            addHdr();
        } else if (field == "duration") {
            if (!m_stream["duration"].exists())
                if (const auto length = clockSeconds(tagNamed(m_tags, "DURATION").stringValue()))
                    add(timing, "Duration", Utils::formatDuration(*length),
                        "tag " + tagKeyNamed(m_tags, "DURATION"),
                        tagKeyNamed(m_tags, "DURATION") + ".tags");
        } else if (field == "r_frame_rate") {
            addFrameRateMode();
        } else if (field == "nb_frames") {
            if (m_stream["nb_frames"].intValue() <= 0)
                if (const auto frames = numberIn(tagNamed(m_tags, "NUMBER_OF_FRAMES")))
                    add(timing, "Frame count", decimal(*frames, 0),
                        "tag " + tagKeyNamed(m_tags, "NUMBER_OF_FRAMES"),
                        tagKeyNamed(m_tags, "NUMBER_OF_FRAMES") + ".tags");
            addTag(timing, "Timecode", "TIMECODE");
        } else if (field == "sample_fmt") {
            addAudioBitDepth();
        } else if (field == "initial_padding") {
            addAudioCodecKind();
        }
    }

    void addTag(FactGroup group, std::string_view name, std::string_view tag)
    {
        const JSON value = tagNamed(m_tags, tag);
        if (value.exists() && value.type() != JSONType::null)
            add(group, name, value.stringValue(), "tag " + tagKeyNamed(m_tags, tag),
                tagKeyNamed(m_tags, tag) + ".tags");
    }

    // MPEG-2 and H.264 decoders state the buffer model's rate as "CPB properties" side data.
    void addCpbMaximum()
    {
        if (m_stream["max_bit_rate"].intValue() > 0)
            return;
        for (const auto& [position, entry] : m_stream["side_data_list"]) {
            (void)position;
            if (!probe_detail::isText(entry["side_data_type"], "CPB properties"))
                continue;
            if (const std::int64_t rate = entry["max_bitrate"].intValue();
                rate > 0 && rate < static_cast<std::int64_t>(kLargestNumber))
                add(codec, "Maximum bit rate", facts_text::bitRate(rate),
                    "side_data_list CPB properties max_bitrate", "side_data_list");
        }
    }

    // Matroska's statistics count the bytes; otherwise bit rate × duration estimates them.
    void addStreamSize()
    {
        std::optional<double> bytes = numberIn(tagNamed(m_tags, "NUMBER_OF_BYTES"));
        std::string source = "tag " + tagKeyNamed(m_tags, "NUMBER_OF_BYTES");
        std::string key = tagKeyNamed(m_tags, "NUMBER_OF_BYTES") + ".tags";
        if (!bytes) {
            const auto rate = numberIn(m_stream["bit_rate"]);
            const auto length = numberIn(m_stream["duration"]);
            if (!rate || !length || *rate <= 0 || *length <= 0 || isVariableBitRateMarker(m_stream))
                return;
            bytes = std::round(*rate * *length / 8.0);
            source = "bit_rate and duration";
            key = "bit_rate";
        }
        if (*bytes <= 0 || *bytes > kLargestNumber)
            return;
        std::string shown = Utils::formatByteCount(static_cast<std::uint64_t>(*bytes));
        if (const auto fileSize = numberIn(m_format["size"]); fileSize && *fileSize > 0) {
            const double share = 100.0 * *bytes / *fileSize;
            if (share <= 100.0)
                shown +=
                    " (" + (share > 0 && share < 1 ? std::string("<1") : decimal(share, 0)) + "%)";
        }
        add(codec, "Stream size", std::move(shown), std::move(source), std::move(key));
    }

    void addPixelLayout()
    {
        const auto layout = facts_text::pixelLayout(m_stream["pix_fmt"].stringValue());
        if (!layout)
            return;
        const std::string source = "pix_fmt " + m_stream["pix_fmt"].stringValue();
        add(picture, "Colour model", layout->model, source, "pix_fmt");
        if (layout->bitDepth > 0)
            add(picture, "Bit depth", plural(layout->bitDepth, "bit", "bits"), source, "pix_fmt");
        add(picture, "Chroma subsampling", layout->chroma, source, "pix_fmt");
    }

    void addCompressionMode(FactGroup group)
    {
        const std::string codecName = m_stream["codec_name"].stringValue();
        std::string_view compression = lookUp(kCompression, codecName);
        if (codecName.starts_with("pcm_"))
            compression = "Lossless";
        add(group, "Compression mode", std::string(compression), "codec_name " + codecName,
            "codec_name");
    }

    void addAudioCodecKind()
    {
        if (!isAudio(m_stream))
            return;
        addCompressionMode(sound);
        const std::string codecName = m_stream["codec_name"].stringValue();
        std::string_view mode = lookUp(kAudioBitRateMode, codecName);
        if (codecName.starts_with("pcm_"))
            mode = "Constant";
        add(codec, "Bit rate mode", std::string(mode), "codec_name " + codecName, "codec_name");
    }

    // Bits per pixel and frame: how much room the encoder had, comparable across sizes.
    void addBitsPerPixel()
    {
        if (!isVideo(m_stream) || isVariableBitRateMarker(m_stream))
            return;
        std::optional<double> rate = numberIn(m_stream["bit_rate"]);
        if (!rate)
            rate = numberIn(tagNamed(m_tags, "BPS"));
        const double pixels = static_cast<double>(m_stream["width"].intValue()) *
                              static_cast<double>(m_stream["height"].intValue());
        const double fps = Utils::evaluateFrameRate(m_stream["avg_frame_rate"].stringValue());
        if (!rate || *rate <= 0 || pixels <= 0 || !std::isfinite(fps) || fps <= 0)
            return;
        add(picture, "Bits per pixel and frame", fmt::format("{:.3f}", *rate / (pixels * fps)),
            "bit_rate, width, height and avg_frame_rate", "bit_rate");
    }

    void addAudioBitDepth()
    {
        if (!isAudio(m_stream))
            return;
        std::int64_t depth = m_stream["bits_per_raw_sample"].intValue();
        std::string source = "bits_per_raw_sample";
        if (depth <= 0) {
            depth = m_stream["bits_per_sample"].intValue();
            source = "bits_per_sample";
        }
        if (depth > 0)
            add(sound, "Bit depth", plural(depth, "bit", "bits"), source);
    }

    void addFrameRateMode()
    {
        if (!isVideo(m_stream))
            return;
        const double r = Utils::evaluateFrameRate(m_stream["r_frame_rate"].stringValue());
        const double avg = Utils::evaluateFrameRate(m_stream["avg_frame_rate"].stringValue());
        if (!(std::isfinite(r) && r > 0 && std::isfinite(avg) && avg > 0))
            return;
        // The average comes from the frame count over the length, so a last frame of another
        // length moves it a little without the rate being variable.
        const bool constant = std::abs(r - avg) <= 0.01 * r;
        add(timing, "Frame rate mode", constant ? "Constant" : "Variable",
            "r_frame_rate and avg_frame_rate", "avg_frame_rate");
    }

    void addHdr()
    {
        if (!m_hdr)
            return;
        for (const KeyValueRow& row : hdrRows(*m_hdr)) {
            if (row.key == "HDR color primaries" || row.key == "HDR transfer" ||
                row.key == "HDR matrix")
                continue;  // the colour fields above say these
            if (row.key == "HDR") {
                if (row.value != "SDR")
                    add(colour, "HDR format", row.value, "HDR facts", "HDR");
                continue;
            }
            std::string name = row.key == "HDR10+" ? "HDR10+" : row.key.substr(4);
            if (!name.empty() && name[0] >= 'a' && name[0] <= 'z')
                name[0] = static_cast<char>(name[0] - 32);
            const std::string source = m_hdr->readFirstFrame ? "first frame" : "side_data_list";
            add(colour, name, row.value, source, row.key);
        }
    }

    void addFlags()
    {
        for (const auto& [flag, value] : m_stream["disposition"]) {
            if (value.intValue() == 0)
                continue;
            std::string_view name = flag;
            for (const FieldExplanation& entry : dispositionExplanations())
                if (entry.field == flag)
                    name = entry.name;
            add(flags, name, "Yes", "disposition " + flag, flag + ".disposition");
        }
    }

    void addTags()
    {
        for (const auto& [tag, value] : m_tags)
            add(tags, tag, probe_detail::rawText(value), "tag " + tag, tag + ".tags");
    }

    const JSON& m_stream;
    const JSON& m_format;
    const std::optional<HdrFacts>& m_hdr;
    const JSON m_tags;
    std::vector<Fact> m_facts;
};

JSON streamOf(const FileProbe& probe, const TrackInfo& track)
{
    return probe.json ? (*probe.json)["streams"][track.trackNumber] : JSON();
}

}  // namespace

std::string_view factGroupName(FactGroup group)
{
    switch (group) {
        case container:
            return "Container";
        case codec:
            return "Codec";
        case picture:
            return "Picture";
        case colour:
            return "Colour and HDR";
        case timing:
            return "Timing";
        case sound:
            return "Sound";
        case flags:
            return "Flags";
        case tags:
            return "Tags";
        case sideData:
            return "Side data";
    }
    return "Other";
}

std::span<const CatalogueEntry> fieldCatalogue()
{
    return kFields;
}

std::vector<Fact> streamFacts(const JSON& stream, const JSON& format,
                              const std::optional<HdrFacts>& hdr)
{
    return StreamFacts(stream, format, hdr).build();
}

namespace {

// What the encoder wrote into the first frame, as MediaInfo shows it.
void addEncoderFacts(std::vector<Fact>& facts, const EncoderSettings& encoder)
{
    const std::string source = "the first frame's SEI (sniffer --encoder)";
    facts.push_back({codec, "Writing library", encoder.library, source, ""});
    if (!encoder.settings.empty())
        facts.push_back({codec, "Encoding settings", encoder.settings, source, ""});
    if (encoder.cabac)
        facts.push_back(
            {codec, "CABAC", *encoder.cabac ? "Yes" : "No", "cabac in the first frame's SEI", ""});
    const bool refsShown = std::any_of(facts.begin(), facts.end(), [](const Fact& fact) {
        return fact.name == "Reference frames";
    });
    if (encoder.referenceFrames && *encoder.referenceFrames > 0 && !refsShown)
        facts.push_back({picture, "Reference frames",
                         plural(*encoder.referenceFrames, "frame", "frames"),
                         "ref in the first frame's SEI", "refs"});
}

std::string openOrClosed(bool closed)
{
    return closed ? "Closed" : "Open";
}

// What the stream's own headers say (sniffer --headers), as MediaInfo words it.
void addHeaderFacts(std::vector<Fact>& facts, const StreamHeaders& headers)
{
    if (headers.gopN) {
        std::string gop = "N=" + std::to_string(*headers.gopN);
        if (*headers.gopN > 1)
            gop = "M=" + std::to_string(headers.gopM.value_or(1)) + ", " + gop;
        if (headers.gopVariable)
            gop = "Variable";
        facts.push_back({codec, "GOP structure", gop, "picture headers (sniffer --headers)", ""});
    }
    // The first GOP of a stream is often closed where the others are open.
    if (headers.laterGopsOpen) {
        facts.push_back({codec, "GOP, open/closed", openOrClosed(!*headers.laterGopsOpen),
                         "GOP headers (sniffer --headers)", ""});
        if (headers.firstGopClosed && *headers.firstGopClosed == *headers.laterGopsOpen)
            facts.push_back({codec, "GOP, open/closed of the first",
                             openOrClosed(*headers.firstGopClosed),
                             "the first GOP header (sniffer --headers)", ""});
    } else if (headers.firstGopClosed) {
        facts.push_back({codec, "GOP, open/closed", openOrClosed(*headers.firstGopClosed),
                         "the first GOP header (sniffer --headers)", ""});
    }
    if (headers.customMatrix)
        facts.push_back({codec, "Quantisation matrix", *headers.customMatrix ? "Custom" : "Default",
                         "sequence header (sniffer --headers)", ""});
    if (!headers.timecode.empty())
        facts.push_back({timing, "Time code of first frame", headers.timecode,
                         "the first GOP header (sniffer --headers)", ""});
    if (headers.serviceType)
        facts.push_back({sound, "Service kind", std::string(serviceKindName(*headers.serviceType)),
                         "bsmod of the first frame (sniffer --headers)", ""});
}

// An audio or subtitle track's start against the first video track's, as MediaInfo's "Delay
// relative to video"; nothing when they start together or there is no video.
void addDelayToVideo(std::vector<Fact>& facts, const JSON& streams, const JSON& stream)
{
    if (isVideo(stream) || stream["codec_type"].stringValue() == "attachment")
        return;
    const auto start = numberIn(stream["start_time"]);
    if (!start)
        return;
    for (const auto& [position, other] : streams) {
        (void)position;
        if (!isVideo(other) || other["disposition"]["attached_pic"].intValue() != 0)
            continue;
        const auto videoStart = numberIn(other["start_time"]);
        if (!videoStart)
            return;
        const auto delay = static_cast<std::int64_t>(std::llround((*start - *videoStart) * 1000.0));
        if (delay != 0)
            facts.push_back({timing, "Delay relative to video", std::to_string(delay) + " ms",
                             "start_time of this stream and of the first video stream",
                             "start_time"});
        return;
    }
}

}  // namespace

std::vector<Fact> trackFacts(const FileProbe& probe, const TrackInfo& track)
{
    const JSON stream = streamOf(probe, track);
    const JSON format = probe.json ? (*probe.json)["format"] : JSON();
    std::vector<Fact> facts = streamFacts(stream, format, track.hdr);
    if (track.encoder)
        addEncoderFacts(facts, *track.encoder);
    if (track.headers)
        addHeaderFacts(facts, *track.headers);
    if (probe.json)
        addDelayToVideo(facts, (*probe.json)["streams"], stream);
    std::stable_sort(facts.begin(), facts.end(),
                     [](const Fact& a, const Fact& b) { return a.group < b.group; });
    if (!probe.lengthFromMarker)
        return facts;
    // The stream's stated length is the tool's estimate from the "variable" marker.
    std::erase_if(facts, [](const Fact& fact) { return fact.key == "duration"; });
    if (probe.packetsEnd)
        facts.push_back({timing, "Duration", Utils::formatDuration(*probe.packetsEnd),
                         "the packets' end (sniffer --packets)", "duration"});
    return facts;
}

std::vector<Fact> containerFacts(const FileProbe& probe)
{
    std::vector<Fact> facts;
    if (!probe.json)
        return facts;
    const JSON format = (*probe.json)["format"];
    auto add = [&facts](FactGroup group, std::string_view name, std::string value,
                        std::string source) {
        if (!value.empty())
            facts.push_back({group, std::string(name), std::move(value), source, source});
    };
    for (const CatalogueEntry& entry : kFields) {
        if (entry.group != container || entry.format == hidden)
            continue;
        const JSON value = format[entry.field];
        if (!value.exists())
            continue;
        std::string shown;
        if (entry.format == byteCount)
            shown =
                Utils::formatByteCount(value.uintValue()) + " (" + value.stringValue() + " bytes)";
        else if (entry.format == count)
            shown = value.intValue() > 0 ? std::to_string(value.intValue()) : std::string();
        else
            shown = value.stringValue();
        add(container, entry.name, std::move(shown), std::string(entry.field));
    }
    if (probe.lengthFromMarker) {
        // Length and overall rate were estimated from MPEG's "variable" marker.
        if (probe.packetsEnd)
            facts.push_back({codec, "Overall bit rate", facts_text::bitRate(probe.bitrate),
                             "size and the packets' end", "bit_rate"});
    } else if (const auto rate = numberIn(format["bit_rate"]);
               rate && *rate > 0 && static_cast<std::int64_t>(*rate) != kMpegVariableBitRate) {
        add(codec, "Overall bit rate", facts_text::bitRate(static_cast<std::int64_t>(*rate)),
            "bit_rate");
    }
    if (const JSON encoder = tagNamed(format["tags"], "ENCODER"); encoder.exists())
        add(codec, "Writing library", encoder.stringValue(),
            "tag " + tagKeyNamed(format["tags"], "ENCODER"));
    // Matroska keeps the muxing program in each track's statistics tags.
    for (const auto& [position, stream] : (*probe.json)["streams"]) {
        (void)position;
        if (const JSON app = tagNamed(stream["tags"], "_STATISTICS_WRITING_APP"); app.exists()) {
            add(codec, "Writing application", app.stringValue(),
                "stream tag _STATISTICS_WRITING_APP");
            break;
        }
    }
    if (probe.lengthFromMarker) {
        if (probe.packetsEnd)
            facts.push_back({timing, "Duration", Utils::formatDuration(*probe.packetsEnd),
                             "the packets' end (sniffer --packets)", "duration"});
    } else if (const auto length = numberIn(format["duration"])) {
        add(timing, "Duration", Utils::formatDuration(*length), "duration");
    }
    if (const auto start = numberIn(format["start_time"]); start && *start != 0.0)
        add(timing, "Start time", Utils::formatDuration(*start), "start_time");
    if (probe.segmentUid)
        add(container, "Unique ID", facts_text::uniqueId(*probe.segmentUid),
            "the Matroska segment's UID (sniffer --headers)");
    if (const std::size_t chapters = (*probe.json)["chapters"].count(); chapters > 0)
        add(timing, "Chapters", std::to_string(chapters), "chapters");
    if (const JSON timecode = tagNamed(format["tags"], "TIMECODE"); timecode.exists())
        add(timing, "Timecode", timecode.stringValue(),
            "tag " + tagKeyNamed(format["tags"], "TIMECODE"));
    for (const auto& [tag, value] : format["tags"])
        facts.push_back({tags, tag, probe_detail::rawText(value), "tag " + tag, tag + ".tags"});
    std::stable_sort(facts.begin(), facts.end(),
                     [](const Fact& a, const Fact& b) { return a.group < b.group; });
    return facts;
}

std::string streamSummary(const JSON& stream, const std::optional<HdrFacts>& hdr)
{
    std::vector<std::string> parts;
    auto put = [&parts](std::string part) {
        if (!part.empty())
            parts.push_back(std::move(part));
    };
    const std::string codecName = stream["codec_name"].stringValue();
    std::string codecText(lookUp(kCodecNames, codecName));
    if (codecText.empty())
        codecText = codecName;
    const std::string profile = stream["profile"].stringValue();
    if (!profile.empty() && profile != "unknown" && profile != "0" &&
        std::any_of(profile.begin(), profile.end(),
                    [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }))
        codecText += (codecText.empty() ? "" : " ") + profile;
    put(codecText);

    if (!isVariableBitRateMarker(stream)) {
        if (const auto rate = numberIn(stream["bit_rate"]); rate && *rate > 0)
            put(facts_text::bitRate(static_cast<std::int64_t>(*rate)));
        else if (const auto bps = numberIn(tagNamed(stream["tags"], "BPS")); bps && *bps > 0)
            put(facts_text::bitRate(static_cast<std::int64_t>(*bps)));
    }
    if (isVideo(stream)) {
        const std::int64_t width = stream["width"].intValue();
        const std::int64_t height = stream["height"].intValue();
        if (width > 0 && height > 0)
            put(std::to_string(width) + "x" + std::to_string(height));
        if (stream["disposition"]["attached_pic"].intValue() == 0) {
            const double avg = Utils::evaluateFrameRate(stream["avg_frame_rate"].stringValue());
            const double r = Utils::evaluateFrameRate(stream["r_frame_rate"].stringValue());
            const double rate = std::isfinite(avg) && avg > 0 ? avg : r;
            if (std::isfinite(rate) && rate > 0)
                if (const auto text = Utils::formatFrameRate(rate))
                    put(*text + " fps");
        }
        if (const auto layout = facts_text::pixelLayout(stream["pix_fmt"].stringValue())) {
            if (layout->bitDepth > 0)
                put(plural(layout->bitDepth, "bit", "bits"));
            put(layout->chroma);
        }
        const std::string order = stream["field_order"].stringValue();
        if (order == "tt" || order == "bb" || order == "tb" || order == "bt")
            put("interlaced");
        if (hdr) {
            if (std::string kind = hdrSummary(*hdr); kind != "SDR")
                put(std::move(kind));
        }
    } else if (isAudio(stream)) {
        if (const std::int64_t rate = stream["sample_rate"].intValue(); rate > 0)
            put(decimal(static_cast<double>(rate) / 1000.0, 3) + " kHz");
        std::string layout = stream["channel_layout"].stringValue();
        // "5.1(side)" reads as 5.1 at a glance; the facts keep the whole name.
        if (const auto paren = layout.find('('); paren != std::string::npos && paren > 0)
            layout.erase(paren);
        if (layout.empty() && stream["channels"].intValue() > 0)
            layout = plural(stream["channels"].intValue(), "channel", "channels");
        put(layout);
    }
    const JSON tags = stream["tags"];
    if (const std::string title = tagNamed(tags, "TITLE").stringValue(); !title.empty()) {
        // One line: a title with line breaks shows its first line.
        put("\"" + title.substr(0, title.find('\n')) + "\"");
    }
    if (stream["disposition"]["default"].intValue() != 0)
        put("Default");
    if (stream["disposition"]["forced"].intValue() != 0)
        put("Forced");

    std::string line;
    for (const std::string& part : parts)
        line += (line.empty() ? "" : ", ") + part;
    return line;
}

std::string trackSummary(const FileProbe& probe, const TrackInfo& track)
{
    return streamSummary(streamOf(probe, track), track.hdr);
}

namespace facts_text {

std::string bitRate(std::int64_t bitsPerSecond)
{
    if (bitsPerSecond < 1000)
        return std::to_string(bitsPerSecond) + " b/s";
    const double kilobits = static_cast<double>(bitsPerSecond) / 1000.0;
    if (kilobits < 10'000.0)
        return decimal(std::round(kilobits), 0) + " kb/s";
    return decimal(kilobits / 1000.0, 1, 1) + " Mb/s";
}

std::string uniqueId(std::string_view hex)
{
    // The number in decimal too, as MediaInfo prints it: long division of its bytes by ten.
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        auto digit = [](char c) {
            return c >= 'a' ? c - 'a' + 10 : c >= 'A' ? c - 'A' + 10 : c - '0';
        };
        bytes.push_back(static_cast<std::uint8_t>(digit(hex[i]) * 16 + digit(hex[i + 1])));
    }
    std::string decimalDigits;
    while (std::any_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b != 0; })) {
        unsigned remainder = 0;
        for (std::uint8_t& byte : bytes) {
            const unsigned value = remainder * 256 + byte;
            byte = static_cast<std::uint8_t>(value / 10);
            remainder = value % 10;
        }
        decimalDigits.insert(decimalDigits.begin(), static_cast<char>('0' + remainder));
    }
    if (decimalDigits.empty())
        decimalDigits = "0";
    return decimalDigits + " (0x" + std::string(hex) + ")";
}

std::string sampleRate(std::int64_t hertz)
{
    return decimal(static_cast<double>(hertz) / 1000.0, 3, 1) + " kHz";
}

std::optional<PixelLayout> pixelLayout(std::string_view name)
{
    if (name.empty() || name == "unknown")
        return std::nullopt;
    PixelLayout layout;
    std::string_view rest = name;
    if (rest.ends_with("le") || rest.ends_with("be"))
        rest.remove_suffix(2);
    // Semi-planar and packed formats named by their layout.
    constexpr struct {
        std::string_view prefix;
        std::string_view model;
        int depth;
        std::string_view chroma;
    } kNamed[] = {
        {"nv12", "YUV", 8, "4:2:0"},    {"nv21", "YUV", 8, "4:2:0"},
        {"nv16", "YUV", 8, "4:2:2"},    {"nv24", "YUV", 8, "4:4:4"},
        {"nv42", "YUV", 8, "4:4:4"},    {"p010", "YUV", 10, "4:2:0"},
        {"p012", "YUV", 12, "4:2:0"},   {"p016", "YUV", 16, "4:2:0"},
        {"p210", "YUV", 10, "4:2:2"},   {"p216", "YUV", 16, "4:2:2"},
        {"p410", "YUV", 10, "4:4:4"},   {"p416", "YUV", 16, "4:4:4"},
        {"y210", "YUV", 10, "4:2:2"},   {"y212", "YUV", 12, "4:2:2"},
        {"yuyv422", "YUV", 8, "4:2:2"}, {"uyvy422", "YUV", 8, "4:2:2"},
        {"yvyu422", "YUV", 8, "4:2:2"}, {"uyyvyy411", "YUV", 8, "4:1:1"},
        {"v210", "YUV", 10, "4:2:2"},   {"pal8", "Palette", 8, ""},
        {"rgb24", "RGB", 8, ""},        {"bgr24", "RGB", 8, ""},
        {"rgba", "RGB", 8, ""},         {"bgra", "RGB", 8, ""},
        {"argb", "RGB", 8, ""},         {"abgr", "RGB", 8, ""},
        {"0rgb", "RGB", 8, ""},         {"rgb0", "RGB", 8, ""},
        {"0bgr", "RGB", 8, ""},         {"bgr0", "RGB", 8, ""},
        {"rgb48", "RGB", 16, ""},       {"bgr48", "RGB", 16, ""},
        {"rgba64", "RGB", 16, ""},      {"bgra64", "RGB", 16, ""},
        {"monow", "Grey", 1, ""},       {"monob", "Grey", 1, ""},
        {"ya8", "Grey", 8, ""},         {"ya16", "Grey", 16, ""},
    };
    for (const auto& named : kNamed) {
        if (rest == named.prefix)
            return PixelLayout{std::string(named.model), named.depth, std::string(named.chroma)};
    }
    // Planar families: yuv[j|a]4XYp[DEPTH], gbr[a]p[DEPTH], gray[DEPTH].
    auto depthAfter = [](std::string_view digits, int fallback) {
        if (digits.empty())
            return fallback;
        int depth = 0;
        const auto [end, error] =
            std::from_chars(digits.data(), digits.data() + digits.size(), depth);
        return error == std::errc() && end == digits.data() + digits.size() ? depth : 0;
    };
    if (rest.starts_with("gray")) {
        rest.remove_prefix(4);
        if (rest.ends_with("f32"))
            return PixelLayout{"Grey", 32, ""};
        return PixelLayout{"Grey", depthAfter(rest, 8), ""};
    }
    if (rest.starts_with("gbr")) {
        rest.remove_prefix(3);
        if (rest.starts_with('a'))
            rest.remove_prefix(1);
        if (!rest.starts_with('p'))
            return std::nullopt;
        rest.remove_prefix(1);
        if (rest.starts_with("f32"))
            return PixelLayout{"RGB", 32, ""};
        return PixelLayout{"RGB", depthAfter(rest, 8), ""};
    }
    if (rest.starts_with("yuv")) {
        rest.remove_prefix(3);
        if (rest.starts_with('j') || rest.starts_with('a'))
            rest.remove_prefix(1);
        if (rest.size() < 4 || rest[3] != 'p')
            return std::nullopt;
        const std::string_view kind = rest.substr(0, 3);
        constexpr std::pair<std::string_view, std::string_view> kChroma[] = {
            {"420", "4:2:0"}, {"422", "4:2:2"}, {"444", "4:4:4"},
            {"411", "4:1:1"}, {"410", "4:1:0"}, {"440", "4:4:0"},
        };
        const std::string_view chroma = lookUp(kChroma, kind);
        if (chroma.empty())
            return std::nullopt;
        layout.model = "YUV";
        layout.chroma = std::string(chroma);
        layout.bitDepth = depthAfter(rest.substr(4), 8);
        return layout;
    }
    return std::nullopt;
}

std::string scanType(std::string_view fieldOrder)
{
    if (fieldOrder == "progressive")
        return "Progressive";
    if (fieldOrder == "tt")
        return "Interlaced, top field first";
    if (fieldOrder == "bb")
        return "Interlaced, bottom field first";
    if (fieldOrder == "tb")
        return "Interlaced, top field coded first, bottom field shown first";
    if (fieldOrder == "bt")
        return "Interlaced, bottom field coded first, top field shown first";
    return {};
}

}  // namespace facts_text

}  // namespace vellinor
