#include "graphs/ui/TGraphBoxAxes.h"

#include "graphs/TGraphBox.h"

#include <QFrame>
#include <QLabel>
#include <QWidget>

namespace {

constexpr int LabelPointSize = 8;
constexpr int MarkThickness = 2;
constexpr int CaptionHeight = 13;
constexpr int CaptionWidth = 20;
constexpr int FieldWidth = 60;
// The captions above the plot's right end, from the plot's right edge.
constexpr int XCaptionFromRight = 220;
constexpr int XFieldFromRight = 150;
constexpr int YCaptionFromRight = 100;
constexpr int YFieldFromRight = 30;

} // namespace

TGraphBoxAxes::TGraphBoxAxes(TGraphBox &chart, QWidget *panel)
    : QObject(panel)
    , m_chart(chart)
    , m_panel(panel)
{
    setObjectName(QStringLiteral("GraphBoxAxes"));
    for (int k = 0; k < TGraphBox::MarkCount; ++k) {
        YTickMarks << makeMark(true, "YTickMark", k);
        ValueLabels << makeLabel("ValueLabel", k);
        ValueLabels.back()->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        ValueLabels.back()->resize(TGraphBox::ValueLabelWidth, TGraphBox::ValueLabelHeight);
        XTickMarks << makeMark(false, "XTickMark", k);
        TimeLabels << makeLabel("TimeLabel", k);
        TimeLabels.back()->setAlignment(Qt::AlignCenter);
    }

    const QPoint plot = chart.plotTopLeft();
    const int top = plot.y() - TGraphBox::TitleRise;
    const int right = plot.x() + int(chart.PlotWidth());
    TitleLabel = makeLabel("TitleLabel");
    TitleLabel->move(plot.x(), top);
    labX = makeLabel("labX");
    labX->setText(QStringLiteral("X:"));
    labX->setGeometry(right - XCaptionFromRight, top, CaptionWidth, CaptionHeight);
    labXValue = makeLabel("labXValue");
    labXValue->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    labXValue->setGeometry(right - XFieldFromRight - FieldWidth, top, FieldWidth, CaptionHeight);
    labY = makeLabel("labY");
    labY->setText(QStringLiteral("Y:"));
    labY->setGeometry(right - YCaptionFromRight, top, CaptionWidth, CaptionHeight);
    labYValue = makeLabel("labYValue");
    labYValue->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    labYValue->setGeometry(right - YFieldFromRight - FieldWidth, top, FieldWidth, CaptionHeight);
    labX->setBuddy(labXValue);
    labY->setBuddy(labYValue);
    for (QLabel *label : { labX, labXValue, labY, labYValue })
        label->show();

    chart.setAxisTarget(this);
}

TGraphBoxAxes::~TGraphBoxAxes()
{
    m_chart.setAxisTarget(nullptr);
    for (const QPointer<QWidget> &widget : std::as_const(m_widgets))
        delete widget.data();
}

QLabel *TGraphBoxAxes::makeLabel(const char *name, int index)
{
    auto *label = new QLabel(m_panel);
    QString objectName = QString::fromLatin1(name);
    if (index >= 0)
        objectName += QString::number(index);
    label->setObjectName(objectName);
    QFont font = label->font();
    font.setPointSize(LabelPointSize);
    label->setFont(font);
    label->setAttribute(Qt::WA_TranslucentBackground);
    label->setAutoFillBackground(false);
    label->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
    label->hide();
    m_widgets << label;
    return label;
}

QFrame *TGraphBoxAxes::makeMark(bool horizontal, const char *name, int index)
{
    auto *mark = new QFrame(m_panel);
    mark->setObjectName(QString::fromLatin1(name) + QString::number(index));
    mark->setFrameShape(horizontal ? QFrame::HLine : QFrame::VLine);
    mark->setFrameShadow(QFrame::Sunken);
    mark->resize(horizontal ? TGraphBox::TickLength : MarkThickness,
        horizontal ? MarkThickness : TGraphBox::TickLength);
    mark->hide();
    m_widgets << mark;
    return mark;
}

void TGraphBoxAxes::valueAxisChanged(const TGraphBox &chart)
{
    for (int k = 0; k < TGraphBox::MarkCount; ++k) {
        const TGraphBox::AxisMark &mark = chart.YTickMarks[k];
        YTickMarks[k]->move(mark.At);
        YTickMarks[k]->setVisible(mark.Placed);
        const TGraphBox::AxisLabel &label = chart.ValueLabels[k];
        ValueLabels[k]->setText(label.Text);
        ValueLabels[k]->move(label.At);
        ValueLabels[k]->setVisible(label.Placed);
        // The time axis is shown with the value axis.
        const TGraphBox::AxisMark &timeMark = chart.XTickMarks[k];
        XTickMarks[k]->move(timeMark.At);
        XTickMarks[k]->setVisible(timeMark.Placed);
        centreTimeLabel(k, chart);
        TimeLabels[k]->setVisible(chart.TimeLabels[k].Placed);
    }
}

void TGraphBoxAxes::timeLabelsChanged(const TGraphBox &chart)
{
    for (int k = 0; k < TGraphBox::MarkCount; ++k) {
        if (TimeLabels[k]->text() != chart.TimeLabels[k].Text)
            centreTimeLabel(k, chart);
    }
}

void TGraphBoxAxes::centreTimeLabel(int k, const TGraphBox &chart)
{
    const TGraphBox::AxisLabel &label = chart.TimeLabels[k];
    QLabel *widget = TimeLabels[k];
    widget->setText(label.Text);
    widget->adjustSize();
    widget->move(label.At.x() - widget->width() / 2, label.At.y());
}

void TGraphBoxAxes::titleChanged(const TGraphBox &chart)
{
    TitleLabel->setText(chart.Title);
    TitleLabel->adjustSize();
    TitleLabel->setVisible(true);
}
