#pragma once

// What a media file carries besides its streams, read with libavformat: attached pictures (ID3
// APIC frames, MP4 "covr" atoms, FLAC and Ogg picture blocks, APE and ASF pictures) and
// Matroska attachments (fonts, images, anything). Decoding the pictures is left to the caller.

#include <cstddef>
#include <string>
#include <vector>

#include "platform/expected.h"

namespace vellinor::platform {

// One embedded picture or attachment, with the bytes exactly as the file stores them.
struct EmbeddedFile {
    bool isPicture = false;   // an image (cover art, or a Matroska attachment that is an image)
    std::string name;         // its own file name as stored (Matroska); empty for most pictures
    std::string mimeType;     // its "mimetype" tag, else the type its codec implies; may be empty
    std::string description;  // its "title" and "comment" tags ("Front — Cover (front)")
    std::string extension;    // from the MIME type or the codec, without the dot; "bin" if unknown
    std::string bytes;

    friend bool operator==(const EmbeddedFile&, const EmbeddedFile&) = default;
};

// Pictures larger than this are never shown as a poster.
inline constexpr std::size_t kLargestPicture = std::size_t{64} << 20;

// The encoded bytes (JPEG, PNG, ...) of every embedded picture of the file at `path`, in the
// file's own order. Empty for a file without pictures and for anything that cannot be read as
// media: a missing path, a folder, a device or pipe, a text file, a damaged file. Pictures
// larger than 64 MiB are left out. Never blocks for long: opening gives up after 5 seconds.
// Safe to call from any thread.
std::vector<std::string> embeddedPictures(const std::string& path);

// Every embedded picture and attachment of the file at `path`, in the file's own order, whatever
// its size. An empty list for media without any; the reason when the file cannot be read as
// media ("not a regular file", "not a media file", ...). Same time limit and thread safety as
// embeddedPictures.
Expected<std::vector<EmbeddedFile>> embeddedFiles(const std::string& path);

}  // namespace vellinor::platform
