// The track list: one row per entry of "streams", classified, counted and summarised.
//
// A stream as ffprobe prints it (abridged):
//     {"index": 0, "codec_name": "h264", "codec_long_name": "H.264 / AVC / MPEG-4 AVC / ...",
//      "profile": "High", "codec_type": "video", "codec_tag_string": "avc1", "width": 1920,
//      "height": 1080, "level": 40, "r_frame_rate": "25/1", "avg_frame_rate": "25/1",
//      "duration": "10.000000", "bit_rate": "2500000",
//      "tags": {"language": "eng"},
//      "side_data_list": [{"side_data_type": "Display Matrix", "rotation": -90}]}

#include <algorithm>
#include <array>
#include <cmath>
#include <string_view>
#include <utility>

#include "format/iso_locales.h"
#include "format/utils.h"
#include "json/finite_numbers.h"
#include "probe/file_probe.h"
#include "probe/hdr_facts.h"
#include "probe/probe_text.h"
#include "probe/stream_statistics.h"

namespace vellinor {
namespace {

using probe_detail::isText;

constexpr std::array<std::string_view, 20> kTextSubtitleCodecs{
    "mov_text", "ass",       "hdmv_text_subtitle",
    "jacosub",  "microdvd",  "mpl2",
    "pjs",      "realtext",  "sami",
    "srt",      "ssa",       "stl",
    "subrip",   "subviewer", "subviewer1",
    "text",     "ttml",      "vplayer",
    "webvtt",   "xsub"};
constexpr std::array<std::string_view, 2> kImageSubtitleCodecs{"dvd_subtitle", "hdmv_pgs_subtitle"};
constexpr std::array<std::string_view, 3> kClosedCaptionCodecs{"eia_608", "dvb_subtitle",
                                                               "dvb_teletext"};

template <std::size_t N>
bool listed(const std::array<std::string_view, N>& list, std::string_view name)
{
    return std::find(list.begin(), list.end(), name) != list.end();
}

struct Classification {
    std::string_view trackType;
    std::string_view subtitleKind;  // "Text-Based" or "Image-Based" for subtitles
};

// The first rule that matches decides. The order matters: an audio stream is audio whatever
// its codec, and a chapter text track (a subtitle with codec tag "text") falls through to the
// video rules and ends as "Other".
Classification classify(const JSON& stream)
{
    const JSON codecType = stream["codec_type"];
    const JSON codecName = stream["codec_name"];
    const JSON codecTag = stream["codec_tag_string"];

    if (isText(codecType, "audio"))
        return {"Audio", {}};
    if (isText(codecName, "bin_data"))
        return {"Chapter", {}};
    if (isText(codecType, "subtitle") && !isText(codecTag, "text") && codecName.exists()) {
        const std::string name = codecName.stringValue();
        if (listed(kTextSubtitleCodecs, name))
            return {"Subtitle", "Text-Based"};
        if (listed(kImageSubtitleCodecs, name))
            return {"Subtitle", "Image-Based"};
        if (listed(kClosedCaptionCodecs, name))
            return {"Closed Caption", {}};
        return {"Other", {}};
    }
    const bool video = isText(codecType, "video");
    // Cover art: a still picture with no codec tag.
    if (video && isText(codecTag, "[0][0][0][0]") &&
        (isText(codecName, "mjpeg") || isText(codecName, "png")))
        return {"Poster", {}};
    // ffprobe prints 0/0 as the average frame rate of streams without one (attachments,
    // pictures); theora is the exception that has none and still is video.
    if (video && !isText(stream["avg_frame_rate"], "0/0") && !isText(codecName, "ansi") &&
        !(isText(codecName, "mjpeg") && isText(codecTag, "jpeg")))
        return {"Video", {}};
    if (video && isText(codecName, "theora"))
        return {"Video", {}};
    return {"Other", {}};
}

std::string languageName(const JSON& stream)
{
    const JSON tags = stream["tags"];
    std::string code = tags["language"].stringValue();
    if (code.empty())
        code = tags["LANGUAGE"].stringValue();
    return std::string(IsoLocales::find(code).name);
}

// A quarter turn swaps width and height. Older ffprobe prints the tag "rotate" ("90"); ffprobe
// 5 and later print a "Display Matrix" side data entry with "rotation" (90, -90, 270, -270)
// instead, and 4.x prints both, so the swap is made once whichever says so.
bool turnedByAQuarter(const JSON& stream)
{
    const JSON rotateTag = stream["tags"]["rotate"];
    if (isText(rotateTag, "90") || isText(rotateTag, "270"))
        return true;
    for (const JSON& sideData : stream["side_data_list"].arrayValue()) {
        if (!isText(sideData["side_data_type"], "Display Matrix"))
            continue;
        const JSON rotation = sideData["rotation"];
        if (rotation.type() != JSONType::number)
            continue;
        const double degrees = rotation.doubleValue();
        if (degrees == 90.0 || degrees == -90.0 || degrees == 270.0 || degrees == -270.0)
            return true;
    }
    return false;
}

std::string_view resolutionLabel(std::int64_t smallerSide)
{
    if (smallerSide < 480)
        return "LD";
    if (smallerSide == 480)
        return "480p";
    if (smallerSide < 720)
        return "SD";
    if (smallerSide == 720)
        return "720p";
    if (smallerSide < 1080)
        return "HD";
    if (smallerSide == 1080)
        return "1080p";
    if (smallerSide < 2160)
        return "SHD";
    if (smallerSide == 2160)
        return "4K";
    return "UHD";
}

std::string profileWithLevel(const JSON& stream)
{
    const std::string profile = stream["profile"].stringValue();
    const double level = stream["level"].doubleValue() / 10.0;
    // ffprobe writes -99 for an unknown level.
    if (profile == "0" || level == -9.9)
        return "Unknown";
    return profile + "@" + Utils::formatShortestDecimal(level);
}

using Members = std::vector<std::pair<std::string, JSON>>;

void addCommonSummary(Members& summary, std::size_t position, const TrackInfo& row,
                      const JSON& stream)
{
    const std::int64_t bitrate = probe_detail::streamBitRate(stream);
    summary.emplace_back("index", JSON(std::to_string(position)));
    summary.emplace_back("codec", JSON(row.trackCodec));
    summary.emplace_back("duration", finiteNumberOrNull(row.trackDuration));
    summary.emplace_back("durationHuman", JSON(row.trackDurationHuman));
    summary.emplace_back("bitrate", JSON(bitrate));
    summary.emplace_back("bitrateHuman", JSON(probe_detail::kbpsText(bitrate)));
}

JSON audioSummary(std::size_t position, const TrackInfo& row, const JSON& stream)
{
    Members summary;
    addCommonSummary(summary, position, row, stream);
    summary.emplace_back("channel", JSON(stream["channel_layout"].stringValue()));
    return JSON(std::move(summary));
}

struct VideoGeometry {
    std::int64_t width = 0;
    std::int64_t height = 0;
    std::string dimension;
    std::string_view aspectRatio;
    std::string_view resolution;
};

VideoGeometry videoGeometry(const JSON& stream)
{
    VideoGeometry geometry;
    geometry.width = stream["width"].intValue();
    geometry.height = stream["height"].intValue();
    if (turnedByAQuarter(stream))
        std::swap(geometry.width, geometry.height);
    geometry.dimension = std::to_string(geometry.width) + "x" + std::to_string(geometry.height);
    geometry.aspectRatio = geometry.width < geometry.height   ? "Tall"
                           : geometry.width > geometry.height ? "Wide"
                                                              : "Square";
    // The smaller side names the resolution, so a portrait 1080x1920 is 1080p too.
    geometry.resolution =
        resolutionLabel(geometry.aspectRatio == "Tall" ? geometry.width : geometry.height);
    return geometry;
}

JSON videoSummary(std::size_t position, const TrackInfo& row, const JSON& stream,
                  const VideoGeometry& geometry)
{
    Members summary;
    addCommonSummary(summary, position, row, stream);
    summary.emplace_back("width", JSON(geometry.width));
    summary.emplace_back("height", JSON(geometry.height));
    summary.emplace_back("ratio", finiteNumberOrNull(static_cast<double>(geometry.width) /
                                                     static_cast<double>(geometry.height)));
    summary.emplace_back("dimension", JSON(geometry.dimension));
    summary.emplace_back("aspectRatio", JSON(geometry.aspectRatio));
    summary.emplace_back("resolution", JSON(geometry.resolution));
    const auto fps =
        Utils::formatFrameRate(Utils::evaluateFrameRate(stream["r_frame_rate"].stringValue()));
    if (fps)
        summary.emplace_back("fps", JSON(*fps));
    summary.emplace_back("profilewithlevel", JSON(profileWithLevel(stream)));
    return JSON(std::move(summary));
}

// Tracks that last as long as the file when nothing says otherwise (a Matroska stream without
// statistics tags); a cover picture or an attached font does not.
bool playsAlong(std::string_view trackType)
{
    return trackType == "Audio" || trackType == "Video" || trackType == "Subtitle";
}

// An audio track's layout ("stereo", "5.1(side)"); for one without a layout (most WAV and AIFF
// files) its channel count: "1 channel", "6 channels"; empty when neither is known.
std::string channelsText(const JSON& stream)
{
    std::string layout = stream["channel_layout"].stringValue();
    if (!layout.empty())
        return layout;
    const std::int64_t channels = stream["channels"].intValue();
    if (channels <= 0)
        return {};
    return std::to_string(channels) + (channels == 1 ? " channel" : " channels");
}

}  // namespace

void FileProbe::buildTrackList(const JSON& document)
{
    const JSON streams = document["streams"];
    const std::size_t streamCount = streams.type() == JSONType::array ? streams.count() : 0;
    std::optional<JSON> firstVideo;
    std::optional<JSON> firstAudio;
    const JSON formatDuration = document["format"]["duration"];
    const std::optional<double> containerDuration =
        formatDuration.exists() ? std::optional<double>(formatDuration.doubleValue())
                                : std::nullopt;
    tracksInfo.reserve(tracksInfo.size() + streamCount);

    for (std::size_t i = 0; i < streamCount; ++i) {
        const JSON stream = streams[i];
        const Classification kind = classify(stream);

        TrackInfo row;
        row.trackNumber = static_cast<std::int64_t>(i);
        row.trackType = kind.trackType;
        row.trackCodec = stream["codec_name"].stringValue();
        row.trackDuration = probe_detail::streamDuration(
            stream, playsAlong(kind.trackType) ? containerDuration : std::nullopt);
        row.trackDurationHuman = Utils::formatDuration(row.trackDuration);
        row.trackLanguage = languageName(stream);
        row.trackExtraInfo = stream["codec_long_name"].stringValue();

        if (kind.trackType == "Audio") {
            ++numberOfAudioTracks;
            // Only the first summary of each kind is kept.
            if (!firstAudio)
                firstAudio = audioSummary(i, row, stream);
            row.trackExtraInfo = channelsText(stream);
        } else if (kind.trackType == "Video") {
            ++numberOfVideoTracks;
            const VideoGeometry geometry = videoGeometry(stream);
            if (!firstVideo)
                firstVideo = videoSummary(i, row, stream, geometry);
            row.trackExtraInfo = std::string(geometry.aspectRatio) + ": " + geometry.dimension +
                                 " (" + std::string(geometry.resolution) + ")";
        } else if (kind.trackType == "Subtitle") {
            ++numberOfSubtitleTracks;
            row.trackExtraInfo += " - " + std::string(kind.subtitleKind);
        } else if (kind.trackType == "Poster") {
            row.trackExtraInfo +=
                " - " + stream["width"].stringValue() + "x" + stream["height"].stringValue();
        } else if (kind.trackType == "Chapter") {
            row.trackExtraInfo =
                "Number of Chapters: " + std::to_string(document["chapters"].count());
        }

        row.trackKeyValue = trackDetails(stream);
        if (hasHdrFacts(stream))
            row.hdr = hdrFactsOf(stream);
        tracksInfo.push_back(std::move(row));
    }

    // Without such a track the summary is the null value, not an absent one.
    firstVideoTrackInfo = firstVideo ? std::move(*firstVideo) : JSON::null();
    firstAudioTrackInfo = firstAudio ? std::move(*firstAudio) : JSON::null();
}

}  // namespace vellinor
