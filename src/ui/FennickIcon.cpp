#include "ui/FennickIcon.h"

#include <QPainter>
#include <QPixmap>
#include <QPolygonF>

namespace fennick {

namespace {

// One layer: a rhombus centred at (32, centreY) on the 64-unit canvas.
QPolygonF Layer(double centreY) {
    return QPolygonF(
        {QPointF(32, centreY - 13), QPointF(58, centreY), QPointF(32, centreY + 13), QPointF(6, centreY)});
}

} // namespace

QPixmap FennickPixmap(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 64.0, size / 64.0);
    const QColor outline(0x26, 0x32, 0x38);
    QPen pen(outline, 2);
    pen.setJoinStyle(Qt::RoundJoin);
    painter.setPen(pen);
    const struct {
        double centreY;
        QColor fill;
    } layers[] = {
        {44, QColor(0x2e, 0x7d, 0x32)}, {32, QColor(0x1e, 0x88, 0xe5)}, {20, QColor(0xfb, 0xc0, 0x2d)}};
    for (const auto& layer : layers) {
        painter.setBrush(layer.fill);
        painter.drawPolygon(Layer(layer.centreY));
    }
    QPen river(outline, 2.5);
    river.setCapStyle(Qt::RoundCap);
    river.setJoinStyle(Qt::RoundJoin);
    painter.setPen(river);
    painter.setBrush(Qt::NoBrush);
    painter.drawPolyline(QPolygonF({QPointF(17, 20), QPointF(27, 15), QPointF(37, 23), QPointF(47, 19)}));
    return pixmap;
}

QIcon FennickIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addPixmap(FennickPixmap(size));
    return icon;
}

} // namespace fennick
