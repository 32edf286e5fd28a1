#include "app/widgets/table_keys.h"

#include <QEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QTableView>

namespace vellinor {
namespace {

// The first (or last) row or column `hidden` does not hide, -1 when all are hidden.
template <typename Hidden>
int firstShown(int count, bool fromEnd, Hidden hidden)
{
    for (int i = 0; i < count; ++i) {
        const int at = fromEnd ? count - 1 - i : i;
        if (!hidden(at))
            return at;
    }
    return -1;
}

class TableKeys final : public QObject {
public:
    explicit TableKeys(QTableView& table) : QObject(&table), m_table(table) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == &m_table && event->type() == QEvent::KeyPress &&
            moveToTableEnd(m_table, *static_cast<QKeyEvent*>(event)))
            return true;
        return QObject::eventFilter(watched, event);
    }

private:
    QTableView& m_table;
};

}  // namespace

bool moveToTableEnd(QTableView& table, const QKeyEvent& event)
{
    if (event.key() != Qt::Key_Home && event.key() != Qt::Key_End)
        return false;
    const Qt::KeyboardModifiers modifiers =
        event.modifiers() & (Qt::ControlModifier | Qt::ShiftModifier);
    if (event.modifiers() & ~(Qt::ControlModifier | Qt::ShiftModifier | Qt::KeypadModifier))
        return false;
    QAbstractItemModel* model = table.model();
    QItemSelectionModel* selection = table.selectionModel();
    if (model == nullptr || selection == nullptr)
        return true;
    const bool toEnd = event.key() == Qt::Key_End;
    const QModelIndex root = table.rootIndex();
    const int row =
        firstShown(model->rowCount(root), toEnd, [&table](int r) { return table.isRowHidden(r); });
    if (row < 0)
        return true;
    const QModelIndex current = selection->currentIndex();
    int column =
        current.isValid() && !table.isColumnHidden(current.column()) ? current.column() : -1;
    if (column < 0 || (modifiers & Qt::ControlModifier)) {
        // The visual order: a user may have moved columns.
        const int columns = model->columnCount(root);
        const QHeaderView* header = table.horizontalHeader();
        const int visual = firstShown(
            columns, toEnd, [&](int v) { return table.isColumnHidden(header->logicalIndex(v)); });
        column = visual < 0 ? -1 : header->logicalIndex(visual);
    }
    if (column < 0)
        return true;
    const QModelIndex target = model->index(row, column, root);
    const QItemSelectionModel::SelectionFlags rows =
        table.selectionBehavior() == QAbstractItemView::SelectRows ? QItemSelectionModel::Rows
        : table.selectionBehavior() == QAbstractItemView::SelectColumns
            ? QItemSelectionModel::Columns
            : QItemSelectionModel::NoUpdate;
    const bool extend = (modifiers & Qt::ShiftModifier) && current.isValid() &&
                        (table.selectionMode() == QAbstractItemView::ExtendedSelection ||
                         table.selectionMode() == QAbstractItemView::MultiSelection);
    if (table.selectionMode() == QAbstractItemView::NoSelection) {
        selection->setCurrentIndex(target, QItemSelectionModel::NoUpdate);
    } else if (extend) {
        selection->select(QItemSelection(current, target),
                          QItemSelectionModel::ClearAndSelect | rows);
        selection->setCurrentIndex(target, QItemSelectionModel::NoUpdate);
    } else {
        // Flags of our own: the view's would read the held Ctrl as "toggle".
        selection->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect | rows);
    }
    table.scrollTo(target);
    return true;
}

void installTableKeys(QTableView& table)
{
    table.installEventFilter(new TableKeys(table));
}

}  // namespace vellinor
