#include "menuicons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

QIcon menuIcon(int section, const QColor& color) {
    constexpr int size = 48;
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QPen pen(color, 3.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    switch (section) {
    case 0: // a globe: where the funnel lives
        p.drawEllipse(QRectF(7, 7, 34, 34));
        p.drawEllipse(QRectF(16, 7, 16, 34));
        p.drawLine(QPointF(8, 24), QPointF(40, 24));
        break;
    case 1: { // a page with a form field and a button
        p.drawRoundedRect(QRectF(9, 5, 30, 38), 4, 4);
        p.drawLine(QPointF(16, 15), QPointF(32, 15));
        p.drawRoundedRect(QRectF(15, 22, 18, 6), 2, 2);
        p.setBrush(color);
        p.drawRoundedRect(QRectF(15, 32, 18, 5), 2, 2);
        break;
    }
    case 2: { // an arrow leading on
        QPainterPath arrow;
        arrow.moveTo(7, 30);
        arrow.cubicTo(10, 16, 22, 13, 36, 16);
        p.drawPath(arrow);
        p.drawLine(QPointF(36, 16), QPointF(28, 9));
        p.drawLine(QPointF(36, 16), QPointF(29, 23));
        break;
    }
    case 3: { // a video
        p.drawRoundedRect(QRectF(5, 10, 38, 28), 6, 6);
        QPainterPath play;
        play.moveTo(20, 17);
        play.lineTo(31, 24);
        play.lineTo(20, 31);
        play.closeSubpath();
        p.setBrush(color);
        p.drawPath(play);
        break;
    }
    default: { // a parcel going up: the finished funnel
        p.drawLine(QPointF(24, 6), QPointF(24, 28));
        p.drawLine(QPointF(24, 6), QPointF(16, 14));
        p.drawLine(QPointF(24, 6), QPointF(32, 14));
        QPainterPath tray;
        tray.moveTo(8, 26);
        tray.lineTo(8, 40);
        tray.lineTo(40, 40);
        tray.lineTo(40, 26);
        p.drawPath(tray);
        break;
    }
    }
    return QIcon(pixmap);
}
