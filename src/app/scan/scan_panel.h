#pragma once

// The window's deep scan: the "Scan" command (Inspect menu, toolbar, Ctrl+K) decodes the
// selected files one after another on a worker thread (each in the scanner's own child
// process), with a progress bar and Cancel, and a "Scan" panel docked beside the details shows
// the displayed file's scan report. A damaged file's verdict line says "Decode errors found",
// and Copy Report carries the scan's lines. Scans are kept in the probe cache like probes, so a
// file scanned before (here or by vellinor-cli scan) shows its scan at once.

#include <atomic>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include <QDockWidget>
#include <QFutureWatcher>
#include <QStringList>
#include <QThreadPool>

#include "probe/probe_cache.h"
#include "probe/scan_result.h"

class QAction;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace vellinor {

class AppDelegate;
class MainWindow;

class ScanPanel final : public QDockWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ScanPanel)

public:
    ScanPanel(MainWindow& window, AppDelegate& delegate);
    ~ScanPanel() override;

    [[nodiscard]] QAction* scanAction() const { return m_action; }
    [[nodiscard]] bool isScanning() const { return m_scanning; }
    [[nodiscard]] QString reportText() const;
    [[nodiscard]] QString statusText() const;

    // The scan of `path` this session or the cache knows, if any.
    [[nodiscard]] std::shared_ptr<const ScanResult> scanOf(const QString& path) const;

public Q_SLOTS:
    void scanSelectedFiles();
    void cancel();

Q_SIGNALS:
    void finished();  // a run of scans ended: done, failed or cancelled

private:
    [[nodiscard]] QStringList selectedPaths() const;
    [[nodiscard]] QString displayedPath() const;
    void showDisplayedFile();
    void fileScanned(const QString& path, std::shared_ptr<const ScanResult> scan,
                     const QString& problem);
    void runEnded(bool cancelled);
    // A file of the run begun (the status names it) or scanned (its result kept).
    struct ScanStep {
        int index = 0;
        int count = 0;
        QString path;
        bool done = false;
        std::shared_ptr<const ScanResult> scan;
        QString problem;
    };
    void stepReported(int resultIndex);
    void stopWorker();

    MainWindow& m_window;
    AppDelegate& m_delegate;
    QAction* m_action = nullptr;
    QLabel* m_status = nullptr;
    QProgressBar* m_progress = nullptr;
    QPushButton* m_cancelButton = nullptr;
    QPlainTextEdit* m_report = nullptr;
    struct SessionScan {
        std::optional<FileStamp> stamp;  // the file's when it was scanned
        std::shared_ptr<const ScanResult> scan;
    };
    std::map<QString, SessionScan> m_scans;
    std::map<QString, QString> m_problems;
    std::shared_ptr<std::atomic<bool>> m_cancel;
    QThreadPool m_pool;
    // After the pool, so it goes first.
    QFutureWatcher<ScanStep> m_watcher;
    bool m_scanning = false;
};

ScanPanel* installScanPanel(MainWindow& window, AppDelegate& delegate);

// The scan lines Copy Report adds for `path` ("Scan" and the report, each line indented), or
// nothing when the file was not scanned.
std::string scanReportAppendix(const QWidget* window, const QString& path);

}  // namespace vellinor
