#include "app/window/background_probe.h"

#include <utility>

#include <QFile>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentRun>

#include "app/attachments/poster_image.h"
#include "probe/embedded_files.h"

namespace vellinor {
namespace {

// A few at once, so a probe stuck on a stalled network file until its time limit leaves room
// for the next selection.
constexpr int kWorkerThreads = 4;

}  // namespace

BackgroundProbe::BackgroundProbe(QObject* parent) : QObject(parent)
{
    m_pool.setMaxThreadCount(kWorkerThreads);
    m_busyTimer.setSingleShot(true);
    m_busyTimer.setInterval(kBusyDelayMs);
    connect(&m_busyTimer, &QTimer::timeout, this, [this] {
        if (m_pending)
            setBusy(true);
    });
}

BackgroundProbe::~BackgroundProbe()
{
    m_latest->store(m_latest->load() + 1);
    cancelAll();
    // Work not yet begun is dropped (a cancelled task ends as soon as it starts).
    for (QFutureWatcherBase* watcher : findChildren<QFutureWatcherBase*>())
        watcher->cancel();
    m_pool.waitForDone();
}

void BackgroundProbe::setProbeOptions(ProbeOptions options)
{
    m_options = std::move(options);
}

ProbedFile BackgroundProbe::probeFile(const QString& path, const ProbeOptions& options)
{
    ProbedFile file;
    file.path = path;
    const std::string nativePath = QFile::encodeName(path).toStdString();
    auto probe = std::make_shared<const FileProbe>(nativePath, options);
    file.verdict = fileVerdict(nativePath, *probe);
    if (options.cancelled && options.cancelled->load()) {
        file.probe = std::move(probe);
        return file;  // nobody waits for it: no poster is read
    }
    // Most files show no picture in their probe document, and need no reader for the poster.
    Poster poster = mayHoldEmbeddedFiles(*probe) ? posterImage(path, options.toolRunner.get())
                                                 : placeholderPoster();
    file.probe = std::move(probe);
    file.poster = std::move(poster.image);
    file.posterProblems = std::move(poster.problems);
    return file;
}

void BackgroundProbe::request(const QString& path)
{
    const quint64 generation = m_latest->load() + 1;
    m_latest->store(generation);
    m_pending = true;
    if (!m_busy)
        m_busyTimer.start();

    ++m_working;
    auto* watcher = new QFutureWatcher<ProbeStep>(this);
    // The file's size first (a stalled network file must not stall the window), then the
    // probe; only the latest request's reach the window.
    connect(watcher, &QFutureWatcherBase::resultReadyAt, this,
            [this, watcher, path, generation](int index) {
                if (generation != m_latest->load() || !m_pending)
                    return;
                const ProbeStep step = watcher->resultAt(index);
                if (!step.file) {
                    Q_EMIT sizeKnown(path, step.bytes);
                    return;
                }
                m_pending = false;
                m_busyTimer.stop();
                Q_EMIT probed(*step.file);
                setBusy(false);
            });
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher] {
        watcher->deleteLater();
        finishWork();
    });
    ProbeOptions options = m_options;
    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    std::erase_if(m_cancelFlags, [](const auto& flag) { return flag.expired(); });
    m_cancelFlags.push_back(cancelled);
    options.cancelled = std::move(cancelled);
    const auto latest = m_latest;
    watcher->setFuture(QtConcurrent::run(
        &m_pool, [path, options, latest, generation](QPromise<ProbeStep>& promise) {
            // Superseded while it waited for a thread: nobody wants this answer.
            if (latest->load() != generation)
                return;
            if (const QFileInfo info(path); info.isFile())
                promise.addResult(ProbeStep{info.size(), nullptr});
            promise.addResult(
                ProbeStep{0, std::make_shared<const ProbedFile>(probeFile(path, options))});
        }));
}

void BackgroundProbe::cancel()
{
    if (!m_cancelFlags.empty())
        if (auto latest = m_cancelFlags.back().lock())
            latest->store(true);
    m_latest->store(m_latest->load() + 1);
    m_pending = false;
    m_busyTimer.stop();
    setBusy(false);
}

void BackgroundProbe::cancelAll()
{
    for (const auto& flag : m_cancelFlags)
        if (auto running = flag.lock())
            running->store(true);
    m_cancelFlags.clear();
}

void BackgroundProbe::runInBackground(std::function<void()> work, std::function<void()> done)
{
    ++m_working;
    auto* watcher = new QFutureWatcher<void>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, done = std::move(done)] {
        watcher->deleteLater();
        done();
        finishWork();
    });
    watcher->setFuture(QtConcurrent::run(&m_pool, std::move(work)));
}

void BackgroundProbe::finishWork()
{
    --m_working;
    if (m_working == 0)
        Q_EMIT idle();
}

void BackgroundProbe::setBusy(bool busy)
{
    if (m_busy == busy)
        return;
    m_busy = busy;
    Q_EMIT busyChanged(busy);
}

}  // namespace vellinor
