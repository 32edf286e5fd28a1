#pragma once

// Writing embedded pictures and attachments out as files of their own.

#include <string>
#include <string_view>

#include "base/expected.h"
#include "probe/attachment_names.h"

namespace vellinor {

struct EmbeddedFile;

// Writes embedded files into one folder. Each gets a safe name (see safeFileName), unique
// among those this writer gave out and never the name of anything already in the folder, so
// no file is replaced and no link there is followed; each is written atomically.
class EmbeddedFileWriter {
public:
    explicit EmbeddedFileWriter(std::string folder);
    EmbeddedFileWriter(const EmbeddedFileWriter&) = delete;
    EmbeddedFileWriter& operator=(const EmbeddedFileWriter&) = delete;

    // Writes `file` under `name` made safe and unique (embeddedFileName gives the usual one);
    // the path written, or the reason it could not be.
    Expected<std::string> write(const EmbeddedFile& file, std::string_view name);

private:
    std::string m_folder;
    UniqueFileNames m_names;
};

// `folder`, made with its parents when missing (for --export and --extract-attachments); the
// reason when it cannot be had ("not a directory", "cannot make the folder: permission denied").
Status prepareFolder(const std::string& folder);

}  // namespace vellinor
