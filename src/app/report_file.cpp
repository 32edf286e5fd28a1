#include "app/report_file.h"

#include <QFileInfo>
#include <QSaveFile>

namespace vellinor {

QString suggestedReportName(const QString& fileName)
{
    const QString name = QFileInfo(fileName).fileName();
    const QString withoutExtension = QFileInfo(name).completeBaseName();
    return withoutExtension.isEmpty() ? name : withoutExtension;
}

QString reportPath(const QString& path)
{
    if (QFileInfo(path).suffix().compare(QStringLiteral("json"), Qt::CaseInsensitive) == 0)
        return path;
    return path + QStringLiteral(".json");
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

QString missingReportReason(const FileProbe& probe)
{
    if (!probe.toolProblem.empty()) {
        // "the probe tool timed out after 60 s" reads as a sentence once capitalised.
        QString problem = QString::fromStdString(probe.toolProblem);
        problem[0] = problem[0].toUpper();
        return problem + u'.';
    }
    if (!probe.fileSize)
        return QStringLiteral("The file could not be read.");
    if (*probe.fileSize == 0)
        return QStringLiteral("The file is empty.");
    if (probe.json)
        return QStringLiteral("Its probe document could not be written as JSON.");
    return QStringLiteral("The probe tool could not read it as a media file.");
}

std::optional<QString> writeFileSafely(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    // The explicit flush matters: QSaveFile (Qt 6.4) renames the temporary file into place
    // even when flushing its buffer in commit() failed, e.g. on a full disk.
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const QString error = file.errorString();
        file.cancelWriting();
        return error;
    }
    if (!file.commit())
        return file.errorString();
    return std::nullopt;
}

}  // namespace vellinor
