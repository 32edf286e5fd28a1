#pragma once

// Media that meets each example policy (resources/policies), made with ffmpeg at test time.
// Each file fails the other two policies.

#include <filesystem>

namespace vellinor::test {

struct PolicyMedia {
    std::filesystem::path broadcast;  // broadcast.mp4: 1920x1080p25 H.264 High, stereo AAC
                                      // 48 kHz at -23 LUFS
    std::filesystem::path archival;   // archival.mkv: FFV1 and 16-bit PCM at 48 kHz, Matroska
    std::filesystem::path web;        // web.mp4: 640x360 H.264 Baseline, mono AAC 44.1 kHz
};

// Makes the files in `folder`; fails the test when ffmpeg does.
PolicyMedia makePolicyMedia(const std::filesystem::path& folder);

// The example policy `name` ("broadcast-hd") among the build's resources.
std::filesystem::path examplePolicy(const char* name);

}  // namespace vellinor::test
