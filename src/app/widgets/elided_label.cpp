#include "app/widgets/elided_label.h"

#include <QPainter>
#include <QStyle>

namespace vellinor {

void ElidedLabel::paintEvent(QPaintEvent* event)
{
    const QRect room = contentsRect();
    const QString whole = text();
    if (fontMetrics().horizontalAdvance(whole) <= room.width()) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    const QString shown = fontMetrics().elidedText(whole, Qt::ElideMiddle, room.width());
    style()->drawItemText(&painter, room, static_cast<int>(alignment()), palette(), isEnabled(),
                          shown, foregroundRole());
}

}  // namespace vellinor
