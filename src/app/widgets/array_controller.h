#pragma once

// ArrayController: the content of one table (a list of string-keyed dictionaries) together with
// its selection, the way the window's tables share them with their views. A view shows it with
// setModel(model()) and setSelectionModel(selectionModel()).

#include <QItemSelectionModel>
#include <QList>
#include <QObject>
#include <QVariantMap>

#include "app/widgets/dictionary_table_model.h"

namespace vellinor {

class ArrayController final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ArrayController)

public:
    explicit ArrayController(QList<TableColumn> columns, QObject* parent = nullptr);

    [[nodiscard]] DictionaryTableModel* model() { return &m_model; }
    [[nodiscard]] QItemSelectionModel* selectionModel() { return &m_selection; }

    [[nodiscard]] const QList<QVariantMap>& content() const { return m_model.rows(); }
    // The rows in display order (the same as content: these tables are never sorted).
    [[nodiscard]] const QList<QVariantMap>& arrangedObjects() const { return m_model.rows(); }
    // Replaces the content; the selection is cleared without a selection-change signal.
    void setContent(QList<QVariantMap> content);

    // Appends `object` and selects it (alone).
    void addObject(const QVariantMap& object);
    // Appends every object in one step and selects the last one, with a single selection
    // change, so adding a thousand files shows one file, not a thousand.
    void addObjects(const QList<QVariantMap>& objects);

    // Removes the selected rows. Afterwards the row that moved into the place of the first
    // removed one is selected (the last row when the removed ones were at the end), so the
    // selection stays on a neighbour while the list is not empty.
    void remove();

    // The selected rows, in list order.
    [[nodiscard]] QList<int> selectionIndexes() const;
    [[nodiscard]] QList<QVariantMap> selectedObjects() const;
    // Selects the single row `row` (and makes it current); out of range clears the selection.
    void setSelectionIndex(int row);

private:
    DictionaryTableModel m_model;
    QItemSelectionModel m_selection;
};

}  // namespace vellinor
