#pragma once

// The "Bitrate" window of one file: each stream's bit rate per second, the keyframes, and the
// GOP lengths of the video streams. The packets are read by the packet reader (a child
// process) on a worker thread, with a progress bar and a Cancel button; the window stays
// responsive throughout, and closing it cancels the read. Results are kept for the session per
// path, size and modification time, so opening the window again for an unchanged file is
// instant.

#include <atomic>
#include <chrono>
#include <memory>
#include <string>

#include <QFutureWatcher>
#include <QThreadPool>
#include <QWidget>

#include "probe/packet_statistics.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace vellinor {

class BitrateChart;

class BitrateWindow final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BitrateWindow)

public:
    explicit BitrateWindow(const QString& path, QWidget* parent = nullptr);
    ~BitrateWindow() override;

    [[nodiscard]] QString path() const { return m_path; }
    [[nodiscard]] BitrateChart* chart() const { return m_chart; }
    [[nodiscard]] bool isReading() const { return m_reading; }
    // The GOP and keyframe summary under the chart, or the reason nothing could be read.
    [[nodiscard]] QString summaryText() const;
    // Seconds from the start of the read to the result being shown (0 for a cached result).
    [[nodiscard]] double lastReadSeconds() const { return m_lastReadSeconds; }

    // Forgets every kept result (tests).
    static void clearSessionCache();

public Q_SLOTS:
    // Starts reading (from the session cache when the file is unchanged); stops a running read.
    void read();
    void cancel();

Q_SIGNALS:
    void finished();  // a read ended: shown, failed or cancelled

private:
    // What one read of the packets gives: the statistics, or why there are none.
    struct PacketRead {
        std::shared_ptr<const PacketStatistics> statistics;
        QString failure;
    };

    void startWorker(const std::string& key);
    void readEnded();
    void showProgress(double fraction);
    void showResult(std::shared_ptr<const PacketStatistics> statistics);
    void showFailure(const QString& why);
    void stopWorker();

    QString m_path;
    BitrateChart* m_chart = nullptr;
    QLabel* m_summary = nullptr;
    QProgressBar* m_progress = nullptr;
    QPushButton* m_button = nullptr;
    std::shared_ptr<std::atomic<bool>> m_cancel;
    std::string m_readKey;
    std::chrono::steady_clock::time_point m_readStart;
    QThreadPool m_pool;
    // After the pool, so it goes first: it must not outlive the future it watches.
    QFutureWatcher<PacketRead> m_watcher;
    bool m_reading = false;
    double m_lastReadSeconds = 0.0;
};

// The text under the chart: per video stream its keyframe count and GOP lengths
// ("#0 h264: 25 keyframes, GOP min 12, median 12, max 12 frames").
QString gopSummaryText(const PacketStatistics& statistics);

}  // namespace vellinor
