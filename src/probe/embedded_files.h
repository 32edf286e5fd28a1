#pragma once

// The pictures and attachments a media file carries, read by the sniffer in a child process
// (`sniffer --embedded`, limited in memory) through a ToolRunner, so no front end parses a
// media file itself and the probe cache can answer for an unchanged file. An item larger than
// 64 MiB, the items past 256 MiB in all, and items the reader could not allocate are left
// out, each with a line saying so.

#include <string>
#include <string_view>
#include <vector>

#include "base/expected.h"
#include "probe/embedded_artwork.h"

namespace vellinor {

class FileProbe;
class ToolRunner;

struct EmbeddedReading {
    // In the file's own order, with their bytes exactly as stored.
    std::vector<EmbeddedFile> files;
    // One line per item left out, or for items lost ("picture 3 (250 MB) is larger than the
    // 64 MiB an embedded item may take; it is left out"); empty when nothing is missing.
    std::vector<std::string> problems;
};

// Every embedded picture and attachment of the file at `path`: an empty list for media without
// any; the reason when the file cannot be read as media ("not a regular file", "not a media
// file", ...). Reading gives up after 5 seconds. `runner` null: a one-shot run of the sniffer.
// Safe to call from any thread.
Expected<EmbeddedReading> embeddedFiles(const std::string& path, ToolRunner* runner = nullptr);

// The embedded pictures alone (attachments that are not images are not even transferred);
// nothing for a file that cannot be read. The problems name only pictures.
EmbeddedReading embeddedPictures(const std::string& path, ToolRunner* runner = nullptr);

// Whether the probe document of `probe` shows a stream that is an attached picture or an
// attachment: only then can there be anything to read, so the rest start no reader.
bool mayHoldEmbeddedFiles(const FileProbe& probe);

// The reading a `sniffer --embedded` listing describes (embedded_listing.h); the reason when
// the text is no listing. Items without their bytes are left out of `files`; `picturesOnly`
// leaves out the attachments that are not pictures, without a problem.
Expected<EmbeddedReading> readEmbeddedListing(std::string_view listing, bool picturesOnly);

}  // namespace vellinor
