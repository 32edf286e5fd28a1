#pragma once

// The encoder's settings as x264 and x265 write them into an H.264 or HEVC stream's first
// frame ("x264 - core 164 r3095 baee400 - H.264/MPEG-4 AVC codec - Copyleft 2003-2022 - ... -
// options: cabac=1 ref=3 ..."), read by the sniffer (`sniffer --encoder`, through the
// ToolRunner, so the probe cache answers it for an unchanged file) for files with such tracks.

#include <optional>
#include <string>
#include <string_view>

namespace vellinor {

class FileProbe;
class ToolRunner;

struct EncoderSettings {
    friend bool operator==(const EncoderSettings&, const EncoderSettings&) = default;

    std::string library;        // "x264 core 164 r3095 baee400", as MediaInfo names it
    std::string settings;       // "cabac=1 / ref=3 / deblock=1:0:0 / ..."; empty when none given
    std::optional<bool> cabac;  // cabac=
    std::optional<int> referenceFrames;  // ref=
};

// The settings in an encoder's text; nothing for a text that names no encoder.
std::optional<EncoderSettings> parseEncoderText(std::string_view text);

// Sets the `encoder` of every H.264 and HEVC video track of `probe` whose first frame holds
// the text. A reader that fails changes nothing. `runner` null: a one-shot run.
void addEncoderSettings(FileProbe& probe, const std::string& path, ToolRunner* runner = nullptr);

}  // namespace vellinor
