#include "platform/file_access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vellinor::platform {
namespace {

bool meansMissing(int error)
{
    return error == ENOENT || error == ENOTDIR || error == ELOOP || error == ENAMETOOLONG;
}

Unexpected fromErrno(int error)
{
    return {meansMissing(error) ? ErrorKind::notFound : ErrorKind::refused, errnoReason(error)};
}

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

Status checkReadable(const std::string& path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return fromErrno(errno);
    if (S_ISDIR(info.st_mode))
        return Unexpected(ErrorKind::refused, "is a directory");
    if (!S_ISREG(info.st_mode))
        return Unexpected(ErrorKind::refused, "not a regular file");
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return fromErrno(errno);
    ::close(fd);
    return ok();
}

}  // namespace vellinor::platform
