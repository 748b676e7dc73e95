#pragma once

#include "graphs/GraphTextTarget.h"

#include <QObject>

class QLabel;

// Lets the gas graph write into a label. It lives as a child of its label, so
// it is gone exactly when the label is.
class LabelTextTarget : public QObject, public GraphTextTarget
{
    Q_OBJECT

public:
    enum class Fit {
        Keep, // the label keeps its geometry
        GrowLeft, // the label widens to its text, keeping its right edge (scale values)
        ShrinkFont // a text too wide for the label gets a smaller font (readouts)
    };

    explicit LabelTextTarget(QLabel *label, Fit fit = Fit::Keep);

    void setText(const QString &text) override;

    // The target already attached to `label`, or a new one.
    static LabelTextTarget *of(QLabel *label, Fit fit = Fit::Keep);

private:
    QLabel *m_label;
    Fit m_fitMode;
    int m_rightEdge;
    int m_minWidth;
    int m_fullPixelSize;
};
