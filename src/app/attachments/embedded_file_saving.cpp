#include "app/attachments/embedded_file_saving.h"

#include <memory>
#include <utility>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>

#include "app/widgets/dialog_runner.h"
#include "app/widgets/file_drop.h"
#include "app/widgets/file_name.h"
#include "base/diagnostics.h"
#include "platform/atomic_write.h"
#include "probe/attachment_extraction.h"
#include "probe/attachment_names.h"

namespace vellinor {
namespace {

std::string localPath(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

QString fromLocal(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

QString quoted(const QString& name)
{
    return u'\u201c' + name + u'\u201d';
}

void warn(const SavePlace& place, const QString& message, const QString& details)
{
    diagnostics::emitLine(QString(message + u' ' + details).toStdString());
    place.dialogs.runAlert(place.window, warningAlert(message, details), place.context, [](int) {});
}

// The save dialog's only filter: the proposed name's extension ("JPG (*.jpg)"), or every file
// for a name without one.
SaveDialogRequest saveRequestFor(const QString& fileName)
{
    SaveDialogRequest request;
    request.suggestedName = fileName;
    const QString extension = QFileInfo(fileName).suffix();
    if (extension.isEmpty() || fileName.startsWith(u'.')) {
        request.nameFilter = QStringLiteral("All Files (*)");
    } else {
        request.nameFilter = extension.toUpper() + QStringLiteral(" (*.") + extension + u')';
        request.defaultSuffix = extension;
    }
    return request;
}

// A fresh folder for each drag, so the dragged copy has exactly the proposed name.
std::optional<QString> newDragFolder()
{
    static QTemporaryDir root(QDir::tempPath() + QStringLiteral("/vellinor-drag-XXXXXX"));
    static int count = 0;
    if (!root.isValid())
        return std::nullopt;
    const QString name = QString::number(++count);
    if (!QDir(root.path()).mkdir(name))
        return std::nullopt;
    return root.filePath(name);
}

}  // namespace

QString embeddedFileProposedName(const EmbeddedFile& file, const QString& mediaPath, int number)
{
    return fromLocal(embeddedFileName(file, localPath(fileNameOf(mediaPath)), number));
}

void saveEmbeddedFile(const SavePlace& place, EmbeddedFile file, const QString& fileName)
{
    auto shared = std::make_shared<EmbeddedFile>(std::move(file));
    place.dialogs.runSaveDialog(
        place.window, saveRequestFor(fileName), place.context,
        [place, shared](const QString& path) {
            if (path.isEmpty())
                return;
            if (Status written = platform::writeFileAtomically(localPath(path), shared->bytes);
                !written)
                warn(place, quoted(fileNameOf(path)) + QStringLiteral(" could not be saved."),
                     QString::fromStdString(written.error()) +
                         QStringLiteral("\nAny file already there is unchanged."));
        });
}

void saveEmbeddedFiles(const SavePlace& place, std::vector<EmbeddedFile> files,
                       const QString& mediaPath)
{
    if (files.empty())
        return;
    auto shared = std::make_shared<std::vector<EmbeddedFile>>(std::move(files));
    place.dialogs.runFolderDialog(
        place.window, QStringLiteral("Save All Pictures and Attachments"), place.context,
        [place, shared, mediaPath](const QString& folder) {
            if (folder.isEmpty())
                return;
            EmbeddedFileWriter writer(localPath(folder));
            QStringList problems;
            int number = 0;
            for (const EmbeddedFile& file : *shared) {
                const QString name = embeddedFileProposedName(file, mediaPath, ++number);
                if (auto written = writer.write(file, localPath(name)); !written)
                    problems.append(QString::fromStdString(written.error()));
            }
            if (!problems.isEmpty())
                warn(place,
                     QString::number(problems.size()) + QStringLiteral(" of ") +
                         QString::number(shared->size()) +
                         QStringLiteral(" files could not be saved."),
                     problems.join(u'\n'));
        });
}

QMimeData* embeddedFileDragData(const EmbeddedFile& file, const QString& fileName)
{
    const std::optional<QString> folder = newDragFolder();
    if (!folder)
        return nullptr;
    EmbeddedFileWriter writer(localPath(*folder));
    const auto written = writer.write(file, localPath(fileName));
    if (!written)
        return nullptr;

    auto* data = new QMimeData;
    data->setUrls({QUrl::fromLocalFile(fromLocal(*written))});
    data->setData(QString::fromLatin1(fileDrop::ownDragFormat), QByteArrayLiteral("1"));
    if (!file.mimeType.empty() && file.mimeType.find('/') != std::string::npos)
        data->setData(QString::fromStdString(file.mimeType), QByteArray::fromStdString(file.bytes));
    if (file.isPicture) {
        QImage image;
        if (image.loadFromData(QByteArray::fromStdString(file.bytes)))
            data->setImageData(image);
    }
    return data;
}

}  // namespace vellinor
