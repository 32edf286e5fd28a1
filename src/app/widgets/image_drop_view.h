#pragma once

// The poster view: shows one image scaled to fit, its aspect ratio kept (also when the view is
// resized), and takes file drops.

#include <QImage>
#include <QLabel>
#include <QPixmap>

namespace vellinor {

class ImageDropView : public QLabel {
    Q_OBJECT

public:
    explicit ImageDropView(QWidget* parent = nullptr);

    void setImage(const QImage& image);
    [[nodiscard]] const QImage& image() const { return m_image; }

    [[nodiscard]] QSize sizeHint() const override;
    [[nodiscard]] QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QImage m_image;
    QPixmap m_scaled;  // m_image at the size last painted, device pixels
};

}  // namespace vellinor
