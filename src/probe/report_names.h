#pragma once

// The name a saved report gets, the same for the window and the command line.

#include <string>
#include <string_view>

namespace vellinor {

// The name a report of `fileName` is saved under, before ".json": the name without its last
// extension ("clip.final.mkv" gives "clip.final"); a name that is all extension (".hidden") or
// has none stays whole.
std::string reportBaseName(std::string_view fileName);

// `path` as a report path: unchanged when its name ends in ".json" (any letter case), else with
// ".json" added (a report named clip.txt is saved as clip.txt.json).
std::string withReportExtension(std::string_view path);

}  // namespace vellinor
