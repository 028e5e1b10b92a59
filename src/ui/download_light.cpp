#include "ui/download_light.h"

#include <QMouseEvent>
#include <QPainter>
#include <QRadialGradient>

namespace kestrel {

namespace {
constexpr int Diameter = 16;
} // namespace

DownloadLight::DownloadLight(QWidget *parent) : QLabel(parent)
{
    setFixedSize(Diameter + 4, Diameter + 4);
    setAlignment(Qt::AlignCenter);
    setCursor(Qt::PointingHandCursor);
    refresh();
}

void DownloadLight::setBusy(bool busy)
{
    if (busy == m_busy)
        return;
    m_busy = busy;
    refresh();
}

void DownloadLight::refresh()
{
    setPixmap(lamp(m_busy, Diameter, devicePixelRatioF()));
    setAccessibleName(m_busy ? tr("Downloading") : tr("Idle"));
}

QPixmap DownloadLight::lamp(bool busy, int diameter, qreal devicePixelRatio)
{
    QPixmap pm(QSize(diameter, diameter) * devicePixelRatio);
    pm.setDevicePixelRatio(devicePixelRatio);
    pm.fill(Qt::transparent);

    const QColor base = busy ? QColor(0xd3, 0x2f, 0x2f) : QColor(0x2e, 0x9d, 0x3f);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(0.5, 0.5, diameter - 1.0, diameter - 1.0);
    // A highlight towards the upper left makes the flat circle read as a lamp.
    QRadialGradient g(r.center() - QPointF(diameter / 6.0, diameter / 6.0), diameter / 1.6);
    g.setColorAt(0.0, base.lighter(170));
    g.setColorAt(0.6, base);
    g.setColorAt(1.0, base.darker(130));
    p.setBrush(g);
    p.setPen(QPen(base.darker(160), 1.0));
    p.drawEllipse(r);
    return pm;
}

void DownloadLight::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        Q_EMIT clicked();
    QLabel::mouseReleaseEvent(event);
}

} // namespace kestrel
