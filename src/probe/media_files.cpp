#include "probe/media_files.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <system_error>

#include "platform/file_names.h"

namespace vellinor {
namespace {

namespace fs = std::filesystem;

// Sorted, lower case, for a binary search.
constexpr auto kMediaExtensions = std::to_array<std::string_view>({
    "264", "265",  "3g2", "3gp",  "aac",  "ac3",  "aif", "aifc", "aiff", "amr",  "ape",  "asf",
    "ass", "au",   "avi", "avs",  "caf",  "dav",  "dif", "dts",  "dv",   "eac3", "ec3",  "f4a",
    "f4v", "flac", "flv", "h264", "h265", "hevc", "ivf", "m1v",  "m2p",  "m2t",  "m2ts", "m2v",
    "m4a", "m4b",  "m4p", "m4v",  "mj2",  "mk3d", "mka", "mks",  "mkv",  "mlp",  "mod",  "mov",
    "mp2", "mp3",  "mp4", "mpa",  "mpe",  "mpeg", "mpg", "mpv",  "mts",  "mxf",  "nut",  "obu",
    "oga", "ogg",  "ogm", "ogv",  "ogx",  "opus", "qt",  "ra",   "ram",  "rm",   "rmvb", "snd",
    "spx", "srt",  "ssa", "sup",  "tak",  "thd",  "tod", "tp",   "trp",  "ts",   "tta",  "vob",
    "voc", "vtt",  "w64", "wav",  "weba", "webm", "wma", "wmv",  "wtv",  "wv",   "y4m",
});

// How often the walk reports how far it got.
constexpr std::size_t kProgressEvery = 256;

}  // namespace

bool hasMediaExtension(std::string_view path)
{
    const std::string extension = platform::lowerCasedExtension(path);
    return !extension.empty() &&
           std::binary_search(kMediaExtensions.begin(), kMediaExtensions.end(), extension);
}

FolderMedia mediaFilesUnder(const std::string& folder,
                            const std::function<bool(std::size_t seen)>& progress)
{
    FolderMedia found;
    std::error_code error;
    fs::recursive_directory_iterator walk(folder, fs::directory_options::skip_permission_denied,
                                          error);
    if (error) {
        found.unreadable.push_back(folder + ": " + error.message());
        return found;
    }
    std::size_t seen = 0;
    for (const fs::recursive_directory_iterator end; walk != end; walk.increment(error)) {
        if (error) {
            // The iterator cannot go on after a failed step; what was found so far stands.
            found.unreadable.push_back(folder + ": " + error.message());
            break;
        }
        std::error_code typeError;
        // is_regular_file follows a link: a link to a file counts, a dangling one does not.
        if (walk->is_directory(typeError) || !walk->is_regular_file(typeError))
            continue;
        ++seen;
        if (hasMediaExtension(walk->path().filename().string()))
            found.mediaFiles.push_back(walk->path().string());
        else
            ++found.skippedFiles;
        if (progress && seen % kProgressEvery == 0 && !progress(seen)) {
            found.cancelled = true;
            break;
        }
    }
    std::sort(found.mediaFiles.begin(), found.mediaFiles.end());
    return found;
}

}  // namespace vellinor
