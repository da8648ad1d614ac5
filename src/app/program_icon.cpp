#include "app/program_icon.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace app {
namespace {

// One picture on the 128 x 128 grid of the SVG, scaled to size.
QPixmap draw(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 128.0, size / 128.0);

    QLinearGradient ground(0, 4, 0, 124);
    ground.setColorAt(0, QColor(0x2f, 0x7f, 0xbf));
    ground.setColorAt(1, QColor(0x1d, 0x4f, 0x7a));
    p.setPen(Qt::NoPen);
    p.setBrush(ground);
    p.drawRoundedRect(QRectF(4, 4, 120, 120), 22, 22);

    const QColor light(0xcf, 0xe6, 0xf7);
    p.setPen(QPen(light, 4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(64, 70, 64, 92);
    p.drawLine(30, 92, 98, 92);
    for (int x : {30, 64, 98}) p.drawLine(x, 92, x, 100);
    p.setPen(Qt::NoPen);
    p.setBrush(light);
    for (int x : {20, 54, 88}) p.drawRoundedRect(QRectF(x, 100, 20, 12), 3, 3);

    p.setPen(QPen(QColor(0x0f, 0x2f, 0x4a), 3));
    p.setBrush(QColor(0xf4, 0xf8, 0xfb));
    p.drawRoundedRect(QRectF(24, 22, 80, 48), 7, 7);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x9b, 0xb7, 0xcc));
    p.drawRoundedRect(QRectF(32, 30, 44, 8), 2, 2);
    p.drawRoundedRect(QRectF(32, 44, 30, 6), 2, 2);
    p.drawRoundedRect(QRectF(32, 55, 36, 6), 2, 2);
    const QColor green(0x3c, 0xb3, 0x71);
    p.setBrush(green);
    p.drawEllipse(QPointF(92, 34), 4, 4);
    p.setBrush(QColor(0xf0, 0xb4, 0x29));
    p.drawEllipse(QPointF(92, 46), 4, 4);

    QPainterPath check;
    check.moveTo(76, 54);
    check.lineTo(84, 62);
    check.lineTo(100, 44);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(green, 6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(check);
    return pixmap;
}

}  // namespace

QIcon ProgramIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128}) icon.addPixmap(draw(size));
    return icon;
}

}  // namespace app
