#pragma once

// The record of one file as `vellinor-cli --record` prints it: the machine-readable face of a
// FileProbe, and what policy rules read. Its keys are a contract with scripts (README, "Record
// format"): add keys, never rename or drop them.
//
//   {"path": "clips/a.mkv", "fileName": "a.mkv", "fileSize": 1234, ..., "tracksInfo": [...],
//    "overview": [{"fieldKey1": "File Size: ", "fieldValue1": "1.2 KB", ...}, ...],
//    "problem": null}

#include <string_view>

#include "json/json.h"
#include "probe/file_probe.h"

namespace vellinor {

// `path` as given on the command line; `problem` the one-line reason the file counts as failed
// (written as null when empty).
JSON probeRecord(std::string_view path, const FileProbe& probe, std::string_view problem);

}  // namespace vellinor
