#include "app/PrinterIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

QImage PrinterIconImage() {
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, false);

    // The slip, with a torn top edge and a few printed lines.
    QPainterPath slip;
    slip.moveTo(9, 16);
    slip.lineTo(9, 3);
    for (int x = 9; x < 23; x += 2) {
        slip.lineTo(x + 1, 1);
        slip.lineTo(x + 2, 3);
    }
    slip.lineTo(23, 16);
    slip.closeSubpath();
    p.setPen(QColor(96, 96, 96));
    p.setBrush(Qt::white);
    p.drawPath(slip);
    p.setPen(QColor(40, 40, 120));
    for (int y = 5; y <= 13; y += 2)
        p.drawLine(11, y, y == 9 ? 17 : 20, y);

    // The body: a dark case under a lighter cover, the paper slot and a status lamp.
    p.setPen(QColor(32, 32, 32));
    p.setBrush(QColor(72, 76, 84));
    p.drawRoundedRect(QRect(2, 14, 27, 15), 2, 2);
    p.setBrush(QColor(150, 156, 166));
    p.drawRect(QRect(4, 14, 23, 4));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(16, 16, 16));
    p.drawRect(QRect(8, 15, 16, 1));
    p.setBrush(QColor(60, 200, 80));
    p.drawRect(QRect(24, 23, 2, 2));
    p.setBrush(QColor(200, 200, 200));
    p.drawRect(QRect(5, 24, 8, 1));
    p.end();
    return image.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither | Qt::AvoidDither);
}

QIcon PrinterIcon() {
    return QIcon(QPixmap::fromImage(PrinterIconImage()));
}
