#pragma once

// The cover pictures embedded in a media file, read with libavformat: attached pictures
// (ID3 APIC frames, MP4 "covr" atoms, FLAC and Ogg picture blocks, APE and ASF pictures) and
// Matroska attachments that are images. Decoding the bytes is left to the caller.

#include <string>
#include <vector>

namespace vellinor::platform {

// The encoded bytes (JPEG, PNG, ...) of every embedded picture of the file at `path`, in the
// file's own order. Empty for a file without pictures and for anything that cannot be read as
// media: a missing path, a folder, a device or pipe, a text file, a damaged file. Pictures
// larger than 64 MiB are left out. Never blocks for long: opening gives up after 5 seconds.
// Safe to call from any thread.
std::vector<std::string> embeddedPictures(const std::string& path);

}  // namespace vellinor::platform
