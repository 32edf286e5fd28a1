#include "app/report/report_file.h"

#include <string_view>

#include <QFile>

#include "platform/atomic_write.h"
#include "platform/file_names.h"
#include "probe/report_names.h"

namespace vellinor {

QString suggestedReportName(const QString& fileName)
{
    const std::string name = platform::fileNameOfPath(QFile::encodeName(fileName).toStdString());
    return QFile::decodeName(QByteArray::fromStdString(reportBaseName(name)));
}

QString reportPath(const QString& path)
{
    return QFile::decodeName(
        QByteArray::fromStdString(withReportExtension(QFile::encodeName(path).toStdString())));
}

std::optional<QByteArray> reportText(const FileProbe& probe)
{
    if (!probe.json)
        return std::nullopt;
    const std::optional<std::string> text = probe.json->rawString("utf-8", kPrettyPrinted);
    if (!text || text->empty())
        return std::nullopt;
    return QByteArray(text->data(), static_cast<qsizetype>(text->size()));
}

Status writeFileSafely(const QString& path, const QByteArray& bytes)
{
    return platform::writeFileAtomically(
        QFile::encodeName(path).toStdString(),
        std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

}  // namespace vellinor
