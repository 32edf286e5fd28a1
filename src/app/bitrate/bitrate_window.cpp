#include "app/bitrate/bitrate_window.h"

#include <chrono>
#include <filesystem>
#include <map>
#include <mutex>

#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include "app/bitrate/bitrate_chart.h"
#include "app/widgets/close_keys.h"
#include "app/widgets/file_name.h"
#include "probe/packet_scan.h"

namespace vellinor {
namespace {

// Results of this session, by path, size and modification time (the UI thread only).
std::map<std::string, std::shared_ptr<const PacketStatistics>>& sessionCache()
{
    static std::map<std::string, std::shared_ptr<const PacketStatistics>> cache;
    return cache;
}

// Empty when the file cannot be looked at: such a file is read every time (and fails).
std::string cacheKey(const QString& path)
{
    std::error_code error;
    const std::filesystem::path file(path.toStdString());
    const auto size = std::filesystem::file_size(file, error);
    if (error)
        return {};
    const auto modified = std::filesystem::last_write_time(file, error);
    if (error)
        return {};
    return file.string() + '\n' + std::to_string(size) + '\n' +
           std::to_string(modified.time_since_epoch().count());
}

QString keyframes(std::size_t count)
{
    return count == 1 ? BitrateWindow::tr("1 keyframe")
                      : BitrateWindow::tr("%1 keyframes").arg(static_cast<qulonglong>(count));
}

}  // namespace

QString gopSummaryText(const PacketStatistics& statistics)
{
    QStringList lines;
    for (const StreamPackets& stream : statistics.streams) {
        if (!stream.isVideo())
            continue;
        QString line =
            BitrateWindow::tr("#%1 %2: %3")
                .arg(stream.index)
                .arg(QString::fromStdString(stream.codec), keyframes(stream.keyframes.size()));
        if (const auto gops = summarizeGops(stream))
            line += BitrateWindow::tr(", GOP min %1, median %2, max %3 frames")
                        .arg(gops->minimum)
                        .arg(gops->median, 0, 'g', 6)
                        .arg(gops->maximum);
        lines.append(line);
    }
    if (lines.isEmpty())
        return BitrateWindow::tr("No video stream: no keyframes to show.");
    return lines.join(QLatin1Char('\n'));
}

BitrateWindow::BitrateWindow(const QString& path, QWidget* parent)
    : QWidget(parent, Qt::Window), m_path(path)
{
    setObjectName(QStringLiteral("bitrateWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(tr("Bitrate - %1").arg(fileNameOf(path)));

    m_chart = new BitrateChart(this);
    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("bitrateSummary"));
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_summary->setWordWrap(true);
    m_progress = new QProgressBar(this);
    m_progress->setRange(0, 1000);
    m_progress->setTextVisible(true);
    m_button = new QPushButton(tr("&Cancel"), this);
    m_button->setObjectName(QStringLiteral("bitrateCancelButton"));
    connect(m_button, &QPushButton::clicked, this, [this] {
        if (m_reading)
            cancel();
        else
            read();
    });

    auto* bar = new QHBoxLayout;
    bar->addWidget(m_summary, 1);
    bar->addWidget(m_progress);
    bar->addWidget(m_button);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_chart, 1);
    layout->addLayout(bar);
    resize(960, 520);
    closeOnEscapeOrCtrlW(*this);

    // One read at a time, on a thread of its own: a long file's read must not hold one of the
    // shared pool's threads, which the window's other work needs.
    m_pool.setMaxThreadCount(1);
    connect(&m_watcher, &QFutureWatcherBase::progressValueChanged, this,
            [this](int permille) { showProgress(permille / 1000.0); });
    connect(&m_watcher, &QFutureWatcherBase::finished, this, &BitrateWindow::readEnded);
    read();
}

BitrateWindow::~BitrateWindow()
{
    stopWorker();
}

void BitrateWindow::clearSessionCache()
{
    sessionCache().clear();
}

QString BitrateWindow::summaryText() const
{
    return m_summary->text();
}

void BitrateWindow::read()
{
    stopWorker();
    const std::string key = cacheKey(m_path);
    if (!key.empty()) {
        auto cached = sessionCache().find(key);
        if (cached != sessionCache().end()) {
            m_lastReadSeconds = 0.0;
            showResult(cached->second);
            return;
        }
    }
    startWorker(key);
}

void BitrateWindow::startWorker(const std::string& key)
{
    m_reading = true;
    m_chart->setStatistics(nullptr);
    m_summary->setText(tr("Reading the packets..."));
    m_progress->setValue(0);
    m_progress->show();
    m_button->setText(tr("&Cancel"));
    m_cancel = std::make_shared<std::atomic<bool>>(false);

    // The watcher brings the progress and the result to this window; the destructor waits for
    // the read before the window goes.
    auto cancelled = m_cancel;
    const std::string path = m_path.toStdString();
    m_readKey = key;
    m_readStart = std::chrono::steady_clock::now();
    m_watcher.setFuture(
        QtConcurrent::run(&m_pool, [cancelled, path](QPromise<PacketRead>& promise) {
            promise.setProgressRange(0, 1000);
            PacketScanOptions options;
            options.onProgress = [&](double fraction) {
                promise.setProgressValue(static_cast<int>(fraction * 1000.0));
                return !cancelled->load();
            };
            auto result = scanPackets(path, options);
            PacketRead read;
            if (result)
                read.statistics = std::make_shared<const PacketStatistics>(std::move(*result));
            else
                read.failure = QString::fromStdString(result.error());
            promise.addResult(std::move(read));
        }));
}

void BitrateWindow::readEnded()
{
    // A read given up (cancelled, or superseded by another) has been answered already.
    if (!m_reading || (m_cancel && m_cancel->load()) || m_watcher.future().resultCount() == 0)
        return;
    const PacketRead read = m_watcher.result();
    if (!read.statistics) {
        showFailure(read.failure);
        return;
    }
    if (!m_readKey.empty())
        sessionCache()[m_readKey] = read.statistics;
    m_lastReadSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - m_readStart).count();
    showResult(read.statistics);
}

void BitrateWindow::cancel()
{
    if (!m_reading)
        return;
    stopWorker();
    m_summary->setText(tr("Reading cancelled."));
    m_progress->hide();
    m_button->setText(tr("&Read Again"));
    Q_EMIT finished();
}

void BitrateWindow::stopWorker()
{
    if (m_cancel)
        m_cancel->store(true);
    // The reader is killed at its next progress report (a tenth of a second at most).
    m_watcher.waitForFinished();
    m_reading = false;
}

void BitrateWindow::showProgress(double fraction)
{
    if (m_reading)
        m_progress->setValue(static_cast<int>(fraction * 1000.0));
}

void BitrateWindow::showResult(std::shared_ptr<const PacketStatistics> statistics)
{
    m_reading = false;
    m_summary->setText(gopSummaryText(*statistics));
    m_chart->setStatistics(std::move(statistics));
    m_progress->hide();
    m_button->setText(tr("&Read Again"));
    Q_EMIT finished();
}

void BitrateWindow::showFailure(const QString& why)
{
    m_reading = false;
    m_summary->setText(tr("Could not read the packets: %1").arg(why));
    m_progress->hide();
    m_button->setText(tr("&Read Again"));
    Q_EMIT finished();
}

}  // namespace vellinor
