#include "graphs/ui/GraphPaintBox.h"

#include <QPainter>

#include <cstring>

GraphPaintBox::GraphPaintBox(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("Bar"));
}

QSize GraphPaintBox::boxSize() const
{
    return size();
}

void GraphPaintBox::markOpaque()
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void GraphPaintBox::showImage(const QImage &buffer, const QRect &source)
{
    const QRect part = source & buffer.rect();
    if (part.isEmpty())
        return;
    // The box keeps one image of its size and overwrites it row by row, so a
    // draw allocates nothing while the box keeps its size.
    if (m_image.size() != part.size() || m_image.format() != buffer.format())
        m_image = QImage(part.size(), buffer.format());
    const int bytesPerPixel = buffer.depth() / 8;
    const qsizetype rowBytes = qsizetype(part.width()) * bytesPerPixel;
    for (int y = 0; y < part.height(); ++y)
        std::memcpy(m_image.scanLine(y),
            buffer.constScanLine(part.y() + y) + qsizetype(part.x()) * bytesPerPixel,
            size_t(rowBytes));
    update();
}

void GraphPaintBox::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    // Until the first draw, and beyond the image if the box grew since, the
    // box shows its own background.
    if (m_image.width() < width() || m_image.height() < height())
        painter.fillRect(rect(), palette().window());
    painter.drawImage(0, 0, m_image);
}
