#include "app/widgets/image_drop_view.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QPainter>

#include "app/widgets/file_drop.h"

namespace vellinor {

ImageDropView::ImageDropView(QWidget* parent) : QLabel(parent)
{
    setAcceptDrops(true);
    setAlignment(Qt::AlignCenter);
}

void ImageDropView::setImage(const QImage& image)
{
    m_image = image;
    m_scaled = {};
    update();
}

// The image never drives the layout: the view takes the room the window gives it.
QSize ImageDropView::sizeHint() const
{
    return {160, 160};
}

QSize ImageDropView::minimumSizeHint() const
{
    return {48, 48};
}

void ImageDropView::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event);
    if (m_image.isNull())
        return;
    const QRect area = contentsRect();
    const qreal ratio = devicePixelRatioF();
    const QSize target = m_image.size().scaled(area.size() * ratio, Qt::KeepAspectRatio);
    if (target.isEmpty())
        return;
    if (m_scaled.size() != target) {
        m_scaled = QPixmap::fromImage(
            m_image.scaled(target, Qt::KeepAspectRatio, Qt::SmoothTransformation));
        m_scaled.setDevicePixelRatio(ratio);
    }
    const QSize shown = m_scaled.deviceIndependentSize().toSize();
    QRect placed(QPoint(), shown);
    placed.moveCenter(area.center());
    QPainter painter(this);
    painter.drawPixmap(placed.topLeft(), m_scaled);
}

void ImageDropView::dragEnterEvent(QDragEnterEvent* event)
{
    fileDrop::acceptDrag(event);
}

void ImageDropView::dragMoveEvent(QDragMoveEvent* event)
{
    fileDrop::acceptDrag(event);
}

void ImageDropView::dropEvent(QDropEvent* event)
{
    fileDrop::performDrop(event);
}

}  // namespace vellinor
