#pragma once

// What the probe tool is given for a file: the path it is handed and ffprobe's nine arguments.

#include <string>
#include <vector>

namespace vellinor {

// `path` as handed to any of the tool's modes. A relative path is made absolute (lexically:
// symbolic links stay as they are), so a name starting with "-" or holding "name:" reaches the
// tool as a file, never as an option or a protocol.
std::string toolFilePath(const std::string& path);

// "-v", "quiet", "-print_format", "json", "-show_format", "-show_streams", "-show_chapters",
// "-show_error", then toolFilePath(path).
std::vector<std::string> probeToolArguments(const std::string& path);

}  // namespace vellinor
