#include "app/sheet/sheet_window.h"

#include <QAction>
#include <QFile>
#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QTableView>
#include <QUrl>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include "app/sheet/sheet_model.h"
#include "app/widgets/array_controller.h"
#include "app/widgets/dialog_runner.h"
#include "app/widgets/table_keys.h"
#include "app/window/table_rows.h"
#include "platform/atomic_write.h"
#include "probe/verdict.h"

namespace vellinor {
namespace {

// Two probes at once: the sheet fills in quickly without taking every core from the window.
constexpr int kProbeThreads = 2;
constexpr int kMaxColumnWidth = 360;

QStringList listedPaths(const ArrayController& fileList)
{
    QStringList paths;
    for (const QVariantMap& entry : fileList.arrangedObjects()) {
        const QUrl url = entry.value(keys::fileURL).toUrl();
        if (url.isLocalFile())
            paths.append(url.toLocalFile());
    }
    return paths;
}

}  // namespace

SheetWindow::SheetWindow(ArrayController& fileList, ProbeOptions options, DialogRunner& dialogs,
                         QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_fileList(fileList)
    , m_options(std::move(options))
    , m_dialogs(dialogs)
    , m_model(new SheetModel(this))
    , m_filter(new SheetFilterModel(this))
{
    setObjectName(QStringLiteral("sheetWindow"));
    setWindowTitle(tr("Sheet of All Files"));
    resize(1200, 640);
    m_pool.setMaxThreadCount(kProbeThreads);

    m_filterField = new QLineEdit(this);
    m_filterField->setPlaceholderText(tr("Filter"));
    m_filterField->setClearButtonEnabled(true);
    m_filterField->setToolTip(tr("Show only the files with this text in a shown column"));
    m_status = new QLabel(this);
    auto* exportButton = new QPushButton(tr("&Export CSV\u2026"), this);
    exportButton->setToolTip(tr("Save the rows and columns shown as CSV"));

    m_filter->setSourceModel(m_model);
    m_table = new QTableView(this);
    m_table->setModel(m_filter);
    m_table->setSortingEnabled(true);
    m_table->sortByColumn(0, Qt::AscendingOrder);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setWordWrap(false);
    // Paths and names keep their ends (the file name, its extension) in sight.
    m_table->setTextElideMode(Qt::ElideMiddle);
    m_table->verticalHeader()->setVisible(false);
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);
    QHeaderView* header = m_table->horizontalHeader();
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setMaximumSectionSize(kMaxColumnWidth);
    header->setStretchLastSection(true);
    header->setSectionsMovable(true);
    header->setContextMenuPolicy(Qt::CustomContextMenu);
    header->setToolTip(tr("Click to sort; right-click to choose the columns"));
    m_table->setShowGrid(false);
    installTableKeys(*m_table);

    auto* bar = new QHBoxLayout;
    bar->addWidget(m_filterField, 1);
    bar->addWidget(m_status, 1);
    bar->addWidget(exportButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(m_table, 1);

    auto* findAction = new QAction(this);
    findAction->setShortcut(QKeySequence::Find);
    connect(findAction, &QAction::triggered, m_filterField, [this] {
        m_filterField->setFocus();
        m_filterField->selectAll();
    });
    auto* closeAction = new QAction(this);
    closeAction->setShortcut(QKeySequence(tr("Ctrl+W")));
    connect(closeAction, &QAction::triggered, this, &QWidget::close);
    addActions({findAction, closeAction});

    connect(m_filterField, &QLineEdit::textChanged, this, [this](const QString& text) {
        m_filter->setFilterText(text);
        updateStatus();
    });
    connect(exportButton, &QPushButton::clicked, this, &SheetWindow::exportCsv);
    connect(header, &QHeaderView::customContextMenuRequested, this, &SheetWindow::showColumnMenu);
    const auto follow = [this] {
        if (isVisible())
            followFileList();
    };
    connect(fileList.model(), &QAbstractItemModel::modelReset, this, follow);
    connect(fileList.model(), &QAbstractItemModel::rowsInserted, this, follow);
    connect(fileList.model(), &QAbstractItemModel::rowsRemoved, this, follow);
    applyHiddenColumns();
    updateStatus();
}

SheetWindow::~SheetWindow()
{
    // Probes not yet begun are dropped (a cancelled task ends as soon as it starts).
    for (QFutureWatcherBase* watcher : findChildren<QFutureWatcherBase*>())
        watcher->cancel();
    m_pool.waitForDone();
}

bool SheetWindow::isComplete() const
{
    return m_model->pendingRows() == 0;
}

void SheetWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    followFileList();
}

void SheetWindow::keyPressEvent(QKeyEvent* event)
{
    // Escape clears the filter first, then closes the sheet.
    if (event->key() == Qt::Key_Escape) {
        if (!m_filterField->text().isEmpty())
            m_filterField->clear();
        else
            close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void SheetWindow::followFileList()
{
    m_model->setPaths(listedPaths(m_fileList));
    m_table->resizeColumnsToContents();
    probeMissing();
    updateStatus();
}

void SheetWindow::probeMissing()
{
    for (const QString& path : m_model->paths()) {
        if (m_model->hasFacts(path) || m_inFlight.count(path) > 0)
            continue;
        m_inFlight.insert(path);
        const ProbeOptions options = m_options;
        using Probed = std::shared_ptr<SheetFacts>;
        auto* watcher = new QFutureWatcher<Probed>(this);
        connect(watcher, &QFutureWatcher<Probed>::finished, this, [this, watcher, path] {
            watcher->deleteLater();
            if (watcher->isCanceled())
                return;
            m_inFlight.erase(path);
            m_model->setFacts(path, std::move(*watcher->result()));
            factsArrived(path);
        });
        // The worker holds nothing of this window; the destructor waits for it all the same.
        watcher->setFuture(QtConcurrent::run(&m_pool, [path, options] {
            const std::string nativePath = QFile::encodeName(path).toStdString();
            const FileProbe probe(nativePath, options);
            const FileVerdict verdict = fileVerdict(nativePath, probe);
            return std::make_shared<SheetFacts>(
                SheetFacts::of(path.toStdString(), probe, verdict.problem));
        }));
    }
}

void SheetWindow::factsArrived(const QString&)
{
    updateStatus();
    if (isComplete()) {
        m_table->resizeColumnsToContents();
        Q_EMIT completed();
    }
}

void SheetWindow::updateStatus()
{
    const int total = m_model->rowCount();
    const int pending = m_model->pendingRows();
    const int shown = m_filter->rowCount();
    QString text = pending > 0 ? tr("Reading %1 of %2 files\u2026").arg(pending).arg(total)
                               : tr("%n files", nullptr, total);
    if (shown != total)
        text += tr("; %1 shown").arg(shown);
    m_status->setText(text);
}

QList<int> SheetWindow::hiddenColumns() const
{
    QList<int> hidden;
    for (int column = 0; column < m_model->columnCount(); ++column) {
        if (m_table->isColumnHidden(column))
            hidden.append(column);
    }
    return hidden;
}

void SheetWindow::applyHiddenColumns()
{
    const QStringList hidden =
        QSettings().value(QString::fromLatin1(kHiddenColumnsKey)).toStringList();
    const QStringList& names = SheetModel::columnNames();
    for (int column = 0; column < names.size(); ++column)
        m_table->setColumnHidden(column, hidden.contains(names.at(column)));
    m_filter->setHiddenColumns(hiddenColumns());
}

void SheetWindow::setColumnShown(int column, bool shown)
{
    if (column < 0 || column >= m_model->columnCount())
        return;
    // One column always stays, or the sheet would have nothing to show or sort by.
    if (!shown && hiddenColumns().size() + 1 >= m_model->columnCount())
        return;
    m_table->setColumnHidden(column, !shown);
    QStringList hidden;
    for (const int index : hiddenColumns())
        hidden.append(SheetModel::columnNames().at(index));
    QSettings().setValue(QString::fromLatin1(kHiddenColumnsKey), hidden);
    m_filter->setHiddenColumns(hiddenColumns());
    updateStatus();
}

void SheetWindow::showColumnMenu(const QPoint& at)
{
    QMenu menu(this);
    const QStringList& titles = SheetModel::columnTitles();
    for (int column = 0; column < titles.size(); ++column) {
        QAction* action = menu.addAction(titles.at(column));
        action->setCheckable(true);
        action->setChecked(!m_table->isColumnHidden(column));
        connect(action, &QAction::toggled, this,
                [this, column](bool shown) { setColumnShown(column, shown); });
    }
    menu.exec(m_table->horizontalHeader()->mapToGlobal(at));
}

std::string SheetWindow::shownCsv() const
{
    std::vector<int> rows;
    for (int row = 0; row < m_filter->rowCount(); ++row)
        rows.push_back(m_filter->mapToSource(m_filter->index(row, 0)).row());
    std::vector<int> columns;
    for (int column = 0; column < m_model->columnCount(); ++column) {
        if (!m_table->isColumnHidden(column))
            columns.push_back(column);
    }
    return m_model->csv(rows, columns);
}

void SheetWindow::exportCsv()
{
    SaveDialogRequest request;
    request.suggestedName = QStringLiteral("sheet.csv");
    request.nameFilter = QStringLiteral("CSV (*.csv)");
    request.defaultSuffix = QStringLiteral("csv");
    m_dialogs.runSaveDialog(this, request, this, [this](const QString& path) {
        if (path.isEmpty())
            return;
        const Status written =
            platform::writeFileAtomically(QFile::encodeName(path).toStdString(), shownCsv());
        if (written)
            return;
        m_dialogs.runAlert(this,
                           warningAlert(tr("The sheet could not be exported."),
                                        QString::fromStdString(written.error())),
                           this, [](int) {});
    });
}

}  // namespace vellinor
