#include "probe/variable_bit_rate.h"

#include <charconv>
#include <cmath>

#include "format/utils.h"
#include "probe/file_probe.h"
#include "probe/probe_text.h"
#include "probe/sniffer_mode.h"

namespace vellinor {
namespace {

// Reading the packets (no decoding) of 256 MiB takes a few seconds from a slow disk.
constexpr ReaderLimits kPacketReader{std::chrono::milliseconds{60'000}, std::size_t{16} << 20,
                                     std::uint64_t{1} << 30};

// A reader's number of seconds, whatever the locale says a decimal point is.
std::optional<double> secondsOf(std::string_view text)
{
    double value = 0.0;
    const auto [rest, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || rest != text.data() + text.size())
        return std::nullopt;
    return value;
}

// The "packets_end <seconds>" line of a reader's output that reached its "end" line (the
// line format of packet_statistics.h, whose parser lives in a layer above the record).
std::optional<double> packetsEndOf(std::string_view output)
{
    std::optional<double> end;
    bool complete = false;
    while (!output.empty()) {
        const std::size_t newline = output.find('\n');
        const std::string_view line = output.substr(0, newline);
        output =
            newline == std::string_view::npos ? std::string_view() : output.substr(newline + 1);
        if (line == "end")
            complete = true;
        else if (line.starts_with("packets_end "))
            end = secondsOf(line.substr(12));
    }
    if (!complete || !end || !std::isfinite(*end) || !(*end > 0.0))
        return std::nullopt;
    return end;
}

std::optional<double> packetsEnd(const std::string& path, ToolRunner* runner)
{
    const ToolRun run = runFileReader(path, "--packets", kPacketReader, runner);
    if (!run.status)
        return std::nullopt;
    return packetsEndOf(run.output);
}

}  // namespace

bool isVariableBitRateMarker(const JSON& stream)
{
    return stream["bit_rate"].intValue() == kMpegVariableBitRate;
}

bool lengthEstimatedFromMarker(const JSON& document, std::uint64_t fileSize)
{
    // The tool divides the file's bits by the sum of the streams' rates.
    double rates = 0.0;
    bool marker = false;
    for (const auto& [position, stream] : document["streams"]) {
        (void)position;
        marker = marker || isVariableBitRateMarker(stream);
        rates += std::max(0.0, stream["bit_rate"].doubleValue());
    }
    const double duration = document["format"]["duration"].doubleValue();
    if (!marker || fileSize == 0 || !(duration > 0.0) || !std::isfinite(duration))
        return false;
    const double bytes = duration * rates / 8.0;
    return std::abs(bytes - static_cast<double>(fileSize)) <=
           static_cast<double>(fileSize) * 0.01 + 1024.0;
}

void mendLengthFromMarker(FileProbe& probe, const std::string& path, ToolRunner* runner)
{
    if (!probe.json || !lengthEstimatedFromMarker(*probe.json, probe.fileSize.value_or(0)))
        return;
    probe.lengthFromMarker = true;
    const double estimate = probe.duration;
    if (*probe.fileSize <= kMaxPacketsEndBytes)
        probe.packetsEnd = packetsEnd(path, runner);
    const double length = probe.packetsEnd.value_or(0.0);
    probe.duration = length;
    probe.durationHuman =
        probe.packetsEnd ? std::optional<std::string>(Utils::formatDuration(length)) : std::nullopt;
    probe.bitrate =
        probe.packetsEnd
            ? static_cast<std::int64_t>(static_cast<double>(*probe.fileSize) * 8.0 / length)
            : 0;
    probe.bitrateHuman = probe.packetsEnd
                             ? std::optional<std::string>(probe_detail::kbpsText(probe.bitrate))
                             : std::nullopt;
    // The tracks' lengths are the same estimate.
    for (TrackInfo& track : probe.tracksInfo) {
        if (std::abs(track.trackDuration - estimate) > 0.001)
            continue;
        track.trackDuration = length;
        track.trackDurationHuman = Utils::formatDuration(length);
    }
}

}  // namespace vellinor
