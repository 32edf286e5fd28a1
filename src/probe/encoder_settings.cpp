#include "probe/encoder_settings.h"

#include <charconv>
#include <vector>

#include "probe/file_probe.h"
#include "probe/sniffer_mode.h"

namespace vellinor {
namespace {

constexpr ReaderLimits kEncoderReader{std::chrono::milliseconds{10'000}, std::size_t{1} << 20,
                                      std::uint64_t{1} << 30};

constexpr std::string_view kOptions = " - options: ";

std::vector<std::string_view> words(std::string_view text)
{
    std::vector<std::string_view> found;
    while (!text.empty()) {
        const std::size_t end = text.find(' ');
        if (end != 0)
            found.push_back(text.substr(0, end));
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 1);
    }
    return found;
}

std::optional<int> integer(std::string_view text)
{
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

bool wanted(const JSON& stream)
{
    const std::string codec = stream["codec_name"].stringValue();
    return stream["codec_type"].stringValue() == "video" && (codec == "h264" || codec == "hevc") &&
           stream["disposition"]["attached_pic"].intValue() == 0;
}

}  // namespace

std::optional<EncoderSettings> parseEncoderText(std::string_view text)
{
    // "x264 - core 164 r3095 baee400 - H.264/MPEG-4 AVC codec - ..." and
    // "x265 (build 199) - 3.5+1-f0c1022b6:[Linux]... - H.265/HEVC codec - ...".
    const std::size_t firstDash = text.find(" - ");
    if (firstDash == std::string_view::npos || firstDash == 0)
        return std::nullopt;
    const std::string_view name = text.substr(0, firstDash);
    std::string_view version = text.substr(firstDash + 3);
    version = version.substr(0, version.find(" - "));
    if (version.empty())
        return std::nullopt;
    EncoderSettings settings;
    if (name.starts_with("x265")) {
        settings.library = "x265 " + std::string(version);
    } else if (name == "x264") {
        settings.library = "x264 " + std::string(version);
    } else {
        return std::nullopt;
    }
    const std::size_t options = text.find(kOptions);
    if (options == std::string_view::npos)
        return settings;
    for (const std::string_view option : words(text.substr(options + kOptions.size()))) {
        if (!settings.settings.empty())
            settings.settings += " / ";
        settings.settings += option;
        const std::size_t equals = option.find('=');
        const std::string_view key = option.substr(0, equals);
        const std::string_view value =
            equals == std::string_view::npos ? std::string_view() : option.substr(equals + 1);
        if (key == "cabac" && (value == "0" || value == "1"))
            settings.cabac = value == "1";
        else if (key == "ref")
            settings.referenceFrames = integer(value);
    }
    return settings;
}

void addEncoderSettings(FileProbe& probe, const std::string& path, ToolRunner* runner)
{
    if (!probe.json)
        return;
    const JSON streams = (*probe.json)["streams"];
    bool any = false;
    for (const TrackInfo& track : probe.tracksInfo)
        any = any || wanted(streams[track.trackNumber]);
    if (!any)
        return;
    const ToolRun run = runFileReader(path, "--encoder", kEncoderReader, runner);
    if (!run.status)
        return;
    const auto document = JSON::parse(run.output);
    if (!document)
        return;
    for (const auto& [position, found] : (*document)["streams"]) {
        (void)position;
        const auto index = found["index"].intOptional();
        const auto settings = parseEncoderText(found["text"].stringValue());
        if (!index || !settings)
            continue;
        for (TrackInfo& track : probe.tracksInfo) {
            const JSON stream = streams[track.trackNumber];
            if (wanted(stream) && stream["index"].intOptional() == index)
                track.encoder = settings;
        }
    }
}

}  // namespace vellinor
