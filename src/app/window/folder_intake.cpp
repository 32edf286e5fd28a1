#include "app/window/folder_intake.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QProgressDialog>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>
#include <QtConcurrent/QtConcurrentRun>

#include "app/widgets/notification_center.h"
#include "app/window/app_delegate.h"
#include "app/window/main_window.h"

namespace vellinor {
namespace {

QString filesText(std::size_t count, const QString& one, const QString& many)
{
    return count == 1 ? QString(QStringLiteral("1 ") + one)
                      : QString(QString::number(count) + u' ' + many);
}

// "Added 12 media files from Clips; 3 other files skipped."
QString statusText(const QString& folder, const FolderMedia& found)
{
    const QString name = QDir(folder).dirName().isEmpty() ? folder : QDir(folder).dirName();
    QString text;
    if (found.mediaFiles.empty())
        text = QStringLiteral("No media files in ") + name;
    else
        text = QStringLiteral("Added ") +
               filesText(found.mediaFiles.size(), QStringLiteral("media file"),
                         QStringLiteral("media files")) +
               QStringLiteral(" from ") + name;
    if (found.skippedFiles > 0)
        text += QStringLiteral("; ") +
                filesText(found.skippedFiles, QStringLiteral("other file"),
                          QStringLiteral("other files")) +
                QStringLiteral(" skipped");
    if (!found.unreadable.empty())
        text +=
            QStringLiteral("; could not read ") + QString::fromStdString(found.unreadable.front());
    return text + u'.';
}

}  // namespace

FolderIntake::FolderIntake(MainWindow& window, AppDelegate& delegate)
    : QObject(&window), m_window(window), m_delegate(delegate)
{
    m_openFolder = new QAction(tr("Open &Folder\u2026"), &window);
    m_openFolder->setObjectName(QStringLiteral("openFolderAction"));
    m_openFolder->setShortcut(QKeySequence(tr("Ctrl+Shift+O")));
    m_openFolder->setToolTip(tr("Add every media file in a folder and its subfolders"));
    window.addAction(m_openFolder);
    if (QMenu* fileMenu = window.menuBar()->findChild<QMenu*>(QStringLiteral("fileMenu"))) {
        const QList<QAction*> actions = fileMenu->actions();
        fileMenu->insertAction(actions.size() > 1 ? actions.at(1) : nullptr, m_openFolder);
    }
    connect(m_openFolder, &QAction::triggered, this, &FolderIntake::chooseFolder);
    connect(&m_watcher, &QFutureWatcher<FolderMedia>::finished, this, &FolderIntake::walkFinished);

    NotificationCenter::defaultCenter().addObserver(
        this, filesAddedByDragAndDropNotification, [this](const Notification& notification) {
            QStringList folders;
            const QVariant dropped = notification.userInfo.value(foldersAddedByDragAndDropKey);
            for (const QUrl& url : dropped.value<QList<QUrl>>())
                folders.append(url.toLocalFile());
            if (!folders.isEmpty())
                addFolders(folders);
        });
}

FolderIntake::~FolderIntake()
{
    NotificationCenter::defaultCenter().removeObserver(this);
    m_stop->store(true);
    m_watcher.waitForFinished();
}

void FolderIntake::chooseFolder()
{
    m_delegate.dialogRunner().runFolderDialog(&m_window, tr("Open Folder"), this,
                                              [this](const QString& folder) {
                                                  if (!folder.isEmpty())
                                                      addFolders({folder});
                                              });
}

void FolderIntake::addFolders(const QStringList& folders)
{
    m_queue.append(folders);
    if (!m_watcher.isRunning() && m_walking.isEmpty())
        startNext();
}

void FolderIntake::startNext()
{
    if (m_queue.isEmpty())
        return;
    m_walking = m_queue.takeFirst();
    m_stop->store(false);
    m_seen->store(0);
    showStatus(tr("Looking for media files in %1\u2026").arg(QDir(m_walking).dirName()));

    // A long walk shows how far it got and can be stopped; a short one shows nothing.
    m_progress =
        new QProgressDialog(tr("Looking for media files\u2026"), tr("&Cancel"), 0, 0, &m_window);
    m_progress->setWindowModality(Qt::WindowModal);
    m_progress->setMinimumDuration(kProgressDelayMs);
    m_progress->setAutoClose(false);
    m_progress->setAutoReset(false);
    connect(m_progress, &QProgressDialog::canceled, this, [stop = m_stop] { stop->store(true); });
    auto* tick = new QTimer(m_progress);
    connect(tick, &QTimer::timeout, m_progress, [progress = m_progress, seen = m_seen] {
        progress->setLabelText(tr("Looking for media files\u2026 %1 files seen")
                                   .arg(static_cast<qulonglong>(seen->load())));
        progress->setValue(0);  // lets the dialog show itself once its delay has passed
    });
    tick->start(100);

    const std::string folder = QFile::encodeName(m_walking).toStdString();
    m_watcher.setFuture(QtConcurrent::run([folder, stop = m_stop, seen = m_seen] {
        return mediaFilesUnder(folder, [&stop, &seen](std::size_t count) {
            seen->store(count);
            return !stop->load();
        });
    }));
}

void FolderIntake::walkFinished()
{
    if (m_progress != nullptr) {
        m_progress->deleteLater();
        m_progress = nullptr;
    }
    const FolderMedia found = m_watcher.result();
    if (found.cancelled) {
        // Cancel means none of it: a part of a tree is not what the user asked for.
        showStatus(tr("Stopped looking in %1; nothing added.").arg(QDir(m_walking).dirName()));
        m_walking.clear();
        m_queue.clear();
        Q_EMIT folderAdded();
        return;
    }
    QList<QUrl> urls;
    urls.reserve(static_cast<qsizetype>(found.mediaFiles.size()));
    for (const std::string& path : found.mediaFiles)
        urls.append(QUrl::fromLocalFile(QFile::decodeName(QByteArray::fromStdString(path))));
    m_delegate.openURLs(urls);
    showStatus(statusText(m_walking, found));
    m_walking.clear();
    Q_EMIT folderAdded();
    startNext();
}

void FolderIntake::showStatus(const QString& text)
{
    m_lastStatus = text;
    m_window.statusBar()->showMessage(text);
}

}  // namespace vellinor
