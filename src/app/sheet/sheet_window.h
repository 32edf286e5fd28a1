#pragma once

// The sheet of all files: every file of the file list as a row with the facts of
// `vellinor-cli --csv`, sortable by any column, columns shown or hidden from the header's
// menu (the choice remembered), a filter, and export of the rows and columns shown as CSV. The
// files are probed on worker threads while the sheet is open; rows fill in as results arrive
// and follow the file list as files are added or removed.

#include <QPointer>
#include <set>

#include <QThreadPool>
#include <QWidget>

#include "probe/file_probe.h"

class QLabel;
class QLineEdit;
class QTableView;

namespace vellinor {

class ArrayController;
class DialogRunner;
class SheetFilterModel;
class SheetModel;

class SheetWindow final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SheetWindow)

public:
    // Settings key of the hidden columns (their CSV names).
    static constexpr const char* kHiddenColumnsKey = "sheetHiddenColumns";

    SheetWindow(ArrayController& fileList, ProbeOptions options, DialogRunner& dialogs,
                QWidget* parent = nullptr);
    // Drops the probes not yet started and waits for those running.
    ~SheetWindow() override;

    [[nodiscard]] SheetModel* model() const { return m_model; }
    [[nodiscard]] SheetFilterModel* filterModel() const { return m_filter; }
    [[nodiscard]] QTableView* tableView() const { return m_table; }
    [[nodiscard]] QLineEdit* filterField() const { return m_filterField; }
    [[nodiscard]] QLabel* statusLabel() const { return m_status; }
    // True while no listed file waits for its facts.
    [[nodiscard]] bool isComplete() const;

    // Shows or hides a column (by CSV order) and remembers the choice.
    void setColumnShown(int column, bool shown);
    // Asks where to, then writes the rows and columns shown as CSV, atomically.
    void exportCsv();
    // The CSV of what is shown: the rows in their shown order, the shown columns.
    [[nodiscard]] std::string shownCsv() const;

Q_SIGNALS:
    // Every listed file has its facts.
    void completed();

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void followFileList();
    void probeMissing();
    void factsArrived(const QString& path);
    void updateStatus();
    void showColumnMenu(const QPoint& at);
    void applyHiddenColumns();
    [[nodiscard]] QList<int> hiddenColumns() const;

    ArrayController& m_fileList;
    ProbeOptions m_options;
    DialogRunner& m_dialogs;
    SheetModel* m_model = nullptr;
    SheetFilterModel* m_filter = nullptr;
    QTableView* m_table = nullptr;
    QLineEdit* m_filterField = nullptr;
    QLabel* m_status = nullptr;
    std::set<QString> m_inFlight;
    // Last: destroyed (and waited for) first, while what the workers report to still exists.
    QThreadPool m_pool;
};

}  // namespace vellinor
