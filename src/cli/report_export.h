#pragma once

// `--export DIR`: each file's probe document written as DIR/<name without extension>.json.

#include <set>
#include <string>
#include <string_view>

namespace vellinor::cli {

// Hands out report names for one run: "clip.json" for clip.mkv, and when a sibling already
// took that name in this run, "clip-2.json", "clip-3.json", ... (a name is never given twice;
// files that were in the folder before the run are replaced, not avoided).
class ExportNames {
public:
    std::string take(std::string_view fileName);

private:
    std::set<std::string, std::less<>> m_taken;
};

// Writes `content` to `folder`/`name` atomically: a temporary file in the same folder is
// written, flushed to disk and renamed over the name, so readers see the old file or the new
// one, never a part. Returns the reason on failure (and leaves no temporary file behind).
std::string writeFileAtomically(const std::string& folder, const std::string& name,
                                std::string_view content);

}  // namespace vellinor::cli
