#include "app/AppIcon.h"

#include <QIcon>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

QIcon laughingFaceIcon() {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1.5));
    painter.setBrush(QColor(255, 255, 0));
    painter.drawEllipse(QRectF(1.5, 1.5, 29, 29));
    // Eyes squeezed shut with laughter.
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::black, 2));
    painter.drawArc(QRectF(7, 9, 7, 6), 0, 180 * 16);
    painter.drawArc(QRectF(18, 9, 7, 6), 0, 180 * 16);
    // Wide open mouth.
    QPainterPath mouth;
    mouth.moveTo(8, 18);
    mouth.lineTo(24, 18);
    mouth.arcTo(QRectF(8, 10, 16, 16), 0, -180);
    painter.setPen(QPen(Qt::black, 1.5));
    painter.setBrush(QColor(128, 0, 0));
    painter.drawPath(mouth);
    painter.end();
    return QIcon(pixmap);
}
