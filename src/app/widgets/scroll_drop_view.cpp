#include "app/widgets/scroll_drop_view.h"

#include <QDragEnterEvent>
#include <QDropEvent>

#include "app/widgets/file_drop.h"

namespace vellinor {

ScrollDropView::ScrollDropView(QWidget* parent) : TableView(parent)
{
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DropOnly);
}

void ScrollDropView::dragEnterEvent(QDragEnterEvent* event)
{
    fileDrop::acceptDrag(event);
}

void ScrollDropView::dragMoveEvent(QDragMoveEvent* event)
{
    fileDrop::acceptDrag(event);
}

void ScrollDropView::dropEvent(QDropEvent* event)
{
    fileDrop::performDrop(event);
}

}  // namespace vellinor
