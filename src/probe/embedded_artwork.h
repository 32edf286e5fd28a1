#pragma once

// What a media file carries besides its streams: attached pictures (ID3 APIC frames, MP4
// "covr" atoms, FLAC and Ogg picture blocks, APE and ASF pictures) and Matroska attachments
// (fonts, images, anything). The sniffer reads them (embedded_files.h); decoding the
// pictures is left to the caller.

#include <string>

namespace vellinor {

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

}  // namespace vellinor
