#include "app/appicons.h"

#include <QPainter>
#include <QPainterPath>

namespace tess {

namespace {

QPixmap blank(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

} // namespace

QPixmap handPointerPixmap(int size) {
    QPixmap pixmap = blank(size);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    // A pointing hand: index finger up, three folded fingers, thumb at the left.
    QPainterPath hand;
    hand.moveTo(12, 3);
    hand.cubicTo(12, 1, 16, 1, 16, 3);
    hand.lineTo(16, 13);
    hand.cubicTo(16, 11, 20, 11, 20, 13.5);
    hand.cubicTo(20, 11.5, 24, 11.5, 24, 14.5);
    hand.cubicTo(24, 12.5, 28, 12.5, 28, 15.5);
    hand.lineTo(28, 23);
    hand.cubicTo(28, 27, 25, 30, 21, 30);
    hand.lineTo(15, 30);
    hand.cubicTo(12, 30, 10, 28, 8, 25);
    hand.lineTo(3.5, 18);
    hand.cubicTo(2.5, 16, 5, 14, 7, 16);
    hand.lineTo(12, 20);
    hand.closeSubpath();
    p.setPen(QPen(QColor(60, 40, 20), 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(QColor(255, 222, 173));
    p.drawPath(hand);
    p.setPen(QPen(QColor(60, 40, 20), 1.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(16, 13), QPointF(16, 18));
    p.drawLine(QPointF(20, 13.5), QPointF(20, 18));
    p.drawLine(QPointF(24, 14.5), QPointF(24, 18.5));
    return pixmap;
}

QIcon addIcon() {
    QPixmap pixmap = blank(16);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(20, 100, 20), 1));
    p.setBrush(QColor(60, 170, 60));
    p.drawRect(QRectF(6.5, 1.5, 3, 13));
    p.drawRect(QRectF(1.5, 6.5, 13, 3));
    p.setPen(Qt::NoPen);
    p.drawRect(QRectF(7, 2, 2, 12));
    return QIcon(pixmap);
}

QIcon deleteIcon() {
    QPixmap pixmap = blank(16);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(190, 30, 30), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 12.5));
    p.drawLine(QPointF(12.5, 3.5), QPointF(3.5, 12.5));
    return QIcon(pixmap);
}

QIcon generateIcon() {
    QPixmap pixmap = blank(16);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    // A page with a folded corner and a blue arrow leaving it.
    QPainterPath page;
    page.moveTo(2.5, 1.5);
    page.lineTo(9.5, 1.5);
    page.lineTo(12.5, 4.5);
    page.lineTo(12.5, 14.5);
    page.lineTo(2.5, 14.5);
    page.closeSubpath();
    p.setPen(QPen(QColor(80, 80, 80), 1));
    p.setBrush(Qt::white);
    p.drawPath(page);
    p.drawLine(QPointF(9.5, 1.5), QPointF(9.5, 4.5));
    p.drawLine(QPointF(9.5, 4.5), QPointF(12.5, 4.5));
    p.setPen(QPen(QColor(150, 150, 150), 1));
    for (int y = 6; y <= 12; y += 2)
        p.drawLine(QPointF(4.5, y + 0.5), QPointF(8.5, y + 0.5));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 90, 200));
    QPainterPath arrow;
    arrow.moveTo(8, 9);
    arrow.lineTo(12, 9);
    arrow.lineTo(12, 7);
    arrow.lineTo(15.5, 10.5);
    arrow.lineTo(12, 14);
    arrow.lineTo(12, 12);
    arrow.lineTo(8, 12);
    arrow.closeSubpath();
    p.drawPath(arrow);
    return QIcon(pixmap);
}

QIcon searchIcon() {
    QPixmap pixmap = blank(16);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    // A magnifying glass.
    p.setPen(QPen(QColor(60, 60, 60), 1.5));
    p.setBrush(QColor(200, 225, 250));
    p.drawEllipse(QRectF(1.5, 1.5, 9, 9));
    p.setPen(QPen(QColor(120, 80, 30), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(9.5, 9.5), QPointF(14, 14));
    return QIcon(pixmap);
}

} // namespace tess
