#include "graphs/TGraphBox.h"

#include "common/NumberText.h"
#include "graphs/GraphAxisTarget.h"
#include "graphs/GraphImageTarget.h"

#include <QRect>
#include <QSize>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

namespace {

constexpr quint32 FrameColor = 0x008000; // dark green
constexpr quint32 DefaultPenRed = 0x0000FF;
constexpr quint32 DefaultHaloRed = 0xBFBFFF;
constexpr quint32 DefaultPenNavy = 0x800000;
constexpr quint32 DefaultHaloNavy = 0xE4ACAC;
constexpr float DefaultYMin = 1000;
constexpr float DefaultYMax = 10000;
constexpr float DefaultXGridStep = 60;
constexpr float DefaultYGridStep = 1500;
constexpr float DefaultChannelMax = 10000; // until the owner sets the ranges
const QString NoTimeText = QStringLiteral("--:--");

// Heights and positions far off the plot are drawn as if they were this far
// off: the picture is the same, and no conversion overflows.
constexpr double FarOff = 1.0e6;

// A drawing coordinate truncated toward zero; wild values stay far off the
// plot, a value that is not a number lies below it.
int truncated(double value)
{
    if (std::isnan(value))
        return int(-FarOff);
    return int(std::trunc(std::clamp(value, -FarOff, FarOff)));
}

// Rounded to the nearest integer, halves to even.
int roundedEven(double value)
{
    if (std::isnan(value))
        return int(-FarOff);
    return int(std::nearbyint(std::clamp(value, -FarOff, FarOff)));
}

// A back-buffer pixel (0xAARRGGBB) from a 0x00BBGGRR colour.
quint32 rgbOf(quint32 bgr)
{
    return 0xFF000000u | ((bgr & 0xFF) << 16) | (bgr & 0xFF00) | ((bgr >> 16) & 0xFF);
}

quint32 systemTick()
{
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
    return quint32(ms.count());
}

QString twoDigits(unsigned value)
{
    return value < 10 ? QLatin1Char('0') + QString::number(value) : QString::number(value);
}

} // namespace

TGraphBox::TGraphBox(GraphImageTarget *plotBox, QPoint plotTopLeft, Clock clock)
    : m_plotBox(plotBox)
    , m_clock(clock ? std::move(clock) : Clock(&systemTick))
    , m_plotTopLeft(plotTopLeft)
    , m_points(new float[size_t(MaxChannels) * Capacity]())
    , m_ticks(new quint32[Capacity]())
{
    const QSize size = plotBox ? plotBox->boxSize().expandedTo(QSize(1, 1)) : QSize(1, 1);
    m_plotWidth = float(size.width());
    m_plotHeight = float(size.height());
    if (plotBox)
        plotBox->markOpaque();
    m_backBuffer = QImage(size, QImage::Format_RGB32);
    m_backBuffer.fill(Qt::white);

    PenColors[0] = { DefaultHaloRed, DefaultHaloRed, DefaultPenRed };
    PenColors[1] = { DefaultHaloNavy, DefaultHaloNavy, DefaultPenNavy };
    ChannelMax.fill(DefaultChannelMax);
    StartTick = now();

    placeTimeAxis();
    SetAxes(DefaultYMin, DefaultYMax, DefaultXGridStep, DefaultYGridStep);
    Reset();
}

TGraphBox::~TGraphBox() = default;

quint32 TGraphBox::now() const
{
    return m_clock();
}

float TGraphBox::Point(int channel, int index) const
{
    if (channel < 0 || channel >= MaxChannels || index < 0 || index >= Capacity)
        return 0;
    return m_points[size_t(channel) * Capacity + size_t(index)];
}

quint32 TGraphBox::PointTick(int index) const
{
    return index >= 0 && index < Capacity ? m_ticks[index] : 0;
}

void TGraphBox::setAxisTarget(GraphAxisTarget *target)
{
    m_axisTarget = target;
    if (!target)
        return;
    target->titleChanged(*this);
    target->valueAxisChanged(*this);
    target->timeLabelsChanged(*this);
}

void TGraphBox::SetTitle(const QString &text)
{
    Title = text;
    if (m_axisTarget)
        m_axisTarget->titleChanged(*this);
}

double TGraphBox::pixelStep() const
{
    return double(m_plotHeight) * m_yGridStep / (double(m_yMax) - m_yMin);
}

template <typename F> void TGraphBox::forEachGridRow(double firstRow, F &&row) const
{
    const double p = pixelStep();
    double y = std::trunc(firstRow);
    while (y > 0) {
        if (!row(int(std::min<double>(y, FarOff))))
            return;
        // A step of less than a pixel still moves on by one row, so the walk
        // ends whatever the scale.
        y = std::min(std::trunc(y - p), y - 1);
    }
}

int TGraphBox::SetAxes(float yMin, float yMax, float xGridStep, float yGridStep)
{
    if (!(yMin < yMax))
        return -1;
    if (!std::isfinite(yMin) || !std::isfinite(yMax) || !std::isfinite(xGridStep)
        || !std::isfinite(yGridStep))
        return -1;
    // The vertical grid steps by whole pixels and the horizontal one by value:
    // a step that does not move would draw forever.
    if (!(xGridStep >= 1) || !(yGridStep > 0))
        return -1;

    m_yMin = yMin;
    m_yMax = yMax;
    m_xGridStep = xGridStep;
    m_yGridStep = yGridStep;
    m_yTickCount = 0;
    forEachGridRow(double(m_plotHeight) - 1 - pixelStep(), [this](int) {
        ++m_yTickCount;
        return true;
    });
    m_yTickCount = std::min(m_yTickCount, MaxYTickCount);
    placeValueAxis();
    return 0;
}

void TGraphBox::placeTimeAxis()
{
    const int left = m_plotTopLeft.x();
    const int bottom = m_plotTopLeft.y() + int(m_plotHeight);
    for (int k = 0; k < MarkCount; ++k) {
        const int x = left + TimeMarkSpacing * k;
        XTickMarks[k] = { QPoint(x, bottom), true };
        TimeLabels[k] = { QPoint(x, bottom + TickLength), true, NoTimeText };
        // The last mark placed is the first one past the plot's width (the
        // width, not the right edge: with the plot away from the panel's
        // left edge one mark stands beyond the plot).
        if (x > m_plotWidth)
            break;
    }
}

void TGraphBox::placeValueAxis()
{
    for (int k = 0; k < MarkCount; ++k) {
        YTickMarks[k].Placed = false;
        ValueLabels[k].Placed = false;
    }
    const int markLeft = m_plotTopLeft.x() - TickLength;
    const int labelLeft = m_plotTopLeft.x() - ValueLabelLeft;
    const int top = m_plotTopLeft.y();
    int j = 0;
    // One mark is kept for the bottom line, so at most 19 grid lines get one.
    forEachGridRow(double(m_plotHeight) - pixelStep(), [&](int y) {
        if (j >= MarkCount - 1)
            return false;
        YTickMarks[j] = { QPoint(markLeft, top + y), true };
        ++j;
        ValueLabels[j].At = QPoint(labelLeft, top + y - ValueLabelRise);
        ValueLabels[j].Placed = true;
        return true;
    });
    const int bottomLine = top + int(m_plotHeight) - 1;
    YTickMarks[j] = { QPoint(markLeft, bottomLine), true };
    ValueLabels[0].At = QPoint(labelLeft, bottomLine - ValueLabelRise);
    ValueLabels[0].Placed = true;

    // Label k stands on the k-th grid line from the bottom and shows
    // YMin + k * YGridStep; labels without a value stay empty.
    float value = m_yMin;
    for (int k = 0; k < MarkCount; ++k) {
        ValueLabels[k].Text
            = k <= m_yTickCount ? fixedText(value, LabelPrecision, LabelDecimals) : QString();
        value += m_yGridStep;
    }
    if (m_axisTarget)
        m_axisTarget->valueAxisChanged(*this);
}

void TGraphBox::horizontalLine(int fromX, int toX, int y, quint32 rgb)
{
    const int width = m_backBuffer.width();
    if (y < 0 || y >= m_backBuffer.height())
        return;
    fromX = std::max(fromX, 0);
    toX = std::min(toX, width);
    if (fromX >= toX)
        return;
    auto *line = reinterpret_cast<quint32 *>(m_backBuffer.scanLine(y));
    std::fill(line + fromX, line + toX, rgb);
}

void TGraphBox::verticalLine(int x, int fromY, int toY, quint32 rgb)
{
    fillRows(x, fromY, toY - 1, rgb);
}

// Pixels (x, fromRow) ... (x, toRow), both included, in either order.
void TGraphBox::fillRows(int x, int fromRow, int toRow, quint32 rgb)
{
    if (x < 0 || x >= m_backBuffer.width())
        return;
    if (toRow < fromRow)
        std::swap(fromRow, toRow);
    fromRow = std::max(fromRow, 0);
    toRow = std::min(toRow, m_backBuffer.height() - 1);
    if (fromRow > toRow)
        return;
    uchar *bits = m_backBuffer.bits();
    const qsizetype stride = m_backBuffer.bytesPerLine();
    for (int y = fromRow; y <= toRow; ++y)
        reinterpret_cast<quint32 *>(bits + stride * y)[x] = rgb;
}

int TGraphBox::DrawGrid()
{
    if (m_yMax < m_yMin)
        return -1;
    const int width = m_backBuffer.width();
    const int height = m_backBuffer.height();

    // Frame and fill, as a rectangle over (0, 0) - (width, height).
    const quint32 fill = rgbOf(BackColor);
    const quint32 frame = rgbOf(FrameColor);
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<quint32 *>(m_backBuffer.scanLine(y));
        if (y == 0 || y == height - 1) {
            std::fill(line, line + width, frame);
        } else {
            std::fill(line, line + width, fill);
            line[0] = frame;
            line[width - 1] = frame;
        }
    }

    const quint32 grid = rgbOf(GridColor);
    const int right = truncated(m_plotWidth - 1);
    forEachGridRow(double(m_plotHeight) - pixelStep(), [&](int y) {
        horizontalLine(1, right, y, grid);
        return true;
    });

    // The vertical lines move with the scroll offset, so the grid scrolls
    // with the curves.
    const int step = std::max(1, truncated(m_xGridStep));
    const int bottom = truncated(m_plotHeight - 1);
    for (double x = std::trunc(m_xGridStep - double(ScrollOffset % step)); x < m_plotWidth - 1;
         x = std::trunc(x + m_xGridStep))
        verticalLine(int(x), 1, bottom, grid);
    return 0;
}

// A line from (x0, y0) to (x1, y1) without its last pixel, between one column
// and the same or the next: the curves move one pixel to the right per point.
// Steep lines are split between the two columns at half their height.
void TGraphBox::lineTo(int x0, int y0, int x1, int y1, quint32 rgb)
{
    const int rise = y1 - y0;
    const int direction = rise < 0 ? -1 : 1;
    const int steps = std::abs(rise);
    if (x1 == x0) {
        if (steps > 0)
            fillRows(x0, y0, y1 - direction, rgb);
        return;
    }
    if (steps <= 1) {
        fillRows(x0, y0, y0, rgb);
        return;
    }
    const int first = (steps + 1) / 2;
    fillRows(x0, y0, y0 + direction * (first - 1), rgb);
    fillRows(x1, y0 + direction * first, y0 + direction * (steps - 1), rgb);
}

int TGraphBox::DrawCurves()
{
    if (ChannelCount > MaxChannels)
        return -1;
    // An offset beyond the store shows no points (its first one would lie
    // outside the store).
    if (ScrollOffset < 0 || ScrollOffset >= Capacity)
        return 0;
    const double height = m_plotHeight;
    const int lastColumn = truncated(m_plotWidth);
    for (int c = 0; c < ChannelCount; ++c) {
        const float *points = m_points.get() + size_t(c) * Capacity;
        const double scale = (double(ChannelMax[c]) - ChannelMin[c]) / height;
        const double low = ChannelMin[c];
        for (int pass = 0; pass < PassCount; ++pass) {
            const quint32 rgb = rgbOf(PenColors[c][pass]);
            const int offset = PassOffsets[pass];
            int x = 1;
            int y = truncated(height - roundedEven((points[ScrollOffset] - low) / scale) + offset);
            for (int k = 1;; ++k) {
                // The end marker is looked up from the store's start, so with
                // the chart scrolled to its start it ends the curve there.
                if (points[k - 1] == EndMarker)
                    break;
                if (ScrollOffset + k >= m_pointCount || k >= lastColumn)
                    break;
                const int d = truncated((points[ScrollOffset + k] - low) / scale);
                const int nextY = truncated(height - d + offset);
                lineTo(x, y, k, nextY, rgb);
                x = k;
                y = nextY;
            }
        }
    }
    return 0;
}

void TGraphBox::Present()
{
    if (m_plotBox)
        m_plotBox->showImage(m_backBuffer, m_backBuffer.rect());
}

int TGraphBox::ScrollTo(int offset)
{
    if (offset < 0 || offset > Capacity)
        return -1;
    ScrollOffset = offset;
    DrawGrid();
    DrawCurves();
    Present();
    updateTimeLabels();
    return 0;
}

int TGraphBox::AppendPoint(const Values &values, quint32 tick)
{
    if (m_pointCount >= Capacity)
        return -1;
    for (int c = 0; c < MaxChannels; ++c)
        m_points[size_t(c) * Capacity + size_t(m_pointCount)] = values[c];
    m_ticks[m_pointCount] = tick;
    ++m_pointCount;
    return 0;
}

int TGraphBox::AppendPoint(const Values &values)
{
    return AppendPoint(values, now());
}

int TGraphBox::AddPoint(const Values &values)
{
    if (AppendPoint(values) != 0)
        return -1;
    updateTimeLabels();
    // Once the curves reach the right edge the chart moves on by one point
    // per point, keeping the newest at the right edge.
    if (m_pointCount + ScrollOffset > m_plotWidth) {
        ++ScrollOffset;
        DrawGrid();
    }
    if (RedrawOnAdd) {
        DrawCurves();
        Present();
    }
    return 0;
}

void TGraphBox::Reset()
{
    for (int c = 0; c < MaxChannels; ++c)
        m_points[size_t(c) * Capacity] = EndMarker;
    m_pointCount = 0;
    // The time labels would otherwise still name the points just dropped.
    updateTimeLabels();
}

void TGraphBox::DeriveHaloColours()
{
    for (auto &pens : PenColors) {
        const quint32 main = pens[MainPass];
        const quint32 halo = (main & 0xFF000000u) | ((((main >> 16) & 0xFF) / 2) << 16)
            | ((((main >> 8) & 0xFF) / 2) << 8) | ((main & 0xFF) / 2);
        for (int pass = 0; pass < MainPass; ++pass)
            pens[pass] = halo;
    }
}

QString TGraphBox::elapsedText(quint32 elapsedMs)
{
    const unsigned seconds = elapsedMs / 1000;
    const unsigned s = seconds % 60;
    const unsigned m = (seconds / 60) % 60;
    const unsigned h = (seconds / 3600) % 256;
    QString text = twoDigits(m) + QLatin1Char(':') + twoDigits(s);
    if (h != 0)
        text = twoDigits(h) + QLatin1Char(':') + text;
    return text;
}

void TGraphBox::updateTimeLabels()
{
    bool changed = false;
    for (int k = 0; k < MarkCount; ++k) {
        const qint64 i = qint64(TimeMarkSpacing) * k + ScrollOffset;
        const QString text
            = i < 0 || i > m_pointCount - 1 ? NoTimeText : elapsedText(m_ticks[i] - StartTick);
        if (TimeLabels[k].Text != text) {
            TimeLabels[k].Text = text;
            changed = true;
        }
    }
    if (changed && m_axisTarget)
        m_axisTarget->timeLabelsChanged(*this);
}
