#include "cli/report_export.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "cli/output_streams.h"

namespace vellinor::cli {
namespace {

// The name without its last extension, as the window suggests it: "clip.final.mkv" gives
// "clip.final"; ".hidden" keeps its whole name.
std::string reportStem(std::string_view fileName)
{
    const auto dot = fileName.find_last_of('.');
    if (dot == std::string_view::npos || dot == 0)
        return std::string(fileName);
    return std::string(fileName.substr(0, dot));
}

std::string errorText(const std::string& action, int error)
{
    return action + ": " + std::strerror(error);
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    [[nodiscard]] int get() const { return m_fd; }
    // Closes now, reporting the error a delayed write may only show here.
    bool close()
    {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

private:
    int m_fd;
};

}  // namespace

std::string ExportNames::take(std::string_view fileName)
{
    const std::string stem = reportStem(fileName);
    std::string name = stem + ".json";
    for (int suffix = 2; m_taken.count(name) != 0; ++suffix)
        name = stem + "-" + std::to_string(suffix) + ".json";
    m_taken.insert(name);
    return name;
}

std::string writeFileAtomically(const std::string& folder, const std::string& name,
                                std::string_view content)
{
    static std::atomic<unsigned> counter{0};
    const std::string target = (std::filesystem::path(folder) / name).string();

    // A hidden name of our own in the same folder, so the rename never crosses file systems.
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temporary =
            (std::filesystem::path(folder) /
             ("." + name + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter++)))
                .string();
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return errorText("cannot create a file in " + folder, errno);
    }
    if (fd < 0)
        return "cannot create a temporary file in " + folder;

    FileDescriptor file(fd);
    std::string problem;
    if (!writeAll(file.get(), content))
        problem = errorText("cannot write " + target, errno);
    else if (::fsync(file.get()) != 0)
        problem = errorText("cannot flush " + target, errno);
    else if (!file.close())
        problem = errorText("cannot write " + target, errno);
    else if (::rename(temporary.c_str(), target.c_str()) != 0)
        problem = errorText("cannot replace " + target, errno);
    if (!problem.empty()) {
        ::unlink(temporary.c_str());
        return problem;
    }

    // The rename itself lasts only once the folder's entry is on disk.
    FileDescriptor directory(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory.get() >= 0)
        (void)::fsync(directory.get());
    return {};
}

}  // namespace vellinor::cli
