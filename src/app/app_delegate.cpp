#include "app/app_delegate.h"

#include <utility>

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QStringList>
#include <QWidget>

#include "app/array_controller.h"
#include "app/desktop_services.h"
#include "app/image_drop_view.h"
#include "app/launch_count.h"
#include "app/notification_center.h"
#include "app/poster_image.h"
#include "app/table_rows.h"
#include "app/table_view.h"
#include "app/user_defaults.h"
#include "probe/overview.h"

namespace vellinor {

namespace {

// The probe blocks the window for its ~50 ms run; show that it is busy.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace

AppDelegate::AppDelegate(DesktopServices& desktopServices, QObject* parent)
    : QObject(parent), m_desktopServices(desktopServices)
{
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
}

void AppDelegate::applicationDidFinishLaunching()
{
    recordLaunch(*userDefaults, m_runningVersion);
    NotificationCenter& center = NotificationCenter::defaultCenter();
    center.addObserver(this, filesAddedByDragAndDropNotification, [this](const Notification& n) {
        filesAddedByDragAndDropWithNotification(n);
    });
    center.addObserver(
        this, tableViewSelectionDidChangeNotification,
        [this](const Notification& n) { oneOfTheTableViewsSelectionChangedWithNotification(n); });
}

void AppDelegate::applicationWillTerminate()
{
    if (shouldRequestReview(userDefaults->integerForKey(launchCountKey)))
        m_desktopServices.requestReview();
}

bool AppDelegate::applicationShouldHandleReopen(bool hasVisibleWindows)
{
    if (!hasVisibleWindows || window->isMinimized()) {
        window->showNormal();
        window->raise();
        window->activateWindow();
    } else {
        window->raise();
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
    fileListArrayController->remove();
}

void AppDelegate::showInFinderAction()
{
    const int row = fileListTableView->clickedRow();
    const QList<QVariantMap>& entries = fileListArrayController->arrangedObjects();
    if (row < 0 || row >= entries.size())
        return;
    const QUrl url = entries.at(row).value(keys::fileURL).toUrl();
    if (url.isLocalFile())
        m_desktopServices.revealFile(url.toLocalFile());
}

void AppDelegate::oneOfTheTableViewsSelectionChangedWithNotification(
    const Notification& notification)
{
    const auto* table = qobject_cast<const TableView*>(notification.object);
    // Tables of another window (there is one window; tests may make more) are not ours.
    if (table == nullptr || table->window() != window)
        return;
    switch (table->tag()) {
        case 1:
            showSelectedFile();
            break;
        case 2:
            showSelectedTrack();
            break;
        default:
            break;
    }
}

void AppDelegate::showSelectedFile()
{
    const QList<QVariantMap> selected = fileListArrayController->selectedObjects();
    if (selected.isEmpty())
        return;
    const QVariantMap& entry = selected.first();
    const QVariant name = entry.value(keys::fileName);
    const QVariant url = entry.value(keys::fileURL);
    if (name.metaType().id() != QMetaType::QString || url.metaType().id() != QMetaType::QUrl)
        return;

    filePathLBL->setText(QStringLiteral("File Name: ") + name.toString());
    filePathLBL->setToolTip(url.toUrl().toLocalFile());

    const WaitCursor busy;
    const QString path = url.toUrl().toLocalFile();
    const FileProbe probe(QFile::encodeName(path).toStdString(), m_probeOptions);

    const QImage poster = posterImage(path);
    if (!poster.isNull())
        posterIMG->setImage(poster);

    overviewArrayController->setContent(overviewContent(overviewRows(probe)));

    // The tracks are replaced wholesale; selecting the first row (the container metadata) puts
    // the new file's details in the details table instead of leaving the previous file's.
    tracksArrayController->setContent(tracksContent(tracksTableRows(probe)));
    tracksArrayController->setSelectionIndex(0);
}

void AppDelegate::showSelectedTrack()
{
    const QList<QVariantMap> selected = tracksArrayController->selectedObjects();
    if (selected.isEmpty())
        return;
    const QVariant details = selected.first().value(keys::trackKeyValue);
    if (details.metaType() != QMetaType::fromType<QList<QVariantMap>>())
        return;
    trackDetailsArrayController->setContent(details.value<QList<QVariantMap>>());
}

void AppDelegate::copySelectedTrackDetails()
{
    QStringList lines;
    for (const QVariantMap& row : trackDetailsArrayController->selectedObjects())
        lines.append(row.value(keys::key).toString() + u'\t' + row.value(keys::value).toString());
    if (!lines.isEmpty())
        QGuiApplication::clipboard()->setText(lines.join(u'\n'));
}

void AppDelegate::addEntries(const QList<QUrl>& urls)
{
    fileListArrayController->addObjects(fileListEntries(urls));
    if (fileListTableView && !urls.isEmpty())
        fileListTableView->scrollToBottom();
}

}  // namespace vellinor
