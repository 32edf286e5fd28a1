#pragma once

// Media with embedded pictures and attachments, made with ffmpeg at test time, and the exact
// bytes that went into them.

#include <filesystem>
#include <string>
#include <vector>

namespace vellinor::test {

struct AttachmentMedia {
    std::string redJpeg;  // 32x24 JPEG
    std::string bluePng;  // 24x32 PNG
    std::string font;     // bytes that start like a TrueType font

    // FLAC audio; "cover.jpg" (the red JPEG, image/jpeg, titled "Cover art") and "Font.ttf"
    // (application/x-truetype-font) as Matroska attachments.
    std::filesystem::path matroska;
    // MP3 with two ID3v2 APIC pictures: the red JPEG (description "Front", type "Cover
    // (front)"), then the blue PNG (type "Cover (back)").
    std::filesystem::path mp3;
    // AAC in MP4 with the blue PNG as its cover.
    std::filesystem::path m4a;
    // Matroska with one attachment per name in `hostileNames`, each holding `hostileBytes(i)`.
    std::filesystem::path hostile;
    std::vector<std::string> hostileNames;
    static std::string hostileBytes(std::size_t index);
};

// Makes the media in `folder` (which must exist); fails the calling test when ffmpeg does.
AttachmentMedia makeAttachmentMedia(const std::filesystem::path& folder);

// An MP3 whose ID3v2.4 tag holds `pictures` APIC frames, each zlib-compressed (frame flags
// 0x0009, the uncompressed length in front): a PNG picture of `pictureBytes` zeros, which
// compresses to about a thousandth of that. A few megabytes that unpack into gigabytes.
void writeCompressedPictureMp3(const std::filesystem::path& path, int pictures,
                               std::size_t pictureBytes);

}  // namespace vellinor::test
