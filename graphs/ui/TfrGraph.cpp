#include "graphs/ui/TfrGraph.h"

#include "common/Colors.h"
#include "graphs/ui/GraphPaintBox.h"
#include "graphs/ui/LabelTextTarget.h"
#include "graphs/ui/ReadoutFont.h"

#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>

namespace {

// Places and sizes of the controls, in pixels of the 155 x 423 frame.
constexpr QRect ReadoutFrameRect(2, 44, 145, 61);
constexpr QRect BarRect(48, 136, 100, 283);
constexpr QPoint NamePos(8, -10);
constexpr int NameCapTop = 2; // the capitals' top edge stays inside the frame
constexpr int UnitGap = 1; // the unit follows the name closely
constexpr QRect ReadoutRect(3, 48, 135, 56);
constexpr QPoint PrePos(92, 112);
constexpr int ScaleLeft = 21;
constexpr int ScaleWidth = 26;
constexpr int ScaleHeight = 14;
constexpr std::array<int, 5> ScaleTops { 408, 339, 270, 198, 129 }; // d1 .. d5

constexpr int NamePixelSize = 40;
constexpr int UnitPixelSize = 27;
constexpr int ScalePixelSize = 11;
constexpr int ReadoutPixelSize = 53;
constexpr int ReadoutRightPadding = 4;

constexpr quint32 NameColor = 0x00FFFF; // yellow
constexpr quint32 ReadoutColor = 0x00FF00; // lime
constexpr quint32 ReadoutFrameColor = 0xC6EEFF;
constexpr quint32 ScaleTextColor = 0xF0FBFF; // cream
constexpr quint32 ScaleBackColor = 0x5E857E;

const QString TextFamily = QStringLiteral("DejaVu Sans");

struct GasCaption
{
    const char *name;
    const char *unit;
};
// The name's subscript digit is part of the smaller unit text.
constexpr std::array<GasCaption, 5> GasCaptions { { { "CO", ",%" }, { "CH", ",ppm" },
    { "CO", "2,%" }, { "O", "2,%" }, { "NO", ",ppm" } } };

QString cssColor(quint32 bgr)
{
    return colorFromBgr(bgr).name();
}

QFont textFont(int pixelSize, bool bold)
{
    QFont font(TextFamily);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

QLabel *makeLabel(QWidget *parent, const QString &name, const QFont &font, const QString &style)
{
    auto *label = new QLabel(parent);
    label->setObjectName(name);
    label->setFont(font);
    label->setStyleSheet(style);
    return label;
}

} // namespace

TfrGraph::TfrGraph(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("TfrGraph"));
    resize(FrameWidth, FrameHeight);
    setAutoFillBackground(false);

    Shape1 = new QFrame(this);
    Shape1->setObjectName(QStringLiteral("Shape1"));
    Shape1->setGeometry(ReadoutFrameRect);
    Shape1->setStyleSheet(QStringLiteral("#Shape1 { background: black; border: 1px solid %1; }")
                              .arg(cssColor(ReadoutFrameColor)));

    Bar = new GraphPaintBox(this);
    Bar->setGeometry(BarRect);
    QPalette barPalette = Bar->palette();
    barPalette.setColor(QPalette::Window, Qt::black);
    Bar->setPalette(barPalette);

    const QString nameStyle
        = QStringLiteral("color: %1; background: transparent;").arg(cssColor(NameColor));
    Label1 = makeLabel(this, QStringLiteral("Label1"), textFont(NamePixelSize, true), nameStyle);
    Label1->move(NamePos);
    Label8 = makeLabel(this, QStringLiteral("Label8"), textFont(UnitPixelSize, false), nameStyle);

    const QString scaleStyle = QStringLiteral("color: %1; background: %2;")
                                   .arg(cssColor(ScaleTextColor), cssColor(ScaleBackColor));
    for (int i = 0; i < int(d.size()); ++i) {
        d[i] = makeLabel(
            this, QStringLiteral("d%1").arg(i + 1), textFont(ScalePixelSize, true), scaleStyle);
        d[i]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        d[i]->setGeometry(ScaleLeft, ScaleTops[i], ScaleWidth, ScaleHeight);
        new LabelTextTarget(d[i], LabelTextTarget::Fit::GrowLeft);
    }

    labData = makeLabel(this, QStringLiteral("labData"), readoutFont(ReadoutPixelSize),
        QStringLiteral("color: %1; background: black;").arg(cssColor(ReadoutColor)));
    labData->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    labData->setIndent(0);
    labData->setContentsMargins(0, 0, ReadoutRightPadding, 0);
    labData->setGeometry(ReadoutRect);
    fitReadoutFont();
    new LabelTextTarget(labData, LabelTextTarget::Fit::ShrinkFont);

    labDataPre = new QLabel(this);
    labDataPre->setObjectName(QStringLiteral("labDataPre"));
    labDataPre->move(PrePos);
    labDataPre->hide();
    new LabelTextTarget(labDataPre);

    setGas(0);
}

void TfrGraph::setGas(int gas)
{
    const GasCaption &caption = GasCaptions[std::clamp(gas, 0, int(GasCaptions.size()) - 1)];
    Label1->setText(QString::fromLatin1(caption.name));
    Label1->adjustSize();
    Label8->setText(QString::fromLatin1(caption.unit));
    Label8->adjustSize();

    // Faces differ in their metrics: keep the name's capitals just inside the
    // frame and let the unit (with the formula's digit) follow on the same baseline.
    const QFontMetrics name(Label1->font());
    const QFontMetrics unit(Label8->font());
    Label1->ensurePolished();
    Label8->ensurePolished();
    Label1->move(
        NamePos.x(), NameCapTop - Label1->contentsRect().top() - name.ascent() + name.capHeight());
    const int baseline = Label1->y() + Label1->contentsRect().top() + name.ascent();
    Label8->move(Label1->x() + name.horizontalAdvance(Label1->text()) + UnitGap,
        baseline - unit.ascent() - Label8->contentsRect().top());
}

void TfrGraph::fitReadoutFont()
{
    // Four digits, the usual width of a reading, fill the readout frame; longer
    // texts are made smaller when they come.
    labData->ensurePolished();
    QFont font = labData->font();
    const int room = labData->contentsRect().width();
    const int needed = QFontMetrics(font).horizontalAdvance(QStringLiteral("8888"));
    if (needed > room)
        font.setPixelSize(std::max(1, ReadoutPixelSize * room / needed));
    labData->setFont(font);
}

GraphTextTarget *TfrGraph::readoutTarget() const
{
    return LabelTextTarget::of(labData);
}

GraphTextTarget *TfrGraph::preTarget() const
{
    return LabelTextTarget::of(labDataPre);
}

GraphTextTarget *TfrGraph::scaleTarget(int index) const
{
    if (index < 0 || index >= int(d.size()))
        return nullptr;
    return LabelTextTarget::of(d[index]);
}

void TfrGraph::paintEvent(QPaintEvent *)
{
    // Decorative background: a dark plate lit from above.
    QPainter painter(this);
    QLinearGradient plate(0, 0, 0, height());
    plate.setColorAt(0, QColor(46, 50, 56));
    plate.setColorAt(0.3, QColor(18, 20, 24));
    plate.setColorAt(1, QColor(6, 6, 8));
    painter.fillRect(rect(), plate);
}

void TfrGraph::resizeEvent(QResizeEvent *)
{
    // The bar grows with the frame; everything else keeps its place.
    Bar->setGeometry(BarRect.x(), BarRect.y(), width() - (FrameWidth - BarRect.width()),
        height() - (FrameHeight - BarRect.height()));
}
