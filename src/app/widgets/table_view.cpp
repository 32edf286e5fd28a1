#include "app/widgets/table_view.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QPen>

#include "app/widgets/elided_text_delegate.h"
#include "app/widgets/table_keys.h"

namespace vellinor {

TableView::TableView(QWidget* parent) : QTableView(parent)
{
    setItemDelegate(new ElidedTextDelegate(this));
    setTextElideMode(Qt::ElideRight);
    setWordWrap(false);
    verticalHeader()->setVisible(false);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

void TableView::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected)
{
    QTableView::selectionChanged(selected, deselected);
    Q_EMIT selectionDidChange(this);
}

void TableView::contextMenuEvent(QContextMenuEvent* event)
{
    if (actions().isEmpty()) {
        event->ignore();
        return;
    }
    m_clickedIndex =
        event->reason() == QContextMenuEvent::Keyboard ? currentIndex() : indexAt(event->pos());
    m_clickedRow = m_clickedIndex.row();
    m_inContextMenu = true;
    Q_EMIT contextMenuAboutToShow();
    QMenu::exec(actions(), event->globalPos(), nullptr, this);
    m_inContextMenu = false;
    m_clickedIndex = QPersistentModelIndex();
    m_clickedRow = -1;
    event->accept();
}

QModelIndex TableView::commandIndex() const
{
    return m_inContextMenu ? QModelIndex(m_clickedIndex) : currentIndex();
}

void TableView::paintEvent(QPaintEvent* event)
{
    QTableView::paintEvent(event);
    // The table the keys act on is outlined in the highlight colour.
    if (!hasFocus())
        return;
    QPainter painter(viewport());
    QPen pen(palette().color(QPalette::Highlight));
    pen.setWidth(2);
    painter.setPen(pen);
    painter.drawRect(viewport()->rect().adjusted(1, 1, -1, -1));
}

void TableView::focusInEvent(QFocusEvent* event)
{
    QTableView::focusInEvent(event);
    viewport()->update();
}

void TableView::focusOutEvent(QFocusEvent* event)
{
    QTableView::focusOutEvent(event);
    viewport()->update();
}

void TableView::scrollContentsBy(int dx, int dy)
{
    QTableView::scrollContentsBy(dx, dy);
    // Scrolling moves the pixels, the outline with them: draw it afresh.
    if (hasFocus())
        viewport()->update();
}

void TableView::keyPressEvent(QKeyEvent* event)
{
    if (moveToTableEnd(*this, *event)) {
        event->accept();
        return;
    }
    // The item view copies only the current cell on the copy key; a view that offers its own
    // copy command runs that instead.
    if (event->matches(QKeySequence::Copy)) {
        for (QAction* action : actions()) {
            if (action->isEnabled() && action->shortcut() == QKeySequence(QKeySequence::Copy)) {
                action->trigger();
                event->accept();
                return;
            }
        }
    }
    QTableView::keyPressEvent(event);
}

}  // namespace vellinor
