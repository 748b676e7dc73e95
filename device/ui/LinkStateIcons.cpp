#include "device/ui/LinkStateIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <array>

namespace {

const QColor Outline(40, 40, 40);

void drawIdle(QPainter &p)
{
    // Hollow grey ring: nothing on the line yet.
    p.setPen(QPen(QColor(128, 128, 128), 2.5));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(4, 4, 12, 12));
}

void drawSending(QPainter &p)
{
    // Amber arrow pointing out towards the instrument.
    p.setPen(QPen(Outline, 1));
    p.setBrush(QColor(255, 190, 0));
    p.drawPolygon(QPolygonF(
        { { 3, 7 }, { 10, 7 }, { 10, 2 }, { 18, 10 }, { 10, 18 }, { 10, 13 }, { 3, 13 } }));
}

void drawAccepted(QPainter &p)
{
    // Green tick on a light square: the instrument took the command.
    p.setPen(QPen(QColor(0, 128, 0), 1));
    p.setBrush(QColor(210, 245, 210));
    p.drawRect(QRectF(1.5, 1.5, 17, 17));
    p.setPen(QPen(QColor(0, 140, 0), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(QPolygonF({ { 5, 10 }, { 9, 14 }, { 15, 5 } }));
}

void drawLinkError(QPainter &p)
{
    // Red disc with a white cross: no token from the instrument.
    p.setPen(QPen(QColor(128, 0, 0), 1));
    p.setBrush(QColor(220, 20, 20));
    p.drawEllipse(QRectF(1.5, 1.5, 17, 17));
    p.setPen(QPen(Qt::white, 2.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(6.5, 6.5), QPointF(13.5, 13.5));
    p.drawLine(QPointF(13.5, 6.5), QPointF(6.5, 13.5));
}

void drawWaiting(QPainter &p)
{
    // Blue hourglass: the answer is awaited.
    p.setPen(QPen(QColor(0, 40, 120), 1));
    p.setBrush(QColor(60, 120, 230));
    p.drawPolygon(QPolygonF({ { 4, 2 }, { 16, 2 }, { 10, 10 } }));
    p.drawPolygon(QPolygonF({ { 10, 10 }, { 16, 18 }, { 4, 18 } }));
}

void drawReceived(QPainter &p)
{
    // Green diamond with an arrow coming in: an answer arrived.
    p.setPen(QPen(QColor(0, 90, 0), 1));
    p.setBrush(QColor(40, 180, 60));
    p.drawPolygon(QPolygonF({ { 10, 1 }, { 19, 10 }, { 10, 19 }, { 1, 10 } }));
    p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(QPointF(14, 10), QPointF(6, 10));
    p.drawPolyline(QPolygonF({ { 9, 7 }, { 6, 10 }, { 9, 13 } }));
}

void drawMissed(QPainter &p)
{
    // Orange warning triangle: the answer did not come.
    p.setPen(QPen(QColor(120, 60, 0), 1));
    p.setBrush(QColor(255, 130, 0));
    p.drawPolygon(QPolygonF({ { 10, 1.5 }, { 19, 18 }, { 1, 18 } }));
    p.setPen(QPen(Qt::black, 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(10, 7), QPointF(10, 12.5));
    p.drawPoint(QPointF(10, 15.5));
}

using Painter = void (*)(QPainter &);
constexpr std::array<Painter, LinkStateIcons::Count> Painters
    = { drawIdle, drawSending, drawAccepted, drawLinkError, drawWaiting, drawReceived, drawMissed };

} // namespace

QPixmap LinkStateIcons::icon(int state)
{
    QPixmap pixmap(Size, Size);
    pixmap.fill(Qt::transparent);
    if (state < 0 || state >= Count)
        return pixmap;
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    Painters[size_t(state)](p);
    return pixmap;
}
