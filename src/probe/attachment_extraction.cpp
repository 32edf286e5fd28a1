#include "probe/attachment_extraction.h"

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <system_error>
#include <utility>

#include "platform/atomic_write.h"
#include "platform/file_access.h"
#include "probe/embedded_artwork.h"

namespace vellinor {
namespace {

std::string joined(const std::string& folder, const std::string& name)
{
    return (std::filesystem::path(folder) / name).string();
}

// Anything at all under that name, a dangling link included; an entry that cannot be checked
// counts as there.
bool folderHolds(const std::string& folder, const std::string& name)
{
    struct stat info {};
    return ::lstat(joined(folder, name).c_str(), &info) == 0 || errno != ENOENT;
}

}  // namespace

EmbeddedFileWriter::EmbeddedFileWriter(std::string folder)
    : m_folder(std::move(folder))
    , m_names([this](const std::string& name) { return folderHolds(m_folder, name); })
{
}

Expected<std::string> EmbeddedFileWriter::write(const EmbeddedFile& file, std::string_view name)
{
    // Made safe here too, so that no caller can lead a write out of the folder. The check that
    // the folder does not hold a name only saves a try: the name is taken atomically, and a
    // writer that got there first sends us on to the next one.
    const std::string safe = safeFileName(name);
    return platform::writeNewFile(m_folder, file.bytes, [&] { return m_names.take(safe); });
}

Status prepareFolder(const std::string& folder)
{
    std::error_code error;
    if (std::filesystem::is_directory(folder, error))
        return ok();
    if (std::filesystem::exists(std::filesystem::symlink_status(folder, error)))
        return Unexpected("not a directory");
    std::filesystem::create_directories(folder, error);
    if (error)
        return Unexpected("cannot make the folder: " + platform::errnoReason(error.value()));
    return ok();
}

}  // namespace vellinor
