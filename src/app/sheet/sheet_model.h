#pragma once

// The sheet: every file of the file list as a row, its columns those of `vellinor-cli --csv`
// (probe/csv_row.h). Cells show the readable texts ("1.2 MB", "00:01:05.200", "1,026 kbps");
// sorting goes by the values underneath (bytes, seconds, bits per second, pixels, frames per
// second; text without regard to case), and the CSV export writes the values exactly as the
// command line does.

#include <map>
#include <optional>
#include <string>
#include <vector>

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>
#include <QStringList>

namespace vellinor {

class FileProbe;

// What the sheet keeps of one probed file.
struct SheetFacts {
    std::vector<std::string> fields;  // the CSV fields, one per column
    QStringList texts;                // what the cells show, one per column
    QVariantList sortKeys;            // what the columns sort by, one per column

    static SheetFacts of(const std::string& path, const FileProbe& probe,
                         const std::string& problem);
};

class SheetModel final : public QAbstractTableModel {
    Q_OBJECT

public:
    // The role that holds a cell's sort key.
    static constexpr int kSortRole = Qt::UserRole + 1;

    using QAbstractTableModel::QAbstractTableModel;

    // The column names of the CSV ("path", "size", ...) and their headers ("Path", "Size", ...).
    [[nodiscard]] static const QStringList& columnNames();
    [[nodiscard]] static const QStringList& columnTitles();

    // The rows, one per path in this order; facts already known for a path are kept.
    void setPaths(const QStringList& paths);
    [[nodiscard]] const QStringList& paths() const { return m_paths; }
    // The facts of every row whose path is `path`.
    void setFacts(const QString& path, SheetFacts facts);
    [[nodiscard]] bool hasFacts(const QString& path) const { return m_facts.count(path) > 0; }
    // Rows whose facts have not arrived yet.
    [[nodiscard]] int pendingRows() const;

    // The CSV of the rows `rows` (model rows, in this order) and the columns `columns` (in the
    // CSV's own order whatever is passed): the header, then a record a row; a row still being
    // read has only its path.
    [[nodiscard]] std::string csv(const std::vector<int>& rows, std::vector<int> columns) const;

    [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] int columnCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation,
                                      int role) const override;

private:
    QStringList m_paths;
    std::map<QString, SheetFacts> m_facts;
};

// Sorts by SheetModel::kSortRole; the filter keeps rows any shown cell of which holds the typed
// text, any case.
class SheetFilterModel final : public QSortFilterProxyModel {
    Q_OBJECT

public:
    explicit SheetFilterModel(QObject* parent = nullptr);
    // Keeps the rows a shown cell of which holds `text` (all rows for an empty text).
    void setFilterText(const QString& text);
    // Columns the filter does not look into (the hidden ones).
    void setHiddenColumns(const QList<int>& columns);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

private:
    QString m_filterText;
    QList<int> m_hidden;
};

}  // namespace vellinor
