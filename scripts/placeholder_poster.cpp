// Draws resources/pnf.jpg, the poster shown for files without cover art: a neutral slate
// square with a picture glyph and the words "No Artwork". Built and run by
// scripts/make-placeholder-poster.

#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

int main(int argc, char* argv[])
{
    QGuiApplication application(argc, argv);
    if (argc < 2)
        return 2;
    constexpr int side = 600;
    QImage image(side, side, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);

    QLinearGradient background(0, 0, 0, side);
    background.setColorAt(0, QColor(0x5b, 0x64, 0x70));
    background.setColorAt(1, QColor(0x34, 0x3a, 0x44));
    painter.fillRect(image.rect(), background);

    const QColor glyph(0xe2, 0xe6, 0xeb);
    const QRectF frame(170, 170, 260, 190);
    painter.setPen(QPen(glyph, 12, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(frame, 22, 22);

    // Two hills and a sun inside the frame.
    painter.save();
    QPainterPath clip;
    clip.addRoundedRect(frame.adjusted(6, 6, -6, -6), 16, 16);
    painter.setClipPath(clip);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xe2, 0xe6, 0xeb, 150));
    QPainterPath farHill;
    farHill.moveTo(frame.left(), frame.bottom());
    farHill.lineTo(frame.left() + 150, frame.top() + 85);
    farHill.lineTo(frame.right(), frame.bottom());
    painter.drawPath(farHill);
    painter.setBrush(glyph);
    QPainterPath nearHill;
    nearHill.moveTo(frame.left(), frame.bottom());
    nearHill.lineTo(frame.left() + 78, frame.top() + 110);
    nearHill.lineTo(frame.left() + 170, frame.bottom());
    painter.drawPath(nearHill);
    painter.drawEllipse(QPointF(frame.right() - 62, frame.top() + 58), 22, 22);
    painter.restore();

    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(38);
    painter.setFont(font);
    painter.setPen(glyph);
    painter.drawText(QRectF(0, 395, side, 60), Qt::AlignCenter, QStringLiteral("No Artwork"));
    painter.end();

    return image.save(QString::fromLocal8Bit(argv[1]), "JPEG", 92) ? 0 : 1;
}
