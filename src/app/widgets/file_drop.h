#pragma once

// The drop behaviour the window's three drop views share: accept every drag that enters, and on
// the drop announce the dropped files with "FilesAddedByDragAndDrop" (the folders apart, under a
// key of their own, for the folder intake to search). The
// views know nothing of the file list; the application adds what is announced.

#include <optional>

#include <QList>
#include <QUrl>

class QDragMoveEvent;
class QDropEvent;
class QMimeData;

namespace vellinor::fileDrop {

// A format that drags starting in this window carry (a picture dragged out of the poster): such
// a drag dropped back on the window adds nothing.
inline constexpr char ownDragFormat[] = "application/x-vellinor-own-drag";

// Offers the copy action, whatever is dragged (a drag the drop will refuse included).
void acceptDrag(QDragMoveEvent* event);

// The dropped files in the drag's order: local file URLs whose path exists and is not a folder.
// Nothing when the drag carries no local file URL at all (a web link, plain text), or when it
// started in this window.
std::optional<QList<QUrl>> droppedFiles(const QMimeData* mimeData);
// The dropped folders in the drag's order (local URLs whose path is a folder).
QList<QUrl> droppedFolders(const QMimeData* mimeData);

// Posts the announcement (also with an empty list, e.g. when only a folder was dropped) and
// accepts the drop; refuses a drop without local files, posting nothing. Returns whether the
// announcement was posted.
bool performDrop(QDropEvent* event);

}  // namespace vellinor::fileDrop
