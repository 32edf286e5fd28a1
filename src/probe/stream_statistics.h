#pragma once

// Facts Matroska keeps only in a stream's tags. ffprobe prints no "duration" or "bit_rate" for a
// Matroska or WebM stream; the muxer's statistics tags hold them instead, either plain
// ("DURATION", "BPS", as ffmpeg writes them) or with a language suffix ("DURATION-eng",
// "BPS-eng", as mkvmerge writes them).

#include <cstdint>
#include <optional>
#include <string_view>

#include "json/json.h"

namespace vellinor::probe_detail {

// A clock text "01:23:45.678000000" (hours of any width, minutes and seconds below 60, any
// number of fraction digits) in seconds; nothing for any other text.
std::optional<double> clockSeconds(std::string_view text);

// The stream's length in seconds: its "duration"; else its "DURATION" / "DURATION-xxx" tag; else
// `fallback` (the container's duration, for tracks that play along the whole file).
double streamDuration(const JSON& stream, std::optional<double> fallback);

// The stream's bit rate: its "bit_rate"; else its "BPS" / "BPS-xxx" tag; else 0.
std::int64_t streamBitRate(const JSON& stream);

}  // namespace vellinor::probe_detail
