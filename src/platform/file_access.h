#pragma once

// Whether a path can be handed to the probe tool at all, and why not, in a few words.

#include <string>

#include "base/expected.h"

namespace vellinor::platform {

// Whether `path` is a regular file that opens for reading, by its attributes and one open
// (non-blocking, so a FIFO or a device is never waited on: they are "not a regular file"
// before that). Fails with a reason of a few words ("no such file", "is a directory",
// "permission denied", ...), of kind notFound when nothing is there (no such file, a dangling
// or looping link, a bad folder on the way) and refused for something there that cannot be
// read as a file (a folder, a FIFO, no access).
Status checkReadable(const std::string& path);

// An errno value as a short lower-case reason: ENOENT "no such file", EACCES "permission
// denied", ENOTDIR "not a directory on the way to it", ELOOP "too many levels of symbolic
// links", ENAMETOOLONG "name too long", others the system's text with a lower-case start.
std::string errnoReason(int error);

}  // namespace vellinor::platform
