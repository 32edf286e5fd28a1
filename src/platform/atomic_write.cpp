#include "platform/atomic_write.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "platform/file_names.h"

namespace vellinor::platform {
namespace {

Unexpected failure(const std::string& action, int error)
{
    return Unexpected(action + ": " + std::strerror(error));
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

// The folder part of `path` ("." for a bare name, "/" for a name in the root).
std::string folderOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

}  // namespace

bool writeAll(int fd, std::string_view text)
{
    while (!text.empty()) {
        const ssize_t written = ::write(fd, text.data(), text.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        text.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

Status writeFileAtomically(const std::string& path, std::string_view content)
{
    static std::atomic<unsigned> counter{0};
    const std::string folder = folderOf(path);
    const std::string name = fileNameOfPath(path);

    // A hidden name of our own in the same folder, so the rename never crosses file systems.
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temporary = folder + "/." + name + ".tmp-" + std::to_string(::getpid()) + "-" +
                    std::to_string(counter++);
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return failure("cannot create a file in " + folder, errno);
    }
    if (fd < 0)
        return Unexpected("cannot create a temporary file in " + folder);

    FileDescriptor file(fd);
    // Replacing a file keeps who may read it.
    struct stat existing {};
    if (::stat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode))
        (void)::fchmod(file.get(), existing.st_mode & 07777);

    std::string problem;
    if (!writeAll(file.get(), content))
        problem = failure("cannot write " + path, errno).reason;
    else if (::fsync(file.get()) != 0)
        problem = failure("cannot flush " + path, errno).reason;
    else if (!file.close())
        problem = failure("cannot write " + path, errno).reason;
    else if (::rename(temporary.c_str(), path.c_str()) != 0)
        problem = failure("cannot replace " + path, errno).reason;
    if (!problem.empty()) {
        ::unlink(temporary.c_str());
        return Unexpected(std::move(problem));
    }

    // The rename itself lasts only once the folder's entry is on disk.
    FileDescriptor directory(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory.get() >= 0)
        (void)::fsync(directory.get());
    return ok();
}

}  // namespace vellinor::platform
