#pragma once

// Which files of a folder are media: what Open Folder and a dropped folder add. Decided by the
// file name's extension alone, so a tree of thousands of files is sorted out without reading
// one of them; whether a file so named really is media is found out when it is probed.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vellinor {

// True when the extension of the path's file name (any case) is one of the container, stream
// or subtitle formats the probe tool reads ("mkv", "mp4", "flac", "ts", "srt", ...).
bool hasMediaExtension(std::string_view path);

struct FolderMedia {
    std::vector<std::string> mediaFiles;  // full paths, sorted by their bytes
    std::size_t skippedFiles = 0;         // regular files that are not media
    std::vector<std::string> unreadable;  // folders that could not be read (with their reason)
    bool cancelled = false;               // the walk was stopped by `progress`
};

// Every media file under `folder`, at any depth. Symbolic links to files count as files; links
// to folders are not followed, so no walk can loop. `progress`, when set, is called with the
// count of files seen so far every few hundred files; returning false stops the walk.
FolderMedia mediaFilesUnder(const std::string& folder,
                            const std::function<bool(std::size_t seen)>& progress = {});

}  // namespace vellinor
