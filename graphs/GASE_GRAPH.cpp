#include "graphs/GASE_GRAPH.h"

#include "common/Colors.h"
#include "common/FormatSettings.h"
#include "common/NumberText.h"
#include "graphs/GraphImageTarget.h"
#include "graphs/GraphTextTarget.h"

#include <QFont>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

// Drawing surfaces, large enough for boxes up to three times their design size.
constexpr int BarBufferWidth = 300;
constexpr int BarBufferHeight = 900;
constexpr int GaugeBufferWidth = 900;
constexpr int GaugeBufferHeight = 80;

// Design sizes of the boxes, used while a box is not connected.
constexpr int BarBoxDesignWidth = 100;
constexpr int BarBoxDesignHeight = 283;
constexpr int GaugeBoxDesignWidth = 450;
constexpr int GaugeBoxDesignHeight = 40;

constexpr quint32 BackgroundColor = 0x1B1B1B;
constexpr quint32 GridColor = 0x808080;
constexpr quint32 LimitColor = 0x0000FF;
constexpr quint32 InsideColor = 0x87FF00; // spring green
constexpr quint32 OutsideColor = 0x0000FF;
constexpr quint32 WhiteColor = 0xFFFFFF;
constexpr quint32 BlackColor = 0x000000;

constexpr int BarMargin = 3; // bar and limit lines keep clear of the box sides
constexpr double BarLevelCapPixels = 400; // a level drawn beyond this ...
constexpr double BarLevelCapUnits = 277; // ... is shown just below the top instead
constexpr double BarLevelFloor = 1; // a value at or below the low end
constexpr int GridLines = 11;
constexpr double GridStep = 23.33; // twelve equal divisions of the 280 units
constexpr int LimitPenWidth = 3;
constexpr int LimitTextRise = 15; // the limit's name stands above its line
constexpr int LimitTextPixelSize = 11;
constexpr int CentreLineWidth = 3;
constexpr int GaugeTicks = 4;
constexpr int GaugeMargin = 3;
constexpr int GasDigits = 4;
constexpr int GaugeLabelDigits = 5;
constexpr int LambdaDecimals = 2;
constexpr int PreDigits = 15;
constexpr double O2OneDecimalFrom = 10;
constexpr double LambdaNoValue = -1;
constexpr double TmNoValueAtOrBelow = -55;

const QString ProcedureRunningText = QStringLiteral("-.-");

// Pixel coordinate from a drawing position: truncated toward zero, kept within
// a range that no box reaches, so wild values are clipped, never overflowed.
int pixel(double position)
{
    constexpr double Limit = 1.0e6;
    if (std::isnan(position))
        return 0;
    return int(std::trunc(std::clamp(position, -Limit, Limit)));
}

// A usable scale needs a positive, finite span.
bool usableSpan(double low, double high)
{
    const double span = double(high) - double(low);
    return std::isfinite(span) && span > 0;
}

// A filled rectangle with a 1-pixel outline; like a window-system rectangle it
// covers x1 .. x2 - 1 and y1 .. y2 - 1, whichever way round the corners are
// given. Drawn as plain fills, several times faster than a stroked path.
void fillRectangle(QPainter &painter, int x1, int y1, int x2, int y2, quint32 outline, quint32 fill)
{
    if (x2 < x1)
        std::swap(x1, x2);
    if (y2 < y1)
        std::swap(y1, y2);
    const int width = x2 - x1;
    const int height = y2 - y1;
    if (width < 1 || height < 1)
        return;
    const QColor edge = colorFromBgr(outline);
    if (width > 2 && height > 2)
        painter.fillRect(QRect(x1 + 1, y1 + 1, width - 2, height - 2), colorFromBgr(fill));
    painter.fillRect(QRect(x1, y1, width, 1), edge);
    painter.fillRect(QRect(x1, y2 - 1, width, 1), edge);
    painter.fillRect(QRect(x1, y1, 1, height), edge);
    painter.fillRect(QRect(x2 - 1, y1, 1, height), edge);
}

// Straight lines as the window system draws them: from the first point up to,
// not including, the last; a wide pen is centred on the line.
void horizontalLine(QPainter &painter, int x1, int x2, int y, quint32 bgr, int width = 1)
{
    if (x2 < x1)
        std::swap(x1, x2);
    painter.fillRect(QRect(x1, y - width / 2, x2 - x1, width), colorFromBgr(bgr));
}

void verticalLine(QPainter &painter, int x, int y1, int y2, quint32 bgr, int width = 1)
{
    if (y2 < y1)
        std::swap(y1, y2);
    painter.fillRect(QRect(x - width / 2, y1, width, y2 - y1), colorFromBgr(bgr));
}

QPen pen(quint32 bgr)
{
    return QPen(colorFromBgr(bgr));
}

void setText(GraphTextTarget *target, const QString &text)
{
    if (target)
        target->setText(text);
}

} // namespace

GASE_GRAPH::GASE_GRAPH()
    : NoValueText(QStringLiteral("---"))
    , BarUnitsHigh(280)
    , BarUnitsWide(100)
    , GaugeUnitsHigh(40)
    , GaugeUnitsWide(450)
    , BarBuffer(BarBufferWidth, BarBufferHeight, QImage::Format_RGB32)
    , GaugeBuffer(GaugeBufferWidth, GaugeBufferHeight, QImage::Format_RGB32)
{
    m_limitFont.setFamily(QStringLiteral("DejaVu Sans"));
    m_limitFont.setPixelSize(LimitTextPixelSize);
    m_limitFont.setBold(true);
    BarBuffer.fill(colorFromBgr(BackgroundColor));
    GaugeBuffer.fill(colorFromBgr(BackgroundColor));
    const std::array<float, GasCount> low { 0, 0, 0, 0, 0 };
    const std::array<float, GasCount> high { 7, 3000, 16, 22, 5000 };
    std::copy(low.begin(), low.end(), RangeLow.begin());
    std::copy(high.begin(), high.end(), RangeHigh.begin());
}

GASE_GRAPH::~GASE_GRAPH() = default;

void GASE_GRAPH::Initialise()
{
    ShowLimits = true;
    BarScale = float(barBoxSize().width()) * 0.01f;
    GaugeScale = float(gaugeBoxSize().width()) / float(GaugeUnitsWide);
    for (GraphImageTarget *box : BarBoxes)
        if (box)
            box->markOpaque();
    for (GraphImageTarget *box : GaugeBoxes)
        if (box)
            box->markOpaque();
    FillColors.fill(InsideColor);
    PlaceScaleLabels();
}

void GASE_GRAPH::PlaceScaleLabels()
{
    const QChar separator = FormatSettings::current().decimalSeparator;
    for (int gas = 0; gas < GasCount; ++gas) {
        const float step = (RangeHigh[gas] - RangeLow[gas]) * 0.25f;
        // Accumulated the way the scale is read, bottom up; an equal or inverted
        // range simply shows its ends as given.
        float value = RangeLow[gas];
        for (int j = 0; j < ScaleLabelCount; ++j) {
            const QString text = Decimals[gas] != 0
                ? fixedText(value, GasDigits, Decimals[gas], separator)
                : generalText(value, separator);
            setText(ScaleLabels[gas][j], text);
            value += step;
        }
    }
}

void GASE_GRAPH::LoadLimitSet(const std::array<float, LimitSetSize> &limits)
{
    constexpr int Half = LimitSetSize / 2;
    std::copy(limits.begin(), limits.begin() + Half, MinLimits.begin());
    std::copy(limits.begin() + Half, limits.end(), MaxLimits.begin());
    // The tolerance is the eighth entry of each half.
    MinTaxD = MinLimits[Half - 1];
    MaxTaxD = MaxLimits[Half - 1];
}

void GASE_GRAPH::SetGaugeWindow(int channel, float low, float high)
{
    if (channel < GasCount || channel >= ChannelCount)
        return;
    RangeLow[channel] = low;
    RangeHigh[channel] = high;
}

void GASE_GRAPH::Draw()
{
    if (FlagsSource)
        Flags = FlagsSource();
    const GaseGraphFlags flags = Flags;
    const QChar separator = FormatSettings::current().decimalSeparator;

    writeReadouts(flags, separator);
    for (int gas = 0; gas < GasCount; ++gas)
        drawBar(gas, flags, separator);
    if (flags.MinSpeedDone)
        applyRaisedSpeedWindows();
    for (int channel = EngineSpeed; channel < ChannelCount; ++channel)
        drawGauge(channel, flags, separator);
}

void GASE_GRAPH::writeReadouts(const GaseGraphFlags &flags, QChar separator)
{
    for (int gas = 0; gas < GasCount; ++gas) {
        const double value = Values[gas];
        int decimals = Decimals[gas];
        if (gas == O2)
            decimals = value < O2OneDecimalFrom ? 2 : 1;
        QString text;
        if (flags.ProcedureActive)
            text = ProcedureRunningText;
        else if (!std::isfinite(value))
            text = NoValueText;
        else
            text = fixedText(value, GasDigits, decimals, separator);
        setText(ReadoutLabels[gas], text);
    }

    const double speed = Values[EngineSpeed];
    setText(ReadoutLabels[EngineSpeed],
        std::isfinite(speed) ? generalText(speed, separator) : NoValueText);

    const double lambda = Values[Lambda];
    setText(ReadoutLabels[Lambda],
        lambda == LambdaNoValue || !std::isfinite(lambda)
            ? NoValueText
            : fixedText(lambda, GasDigits, LambdaDecimals, separator));

    const double tm = Values[Tm];
    setText(ReadoutLabels[Tm],
        tm > TmNoValueAtOrBelow && std::isfinite(tm) ? generalText(tm, separator) : NoValueText);
}

void GASE_GRAPH::drawBar(int gas, const GaseGraphFlags &flags, QChar separator)
{
    if (PreLabels[gas])
        PreLabels[gas]->setText(fixedText(PreValues[gas], PreDigits, PreDigits, separator));

    const QSize box = barBoxSize();
    const double s = BarScale;
    const double unitsHigh = BarUnitsHigh;
    const double unitsWide = BarUnitsWide;
    const double low = RangeLow[gas];
    const double high = RangeHigh[gas];
    const double value = Values[gas];

    QPainter painter(&BarBuffer);
    fillRectangle(painter, 0, 0, box.width(), box.height(), WhiteColor, BackgroundColor);

    // Level in bar units. A value at or below the low end shows a sliver at the
    // bottom whatever the low end is; a range without a usable span can only
    // tell below from above.
    double level = BarLevelFloor;
    if (value > low)
        level = usableSpan(low, high) ? (value - low) * unitsHigh / (high - low) : BarLevelCapUnits;
    if (level * s > BarLevelCapPixels)
        level = BarLevelCapUnits;

    if (flags.WarmedUp) {
        fillRectangle(painter, BarMargin, pixel(unitsHigh * s - level * s),
            pixel(unitsWide * s - BarMargin), pixel(unitsHigh * s), BlackColor, FillColors[gas]);
    }

    for (int k = 1; k <= GridLines; ++k)
        horizontalLine(painter, 1, pixel(unitsWide * s - 1), pixel(k * GridStep * s), GridColor);

    // Each limit the model sets gets its line, whatever the order of the two:
    // in a two-speed idle test the raised-speed limits of CO and CH are the
    // lower ones.
    if (ShowLimits && usableSpan(low, high)) {
        painter.setFont(m_limitFont);
        painter.setPen(pen(GridColor));
        if (MaxLimits[gas] != 0)
            drawLimitLine(painter, MaxLimits[gas], gas, QStringLiteral("пов"));
        if (MinLimits[gas] != 0)
            drawLimitLine(painter, MinLimits[gas], gas, QStringLiteral("мин"));
    }
    painter.end();

    if (BarBoxes[gas])
        BarBoxes[gas]->showImage(BarBuffer, QRect(QPoint(0, 0), box));
}

void GASE_GRAPH::drawLimitLine(QPainter &painter, float limit, int gas, const QString &text)
{
    const double s = BarScale;
    const double unitsHigh = BarUnitsHigh;
    const double level
        = (double(limit) - RangeLow[gas]) * unitsHigh / (double(RangeHigh[gas]) - RangeLow[gas]);
    const int y = pixel(unitsHigh * s - level * s);
    horizontalLine(
        painter, BarMargin, pixel(BarUnitsWide * s - BarMargin), y, LimitColor, LimitPenWidth);

    // Grey bold text on a transparent background.
    const int top = pixel(unitsHigh * s - level * s - LimitTextRise);
    painter.drawText(QRect(4, top, BarBufferWidth, LimitTextRise + LimitTextPixelSize),
        Qt::AlignLeft | Qt::AlignTop, text);
}

void GASE_GRAPH::applyRaisedSpeedWindows()
{
    constexpr int MaxTax = 5;
    constexpr int MaxLambda = 6;
    RangeLow[EngineSpeed] = MaxLimits[MaxTax] - MaxTaxD;
    RangeHigh[EngineSpeed] = MaxLimits[MaxTax] + MaxTaxD;
    RangeLow[Lambda] = MaxLimits[MaxLambda] * 0.5f;
    RangeHigh[Lambda] = MaxLimits[MaxLambda] * 1.5f;
}

void GASE_GRAPH::drawGauge(int channel, const GaseGraphFlags &flags, QChar separator)
{
    const QSize box = gaugeBoxSize();
    const double s = BarScale;
    const double g = GaugeScale;
    const double unitsWide = GaugeUnitsWide;
    const double unitsHigh = GaugeUnitsHigh;
    const double low = RangeLow[channel];
    const double high = RangeHigh[channel];
    const double value = Values[channel];

    QPainter painter(&GaugeBuffer);
    fillRectangle(painter, 0, 0, box.width(), box.height(), WhiteColor, BackgroundColor);

    const double half = (high - low) / 2;
    const double centre = (low + high) / 2;
    const int decimals = channel == Lambda ? LambdaDecimals : 0;
    auto &labels = ScaleLabels[channel];
    setText(labels[0], QLatin1Char('-') + fixedText(half, GaugeLabelDigits, decimals, separator));
    setText(labels[1], fixedText(centre, GaugeLabelDigits, decimals, separator));
    setText(labels[2], QLatin1Char('+') + fixedText(half, GaugeLabelDigits, decimals, separator));

    // The gauge spans from half a window below it to half a window above, so
    // the window is its middle half. Without a usable window the level can
    // only go to one end or stay at the centre.
    double level = unitsWide / 2;
    if (usableSpan(low, high))
        level = (value - low + half) * unitsWide / (high - low + 2 * half);
    else if (value < centre)
        level = 0;
    else if (value > centre)
        level = unitsWide;

    const bool inside = value >= low && value <= high;
    FillColors[channel] = inside ? InsideColor : OutsideColor;

    const int centreX = pixel(unitsWide / 2 * g);
    if (flags.WarmedUp && flags.VehicleSelected) {
        fillRectangle(painter, centreX, pixel(unitsHigh * s - GaugeMargin), pixel(level * s),
            GaugeMargin, BlackColor, FillColors[channel]);
    }

    const int bottom = pixel(unitsHigh * s);
    const int centreLineX = pixel(unitsWide / 2 * g - 1);
    verticalLine(painter, centreLineX, 0, bottom, GridColor, CentreLineWidth);
    for (int k = 1; k <= GaugeTicks; ++k)
        verticalLine(painter, pixel(k * (unitsWide / GaugeTicks) * g), 0, bottom, GridColor);
    painter.end();

    if (GraphImageTarget *target = GaugeBoxes[channel - EngineSpeed])
        target->showImage(GaugeBuffer, QRect(QPoint(0, 0), box));
}

QSize GASE_GRAPH::barBoxSize() const
{
    const QSize size
        = BarBoxes[0] ? BarBoxes[0]->boxSize() : QSize(BarBoxDesignWidth, BarBoxDesignHeight);
    return size.boundedTo(BarBuffer.size()).expandedTo(QSize(0, 0));
}

QSize GASE_GRAPH::gaugeBoxSize() const
{
    const QSize size = GaugeBoxes[0] ? GaugeBoxes[0]->boxSize()
                                     : QSize(GaugeBoxDesignWidth, GaugeBoxDesignHeight);
    return size.boundedTo(GaugeBuffer.size()).expandedTo(QSize(0, 0));
}
