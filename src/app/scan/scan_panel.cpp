#include "app/scan/scan_panel.h"

#include <QAction>
#include <QFile>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include "app/widgets/array_controller.h"
#include "app/widgets/file_name.h"
#include "app/widgets/scroll_drop_view.h"
#include "app/window/app_delegate.h"
#include "app/window/main_window.h"
#include "app/window/table_rows.h"
#include "app/window/window_commands.h"
#include "probe/file_scan.h"
#include "probe/probe_cache.h"

namespace vellinor {
namespace {

QString reportOf(const ScanResult& scan)
{
    QStringList lines;
    for (const std::string& line : scanReportLines(scan))
        lines << QString::fromStdString(line);
    return lines.join(QLatin1Char('\n'));
}

}  // namespace

ScanPanel::ScanPanel(MainWindow& window, AppDelegate& delegate)
    : QDockWidget(tr("Scan"), &window), m_window(window), m_delegate(delegate)
{
    setObjectName(QStringLiteral("scanPanel"));
    setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable);

    m_action =
        new QAction(QIcon::fromTheme(QStringLiteral("system-search"),
                                     window.style()->standardIcon(QStyle::SP_DialogApplyButton)),
                    tr("Scan"), &window);
    m_action->setObjectName(QStringLiteral("scanAction"));
    m_action->setToolTip(
        tr("Decode the selected files: decode errors, exact counts, loudness, "
           "black and silent spans, captions and content hashes"));
    m_action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_K));
    m_action->setShortcutContext(Qt::WindowShortcut);
    window.addAction(m_action);
    if (auto* toolBar = window.findChild<QToolBar*>(QStringLiteral("mainToolBar")))
        toolBar->insertAction(window.saveAction(), m_action);
    window.fileListView()->addAction(m_action);

    auto* body = new QWidget(this);
    m_status = new QLabel(tr("Scan decodes the selected files (Ctrl+K)."), body);
    m_status->setObjectName(QStringLiteral("scanStatus"));
    m_status->setWordWrap(true);
    m_progress = new QProgressBar(body);
    m_progress->setRange(0, 1000);
    m_progress->hide();
    m_cancelButton = new QPushButton(tr("Cancel &Scan"), body);
    m_cancelButton->setObjectName(QStringLiteral("scanCancel"));
    m_cancelButton->hide();
    m_report = new QPlainTextEdit(body);
    m_report->setObjectName(QStringLiteral("scanReport"));
    m_report->setReadOnly(true);
    m_report->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    auto* bar = new QHBoxLayout;
    bar->addWidget(m_progress, 1);
    bar->addWidget(m_cancelButton);
    auto* layout = new QVBoxLayout(body);
    layout->addWidget(m_status);
    layout->addLayout(bar);
    layout->addWidget(m_report, 1);
    setWidget(body);
    window.addDockWidget(Qt::RightDockWidgetArea, this);

    connect(m_action, &QAction::triggered, this, &ScanPanel::scanSelectedFiles);
    connect(m_cancelButton, &QPushButton::clicked, this, &ScanPanel::cancel);
    // One run at a time, on a thread of its own: a long scan must not hold one of the shared
    // pool's threads, which the window's other work needs.
    m_pool.setMaxThreadCount(1);
    connect(&m_watcher, &QFutureWatcherBase::progressValueChanged, m_progress,
            &QProgressBar::setValue);
    connect(&m_watcher, &QFutureWatcherBase::resultReadyAt, this, &ScanPanel::stepReported);
    connect(&m_watcher, &QFutureWatcherBase::finished, this,
            [this] { runEnded(m_cancel && m_cancel->load()); });
    connect(&delegate, &AppDelegate::displayChanged, this, &ScanPanel::showDisplayedFile);
    auto updateEnabled = [this] {
        m_action->setEnabled(!m_scanning && !selectedPaths().isEmpty());
    };
    connect(window.fileListArrayController()->selectionModel(),
            &QItemSelectionModel::selectionChanged, this, updateEnabled);
    connect(window.fileListArrayController()->model(), &QAbstractItemModel::modelReset, this,
            updateEnabled);
    connect(this, &ScanPanel::finished, this, updateEnabled);
    updateEnabled();
}

ScanPanel::~ScanPanel()
{
    stopWorker();
}

QString ScanPanel::reportText() const
{
    return m_report->toPlainText();
}

QString ScanPanel::statusText() const
{
    return m_status->text();
}

QStringList ScanPanel::selectedPaths() const
{
    QStringList paths;
    for (const QVariantMap& entry : m_window.fileListArrayController()->selectedObjects()) {
        const QUrl url = entry.value(keys::fileURL).toUrl();
        if (url.isLocalFile())
            paths << url.toLocalFile();
    }
    return paths;
}

// The window shows the first selected file.
QString ScanPanel::displayedPath() const
{
    if (!m_delegate.hasDisplayedFile())
        return {};
    const QStringList paths = selectedPaths();
    return paths.isEmpty() ? QString() : paths.front();
}

std::shared_ptr<const ScanResult> ScanPanel::scanOf(const QString& path) const
{
    if (path.isEmpty())
        return nullptr;
    const std::string file = QFile::encodeName(path).toStdString();
    // This session's scans count while the file is unchanged (also with the cache off).
    if (auto found = m_scans.find(path);
        found != m_scans.end() && fileStamp(file) == found->second.stamp)
        return found->second.scan;
    if (auto kept = sharedFileScanner().kept(file))
        return std::make_shared<const ScanResult>(std::move(*kept));
    return nullptr;
}

void ScanPanel::showDisplayedFile()
{
    const QString path = displayedPath();
    if (m_scanning)
        return;  // the running scans' progress stays in view
    const auto scan = scanOf(path);
    if (scan) {
        m_report->setPlainText(reportOf(*scan));
        m_status->setText(scan->damaged() ? tr(kDecodeErrorsVerdict) : tr("No decode errors"));
    } else if (auto problem = m_problems.find(path); problem != m_problems.end()) {
        m_report->clear();
        m_status->setText(tr("Could not scan this file: %1").arg(problem->second));
    } else {
        m_report->clear();
        m_status->setText(path.isEmpty() ? tr("Scan decodes the selected files (Ctrl+K).")
                                         : tr("Not scanned yet: Scan (Ctrl+K) decodes it."));
    }
    // The verdict line under the overview tells a damaged file at a glance.
    if (scan && scan->damaged()) {
        if (QLabel* verdict = m_window.commands()->verdictLabel();
            verdict != nullptr && verdict->text().isEmpty()) {
            verdict->setText(tr(kDecodeErrorsVerdict));
            verdict->show();
        }
    }
}

void ScanPanel::scanSelectedFiles()
{
    const QStringList paths = selectedPaths();
    if (paths.isEmpty() || m_scanning)
        return;
    stopWorker();
    show();
    raise();
    m_scanning = true;
    m_action->setEnabled(false);
    m_cancel = std::make_shared<std::atomic<bool>>(false);
    m_progress->setValue(0);
    m_progress->show();
    m_cancelButton->show();
    m_report->clear();
    m_status->setText(tr("Scanning %1…").arg(fileNameOf(paths.front())));

    auto cancelled = m_cancel;
    m_watcher.setFuture(QtConcurrent::run(&m_pool, [cancelled, paths](QPromise<ScanStep>& promise) {
        promise.setProgressRange(0, 1000);
        const int count = static_cast<int>(paths.size());
        for (int i = 0; i < count && !cancelled->load(); ++i) {
            const QString path = paths[i];
            promise.addResult(ScanStep{i, count, path, false, nullptr, {}});
            auto result = sharedFileScanner().scan(
                QFile::encodeName(path).toStdString(),
                [&promise, cancelled, i, count](double part) {
                    promise.setProgressValue(static_cast<int>((i + part) / count * 1000.0));
                    return !cancelled->load();
                });
            if (cancelled->load())
                break;
            ScanStep done{i, count, path, true, nullptr, {}};
            if (result)
                done.scan = std::make_shared<const ScanResult>(std::move(*result));
            else
                done.problem = QString::fromStdString(result.error());
            promise.addResult(std::move(done));
        }
    }));
}

void ScanPanel::stepReported(int resultIndex)
{
    const ScanStep step = m_watcher.resultAt(resultIndex);
    if (step.done) {
        fileScanned(step.path, step.scan, step.problem);
        return;
    }
    const QString name = fileNameOf(step.path);
    m_status->setText(
        step.count == 1
            ? tr("Scanning %1…").arg(name)
            : tr("Scanning %1 (%2 of %3)…").arg(name).arg(step.index + 1).arg(step.count));
}

void ScanPanel::fileScanned(const QString& path, std::shared_ptr<const ScanResult> scan,
                            const QString& problem)
{
    if (scan) {
        m_scans[path] = {fileStamp(QFile::encodeName(path).toStdString()), std::move(scan)};
        m_problems.erase(path);
    } else {
        m_problems[path] = problem;
    }
}

void ScanPanel::runEnded(bool cancelled)
{
    m_scanning = false;
    m_progress->hide();
    m_cancelButton->hide();
    showDisplayedFile();
    if (cancelled)
        m_status->setText(tr("Scan cancelled."));
    Q_EMIT finished();
}

void ScanPanel::cancel()
{
    if (m_cancel)
        m_cancel->store(true);
    // The scanner is killed at its next progress report (a tenth of a second at most); the
    // worker then reports the run's end.
}

void ScanPanel::stopWorker()
{
    if (m_cancel)
        m_cancel->store(true);
    m_watcher.waitForFinished();
}

ScanPanel* installScanPanel(MainWindow& window, AppDelegate& delegate)
{
    return new ScanPanel(window, delegate);
}

std::string scanReportAppendix(const QWidget* window, const QString& path)
{
    const auto* panel = window != nullptr ? window->findChild<const ScanPanel*>() : nullptr;
    const auto scan = panel != nullptr ? panel->scanOf(path) : nullptr;
    return scan ? scanReportSection(*scan) : std::string();
}

}  // namespace vellinor
