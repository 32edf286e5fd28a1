#include "support/policy_media.h"

#include <string>

#include "support/test_support.h"

namespace vellinor::test {

PolicyMedia makePolicyMedia(const std::filesystem::path& folder)
{
    PolicyMedia media{folder / "broadcast.mp4", folder / "archival.mkv", folder / "web.mp4"};
    // A steady 1 kHz stereo tone from lavfi's sine (amplitude 1/8) measures -21.1 LUFS;
    // 1.9 dB less lands on -23.
    runFfmpeg({"-f",
               "lavfi",
               "-i",
               "testsrc=size=1920x1080:rate=25",
               "-f",
               "lavfi",
               "-i",
               "sine=f=1000:r=48000,volume=-1.9dB",
               "-t",
               "2",
               "-ac",
               "2",
               "-c:v",
               "libx264",
               "-preset",
               "veryfast",
               "-profile:v",
               "high",
               "-pix_fmt",
               "yuv420p",
               "-c:a",
               "aac",
               media.broadcast.string()});
    runFfmpeg({"-f", "lavfi", "-i", "testsrc=size=320x240:rate=25", "-f", "lavfi", "-i",
               "sine=f=1000:r=48000", "-t", "1", "-c:v", "ffv1", "-c:a", "pcm_s16le",
               media.archival.string()});
    runFfmpeg({"-f", "lavfi", "-i", "testsrc=size=640x360:rate=25", "-f", "lavfi", "-i",
               "sine=f=1000:r=44100", "-t", "1", "-c:v", "libx264", "-preset", "ultrafast",
               "-pix_fmt", "yuv420p", "-c:a", "aac", media.web.string()});
    return media;
}

std::filesystem::path examplePolicy(const char* name)
{
    return std::filesystem::path(VELLINOR_BINARY_DIR) / "share" / "vellinor" / "policies" /
           (std::string(name) + ".toml");
}

}  // namespace vellinor::test
