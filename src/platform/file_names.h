#pragma once

// Names derived from a path, the same for the window and the command line: the file name a
// record and the file list show, the extension the validity test reads, and the name a saved
// report gets.

#include <string>
#include <string_view>

namespace vellinor::platform {

// The last component as a file URL names it: trailing slashes do not count, "/" is itself, an
// empty path gives an empty name. "clips/a.mkv" gives "a.mkv".
std::string fileNameOfPath(std::string_view path);

// The extension of the path's file name, lower-cased; none for ".profile", "name." or "name".
std::string lowerCasedExtension(std::string_view path);

// The name a report of `fileName` is saved under, before ".json": the name without its last
// extension ("clip.final.mkv" gives "clip.final"); a name that is all extension (".hidden") or
// has none stays whole.
std::string reportBaseName(std::string_view fileName);

// `path` as a report path: unchanged when its name ends in ".json" (any letter case), else with
// ".json" added (a report named clip.txt is saved as clip.txt.json).
std::string withReportExtension(std::string_view path);

}  // namespace vellinor::platform
