#pragma once

// The verdict on one file: whether it was probed and is media, and if not, why, decided once
// here for both faces. The command line prints `problem` after the path on standard error and
// keeps it in the record; the window shows `message` in a line under the overview.

#include <string>

#include "probe/file_probe.h"

namespace vellinor {

struct FileVerdict {
    enum class Kind {
        good,        // probed, and media
        missing,     // no such file (a dangling link, a path through a file, ...)
        unreadable,  // a folder, a FIFO or device, no permission
        empty,       // zero bytes: never handed to the tool
        notMedia,    // the tool found no streams, gave no document, or the name ends in .txt
        toolError,   // the tool's document holds an "error" object
        toolFailed,  // the tool's run failed: timed out, crashed, flooded, could not start
        endsEarly,   // shorter than its header or its tracks say: cut short
    };
    Kind kind = Kind::good;
    // A few lower-case words: "no such file", "empty file", "not a media file", "the probe tool
    // could not read it: Invalid data found when processing input", "the probe tool timed out
    // after 60 s". Empty when good.
    std::string problem;
    // One sentence for a person looking at the file: "Could not read this file: Invalid data
    // found when processing input", "This file is empty.". Empty when good.
    std::string message;

    [[nodiscard]] bool isGood() const { return kind == Kind::good; }
};

// Why `path` cannot be probed at all (missing, a folder, a FIFO, no permission); good when it is
// a regular file that opens for reading. Reads the file's attributes only.
FileVerdict accessVerdict(const std::string& path);

// The verdict on `probe`, the record made for `path`. First match wins: the tool run's own
// problem, then (for a record with errors) what is wrong with the path, an empty file, a file
// shorter than its header says, the tool's error text; then a record that is not media; then a
// file that ends early (its streams and facts are all there to show, as far as they could be
// read): first by its header's size, then by its tracks' sizes.
FileVerdict fileVerdict(const std::string& path, const FileProbe& probe);

}  // namespace vellinor
