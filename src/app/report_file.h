#pragma once

// The saved report of a probed file: its probe document as pretty-printed UTF-8 JSON, written
// so that a failed save never damages a file already at the chosen place.

#include <optional>

#include <QByteArray>
#include <QString>

#include "probe/file_probe.h"

namespace vellinor {

// The name the save dialog proposes for the report of `fileName`: the name without its last
// extension (clip.final.mkv gives clip.final). A name that is all extension (".hidden") or has
// none stays whole.
QString suggestedReportName(const QString& fileName);

// `path` ending in ".json": the path as it is when it does, else with ".json" added (a report
// named clip.txt is saved as clip.txt.json).
QString reportPath(const QString& path);

// The report text: the probe document, pretty-printed, UTF-8. Nothing when the probe has no
// document (an empty file, one the tool could not read, or a tool that did not run) or when
// the document cannot be written as JSON.
std::optional<QByteArray> reportText(const FileProbe& probe);

// Why `probe` gives no report, as one sentence for the user.
QString missingReportReason(const FileProbe& probe);

// Writes `bytes` to a temporary file beside `path` and renames it over `path` once complete, so
// an interrupted or failed save leaves whatever was at `path` as it was. The error text on
// failure, nothing on success.
std::optional<QString> writeFileSafely(const QString& path, const QByteArray& bytes);

}  // namespace vellinor
