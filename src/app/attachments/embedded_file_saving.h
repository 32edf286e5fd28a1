#pragma once

// The window's ways out for embedded pictures and attachments: saving one where the user says,
// saving all into a folder, and dragging one out as a file.

#include <vector>

#include <QString>

#include "probe/embedded_artwork.h"

class QMimeData;
class QObject;
class QWidget;

namespace vellinor {

class DialogRunner;

// Where the questions are asked: on `window`, answered while `context` lives.
struct SavePlace {
    DialogRunner& dialogs;
    QWidget* window;
    const QObject* context;
};

// The name proposed for `file` of the media file `mediaPath`, `number` its place (from 1) among
// the file's pictures and attachments: its own name made safe, or one made from the media
// file's name.
QString embeddedFileProposedName(const EmbeddedFile& file, const QString& mediaPath, int number);

// Asks where to save `file`, proposing `fileName` with its extension as the filter, and writes
// the bytes there as stored (atomically: whatever was there stays whole if the write fails).
// A warning alert says why when it cannot be written.
void saveEmbeddedFile(const SavePlace& place, EmbeddedFile file, const QString& fileName);

// Asks for a folder and writes each of `files` into it under its proposed name, made unique;
// nothing already in the folder is replaced. A warning alert lists what could not be written.
void saveEmbeddedFiles(const SavePlace& place, std::vector<EmbeddedFile> files,
                       const QString& mediaPath);

// What a drag of `file` out of the window carries: the URL of a copy named `fileName` in a
// temporary folder (removed when the program ends), the bytes under their MIME type, and the
// picture as image data when it is one, and the mark of a drag from this window (so dropping it
// back adds nothing). Null when the copy cannot be written.
QMimeData* embeddedFileDragData(const EmbeddedFile& file, const QString& fileName);

}  // namespace vellinor
