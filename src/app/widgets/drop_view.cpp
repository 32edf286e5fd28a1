#include "app/widgets/drop_view.h"

#include <QDragEnterEvent>
#include <QDropEvent>

#include "app/widgets/file_drop.h"

namespace vellinor {

DropView::DropView(QWidget* parent) : QWidget(parent)
{
    setAcceptDrops(true);
}

void DropView::dragEnterEvent(QDragEnterEvent* event)
{
    fileDrop::acceptDrag(event);
}

void DropView::dragMoveEvent(QDragMoveEvent* event)
{
    fileDrop::acceptDrag(event);
}

void DropView::dropEvent(QDropEvent* event)
{
    fileDrop::performDrop(event);
}

}  // namespace vellinor
