#pragma once

// Whether a path can be handed to the probe tool at all, and why not, in a few words.

#include <string>

namespace vellinor::platform {

// What is wrong with a path before anything reads it.
struct AccessProblem {
    enum class Kind {
        none,        // a regular file that opens for reading
        missing,     // nothing there: no such file, a dangling or looping link, a bad folder
        unreadable,  // something there that cannot be read as a file: a folder, a FIFO, no access
    };
    Kind kind = Kind::none;
    std::string reason;  // "no such file", "is a directory", "permission denied", ...; empty: none
};

// Checks `path` by its attributes and one open for reading (non-blocking, so a FIFO or a device
// is never waited on: they are "not a regular file" before that).
AccessProblem accessProblem(const std::string& path);

// An errno value as a short lower-case reason: ENOENT "no such file", EACCES "permission
// denied", ENOTDIR "not a directory on the way to it", ELOOP "too many levels of symbolic
// links", ENAMETOOLONG "name too long", others the system's text with a lower-case start.
std::string errnoReason(int error);

}  // namespace vellinor::platform
