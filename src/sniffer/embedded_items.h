#pragma once

// `sniffer --embedded [--pictures-only] FILE`: the file's embedded pictures (ID3 APIC frames,
// MP4 "covr" atoms, FLAC and Ogg picture blocks, APE and ASF pictures) and Matroska attachments
// with their bytes, in the file's own order, in the listing format of
// probe/embedded_listing.h. With --pictures-only the attachments that are not pictures are
// listed without their bytes. Only the header is read.

#include <cstdio>

namespace sniffer {

// Returns the exit status: 0 when the listing was printed (items left out included), 1 when
// the file could not be read (the listing then holds only its "failure").
int writeEmbeddedItems(const char* path, bool picturesOnly, std::FILE* out);

// The mode's arguments after "--embedded"; 2 for anything else.
int runEmbeddedItems(int argc, char** argv);

}  // namespace sniffer
