#pragma once

// A read-only table over a list of string-keyed dictionaries: each column shows the value stored
// under one fixed key. Values may be text, numbers or ColoredText (shown in its colour); any
// other value (a URL, a nested list) is held but not shown.

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QString>
#include <QVariantMap>

namespace vellinor {

struct TableColumn {
    QString key;
    QString title;
};

class DictionaryTableModel final : public QAbstractTableModel {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DictionaryTableModel)

public:
    explicit DictionaryTableModel(QList<TableColumn> columns, QObject* parent = nullptr);

    [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] int columnCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation,
                                      int role) const override;

    [[nodiscard]] const QList<QVariantMap>& rows() const { return m_rows; }
    [[nodiscard]] const QList<TableColumn>& columns() const { return m_columns; }

    // Column `column` shows as its tooltip the value under `key` (a URL as its local path).
    void setToolTipKey(int column, const QString& key);

    // Replaces every row (one model reset).
    void setRows(QList<QVariantMap> rows);
    // Appends `rows` at the end in one insertion.
    void appendRows(const QList<QVariantMap>& rows);
    // Removes the rows at the given indexes (any order, duplicates ignored).
    void removeRowsAt(QList<int> indexes);
    // Sets the values of `values` in row `row` (out of range: nothing), the others kept.
    void setRowValues(int row, const QVariantMap& values);

    // A column added after the others, or taken away, while the rows (and the selection) stay.
    void addColumn(const TableColumn& column);
    void dropColumn(const QString& key);

private:
    QList<TableColumn> m_columns;
    QHash<int, QString> m_toolTipKeys;
    QList<QVariantMap> m_rows;
};

}  // namespace vellinor
