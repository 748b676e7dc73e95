#pragma once

#include <QWidget>

class GraphPaintBox;

// One gauge of the measuring page (450 x 40): a paint box covering the frame.
class TfrGraphG : public QWidget
{
    Q_OBJECT

public:
    static constexpr int FrameWidth = 450;
    static constexpr int FrameHeight = 40;

    explicit TfrGraphG(QWidget *parent = nullptr);

    GraphPaintBox *Bar;

protected:
    void resizeEvent(QResizeEvent *event) override;
};
