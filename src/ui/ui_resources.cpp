#include "ui/ui_resources.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QtGlobal>

#include <functional>

// Outside any namespace: the macro declares a function of the global namespace.
static void registerKestrelResources()
{
    Q_INIT_RESOURCE(kestrel);
}

namespace kestrel {

void initUiResources()
{
    static const bool done = (registerKestrelResources(), true);
    Q_UNUSED(done);
}

namespace {

// An icon drawn on a 16 by 16 grid, rendered at each size so no size is a blurred copy.
QIcon drawnIcon(const std::function<void(QPainter &)> &draw)
{
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 16.0, size / 16.0);
        draw(p);
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

QIcon iconInSizes(const QString &name, std::initializer_list<int> sizes)
{
    initUiResources();
    QIcon icon;
    for (int size : sizes)
        icon.addFile(QStringLiteral(":/kestrel/icons/%1-%2.png").arg(name).arg(size), QSize(size, size));
    return icon;
}
} // namespace

QIcon applicationIcon()
{
    return iconInSizes(QStringLiteral("kestrel"), {16, 32, 64, 128});
}

QIcon optionsIcon()
{
    return iconInSizes(QStringLiteral("options"), {16, 32, 64});
}

QIcon abortDownloadIcon()
{
    return drawnIcon([](QPainter &p) {
        QPainterPath arrow;
        arrow.addRect(6, 1, 4, 7);
        arrow.moveTo(2.5, 7.5);
        arrow.lineTo(13.5, 7.5);
        arrow.lineTo(8, 13);
        arrow.closeSubpath();
        p.fillPath(arrow.simplified(), QColor(0x2a, 0x6f, 0xbf));
        p.fillRect(QRectF(2, 14, 12, 1.5), QColor(0x2a, 0x6f, 0xbf));
        p.setPen(QPen(QColor(0xd0, 0x21, 0x21), 2.2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(2.5, 2.5), QPointF(13.5, 13.5));
    });
}

QIcon exitIcon()
{
    return drawnIcon([](QPainter &p) {
        p.setPen(QPen(QColor(0x55, 0x55, 0x55), 1.4));
        p.setBrush(QColor(0xe8, 0xe0, 0xd0));
        p.drawRect(QRectF(1.5, 1.5, 8, 13));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x8a, 0x5a, 0x2b));
        p.drawPolygon(
            QPolygonF({QPointF(1.5, 1.5), QPointF(6.5, 3), QPointF(6.5, 15.5), QPointF(1.5, 14.5)}));
        QPainterPath arrow;
        arrow.addRect(8, 7, 4, 2.5);
        arrow.moveTo(11.5, 4);
        arrow.lineTo(15.5, 8.25);
        arrow.lineTo(11.5, 12.5);
        arrow.closeSubpath();
        p.fillPath(arrow.simplified(), QColor(0x2e, 0x8b, 0x3a));
    });
}

} // namespace kestrel
