#include "app/widgets/file_name.h"

#include <QFile>

#include "platform/file_names.h"

namespace vellinor {

QString fileNameOf(const QString& path)
{
    return QFile::decodeName(
        QByteArray::fromStdString(platform::fileNameOfPath(QFile::encodeName(path).toStdString())));
}

QString fileNameOf(const QUrl& url)
{
    return fileNameOf(url.isLocalFile() ? url.toLocalFile() : url.path(QUrl::FullyDecoded));
}

}  // namespace vellinor
