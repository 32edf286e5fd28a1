#include "app/compare/comparison_window.h"

#include <QCheckBox>
#include <QFile>
#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include "app/compare/comparison_model.h"
#include "app/widgets/close_keys.h"
#include "app/widgets/table_keys.h"
#include "platform/atomic_write.h"
#include "platform/file_names.h"
#include "probe/file_scan.h"
#include "probe/scan_comparison.h"

namespace vellinor {

namespace {

constexpr int kMaxColumnWidth = 320;

}  // namespace

ComparisonWindow::ComparisonWindow(const QStringList& paths, ProbeOptions options, QWidget* parent)
    : QWidget(parent, Qt::Window), m_model(new ComparisonModel(this))
{
    setWindowTitle(tr("Compare %n Files", nullptr, static_cast<int>(paths.size())));
    setAttribute(Qt::WA_DeleteOnClose);
    resize(1100, 640);

    m_onlyDifferences = new QCheckBox(tr("&Only differences"), this);
    m_onlyDifferences->setToolTip(tr("Show only the facts in which the files differ"));
    m_status = new QLabel(this);
    auto* exportCsvButton = new QPushButton(tr("Export &CSV…"), this);
    auto* exportJsonButton = new QPushButton(tr("Export &JSON…"), this);

    m_table = new QTableView(this);
    m_table->setModel(m_model);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setAlternatingRowColors(false);  // the tint of differing rows must stand out
    m_table->setWordWrap(false);
    m_table->setTextElideMode(Qt::ElideRight);
    m_table->verticalHeader()->setVisible(false);
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);
    m_table->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_table->horizontalHeader()->setMaximumSectionSize(kMaxColumnWidth);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->setShowGrid(false);
    installTableKeys(*m_table);
    closeOnEscapeOrCtrlW(*this);

    auto* bar = new QHBoxLayout;
    bar->addWidget(m_onlyDifferences);
    bar->addWidget(m_status, 1);
    bar->addWidget(exportCsvButton);
    bar->addWidget(exportJsonButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(m_table, 1);

    connect(m_onlyDifferences, &QCheckBox::toggled, m_model, &ComparisonModel::setOnlyDifferences);
    connect(exportCsvButton, &QPushButton::clicked, this, &ComparisonWindow::exportCsv);
    connect(exportJsonButton, &QPushButton::clicked, this, &ComparisonWindow::exportJson);
    connect(m_model, &QAbstractItemModel::modelReset, m_table,
            [this] { m_table->resizeColumnsToContents(); });

    // Every file gets its column at once, "probing…" until its result arrives.
    m_files.reserve(static_cast<std::size_t>(paths.size()));
    for (const QString& path : paths) {
        const std::string bytes = QFile::encodeName(path).toStdString();
        m_files.push_back({platform::fileNameOfPath(bytes), bytes, nullptr, {}});
    }
    m_scans.resize(m_files.size());
    m_pending = m_files.size();
    refresh();

    using Probed = std::pair<ComparedFile, std::shared_ptr<const ScanResult>>;
    for (std::size_t i = 0; i < m_files.size(); ++i) {
        auto* watcher = new QFutureWatcher<Probed>(this);
        connect(watcher, &QFutureWatcher<Probed>::finished, this, [this, watcher, i] {
            Probed probed = watcher->result();
            m_scans[i] = std::move(probed.second);
            fileProbed(i, std::move(probed.first));
            watcher->deleteLater();
        });
        watcher->setFuture(QtConcurrent::run([path = m_files[i].path, options] {
            ComparedFile file = probeComparedFile(path, options);
            std::shared_ptr<const ScanResult> scan;
            if (file.isProbed()) {
                if (auto kept = sharedFileScanner().kept(path))
                    scan = std::make_shared<const ScanResult>(std::move(*kept));
            }
            return Probed{std::move(file), std::move(scan)};
        }));
    }
}

ComparisonWindow::~ComparisonWindow() = default;

void ComparisonWindow::fileProbed(std::size_t index, ComparedFile file)
{
    file.name = m_files[index].name;  // keep the title the column started with
    m_files[index] = std::move(file);
    --m_pending;
    refresh();
    if (m_pending == 0)
        Q_EMIT completed();
}

void ComparisonWindow::refresh()
{
    Comparison compared = compareFiles(m_files);
    appendScanRows(compared, m_scans);
    m_model->setComparison(std::move(compared));
    const Comparison& comparison = m_model->comparison();
    if (m_pending > 0) {
        m_status->setText(tr("Probing %1 of %2 files…")
                              .arg(m_pending)
                              .arg(static_cast<qulonglong>(m_files.size())));
        return;
    }
    const std::size_t differing = comparison.differingRowCount();
    m_status->setText(
        differing == 0
            ? tr("All %1 facts agree.").arg(static_cast<qulonglong>(comparison.rows.size()))
            : tr("%1 %2 of %3 facts differ.")
                  .arg(ComparisonModel::differenceMarker)
                  .arg(static_cast<qulonglong>(differing))
                  .arg(static_cast<qulonglong>(comparison.rows.size())));
}

void ComparisonWindow::exportCsv()
{
    exportAs(QStringLiteral("CSV (*.csv)"), QStringLiteral("csv"), false);
}

void ComparisonWindow::exportJson()
{
    exportAs(QStringLiteral("JSON (*.json)"), QStringLiteral("json"), true);
}

void ComparisonWindow::exportAs(const QString& filter, const QString& suffix, bool json)
{
    SaveDialogRequest request;
    request.suggestedName = QStringLiteral("comparison.") + suffix;
    request.nameFilter = filter;
    request.defaultSuffix = suffix;
    m_dialogs->runSaveDialog(this, request, this,
                             [this, json](const QString& path) { writeExport(path, json); });
}

void ComparisonWindow::writeExport(const QString& path, bool json)
{
    if (path.isEmpty())
        return;
    const Comparison& shown = m_model->shown();
    const std::string text =
        json ? comparisonJson(shown).rawString().value_or("") + "\n" : comparisonCsv(shown);
    const Status written =
        platform::writeFileAtomically(QFile::encodeName(path).toStdString(), text);
    if (written)
        return;
    m_dialogs->runAlert(this,
                        warningAlert(tr("The comparison could not be exported."),
                                     QString::fromStdString(written.error())),
                        this, [](int) {});
}

}  // namespace vellinor
