#include "ui/list_icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace kestrel {

namespace {

// A framed little landscape; the sky colour tells the kinds apart.
QPixmap picture(const QColor &sky, bool verified)
{
    constexpr int S = 32; // drawn large, scaled down by QIcon
    QPixmap pm(S, S);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF frame(2.5, 5.5, 27, 21);
    p.setPen(QPen(QColor(0x55, 0x55, 0x55), 2));
    p.setBrush(sky);
    p.drawRect(frame);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xff, 0xd5, 0x4f));
    p.drawEllipse(QPointF(22, 11.5), 3, 3);
    QPainterPath hill;
    hill.moveTo(3.5, 25.5);
    hill.cubicTo(10, 12, 16, 14, 28.5, 25.5);
    hill.closeSubpath();
    p.setBrush(QColor(0x43, 0xa0, 0x47));
    p.drawPath(hill);
    if (verified) {
        p.setBrush(QColor(0x2e, 0x7d, 0x32));
        p.setPen(QPen(Qt::white, 1.5));
        p.drawEllipse(QPointF(24, 24), 7.5, 7.5);
        p.setPen(QPen(Qt::white, 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        p.drawPolyline(QPolygonF({QPointF(20.5, 24), QPointF(23, 26.5), QPointF(27.5, 21)}));
    }
    return pm;
}

} // namespace

QIcon smallListIcon(int index)
{
    switch (index) {
    case 1:
        return QIcon(picture(QColor(0x90, 0xca, 0xf9), false));
    case 2:
        return QIcon(picture(QColor(0xce, 0x93, 0xd8), false));
    case 3:
        return QIcon(picture(QColor(0x90, 0xca, 0xf9), true));
    default:
        return QIcon();
    }
}

} // namespace kestrel
