#pragma once

// Turns the command line's PATH arguments into the list of files to probe.

#include <string>
#include <vector>

namespace vellinor::cli {

struct InputFile {
    std::string path;     // as given, or the folder given joined with the found file's place
    std::string problem;  // why it cannot be probed at all ("no such file", ...); empty if none
};

// One entry per PATH, in argument order. With `recursive`, a folder stands for every regular
// file under it (symbolic links to files included; links to folders are not followed, so no
// walk can loop), sorted by the byte order of their paths; a folder that cannot be read is one
// entry with its problem. Without `recursive`, a folder is an entry with problem
// "is a directory".
std::vector<InputFile> collectInputFiles(const std::vector<std::string>& paths, bool recursive);

}  // namespace vellinor::cli
