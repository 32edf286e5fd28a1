#pragma once

// The record of one file as `vellinor-cli --record` prints it: the machine-readable face of a
// FileProbe. Its keys are a contract with scripts (README, "Record format"): add keys, never
// rename or drop them.
//
//   {"path": "clips/a.mkv", "fileName": "a.mkv", "fileSize": 1234, ..., "tracksInfo": [...],
//    "overview": [{"fieldKey1": "File Size: ", "fieldValue1": "1.2 KB", ...}, ...],
//    "problem": null}

#include <string>
#include <string_view>

#include "json/json.h"
#include "probe/file_probe.h"

namespace vellinor::cli {

// `path` as given on the command line; `problem` the one-line reason the file counts as failed
// (written as null when empty).
JSON probeRecord(std::string_view path, const FileProbe& probe, std::string_view problem);

// Writes a JSON array one element at a time, so a long batch streams: the text as a whole is
// what the core's pretty writer gives for the array of all elements.
class RecordArrayWriter {
public:
    RecordArrayWriter();
    // The opening "[".
    [[nodiscard]] std::string begin() const;
    // One element, given as the pretty text the core's writer made of it (rawString), with the
    // separator it needs.
    [[nodiscard]] std::string element(std::string_view elementText);
    // The closing "]" and a line break.
    [[nodiscard]] std::string end() const;

private:
    std::string m_indent;
    bool m_empty = true;
};

}  // namespace vellinor::cli
