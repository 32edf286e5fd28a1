// AppDelegate: saving the probe report of the selected file, and the alerts that follow.

#include <memory>
#include <optional>

#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include "app/desktop/desktop_services.h"
#include "app/report/report_file.h"
#include "app/widgets/array_controller.h"
#include "app/widgets/file_name.h"
#include "app/window/app_delegate.h"
#include "app/window/contact.h"
#include "app/window/table_rows.h"
#include "base/diagnostics.h"
#include "probe/verdict.h"

namespace vellinor {

namespace {

// The URL of the first selected file-list entry, when there is one and it is a file entry.
std::optional<QUrl> selectedFileUrl(const ArrayController* fileList)
{
    if (fileList == nullptr)
        return std::nullopt;
    const QList<QVariantMap> selected = fileList->selectedObjects();
    if (selected.isEmpty())
        return std::nullopt;
    const QVariant url = selected.first().value(keys::fileURL);
    if (url.metaType().id() != QMetaType::QUrl)
        return std::nullopt;
    return url.toUrl();
}

QString quoted(const QString& name)
{
    return u'\u201c' + name + u'\u201d';
}

// Answers of the success alert, in the order of its buttons.
enum SavedAlertButton { savedOk = 0, savedShowFile = 1, savedOpenFile = 2 };

}  // namespace

void AppDelegate::saveBTNClicked()
{
    SaveDialogRequest request;
    request.nameFilter = QStringLiteral("JSON (*.json)");
    request.defaultSuffix = QStringLiteral("json");
    if (const auto url = selectedFileUrl(fileListArrayController.data()))
        request.suggestedName = suggestedReportName(fileNameOf(*url));
    m_dialogs->runSaveDialog(window, request, this,
                             [this](const QString& path) { saveReportTo(path); });
}

void AppDelegate::saveReportTo(const QString& chosenPath)
{
    if (chosenPath.isEmpty())
        return;
    // The selection is read again: it may have changed while the dialog was open.
    const auto url = selectedFileUrl(fileListArrayController.data());
    if (!url || !url->isLocalFile())
        return;
    const QString mediaPath = url->toLocalFile();
    const QString path = reportPath(chosenPath);

    // The probe and the write run off the UI thread; the alerts follow on it.
    struct Outcome {
        std::optional<QByteArray> text;
        QString missingReason;
        std::optional<QString> writeError;
    };
    auto outcome = std::make_shared<Outcome>();
    const ProbeOptions options = m_probeOptions;
    m_prober.runInBackground(
        [outcome, options, mediaPath, path] {
            const std::string probedPath = QFile::encodeName(mediaPath).toStdString();
            const FileProbe probe(probedPath, options);
            outcome->text = reportText(probe);
            if (!outcome->text) {
                const FileVerdict verdict = fileVerdict(probedPath, probe);
                outcome->missingReason =
                    verdict.isGood()
                        ? QStringLiteral("Its probe document could not be written as JSON.")
                        : QString::fromStdString(verdict.message);
                return;
            }
            if (const Status written = writeFileSafely(path, *outcome->text); !written)
                outcome->writeError = QString::fromStdString(written.error());
        },
        [this, outcome, path, fileName = fileNameOf(*url)] {
            reportSaved(path, fileName, outcome->text.has_value(), outcome->missingReason,
                        outcome->writeError);
        });
}

void AppDelegate::reportSaved(const QString& path, const QString& mediaName, bool probed,
                              const QString& missingReason,
                              const std::optional<QString>& writeError)
{
    if (!probed) {
        // Nothing to save: saying so beats writing a placeholder into a .json file.
        showWarning(quoted(mediaName) + QStringLiteral(" could not be probed, so no report "
                                                       "was saved."),
                    missingReason);
        return;
    }
    if (writeError) {
        const QString line =
            QStringLiteral("Could not save ") + path + QStringLiteral(": ") + *writeError;
        diagnostics::emitLine(line.toStdString());
        showWarning(quoted(fileNameOf(path)) + QStringLiteral(" could not be saved."),
                    *writeError + QStringLiteral("\nAny file already there is unchanged."));
        return;
    }
    if (!QFileInfo::exists(path))
        return;

    AlertRequest saved;
    saved.icon = QMessageBox::Information;
    saved.messageText = fileNameOf(path) + QStringLiteral("\ncreated Successfully!");
    saved.informativeText = QStringLiteral("Questions? : ") + contact::supportAddress();
    // This desktop's names for the file manager and the text editor.
    saved.buttons = {QStringLiteral("OK"), QStringLiteral("Show in File Manager"),
                     QStringLiteral("Open in Text Editor")};
    m_dialogs->runAlert(window, saved, this, [this, path](int button) {
        const QString name = quoted(fileNameOf(path));
        switch (button) {
            case savedShowFile:
                if (const Status shown = m_desktopServices.revealFile(path); !shown)
                    showWarning(name + QStringLiteral(" could not be shown in the file manager."),
                                QString::fromStdString(shown.error()));
                break;
            case savedOpenFile:
                if (const Status opened = m_desktopServices.openInTextEditor(path); !opened)
                    showWarning(name + QStringLiteral(" could not be opened in a text editor."),
                                QString::fromStdString(opened.error()));
                break;
            default:
                break;
        }
    });
}

void AppDelegate::showWarning(const QString& message, const QString& details)
{
    m_dialogs->runAlert(window, warningAlert(message, details), this, [](int) {});
}

}  // namespace vellinor
