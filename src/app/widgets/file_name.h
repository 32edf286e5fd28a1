#pragma once

// The core's file-name rule (platform/file_names.h) for Qt's paths and file URLs, so every
// window names a file as the file list, the records and the command line do.

#include <QString>
#include <QUrl>

namespace vellinor {

// "clips/a.mkv" gives "a.mkv"; trailing slashes do not count.
QString fileNameOf(const QString& path);
// The name of the file a URL points at (its path's last component).
QString fileNameOf(const QUrl& url);

}  // namespace vellinor
