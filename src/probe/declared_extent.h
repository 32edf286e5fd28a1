#pragma once

// The size a file's container header declares (`sniffer --extent`), for the files where it
// tells what the probe document cannot: a Matroska file cut short still shows its tracks, and an
// MP4 cut before its index (kept after the media data) shows nothing at all. Asked through the
// ToolRunner, so the probe cache answers it for an unchanged file.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vellinor {

class FileProbe;
class ToolRunner;

struct DeclaredExtent {
    std::string container;      // "matroska", "mp4"
    std::uint64_t size = 0;     // the bytes the header says the file holds (MP4: at least)
    std::optional<bool> index;  // MP4: whether its index ("moov") came before the cut
};

// The reader's JSON object; nothing for {} or anything else.
std::optional<DeclaredExtent> parseDeclaredExtent(std::string_view output);

// Whether the header can tell more about `probe`: Matroska files, and files whose probe failed
// with the tool's own error (a cut MP4 reads as "Invalid data found when processing input").
bool wantsDeclaredExtent(const FileProbe& probe);

// Sets `probe.declaredExtent` when wantsDeclaredExtent() and the reader tells one. A reader that
// fails changes nothing. `runner` null: a one-shot run.
void addDeclaredExtent(FileProbe& probe, const std::string& path, ToolRunner* runner = nullptr);

}  // namespace vellinor
