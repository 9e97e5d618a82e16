#include "app/ApplicationIcon.h"

#include <QPainter>
#include <QPixmap>

namespace {

QPixmap drawIcon(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 32.0, size / 32.0);

    // A calendar page with a red header band and two binding rings.
    painter.setPen(QPen(QColor(60, 60, 60), 1.2));
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(QRectF(3, 5, 26, 24), 2.5, 2.5);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(200, 40, 40));
    painter.drawRect(QRectF(3.6, 5.6, 24.8, 6));
    painter.setBrush(QColor(60, 60, 60));
    painter.drawRect(QRectF(9, 2.5, 2, 5));
    painter.drawRect(QRectF(21, 2.5, 2, 5));

    // A clock face with its hands over the page: files found by their date.
    painter.setPen(QPen(QColor(30, 80, 160), 1.6));
    painter.setBrush(QColor(225, 235, 250));
    painter.drawEllipse(QPointF(16, 20.5), 6.5, 6.5);
    painter.drawLine(QPointF(16, 20.5), QPointF(16, 16));
    painter.drawLine(QPointF(16, 20.5), QPointF(19.5, 22));
    return pixmap;
}

} // namespace

QIcon applicationIcon()
{
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64})
        icon.addPixmap(drawIcon(size));
    return icon;
}
