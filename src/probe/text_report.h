#pragma once

// The text report of one probed file: what the window shows, as a person reads it on a
// terminal: the file name, the overview's five rows of paired facts, and the tracks table (the
// "Metadata" row first), with each track's detail rows underneath when asked for. vellinor-cli
// prints it; the window's "Copy Report" puts it (with details, without colour) on the clipboard.

#include <string>

#include "probe/file_probe.h"

namespace vellinor {

struct TextReportOptions {
    bool details = false;   // each track's key/value rows under its row
    bool useColor = false;  // Yes/No in green/red
    bool facts = false;     // each track's summary and facts by group, after the tracks table
};

// The report, ending with a line break. `fallbackName` is shown when the probe has no name.
std::string textReport(const FileProbe& probe, const std::string& fallbackName,
                       const TextReportOptions& options);

}  // namespace vellinor
