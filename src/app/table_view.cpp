#include "app/table_view.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>

#include "app/elided_text_delegate.h"
#include "app/notification_center.h"

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

int TableView::tag() const
{
    return property("tag").toInt();
}

void TableView::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected)
{
    QTableView::selectionChanged(selected, deselected);
    NotificationCenter::defaultCenter().post(tableViewSelectionDidChangeNotification, this);
}

void TableView::contextMenuEvent(QContextMenuEvent* event)
{
    if (actions().isEmpty()) {
        event->ignore();
        return;
    }
    m_clickedRow = event->reason() == QContextMenuEvent::Keyboard ? currentIndex().row()
                                                                  : indexAt(event->pos()).row();
    QMenu::exec(actions(), event->globalPos(), nullptr, this);
    m_clickedRow = -1;
    event->accept();
}

void TableView::keyPressEvent(QKeyEvent* event)
{
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
