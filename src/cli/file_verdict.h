#pragma once

// Whether a probed file counts as a success, and if not, why, in a few words for a person.

#include <string>

#include "probe/file_probe.h"

namespace vellinor::cli {

// Empty when the file was probed and is valid media. Otherwise, first match wins: the tool
// run's own problem ("the probe tool timed out after 60 s"), "empty file", "the probe tool
// could not read it", "not a media file".
std::string fileProblem(const FileProbe& probe);

}  // namespace vellinor::cli
