#pragma once

// Writing a whole file so that nobody ever sees a part of it: the saved report of the window and
// the reports `vellinor-cli --export` writes both go through here.

#include <string>
#include <string_view>

#include "platform/expected.h"

namespace vellinor::platform {

// Writes all of `text` to file descriptor `fd`, retrying short writes and interruptions.
// Returns false (errno set) when the descriptor refuses more bytes.
bool writeAll(int fd, std::string_view text);

// Writes `content` to `path` atomically: a hidden temporary file in the same folder is written,
// flushed to disk and renamed over `path`, so readers see the old file or the new one, never a
// part, and a failed write leaves whatever was at `path` as it was (and no temporary file). An
// existing file's permission bits are kept. The reason on failure ("cannot write
// /x/clip.json: No space left on device").
Status writeFileAtomically(const std::string& path, std::string_view content);

}  // namespace vellinor::platform
