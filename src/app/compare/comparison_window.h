#pragma once

// The comparison of 2 to 8 files in a window of its own: one column per file, differing rows
// marked and tinted, a switch to show only them, and export as CSV or JSON. The files are
// probed on worker threads; the table fills in as each result arrives.

#include <memory>
#include <vector>

#include <QList>
#include <QString>
#include <QWidget>

#include "app/widgets/dialog_runner.h"
#include "probe/comparison.h"
#include "probe/file_probe.h"
#include "probe/scan_result.h"

class QCheckBox;
class QLabel;
class QTableView;

namespace vellinor {

class ComparisonModel;

class ComparisonWindow final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ComparisonWindow)

public:
    // Starts probing `paths` (local file paths) at once with `options`.
    ComparisonWindow(const QStringList& paths, ProbeOptions options, QWidget* parent = nullptr);
    ~ComparisonWindow() override;

    [[nodiscard]] ComparisonModel* model() const { return m_model; }
    [[nodiscard]] QTableView* tableView() const { return m_table; }
    [[nodiscard]] QCheckBox* onlyDifferencesSwitch() const { return m_onlyDifferences; }
    [[nodiscard]] QLabel* statusLabel() const { return m_status; }
    // True once every file has its result.
    [[nodiscard]] bool isComplete() const { return m_pending == 0; }

    // Who asks where to export; by default the real save dialog. Must outlive the window.
    void setDialogRunner(DialogRunner& dialogs) { m_dialogs = &dialogs; }

public Q_SLOTS:
    // Ask for a file name, then write the comparison as shown (all rows, or only the differing
    // ones) as CSV or JSON, atomically.
    void exportCsv();
    void exportJson();

Q_SIGNALS:
    // After the last file's result has been put in the table.
    void completed();

private:
    void fileProbed(std::size_t index, ComparedFile file);
    void refresh();
    void exportAs(const QString& filter, const QString& suffix, bool json);
    void writeExport(const QString& path, bool json);

    std::vector<ComparedFile> m_files;
    // Each file's deep scan when the cache keeps one (vellinor-cli scan, the window's Scan).
    std::vector<std::shared_ptr<const ScanResult>> m_scans;
    std::size_t m_pending = 0;
    ComparisonModel* m_model = nullptr;
    QTableView* m_table = nullptr;
    QCheckBox* m_onlyDifferences = nullptr;
    QLabel* m_status = nullptr;
    QtDialogRunner m_qtDialogs;
    DialogRunner* m_dialogs = &m_qtDialogs;
};

}  // namespace vellinor
