#include "app/policy/policy_view.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QTableView>
#include <QUrl>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include "app/policy/recent_policies.h"
#include "app/scan/scan_panel.h"
#include "app/widgets/array_controller.h"
#include "app/widgets/dialog_runner.h"
#include "app/widgets/file_name.h"
#include "app/widgets/scroll_drop_view.h"
#include "app/widgets/table_keys.h"
#include "app/window/app_delegate.h"
#include "app/window/main_window.h"
#include "app/window/table_rows.h"
#include "policy/check_report.h"
#include "policy/check_setup.h"
#include "probe/file_scan.h"

namespace vellinor {

struct PolicyView::Opened {
    std::shared_ptr<policy::PolicyChecker> checker;  // null when the policy cannot be used
    std::optional<std::string> referenceRecord;
    QString error;
};

namespace {

// The window decodes nothing unasked: a scan kept for the unchanged file, or none.
policy::ScanSource keptScans()
{
    return [](const std::string& path) -> Expected<std::optional<ScanResult>> {
        return sharedFileScanner().kept(path);
    };
}

// The scan the Scan panel knows for a file (this session's, also with the cache off, or the
// cache's), looked up when the check is asked for.
policy::ScanSource knownScan(std::shared_ptr<const ScanResult> scan)
{
    return [scan](const std::string&) -> Expected<std::optional<ScanResult>> {
        return scan ? std::optional<ScanResult>(*scan) : std::nullopt;
    };
}

QString localPath(const QVariantMap& entry)
{
    const QUrl url = entry.value(keys::fileURL).toUrl();
    return url.isLocalFile() ? url.toLocalFile() : QString();
}

QString policyTitle(const policy::Policy& policy)
{
    return policy.name.empty() ? fileNameOf(QString::fromStdString(policy.sourceName))
                               : QString::fromStdString(policy.name);
}

}  // namespace

PolicyView::PolicyView(MainWindow& window, AppDelegate& delegate)
    : QDockWidget(tr("Policy"), &window), m_window(window), m_delegate(delegate)
{
    setObjectName(QStringLiteral("policyPanel"));
    setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable);
    m_pool.setMaxThreadCount(1);
    m_openPool.setMaxThreadCount(1);

    m_choose = new QAction(tr("Check Against &Policy\u2026"), &window);
    m_choose->setObjectName(QStringLiteral("checkPolicyAction"));
    m_choose->setToolTip(tr("Check every listed file against a policy file (TOML)"));
    m_clear = new QAction(tr("C&lear Policy"), &window);
    m_clear->setObjectName(QStringLiteral("clearPolicyAction"));
    m_clear->setEnabled(false);
    m_recentMenu = new QMenu(tr("&Recent Policies"), &window);
    m_recentMenu->setObjectName(QStringLiteral("recentPoliciesMenu"));
    if (auto* inspect = window.findChild<QMenu*>(QStringLiteral("inspectMenu"))) {
        inspect->addSeparator();
        inspect->addAction(m_choose);
        inspect->addMenu(m_recentMenu);
        inspect->addAction(m_clear);
    }
    fillRecentMenu();

    auto* body = new QWidget(this);
    m_status = new QLabel(body);
    m_status->setObjectName(QStringLiteral("policyStatus"));
    m_status->setWordWrap(true);
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_failing = new ArrayController({{policyKeys::rule, tr("Rule")},
                                     {policyKeys::severity, tr("Severity")},
                                     {policyKeys::actual, tr("Actual")},
                                     {policyKeys::expected, tr("Expected")},
                                     {policyKeys::reason, tr("Reason")}},
                                    this);
    // Values and reasons run long (every failing track's); the tooltip shows them whole.
    const QList<TableColumn>& columns = m_failing->model()->columns();
    for (int column = 0; column < columns.size(); ++column)
        m_failing->model()->setToolTipKey(column, columns.at(column).key);
    m_table = new QTableView(body);
    m_table->setObjectName(QStringLiteral("policyFailures"));
    m_table->setModel(m_failing->model());
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setWordWrap(false);
    m_table->setShowGrid(false);
    m_table->verticalHeader()->setVisible(false);
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);
    m_table->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->horizontalHeader()->setMaximumSectionSize(160);
    installTableKeys(*m_table);
    auto* layout = new QVBoxLayout(body);
    layout->addWidget(m_status);
    layout->addWidget(m_table, 1);
    setWidget(body);
    window.addDockWidget(Qt::RightDockWidgetArea, this, Qt::Vertical);
    hide();

    connect(m_choose, &QAction::triggered, this, &PolicyView::askForPolicy);
    connect(m_clear, &QAction::triggered, this, &PolicyView::clearPolicy);
    connect(m_recentMenu, &QMenu::aboutToShow, this, &PolicyView::fillRecentMenu);
    connect(&delegate, &AppDelegate::displayChanged, this, &PolicyView::showDisplayedFile);
    QAbstractItemModel* files = window.fileListArrayController()->model();
    connect(files, &QAbstractItemModel::rowsInserted, this, &PolicyView::checkListedFiles);
    connect(files, &QAbstractItemModel::modelReset, this, &PolicyView::checkListedFiles);
    if (auto* scan = window.findChild<ScanPanel*>())
        connect(scan, &ScanPanel::finished, this, &PolicyView::recheckUnscanned);
    showDisplayedFile();
}

PolicyView::~PolicyView()
{
    // The checks still queued return at once; the pool waits for the one that runs.
    m_generation->fetch_add(1);
}

QString PolicyView::statusText() const
{
    return m_status->text();
}

const policy::Policy* PolicyView::policy() const
{
    return m_checker ? &m_checker->policy() : nullptr;
}

void PolicyView::askForPolicy()
{
    auto* dialog = new QFileDialog(&m_window, tr("Check Against Policy"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setNameFilters({tr("Policies (*.toml)"), tr("All files (*)")});
    dialog->setWindowModality(Qt::WindowModal);
    QStringList offered = m_delegate.userDefaults != nullptr
                              ? RecentPolicies(*m_delegate.userDefaults).paths()
                              : QStringList();
    offered += examplePolicyPaths();
    if (!offered.isEmpty())
        dialog->setDirectory(QFileInfo(offered.front()).absolutePath());
    connect(dialog, &QFileDialog::fileSelected, this, &PolicyView::choosePolicy);
    dialog->open();
}

void PolicyView::choosePolicy(const QString& path)
{
    if (path.isEmpty())
        return;
    ++m_opening;
    const quint64 request = ++m_openRequest;
    const std::string native = QFile::encodeName(path).toStdString();
    const ProbeOptions options = m_delegate.probeOptions();
    auto* watcher = new QFutureWatcher<Opened>(this);
    connect(watcher, &QFutureWatcher<Opened>::finished, this, [this, watcher, path, request] {
        const Opened opened = watcher->result();
        watcher->deleteLater();
        --m_opening;
        if (request == m_openRequest)
            policyOpened(path, opened);
        jobEnded();
    });
    // Not behind the checks of the policy it replaces.
    watcher->setFuture(QtConcurrent::run(&m_openPool, [native, options] {
        Opened opened;
        auto checker = policy::openPolicy(native, std::nullopt);
        if (!checker) {
            opened.error = QString::fromStdString(checker.error());
            return opened;
        }
        const policy::Policy& rules = (*checker)->policy();
        if (rules.needsReference()) {
            const policy::FileRecord reference =
                policy::fileRecord(*rules.reference, ok(), options,
                                   rules.needsScan() ? keptScans() : policy::ScanSource());
            if (!reference.problem.empty()) {
                opened.error = QString::fromStdString(*rules.reference + ": " + reference.problem);
                return opened;
            }
            opened.referenceRecord = reference.record;
        }
        opened.checker = std::move(*checker);
        return opened;
    }));
}

void PolicyView::policyOpened(const QString& path, const Opened& opened)
{
    if (!opened.checker) {
        m_delegate.dialogRunner().runAlert(
            &m_window, warningAlert(tr("The policy cannot be used."), opened.error), this,
            [](int) {});
        return;
    }
    m_generation->fetch_add(1);
    m_checker = opened.checker;
    m_referenceRecord = opened.referenceRecord;
    m_results.clear();
    m_inFlight.clear();
    if (m_delegate.userDefaults != nullptr)
        RecentPolicies(*m_delegate.userDefaults).add(path);
    DictionaryTableModel* files = m_window.fileListArrayController()->model();
    files->dropColumn(kColumnKey);
    files->addColumn({kColumnKey, tr("Policy")});
    files->setToolTipKey(files->columnCount() - 1, kSummaryKey);
    m_clear->setEnabled(true);
    setWindowTitle(tr("Policy: %1").arg(policyTitle(m_checker->policy())));
    if (isHidden()) {
        show();
        // The failing rules want more room than the scan's few lines, and their five columns
        // some width.
        if (auto* scan = m_window.findChild<ScanPanel*>(); scan != nullptr && scan->isVisible())
            m_window.resizeDocks({scan, this}, {1, 2}, Qt::Vertical);
        m_window.resizeDocks({this}, {380}, Qt::Horizontal);
    }
    checkListedFiles();
    m_window.fileListView()->resizeColumnToContents(0);
    showDisplayedFile();
}

void PolicyView::clearPolicy()
{
    m_generation->fetch_add(1);
    m_checker.reset();
    m_referenceRecord.reset();
    m_results.clear();
    m_inFlight.clear();
    m_window.fileListArrayController()->model()->dropColumn(kColumnKey);
    m_clear->setEnabled(false);
    setWindowTitle(tr("Policy"));
    hide();
    showDisplayedFile();
}

void PolicyView::fillRecentMenu()
{
    m_recentMenu->clear();
    const QStringList recent = m_delegate.userDefaults != nullptr
                                   ? RecentPolicies(*m_delegate.userDefaults).paths()
                                   : QStringList();
    const auto offer = [this](const QString& path) {
        QAction* action = m_recentMenu->addAction(fileNameOf(path));
        action->setToolTip(path);
        connect(action, &QAction::triggered, this, [this, path] { choosePolicy(path); });
    };
    for (const QString& path : recent)
        offer(path);
    if (recent.isEmpty())
        m_recentMenu->addAction(tr("No recent policies"))->setEnabled(false);
    const QStringList examples = examplePolicyPaths();
    if (!examples.isEmpty()) {
        m_recentMenu->addSection(tr("Examples"));
        for (const QString& path : examples)
            offer(path);
    }
    m_recentMenu->addSeparator();
    QAction* forget = m_recentMenu->addAction(tr("Clear Recent Policies"));
    forget->setEnabled(!recent.isEmpty());
    connect(forget, &QAction::triggered, this, [this] {
        if (m_delegate.userDefaults != nullptr)
            RecentPolicies(*m_delegate.userDefaults).clear();
    });
}

void PolicyView::checkListedFiles()
{
    if (!m_checker)
        return;
    const ProbeOptions options = m_delegate.probeOptions();
    for (const QVariantMap& entry : m_window.fileListArrayController()->content()) {
        const QString path = localPath(entry);
        if (path.isEmpty() || m_inFlight.count(path) > 0)
            continue;
        if (m_results.count(path) > 0) {
            showResultInList(path);
            continue;
        }
        m_inFlight.insert(path);
        showResultInList(path);
        policy::ScanSource scans;
        if (m_checker->policy().needsScan()) {
            const auto* panel = m_window.findChild<ScanPanel*>();
            scans = panel != nullptr ? knownScan(panel->scanOf(path)) : keptScans();
        }
        ++m_running;
        const quint64 generation = m_generation->load();
        using Checked = std::optional<PolicyFileResult>;
        auto* watcher = new QFutureWatcher<Checked>(this);
        connect(watcher, &QFutureWatcher<Checked>::finished, this,
                [this, watcher, generation, path] {
                    Checked result = watcher->result();
                    watcher->deleteLater();
                    --m_running;
                    if (result)
                        fileChecked(generation, path, std::move(*result));
                    jobEnded();
                });
        watcher->setFuture(QtConcurrent::run(
            &m_pool,
            [checker = m_checker, reference = m_referenceRecord, latest = m_generation, generation,
             native = QFile::encodeName(path).toStdString(), options, scans]() -> Checked {
                if (latest->load() != generation)
                    return std::nullopt;
                const policy::Policy& rules = checker->policy();
                const policy::FileRecord file = policy::fileRecord(native, ok(), options, scans);
                PolicyFileResult result;
                result.problem = QString::fromStdString(file.problem);
                result.scanned = file.scanned;
                result.outcome = std::move(checker->check({file.record}, reference).front());
                markUnscannedRules(rules, result);
                return result;
            }));
    }
}

void PolicyView::fileChecked(quint64 generation, const QString& path, PolicyFileResult result)
{
    if (generation != m_generation->load() || !m_checker)
        return;
    m_inFlight.erase(path);
    m_results[path] = std::move(result);
    showResultInList(path);
    if (path == displayedPath())
        showDisplayedFile();
}

void PolicyView::showResultInList(const QString& path)
{
    QVariantMap values;
    if (const auto found = m_results.find(path); found != m_results.end() && m_checker) {
        const policy::Policy& rules = m_checker->policy();
        const PolicyFileResult& result = found->second;
        values.insert(kColumnKey, policyCell(rules, result));
        values.insert(
            kSummaryKey,
            result.problem.isEmpty()
                ? QString::fromStdString(
                      policy::checkSummary(rules, fileNameOf(path).toStdString(), result.outcome))
                      .trimmed()
                : result.problem);
    } else {
        values.insert(kColumnKey, tr("Checking\u2026"));
        values.insert(kSummaryKey, QString());
    }
    ArrayController* files = m_window.fileListArrayController();
    const QList<QVariantMap>& rows = files->content();
    for (int row = 0; row < rows.size(); ++row) {
        if (localPath(rows.at(row)) == path)
            files->model()->setRowValues(row, values);
    }
}

QString PolicyView::displayedPath() const
{
    if (!m_delegate.hasDisplayedFile())
        return {};
    const QList<QVariantMap> selected = m_window.fileListArrayController()->selectedObjects();
    return selected.isEmpty() ? QString() : localPath(selected.front());
}

void PolicyView::showDisplayedFile()
{
    if (!m_checker) {
        m_failing->setContent({});
        m_status->setText(tr("Choose a policy with Inspect > Check Against Policy\u2026"));
        return;
    }
    const policy::Policy& rules = m_checker->policy();
    const QString path = displayedPath();
    const auto found = path.isEmpty() ? m_results.end() : m_results.find(path);
    if (found == m_results.end()) {
        m_failing->setContent({});
        m_status->setText(path.isEmpty() ? tr("Select a file to see the rules it fails.")
                                         : tr("Checking %1\u2026").arg(fileNameOf(path)));
        return;
    }
    const PolicyFileResult& result = found->second;
    const QString verdict =
        result.problem.isEmpty()
            ? QString::fromStdString(
                  policy::checkSummary(rules, fileNameOf(path).toStdString(), result.outcome))
                  .trimmed()
            : tr("%1: not checked: %2").arg(fileNameOf(path), result.problem);
    m_status->setText(verdict);
    m_failing->setContent(failingRuleRows(rules, result));
    m_table->resizeColumnsToContents();
}

void PolicyView::recheckUnscanned()
{
    if (!m_checker || !m_checker->policy().needsScan())
        return;
    for (auto result = m_results.begin(); result != m_results.end();) {
        if (!result->second.scanned && result->second.problem.isEmpty())
            result = m_results.erase(result);
        else
            ++result;
    }
    checkListedFiles();
}

void PolicyView::jobEnded()
{
    if (!isWorking())
        Q_EMIT idle();
}

PolicyView* installPolicyView(MainWindow& window, AppDelegate& delegate)
{
    return new PolicyView(window, delegate);
}

}  // namespace vellinor
