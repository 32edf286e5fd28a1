#include "app/window/app_delegate.h"
#include "app/scan/scan_panel.h"

#include <utility>

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QStringList>
#include <QWidget>

#include "app/attachments/poster_image.h"
#include "app/desktop/desktop_services.h"
#include "app/desktop/launch_count.h"
#include "app/desktop/user_defaults.h"
#include "app/widgets/array_controller.h"
#include "app/widgets/file_name.h"
#include "app/widgets/image_drop_view.h"
#include "app/widgets/notification_center.h"
#include "app/widgets/table_view.h"
#include "app/window/table_rows.h"
#include "format/utils.h"
#include "probe/overview.h"
#include "probe/text_report.h"

namespace vellinor {

namespace {

// What the label says while no file is displayed.
QString noFileText()
{
    return QStringLiteral("Add media files with Open, or drop them on this window.");
}

}  // namespace

AppDelegate::AppDelegate(DesktopServices& desktopServices, QObject* parent)
    : QObject(parent), m_desktopServices(desktopServices)
{
    connect(&m_prober, &BackgroundProbe::probed, this, &AppDelegate::displayProbedFile);
    connect(&m_prober, &BackgroundProbe::busyChanged, this, &AppDelegate::showBusyDisplay);
    connect(&m_prober, &BackgroundProbe::sizeKnown, this, &AppDelegate::showRequestedSize);
    connect(&m_prober, &BackgroundProbe::idle, this, &AppDelegate::idle);
}

AppDelegate::~AppDelegate()
{
    NotificationCenter::defaultCenter().removeObserver(this);
}

void AppDelegate::setRunningVersion(std::optional<QString> version)
{
    m_runningVersion = std::move(version);
}

void AppDelegate::setProbeOptions(ProbeOptions options)
{
    m_probeOptions = std::move(options);
    m_prober.setProbeOptions(m_probeOptions);
}

void AppDelegate::applicationDidFinishLaunching()
{
    if (userDefaults == nullptr)
        return;
    recordLaunch(*userDefaults, m_runningVersion);
    NotificationCenter& center = NotificationCenter::defaultCenter();
    center.addObserver(this, filesAddedByDragAndDropNotification, [this](const Notification& n) {
        filesAddedByDragAndDropWithNotification(n);
    });
    for (TableView* table : {fileListTableView.data(), tracksTableView.data()}) {
        if (table != nullptr)
            connect(table, &TableView::selectionDidChange, this,
                    &AppDelegate::oneOfTheTableViewsSelectionChangedWithNotification);
    }
}

void AppDelegate::applicationWillTerminate()
{
    if (userDefaults != nullptr && shouldRequestReview(userDefaults->integerForKey(launchCountKey)))
        m_desktopServices.requestReview();
}

bool AppDelegate::applicationShouldHandleReopen(bool hasVisibleWindows)
{
    QWidget* mainWindow = window.data();
    if (mainWindow == nullptr)
        return true;
    if (!hasVisibleWindows || mainWindow->isMinimized()) {
        mainWindow->showNormal();
        mainWindow->raise();
        mainWindow->activateWindow();
    } else {
        mainWindow->raise();
    }
    return true;
}

void AppDelegate::openURLs(const QList<QUrl>& urls)
{
    addEntries(urls);
}

void AppDelegate::openToolBarBTNClicked()
{
    auto* dialog = new QFileDialog(window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setFileMode(QFileDialog::ExistingFiles);
    dialog->setWindowModality(Qt::WindowModal);
    connect(dialog, &QFileDialog::accepted, this,
            [this, dialog] { addEntries(dialog->selectedUrls()); });
    dialog->open();
}

void AppDelegate::filesAddedByDragAndDropWithNotification(const Notification& notification)
{
    const QVariant files = notification.userInfo.value(filesAddedByDragAndDropKey);
    if (files.metaType() != QMetaType::fromType<QList<QUrl>>())
        return;
    addEntries(files.value<QList<QUrl>>());
}

void AppDelegate::removeMediaBTNClicked()
{
    ArrayController* files = fileListArrayController.data();
    if (files == nullptr)
        return;
    files->remove();
    // With a neighbour selected, it is displayed through the selection; with none left, the
    // removed file must not stay on display.
    if (files->selectedObjects().isEmpty())
        clearDisplay();
}

void AppDelegate::showInFinderAction()
{
    const TableView* table = fileListTableView.data();
    const ArrayController* files = fileListArrayController.data();
    if (table == nullptr || files == nullptr)
        return;
    const int row = table->clickedRow();
    const QList<QVariantMap>& entries = files->arrangedObjects();
    if (row < 0 || row >= entries.size())
        return;
    const QUrl url = entries.at(row).value(keys::fileURL).toUrl();
    if (!url.isLocalFile())
        return;
    if (const Status shown = m_desktopServices.revealFile(url.toLocalFile()); !shown)
        showWarning(QStringLiteral("\u201c") + fileNameOf(url) +
                        QStringLiteral("\u201d could not be shown in the file manager."),
                    QString::fromStdString(shown.error()));
}

void AppDelegate::oneOfTheTableViewsSelectionChangedWithNotification(const TableView* table)
{
    if (table == nullptr)
        return;
    if (table == fileListTableView.data())
        showSelectedFile();
    else if (table == tracksTableView.data())
        showSelectedTrack();
}

void AppDelegate::showSelectedFile()
{
    ArrayController* files = fileListArrayController.data();
    ArrayController* overview = overviewArrayController.data();
    ArrayController* tracks = tracksArrayController.data();
    QLabel* label = filePathLBL.data();
    ImageDropView* poster = posterIMG.data();
    if (files == nullptr || overview == nullptr || tracks == nullptr || label == nullptr ||
        poster == nullptr)
        return;
    const QList<QVariantMap> selected = files->selectedObjects();
    if (selected.isEmpty())
        return;
    const QVariantMap& entry = selected.first();
    const QVariant name = entry.value(keys::fileName);
    const QVariant url = entry.value(keys::fileURL);
    if (name.metaType().id() != QMetaType::QString || url.metaType().id() != QMetaType::QUrl)
        return;

    // The probe runs off the UI thread; until it answers, the display keeps the previous file
    // whole (and shows the wait once it lasts, see showBusyDisplay), never a mix of the two.
    m_requestedName = name.toString();
    m_requestedPath = url.toUrl().toLocalFile();
    m_requestedSize.reset();
    m_prober.request(m_requestedPath);
}

void AppDelegate::displayProbedFile(const ProbedFile& file)
{
    ArrayController* overview = overviewArrayController.data();
    ArrayController* tracks = tracksArrayController.data();
    QLabel* label = filePathLBL.data();
    ImageDropView* poster = posterIMG.data();
    if (overview == nullptr || tracks == nullptr || label == nullptr || poster == nullptr)
        return;
    label->setText(QStringLiteral("File Name: ") + m_requestedName);
    label->setToolTip(file.path);
    if (!file.poster.isNull())
        poster->setImage(file.poster);
    // Pictures the file holds but that could not be shown say so where the poster is.
    poster->setToolTip(file.posterProblems);

    overview->setContent(overviewContent(overviewRows(*file.probe)));
    // The tracks are replaced wholesale; selecting the first row (the container metadata) puts
    // the new file's details in the details table instead of leaving the previous file's.
    tracks->setContent(tracksContent(tracksTableRows(*file.probe)));
    tracks->setSelectionIndex(0);
    setVerdictLine(QString::fromStdString(file.verdict.message));

    m_displayedName = m_requestedName;
    m_displayed = file.probe;
    Q_EMIT displayChanged();
}

void AppDelegate::showBusyDisplay(bool busy)
{
    QWidget* mainWindow = window.data();
    if (mainWindow == nullptr)
        return;
    if (!busy) {
        mainWindow->unsetCursor();
        return;
    }
    // A probe that takes its time: the display turns to the file asked for, empty until its
    // facts arrive; the window stays usable (a busy, not a wait, cursor).
    mainWindow->setCursor(Qt::BusyCursor);
    clearShownFacts();
    if (QLabel* label = filePathLBL.data()) {
        label->setText(QStringLiteral("File Name: ") + m_requestedName);
        label->setToolTip(m_requestedPath);
    }
    setVerdictLine(readingText());
}

QString AppDelegate::readingText() const
{
    if (!m_requestedSize)
        return QStringLiteral("Reading this file\u2026");
    return QStringLiteral("Reading this file (") +
           QString::fromStdString(
               Utils::formatByteCount(static_cast<std::uint64_t>(*m_requestedSize))) +
           QStringLiteral(")\u2026");
}

void AppDelegate::showRequestedSize(const QString& path, qint64 bytes)
{
    if (path != m_requestedPath)
        return;
    m_requestedSize = bytes;
    // Only while the wait is on show (a quick probe never shows it).
    const QLabel* line = verdictLBL.data();
    if (m_prober.isPending() && line != nullptr && !line->isHidden())
        setVerdictLine(readingText());
}

void AppDelegate::cancelProbe()
{
    if (!m_prober.isPending())
        return;
    m_prober.cancel();
    clearShownFacts();
    if (QLabel* label = filePathLBL.data()) {
        label->setText(QStringLiteral("File Name: ") + m_requestedName);
        label->setToolTip(m_requestedPath);
    }
    setVerdictLine(QStringLiteral("Reading this file was cancelled; select it again to retry."));
}

void AppDelegate::clearDisplay()
{
    m_prober.cancel();
    clearShownFacts();
    if (QLabel* label = filePathLBL.data()) {
        label->setText(noFileText());
        label->setToolTip({});
    }
}

void AppDelegate::clearShownFacts()
{
    if (ImageDropView* poster = posterIMG.data()) {
        poster->setImage({});
        poster->setToolTip({});
    }
    for (ArrayController* controller :
         {overviewArrayController.data(), tracksArrayController.data(),
          trackDetailsArrayController.data()}) {
        if (controller != nullptr)
            controller->setContent({});
    }
    setVerdictLine({});
    m_displayed.reset();
    m_displayedName.clear();
    Q_EMIT displayChanged();
}

void AppDelegate::setVerdictLine(const QString& text)
{
    QLabel* line = verdictLBL.data();
    if (line == nullptr)
        return;
    line->setText(text);
    line->setVisible(!text.isEmpty());
}

void AppDelegate::showSelectedTrack()
{
    const ArrayController* tracks = tracksArrayController.data();
    ArrayController* details = trackDetailsArrayController.data();
    if (tracks == nullptr || details == nullptr)
        return;
    const QList<QVariantMap> selected = tracks->selectedObjects();
    if (selected.isEmpty())
        return;
    const QVariant rows = selected.first().value(keys::trackKeyValue);
    if (rows.metaType() != QMetaType::fromType<QList<QVariantMap>>())
        return;
    details->setContent(rows.value<QList<QVariantMap>>());
}

void AppDelegate::copySelectedTrackDetails()
{
    const ArrayController* details = trackDetailsArrayController.data();
    if (details == nullptr)
        return;
    QStringList lines;
    for (const QVariantMap& row : details->selectedObjects())
        lines.append(row.value(keys::key).toString() + u'\t' + row.value(keys::value).toString());
    if (!lines.isEmpty())
        QGuiApplication::clipboard()->setText(lines.join(u'\n'));
}

void AppDelegate::copySelectedTracks()
{
    ArrayController* tracks = tracksArrayController.data();
    if (tracks == nullptr)
        return;
    QStringList lines;
    for (const QVariantMap& row : tracks->selectedObjects()) {
        QStringList cells;
        for (const TableColumn& column : tracks->model()->columns())
            cells.append(row.value(column.key).toString());
        lines.append(cells.join(u'\t'));
    }
    if (!lines.isEmpty())
        QGuiApplication::clipboard()->setText(lines.join(u'\n'));
}

void AppDelegate::copyReport()
{
    if (!m_displayed)
        return;
    // The deep scan's lines follow when the file was scanned (app/scan_panel.h).
    const std::string report = textReport(*m_displayed, m_displayedName.toStdString(),
                                          {.details = true, .useColor = false, .facts = true}) +
                               scanReportAppendix(window.data(), m_requestedPath);
    QGuiApplication::clipboard()->setText(QString::fromStdString(report));
}

void AppDelegate::addEntries(const QList<QUrl>& urls)
{
    ArrayController* files = fileListArrayController.data();
    if (files == nullptr || urls.isEmpty())
        return;
    files->addObjects(fileListEntries(urls));
    if (TableView* table = fileListTableView.data())
        table->scrollToBottom();
}

}  // namespace vellinor
