#include "cli/input_files.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "platform/file_access.h"

namespace vellinor::cli {
namespace {

namespace fs = std::filesystem;

// Files under `folder`, recursively; folders that cannot be listed become entries with their
// problem.
void walkFolder(const fs::path& folder, std::vector<InputFile>& found)
{
    std::error_code error;
    fs::directory_iterator it(folder, error);
    if (error) {
        found.push_back({folder.string(), Unexpected(platform::errnoReason(error.value()))});
        return;
    }
    for (; it != fs::directory_iterator(); it.increment(error)) {
        const fs::directory_entry& entry = *it;
        std::error_code statusError;
        // Not following links here: a link to a folder is skipped, which keeps walks finite.
        if (entry.is_directory(statusError) && !entry.is_symlink(statusError)) {
            walkFolder(entry.path(), found);
        } else if (entry.is_regular_file(statusError)) {
            found.push_back({entry.path().string()});
        }
        // Anything else (broken links, FIFOs, sockets, devices) is not a media file to probe.
    }
    if (error)
        found.push_back({folder.string(), Unexpected(platform::errnoReason(error.value()))});
}

}  // namespace

Status checkInput(const InputFile& input)
{
    if (!input.listed)
        return input.listed;
    return platform::checkReadable(input.path);
}

std::vector<InputFile> collectInputFiles(const std::vector<std::string>& paths, bool recursive)
{
    std::vector<InputFile> inputs;
    for (const std::string& path : paths) {
        std::error_code error;
        if (recursive && fs::is_directory(path, error)) {
            std::vector<InputFile> found;
            walkFolder(fs::path(path), found);
            std::sort(found.begin(), found.end(),
                      [](const InputFile& a, const InputFile& b) { return a.path < b.path; });
            inputs.insert(inputs.end(), std::make_move_iterator(found.begin()),
                          std::make_move_iterator(found.end()));
        } else {
            inputs.push_back({path});
        }
    }
    return inputs;
}

}  // namespace vellinor::cli
