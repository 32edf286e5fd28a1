#pragma once

// Names derived from a path, the same for the window and the command line: the file name a
// record and the file list show, and the extension the validity test reads.

#include <string>
#include <string_view>

namespace vellinor::platform {

// The last component as a file URL names it: trailing slashes do not count, "/" is itself, an
// empty path gives an empty name. "clips/a.mkv" gives "a.mkv".
std::string fileNameOfPath(std::string_view path);

// The extension of the path's file name, lower-cased; none for ".profile", "name." or "name".
std::string lowerCasedExtension(std::string_view path);

}  // namespace vellinor::platform
