#include "probe/field_explanations.h"

#include <algorithm>
#include <array>

#include "format/unicode_lower.h"

namespace vellinor {
namespace {

// Fields of a stream or of the container ("format"), and the ones Vellinor derives.
constexpr FieldExplanation kStreamFields[] = {
    {"index", "Position of the stream in the file, counting from 0."},
    {"codec_name", "Short name of the codec that encodes the stream (h264, aac, subrip)."},
    {"codec_long_name", "Full name of the codec that encodes the stream."},
    {"codec_type", "Kind of stream: video, audio, subtitle, data or attachment."},
    {"codec_tag",
     "The codec's four-character code as a hexadecimal number, as the container stores it."},
    {"codec_tag_string",
     "The codec's four-character code as the container stores it (avc1, mp4a); [0][0][0][0] when "
     "none is stored."},
    {"profile",
     "Feature set of the codec the encoder kept to (High, Main 10, LC); players must support it to "
     "decode the stream."},
    {"level",
     "Codec level: caps on resolution, frame rate and bit rate a decoder must handle (41 means "
     "level 4.1); -99 when unknown."},
    {"width", "Width of the decoded picture in pixels."},
    {"height", "Height of the decoded picture in pixels."},
    {"coded_width",
     "Width the codec actually encodes, which may exceed the shown width by padding to whole "
     "blocks."},
    {"coded_height",
     "Height the codec actually encodes, which may exceed the shown height by padding to whole "
     "blocks."},
    {"closed_captions",
     "1 when the video carries closed captions inside its own data (such as EIA-608 in H.264)."},
    {"film_grain",
     "1 when the video carries film-grain parameters for the decoder to synthesise grain."},
    {"has_b_frames",
     "How many frames the decoder must hold back because B-frames arrive before the frames they "
     "refer to; 0 means no reordering."},
    {"sample_aspect_ratio",
     "Shape of one pixel, width:height; 1:1 means square pixels, anything else stretches the "
     "picture on display."},
    {"display_aspect_ratio",
     "Shape of the picture as shown, width:height, after the pixel shape is applied (16:9, 4:3)."},
    {"pix_fmt",
     "Pixel format: how colour is stored per pixel, its chroma subsampling and bit depth (yuv420p, "
     "yuv420p10le)."},
    {"color_range",
     "Range of the sample values: tv (limited, 16-235 for 8 bits) or pc (full, 0-255)."},
    {"color_space", "Matrix that turns the stored luma and chroma into RGB (bt709, bt2020nc)."},
    {"color_transfer",
     "Transfer function between stored values and light (bt709, smpte2084 for PQ HDR, arib-std-b67 "
     "for HLG)."},
    {"color_primaries",
     "Which red, green and blue the colours refer to: the gamut (bt709, bt2020)."},
    {"chroma_location",
     "Where the colour samples sit relative to the luma samples when chroma is subsampled (left, "
     "center, topleft)."},
    {"field_order",
     "Whether the video is progressive or interlaced, and which field comes first (tt, bb, tb, "
     "bt)."},
    {"refs", "How many earlier frames a frame may refer to when it is predicted."},
    {"is_avc",
     "For H.264: true when the stream is stored with length prefixes (as in MP4), false for start "
     "codes (Annex B)."},
    {"nal_length_size",
     "For H.264 and HEVC stored with length prefixes: bytes in each length field."},
    {"quarter_sample",
     "For MPEG-4 Part 2 video: 1 when motion vectors use quarter-pixel precision."},
    {"divx_packed",
     "For MPEG-4 Part 2 video: 1 when frames are packed in the DivX way, several per packet."},
    {"id",
     "The container's own identifier of the stream (such as an MPEG-TS PID), in hexadecimal."},
    {"r_frame_rate",
     "Lowest frame rate that can express every timestamp of the stream, as a fraction; not always "
     "the rate the video plays at."},
    {"avg_frame_rate",
     "Average frame rate over the stream, as a fraction: frames divided by duration; 0/0 when "
     "unknown."},
    {"frames_per_second",
     "Vellinor's reading of r_frame_rate as a decimal number, shown when it lies between 20 and "
     "200."},
    {"time_base",
     "Unit of the stream's timestamps in seconds, as a fraction (1/1000 means milliseconds)."},
    {"start_pts", "Timestamp of the stream's first packet, in units of its time base."},
    {"start_time", "Time of the first packet in seconds."},
    {"duration_ts", "Length of the stream in units of its time base."},
    {"duration", "Length in seconds, as the container or stream states it."},
    {"bit_rate", "Average bit rate in bits per second."},
    {"max_bit_rate", "Highest bit rate the stream declares, in bits per second."},
    {"bits_per_raw_sample",
     "Bits per sample as the codec stores them before decoding (8 or 10 for video, 16 or 24 for "
     "lossless audio)."},
    {"bits_per_sample",
     "Bits per audio sample as the codec stores them; 0 for compressed formats such as AAC or "
     "MP3."},
    {"nb_frames", "Number of frames (or packets) the container says the stream holds."},
    {"nb_read_frames", "Number of frames counted by decoding the whole stream."},
    {"nb_read_packets", "Number of packets counted by reading the whole stream."},
    {"extradata_size",
     "Size in bytes of the codec's set-up data stored beside the stream (such as H.264 parameter "
     "sets)."},
    {"sample_fmt",
     "How decoded audio samples are stored: integer or float, bit depth, planar or packed (s16, "
     "fltp)."},
    {"sample_rate", "Audio samples per second per channel, in hertz (44100, 48000)."},
    {"channels", "Number of audio channels."},
    {"channel_layout", "Which speakers the channels are for (mono, stereo, 5.1(side))."},
    {"initial_padding", "Audio samples the encoder added at the start, which a player skips."},
    {"side_data_list",
     "Extra facts attached to the stream, such as a display rotation, HDR mastering data or a "
     "Dolby Vision configuration."},
    {"format_name",
     "Short names of the container formats the file matches (mov,mp4,m4a,3gp,3g2,mj2)."},
    {"format_long_name", "Full name of the container format."},
    {"filename", "Path of the file as the probe tool was given it."},
    {"nb_streams", "Number of streams in the file."},
    {"nb_programs", "Number of programs, as in an MPEG transport stream broadcast."},
    {"size", "Size of the file in bytes."},
    {"probe_score", "How sure the probe tool is of the container format, out of 100."},
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

// The flags of a stream's "disposition" (shown as "<flag>.disposition").
constexpr FieldExplanation kDispositions[] = {
    {"default", "1 when players should pick this track unless the viewer chooses another."},
    {"forced",
     "1 when the track must be shown even when subtitles are off (such as signs or foreign "
     "dialogue)."},
    {"dub", "1 when the track is a dubbed language version."},
    {"original", "1 when the track is in the original language of the work."},
    {"comment", "1 when the track is a commentary."},
    {"lyrics", "1 when the track holds song lyrics."},
    {"karaoke", "1 when the track is meant for karaoke."},
    {"hearing_impaired",
     "1 when the track is for viewers who are hard of hearing (captions naming sounds)."},
    {"visual_impaired", "1 when the track is for viewers with impaired sight (audio description)."},
    {"clean_effects", "1 when the audio track holds only effects and music, no speech."},
    {"attached_pic", "1 when the stream is a single picture such as cover art, not a video."},
    {"timed_thumbnails",
     "1 when the stream holds thumbnail pictures at intervals through the file."},
    {"captions", "1 when the subtitles are captions for the hard of hearing."},
    {"descriptions",
     "1 when the track describes what happens on screen, for viewers who cannot see it."},
    {"metadata", "1 when the track holds data about the file rather than content to play."},
    {"dependent", "1 when the track only makes sense together with another one."},
    {"still_image", "1 when the video is a still picture."},
    {"non_diegetic",
     "1 when the audio is not heard by the characters on screen (such as a narrator)."},
};

// Tags (shown as "<tag>.tags"); matched without regard to case.
constexpr FieldExplanation kTags[] = {
    {"language", "Language of the track as an ISO 639 code (eng, fre); und when undetermined."},
    {"title", "Name given to the track or the file."},
    {"handler_name",
     "Name the writing program gave the track's handler in an MP4 or QuickTime file."},
    {"vendor_id", "Four-character code of the program or company that wrote the track."},
    {"encoder", "Program or library that encoded the track or wrote the file."},
    {"creation_time", "When the file or track was made, as stored in it."},
    {"major_brand",
     "MP4 brand the file declares first: the standard it follows (isom, mp42, M4V)."},
    {"minor_version", "Version of the MP4 brand the file declares."},
    {"compatible_brands", "Other MP4 brands the file says it also follows."},
    {"rotate", "Clockwise rotation to apply to the picture on display, in degrees."},
    {"duration", "Length of the track as the writing program stored it in a tag (Matroska)."},
    {"bps",
     "Average bit rate of the track in bits per second, as counted by the writing program "
     "(Matroska statistics)."},
    {"number_of_frames",
     "Frames (or packets) in the track, as counted by the writing program (Matroska statistics)."},
    {"number_of_bytes",
     "Bytes in the track, as counted by the writing program (Matroska statistics)."},
    {"_statistics_writing_app", "Program that counted the Matroska statistics tags."},
    {"_statistics_writing_date_utc", "When the Matroska statistics tags were counted."},
    {"_statistics_tags", "Names of the tags that hold Matroska statistics."},
    {"mimetype", "Media type of an attached file (image/jpeg, font/ttf)."},
    {"artist", "Performer or author of the work."},
    {"album", "Album the work belongs to."},
    {"date", "Date of the work, such as its year of release."},
    {"genre", "Genre of the work."},
    {"comment", "Free-text comment stored in the file."},
    {"copyright", "Copyright notice stored in the file."},
    {"track", "Number of the track within its album or series."},
    {"media_type", "iTunes kind of media as a number (9 for a movie, 10 for a TV show)."},
};

std::optional<std::string> find(std::span<const FieldExplanation> table, std::string_view field)
{
    const auto it = std::find_if(table.begin(), table.end(),
                                 [field](const FieldExplanation& e) { return e.field == field; });
    if (it == table.end())
        return std::nullopt;
    return std::string(it->text);
}

bool endsWith(std::string_view text, std::string_view suffix)
{
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// "BPS-eng" -> "BPS": mkvmerge may name statistics tags with a language suffix.
std::string_view withoutLanguageSuffix(std::string_view tag)
{
    const auto dash = tag.rfind('-');
    if (dash != std::string_view::npos && dash > 0 && tag.size() - dash - 1 == 3)
        return tag.substr(0, dash);
    return tag;
}

}  // namespace

std::optional<std::string> explainField(std::string_view key)
{
    constexpr std::string_view dispositionSuffix = ".disposition";
    constexpr std::string_view tagSuffix = ".tags";
    if (endsWith(key, dispositionSuffix))
        return find(kDispositions, key.substr(0, key.size() - dispositionSuffix.size()));
    if (endsWith(key, tagSuffix)) {
        std::string_view tag = key.substr(0, key.size() - tagSuffix.size());
        // "<field>.<entry>.tags" come from an iTunes movie-information tag.
        if (tag.find('.') != std::string_view::npos)
            return std::string("Part of the iTunes movie information stored in the file.");
        if (auto text = find(kTags, unicode::toLower(tag)))
            return text;
        if (auto text = find(kTags, unicode::toLower(withoutLanguageSuffix(tag))))
            return text;
        if (tag.empty())
            return std::nullopt;
        return std::string("A tag stored in the file by the program that wrote it.");
    }
    return find(kStreamFields, key);
}

std::span<const FieldExplanation> streamFieldExplanations()
{
    return kStreamFields;
}
std::span<const FieldExplanation> dispositionExplanations()
{
    return kDispositions;
}
std::span<const FieldExplanation> tagExplanations()
{
    return kTags;
}

}  // namespace vellinor
