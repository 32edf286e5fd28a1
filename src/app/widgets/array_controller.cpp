#include "app/widgets/array_controller.h"

#include <algorithm>
#include <utility>

namespace vellinor {

ArrayController::ArrayController(QList<TableColumn> columns, QObject* parent)
    : QObject(parent), m_model(std::move(columns)), m_selection(&m_model)
{
}

void ArrayController::setContent(QList<QVariantMap> content)
{
    m_model.setRows(std::move(content));
}

void ArrayController::addObject(const QVariantMap& object)
{
    addObjects({object});
}

void ArrayController::addObjects(const QList<QVariantMap>& objects)
{
    if (objects.isEmpty())
        return;
    m_model.appendRows(objects);
    setSelectionIndex(static_cast<int>(m_model.rows().size()) - 1);
}

void ArrayController::remove()
{
    const QList<int> selected = selectionIndexes();
    if (selected.isEmpty())
        return;
    m_model.removeRowsAt(selected);
    const auto remaining = static_cast<int>(m_model.rows().size());
    if (remaining > 0)
        setSelectionIndex(std::min(selected.first(), remaining - 1));
}

QList<int> ArrayController::selectionIndexes() const
{
    QList<int> rows;
    for (const QModelIndex& index : m_selection.selectedIndexes())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

QList<QVariantMap> ArrayController::selectedObjects() const
{
    QList<QVariantMap> objects;
    for (int row : selectionIndexes())
        objects.append(m_model.rows().at(row));
    return objects;
}

void ArrayController::setSelectionIndex(int row)
{
    if (row < 0 || row >= m_model.rows().size()) {
        m_selection.clearSelection();
        return;
    }
    m_selection.setCurrentIndex(m_model.index(row, 0),
                                QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

}  // namespace vellinor
