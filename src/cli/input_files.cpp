#include "cli/input_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace vellinor::cli {
namespace {

namespace fs = std::filesystem;

}  // namespace

std::string errnoReason(int error)
{
    switch (error) {
        case ENOENT:
            return "no such file";
        case EACCES:
        case EPERM:
            return "permission denied";
        case ENOTDIR:
            return "not a directory on the way to it";
        case ELOOP:
            return "too many levels of symbolic links";
        case ENAMETOOLONG:
            return "name too long";
        default:
            break;
    }
    std::string text = std::strerror(error);
    if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z')
        text[0] = static_cast<char>(text[0] - 'A' + 'a');
    return text;
}

namespace {

// Files under `folder`, recursively; folders that cannot be listed become entries with their
// problem.
void walkFolder(const fs::path& folder, std::vector<InputFile>& found)
{
    std::error_code error;
    fs::directory_iterator it(folder, error);
    if (error) {
        found.push_back({folder.string(), errnoReason(error.value())});
        return;
    }
    for (; it != fs::directory_iterator(); it.increment(error)) {
        const fs::directory_entry& entry = *it;
        std::error_code statusError;
        // Not following links here: a link to a folder is skipped, which keeps walks finite.
        if (entry.is_directory(statusError) && !entry.is_symlink(statusError)) {
            walkFolder(entry.path(), found);
        } else if (entry.is_regular_file(statusError)) {
            found.push_back({entry.path().string(), {}});
        }
        // Anything else (broken links, FIFOs, sockets, devices) is not a media file to probe.
    }
    if (error)
        found.push_back({folder.string(), errnoReason(error.value())});
}

}  // namespace

std::string unprobeableReason(const std::string& path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return errnoReason(errno);
    if (S_ISDIR(info.st_mode))
        return "is a directory";
    if (!S_ISREG(info.st_mode))
        return "not a regular file";
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return errnoReason(errno);
    ::close(fd);
    return {};
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
            inputs.push_back({path, {}});
        }
    }
    return inputs;
}

}  // namespace vellinor::cli
