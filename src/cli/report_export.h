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

}  // namespace vellinor::cli
