#include "probe/tool_arguments.h"

#include <filesystem>
#include <system_error>
#include <utility>

namespace vellinor {

std::string toolFilePath(const std::string& path)
{
    // ffprobe takes "-name" for an option and "name:rest" for a protocol; an absolute path is
    // neither.
    if (path.empty() || path.front() == '/')
        return path;
    std::error_code error;
    auto absolute = std::filesystem::absolute(std::filesystem::path(path), error);
    return error || absolute.empty() ? "./" + path : absolute.string();
}

std::vector<std::string> probeToolArguments(const std::string& path)
{
    return {"-v",
            "quiet",
            "-print_format",
            "json",
            "-show_format",
            "-show_streams",
            "-show_chapters",
            "-show_error",
            toolFilePath(path)};
}

}  // namespace vellinor
