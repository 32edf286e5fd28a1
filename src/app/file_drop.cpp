#include "app/file_drop.h"

#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>

#include "app/notification_center.h"

namespace vellinor::fileDrop {

void acceptDrag(QDragMoveEvent* event)
{
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

std::optional<QList<QUrl>> droppedFiles(const QMimeData* mimeData)
{
    if (mimeData == nullptr || !mimeData->hasUrls() ||
        mimeData->hasFormat(QString::fromLatin1(ownDragFormat)))
        return std::nullopt;
    bool anyLocal = false;
    QList<QUrl> files;
    for (const QUrl& url : mimeData->urls()) {
        if (!url.isLocalFile())
            continue;
        anyLocal = true;
        // Folders are not descended into; a path that cannot be read is left out too.
        const QFileInfo info(url.toLocalFile());
        if (info.exists() && !info.isDir())
            files.append(url);
    }
    if (!anyLocal)
        return std::nullopt;
    return files;
}

bool performDrop(QDropEvent* event)
{
    const std::optional<QList<QUrl>> files = droppedFiles(event->mimeData());
    if (!files) {
        event->ignore();
        return false;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    NotificationCenter::defaultCenter().post(
        filesAddedByDragAndDropNotification, nullptr,
        {{filesAddedByDragAndDropKey, QVariant::fromValue(*files)}});
    return true;
}

}  // namespace vellinor::fileDrop
