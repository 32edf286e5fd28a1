#include "platform/atomic_write.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <utility>

#include "platform/write_all.h"

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

// A temporary file being written in the folder of its target. Its name is short and our own
// (".vellinor-<pid>-<n>.tmp"), so it fits wherever the target's name does; it is removed unless
// it has been renamed into place.
class TemporaryFile {
public:
    static Expected<TemporaryFile> create(const std::string& folder)
    {
        static std::atomic<unsigned> counter{0};
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::string path = folder + "/.vellinor-" + std::to_string(::getpid()) + "-" +
                               std::to_string(counter++) + ".tmp";
            // O_EXCL and O_NOFOLLOW: never a file or link someone left under that name.
            const int fd =
                ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
            if (fd >= 0)
                return TemporaryFile(std::move(path), fd);
            if (errno != EEXIST)
                return failure("cannot create a file in " + folder, errno);
        }
        return Unexpected("cannot create a temporary file in " + folder);
    }

    TemporaryFile(TemporaryFile&& other) noexcept
        : m_path(std::move(other.m_path)), m_fd(std::exchange(other.m_fd, -1))
    {
        other.m_path.clear();
    }
    TemporaryFile& operator=(TemporaryFile&&) = delete;
    ~TemporaryFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        if (!m_path.empty())
            ::unlink(m_path.c_str());
    }

    [[nodiscard]] const std::string& path() const { return m_path; }
    [[nodiscard]] int fd() const { return m_fd; }

    // Writes, flushes and closes; the reason names `target`, the file the caller asked for.
    Status fill(std::string_view content, const std::string& target)
    {
        if (Status written = writeAll(m_fd, content); !written)
            return Unexpected("cannot write " + target + ": " + written.error());
        if (::fsync(m_fd) != 0)
            return failure("cannot flush " + target, errno);
        const int fd = std::exchange(m_fd, -1);
        if (::close(fd) != 0)
            return failure("cannot write " + target, errno);
        return ok();
    }

    // The file now lives under another name: nothing to remove.
    void renamed() { m_path.clear(); }

private:
    TemporaryFile(std::string path, int fd) : m_path(std::move(path)), m_fd(fd) {}

    std::string m_path;
    int m_fd;
};

std::string inFolder(const std::string& folder, const std::string& name)
{
    return (std::filesystem::path(folder) / name).string();
}

// The rename itself lasts only once the folder's entry is on disk.
void syncFolder(const std::string& folder)
{
    FileDescriptor directory(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory.get() >= 0)
        (void)::fsync(directory.get());
}

// Moves `from` to `to` unless `to` exists (a dangling link counts): 0, or the errno. Where the
// file system cannot rename that way, a hard link does the same, as atomically.
int renameWithoutReplacing(const std::string& from, const std::string& to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    if (::link(from.c_str(), to.c_str()) != 0)
        return errno;
    ::unlink(from.c_str());
    return 0;
}

}  // namespace

Status writeFileAtomically(const std::string& path, std::string_view content)
{
    const std::string folder = folderOf(path);
    auto temporary = TemporaryFile::create(folder);
    if (!temporary)
        return Unexpected(temporary.failure());

    // Replacing a file keeps who may read it, but never carries a setuid, setgid or sticky
    // bit, and a link in its place is neither followed nor copied: the rename replaces the
    // link itself.
    struct stat existing {};
    if (::lstat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode))
        (void)::fchmod(temporary->fd(), existing.st_mode & 0777);

    if (Status filled = temporary->fill(content, path); !filled)
        return filled;
    if (::rename(temporary->path().c_str(), path.c_str()) != 0)
        return failure("cannot replace " + path, errno);
    temporary->renamed();
    syncFolder(folder);
    return ok();
}

Expected<std::string> writeNewFile(const std::string& folder, std::string_view content,
                                   const std::function<std::string()>& nextName)
{
    auto temporary = TemporaryFile::create(folder);
    if (!temporary)
        return Unexpected(temporary.failure());
    std::string target = inFolder(folder, nextName());
    if (Status filled = temporary->fill(content, target); !filled)
        return Unexpected(filled.failure());
    // Another writer may take a name between our choosing it and the rename: the rename
    // refuses then, and the next name is tried.
    for (int attempt = 0;; ++attempt) {
        const int error = renameWithoutReplacing(temporary->path(), target);
        if (error == 0)
            break;
        if (error != EEXIST || attempt >= kMaxNameAttempts)
            return failure("cannot write " + target, error);
        target = inFolder(folder, nextName());
    }
    temporary->renamed();
    syncFolder(folder);
    return target;
}

}  // namespace vellinor::platform
