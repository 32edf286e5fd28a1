#pragma once

// Probing off the UI thread. The window asks for the file the user selected; the probe (and
// the poster) are made on a worker thread, and only the answer to the latest request reaches
// the window: a newer selection supersedes every older one, whose result is dropped even when
// it arrives later. A request that has not been answered within 150 ms is announced as busy, so
// a quick answer never flickers a busy indication. Saves run their work here too.

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

#include <QImage>
#include <QObject>
#include <QString>
#include <QThreadPool>
#include <QTimer>

#include "probe/file_probe.h"
#include "probe/verdict.h"

namespace vellinor {

// What the window shows of one file.
struct ProbedFile {
    QString path;
    std::shared_ptr<const FileProbe> probe;
    FileVerdict verdict;
    QImage poster;           // null when there is neither a cover nor the placeholder
    QString posterProblems;  // the pictures left out, one per line; empty when none was
};

class BackgroundProbe final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BackgroundProbe)

public:
    // How long a request may go unanswered before it counts as busy.
    static constexpr int kBusyDelayMs = 150;

    explicit BackgroundProbe(QObject* parent = nullptr);
    // Drops the work not yet started and waits for what runs (a probe ends at its time limit).
    ~BackgroundProbe() override;

    void setProbeOptions(ProbeOptions options);
    [[nodiscard]] const ProbeOptions& probeOptions() const { return m_options; }

    // Probes `path` (a local file path) and supersedes every earlier request.
    void request(const QString& path);
    // Supersedes every request without making a new one, and ends the latest one's probe.
    void cancel();
    // Ends every probe still running here (quitting).
    void cancelAll();
    // True while the latest request has no answer yet.
    [[nodiscard]] bool isPending() const { return m_pending; }
    // True while anything runs or waits here (a probe, superseded or not, or a save's work).
    [[nodiscard]] bool isWorking() const { return m_working > 0; }

    // Runs `work` on a worker thread, then `done` on this object's thread (not at all when this
    // object is gone by then).
    void runInBackground(std::function<void()> work, std::function<void()> done);

    // What a worker does for one request: the probe, its verdict and the poster.
    [[nodiscard]] static ProbedFile probeFile(const QString& path, const ProbeOptions& options);

Q_SIGNALS:
    // The answer to the latest request.
    void probed(const vellinor::ProbedFile& file);
    // The size of the latest request's file, read before its probe starts (on the worker: a
    // stalled network file must not stall the window).
    void sizeKnown(const QString& path, qint64 bytes);
    // True once the latest request has waited kBusyDelayMs; false when it is answered or
    // superseded by cancel().
    void busyChanged(bool busy);
    // Nothing runs or waits here any more.
    void idle();

private:
    // What a probe's worker reports: the file's size, then (`file` set) the answer.
    struct ProbeStep {
        qint64 bytes = 0;
        std::shared_ptr<const ProbedFile> file;
    };

    void finishWork();
    void setBusy(bool busy);

    ProbeOptions m_options;
    // Read by workers to skip requests superseded before they started.
    std::shared_ptr<std::atomic<quint64>> m_latest = std::make_shared<std::atomic<quint64>>(0);
    // Each request's cancel flag, while its probe may run.
    std::vector<std::weak_ptr<std::atomic<bool>>> m_cancelFlags;
    bool m_pending = false;
    bool m_busy = false;
    int m_working = 0;
    QTimer m_busyTimer;
    // Last, so it is destroyed (and waited for) first. The workers run on this pool, not the
    // shared one, so a few probes stuck on stalled files cannot hold up the rest of the window.
    QThreadPool m_pool;
};

}  // namespace vellinor

Q_DECLARE_METATYPE(vellinor::ProbedFile)
