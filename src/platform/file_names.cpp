#include "platform/file_names.h"

#include "base/ascii.h"

namespace vellinor::platform {
std::string fileNameOfPath(std::string_view path)
{
    const auto end = path.find_last_not_of('/');
    if (end == std::string_view::npos)
        return path.empty() ? std::string() : std::string("/");
    const auto slash = path.find_last_of('/', end);
    const auto start = slash == std::string_view::npos ? 0 : slash + 1;
    return std::string(path.substr(start, end + 1 - start));
}

std::string lowerCasedExtension(std::string_view path)
{
    const std::string name = fileNameOfPath(path);
    const auto dot = name.find_last_of('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == name.size())
        return {};
    return asciiLowered(std::string_view(name).substr(dot + 1));
}

}  // namespace vellinor::platform
