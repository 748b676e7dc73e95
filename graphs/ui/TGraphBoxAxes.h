#pragma once

#include "graphs/GraphAxisTarget.h"

#include <QObject>
#include <QPointer>
#include <QVector>

class QFrame;
class QLabel;
class QWidget;

// The strip chart's axes on the research panel: twenty value tick marks and
// labels left of the plot, twenty time tick marks and labels below it, the
// title above it and the "X:"/"Y:" captions with their fields. It shows what
// the chart placed (TGraphBox keeps the places and texts); all its widgets
// go with it.
//
// Labels are white on a transparent background in an 8-point font; tick
// marks are short sunken lines.
class TGraphBoxAxes : public QObject, public GraphAxisTarget
{
    Q_OBJECT

public:
    // Creates the widgets on `panel` (the plot box's parent) and attaches to
    // the chart, which must outlive this object.
    TGraphBoxAxes(TGraphBox &chart, QWidget *panel);
    ~TGraphBoxAxes() override;

    void valueAxisChanged(const TGraphBox &chart) override;
    void timeLabelsChanged(const TGraphBox &chart) override;
    void titleChanged(const TGraphBox &chart) override;

    QVector<QFrame *> YTickMarks;
    QVector<QLabel *> ValueLabels;
    QVector<QFrame *> XTickMarks;
    QVector<QLabel *> TimeLabels;
    QLabel *TitleLabel = nullptr;
    QLabel *labX = nullptr; // "X:"
    QLabel *labXValue = nullptr;
    QLabel *labY = nullptr; // "Y:"
    QLabel *labYValue = nullptr;

private:
    QLabel *makeLabel(const char *name, int index = -1);
    QFrame *makeMark(bool horizontal, const char *name, int index);
    void centreTimeLabel(int k, const TGraphBox &chart);

    TGraphBox &m_chart;
    QPointer<QWidget> m_panel;
    QVector<QPointer<QWidget>> m_widgets;
};
