#include "app/widgets/file_drop.h"

#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>

#include "app/widgets/notification_center.h"

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

QList<QUrl> droppedFolders(const QMimeData* mimeData)
{
    QList<QUrl> folders;
    if (!droppedFiles(mimeData))
        return folders;
    for (const QUrl& url : mimeData->urls()) {
        if (url.isLocalFile() && QFileInfo(url.toLocalFile()).isDir())
            folders.append(url);
    }
    return folders;
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
        {{filesAddedByDragAndDropKey, QVariant::fromValue(*files)},
         {foldersAddedByDragAndDropKey, QVariant::fromValue(droppedFolders(event->mimeData()))}});
    return true;
}

}  // namespace vellinor::fileDrop
