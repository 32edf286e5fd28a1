#pragma once

// Media for the deep scan's tests, made with ffmpeg at test time, and what ffmpeg's own tools
// say about them (the reference the scan is held to).

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace vellinor::test {

struct ScanMedia {
    std::filesystem::path clean;       // clean.mp4: H.264 + AAC, 6 s
    std::filesystem::path remux;       // remux.mkv: clean.mp4's video copied into Matroska
    std::filesystem::path reencoded;   // reencoded.mkv: clean.mp4's video encoded again
    std::filesystem::path truncated;   // truncated.mkv: a Matroska file cut at 60%
    std::filesystem::path damaged;     // damaged.ts: MPEG-2 in MPEG-TS with bytes overwritten
    std::filesystem::path variable;    // variable.mkv: frames 80 ms apart, then 120 ms
    std::filesystem::path interlaced;  // interlaced.mpg: top-field-first MPEG-2
    std::filesystem::path sections;    // sections.mkv: 3 s black and silent, then 3 s picture and
                                       // tone at -20 dBFS, then 3 s black and silent
    std::filesystem::path tone;        // tone.wav: 6 s of 997 Hz at -20 dBFS, stereo
    std::filesystem::path captions;    // captions.m2v: MPEG-2 with CEA-608 and CEA-708 A/53 data
};

// Makes every file in `folder`; fails the test when ffmpeg does.
ScanMedia makeScanMedia(const std::filesystem::path& folder);

// The MD5 per stream that `ffmpeg -i FILE -map 0 -f streamhash -hash md5 -` prints, in order.
std::vector<std::string> ffmpegStreamHashes(const std::filesystem::path& file);

// The integrated loudness (LUFS) in the summary of ffmpeg's ebur128 filter.
std::optional<double> ffmpegIntegratedLoudness(const std::filesystem::path& file);

// The frames ffprobe counts by decoding (-count_frames) in stream `index`.
std::optional<long long> ffprobeFrameCount(const std::filesystem::path& file, int index);

}  // namespace vellinor::test
