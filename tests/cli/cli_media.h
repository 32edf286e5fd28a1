#pragma once

// Media for the end-to-end tests, made once per test program with ffmpeg (and the demo file with
// scripts/make-demo), in a temporary folder removed at the end.

#include <filesystem>
#include <string>

namespace vellinor::test {

struct CliMedia {
    std::filesystem::path folder;
    std::filesystem::path demo;      // scripts/make-demo: video, 2 audio, 2 subtitles, cover
    std::filesystem::path audio;     // audio.m4a: one AAC track tagged Norwegian Bokmål
    std::filesystem::path sideData;  // side-data.mp4: MPEG-2 video, a nested array in its details
    std::filesystem::path notes;     // notes.txt: subtitles the tool reads, but named as text
    std::filesystem::path garbage;   // garbage.bin: bytes the tool cannot read
    std::filesystem::path empty;     // empty.mkv: zero bytes
};

// The media, made on first use.
const CliMedia& cliMedia();

}  // namespace vellinor::test
