#pragma once

// The saved report of a probed file: its probe document as pretty-printed UTF-8 JSON. The
// naming and writing rules live in the core (platform/file_names.h, platform/atomic_write.h);
// these are their Qt faces.

#include <optional>

#include <QByteArray>
#include <QString>

#include "base/expected.h"
#include "probe/file_probe.h"

namespace vellinor {

// The name the save dialog proposes for the report of `fileName` (clip.final.mkv gives
// clip.final).
QString suggestedReportName(const QString& fileName);

// `path` ending in ".json": the path as it is when it does, else with ".json" added.
QString reportPath(const QString& path);

// The report text: the probe document, pretty-printed, UTF-8. Nothing when the probe has no
// document (an empty file, one the tool could not read, or a tool that did not run) or when
// the document cannot be written as JSON.
std::optional<QByteArray> reportText(const FileProbe& probe);

// Writes `bytes` to `path` atomically, so an interrupted or failed save leaves whatever was at
// `path` as it was.
Status writeFileSafely(const QString& path, const QByteArray& bytes);

}  // namespace vellinor
