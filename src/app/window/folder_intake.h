#pragma once

// Open Folder (Ctrl+Shift+O) and dropped folders: every media file under the folder, at any
// depth and in sorted order, is added to the file list. The walk runs off the UI thread; a
// long one shows its progress and can be cancelled. Files that are not media are skipped and
// counted, and a status line says what was added and what was skipped.

#include <atomic>
#include <memory>

#include <QFutureWatcher>
#include <QObject>
#include <QStringList>

#include "probe/media_files.h"

class QAction;
class QProgressDialog;

namespace vellinor {

class AppDelegate;
class MainWindow;
struct Notification;

class FolderIntake final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FolderIntake)

public:
    // How long a walk runs before its progress is shown.
    static constexpr int kProgressDelayMs = 400;

    FolderIntake(MainWindow& window, AppDelegate& delegate);
    // Stops a walk in progress and waits for it.
    ~FolderIntake() override;

    [[nodiscard]] QAction* openFolderAction() const { return m_openFolder; }
    // Searches the folders, one after the other, and adds what they hold.
    void addFolders(const QStringList& folders);
    [[nodiscard]] bool isWalking() const { return m_watcher.isRunning(); }
    // What the status line said last ("Added 12 media files from Clips; 3 other files skipped.").
    [[nodiscard]] const QString& lastStatus() const { return m_lastStatus; }

Q_SIGNALS:
    // A folder's media files were added (or it held none).
    void folderAdded();

private:
    void chooseFolder();
    void startNext();
    void walkFinished();
    void showStatus(const QString& text);

    MainWindow& m_window;
    AppDelegate& m_delegate;
    QAction* m_openFolder = nullptr;
    QStringList m_queue;
    QString m_walking;
    std::shared_ptr<std::atomic<bool>> m_stop = std::make_shared<std::atomic<bool>>(false);
    std::shared_ptr<std::atomic<std::size_t>> m_seen =
        std::make_shared<std::atomic<std::size_t>>(0);
    QProgressDialog* m_progress = nullptr;
    QString m_lastStatus;
    QFutureWatcher<FolderMedia> m_watcher;
};

}  // namespace vellinor
