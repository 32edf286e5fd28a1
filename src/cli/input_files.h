#pragma once

// Turns the command line's PATH arguments into the list of files to probe.

#include <string>
#include <vector>

#include "base/expected.h"

namespace vellinor::cli {

struct InputFile {
    std::string path;      // as given, or the folder given joined with the found file's place
    Status listed = ok();  // a folder met on a walk that could not be listed, and why
};

// Whether the batch can read `input`: what the walk found wrong with its entry, else whether
// it is a regular file that opens ("no such file", "is a directory", "permission denied", ...).
Status checkInput(const InputFile& input);

// One entry per PATH, in argument order. With `recursive`, a folder stands for every regular
// file under it (symbolic links to files included; links to folders are not followed, so no
// walk can loop), sorted by the byte order of their paths; a folder that cannot be read is one
// entry that failed to be listed. Without `recursive`, a folder is an entry, which
// checkInput() finds "is a directory".
std::vector<InputFile> collectInputFiles(const std::vector<std::string>& paths, bool recursive);

}  // namespace vellinor::cli
