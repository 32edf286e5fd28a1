#include "platform/bundle.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace vellinor::platform {
namespace {

namespace fs = std::filesystem;

std::optional<fs::path> overrideDirectory()
{
    const char* value = std::getenv("VELLINOR_RESOURCE_DIR");
    if (value == nullptr || *value == '\0')
        return std::nullopt;
    std::error_code error;
    if (!fs::is_directory(value, error))
        return std::nullopt;
    return fs::path(value);
}

// /proc/self/exe names the program itself with every symbolic link resolved, so a program
// started through a link still finds the share folder of its real installation.
std::optional<fs::path> besideProgram()
{
    std::error_code error;
    fs::path program = fs::read_symlink("/proc/self/exe", error);
    if (error)
        return std::nullopt;
    fs::path folder =
        (program.parent_path().parent_path() / "share" / "vellinor").lexically_normal();
    if (!fs::is_directory(folder, error))
        return std::nullopt;
    return folder;
}

}  // namespace

std::optional<std::string> resourceDirectory()
{
    if (auto folder = overrideDirectory())
        return folder->string();
    if (auto folder = besideProgram())
        return folder->string();
    return std::nullopt;
}

std::optional<std::string> resourcePath(std::string_view name)
{
    fs::path relative(name);
    if (name.empty() || relative.is_absolute())
        return std::nullopt;
    auto folder = resourceDirectory();
    if (!folder)
        return std::nullopt;
    fs::path candidate = fs::path(*folder) / relative;
    // is_regular_file follows links: the probe tool is a link to the system's ffprobe.
    std::error_code error;
    if (!fs::is_regular_file(candidate, error))
        return std::nullopt;
    return candidate.string();
}

}  // namespace vellinor::platform
