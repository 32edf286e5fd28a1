#pragma once

// Writing a whole file so that nobody ever sees a part of it: the saved report of the window and
// the reports `vellinor-cli --export` writes both go through here.

#include <functional>
#include <string>
#include <string_view>

#include "base/expected.h"

namespace vellinor::platform {

// Writes `content` to `path` atomically: a hidden temporary file with a short name in the same
// folder is written, flushed to disk and renamed over `path`, so readers see the old file or
// the new one, never a part, and a failed write leaves whatever was at `path` as it was (and no
// temporary file). An existing regular file's read, write and execute bits are kept (never
// setuid, setgid or sticky); a link at `path` is replaced, never followed. The reason on
// failure ("cannot write /x/clip.json: No space left on device").
Status writeFileAtomically(const std::string& path, std::string_view content);

// How many names writeNewFile tries after the first before it gives up.
inline constexpr int kMaxNameAttempts = 10'000;

// Writes `content` as a new file in `folder` under the first name `nextName` gives that nothing
// in the folder holds yet, written and flushed first, then taken atomically (a rename that never
// replaces), so two writers at once can never land on one name: the loser takes the next name.
// Returns the path written.
Expected<std::string> writeNewFile(const std::string& folder, std::string_view content,
                                   const std::function<std::string()>& nextName);

}  // namespace vellinor::platform
