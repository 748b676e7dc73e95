#pragma once

#include <QWidget>

#include <array>

class GraphPaintBox;
class GraphTextTarget;
class QFrame;
class QLabel;

// One gas bar of the measuring page (155 x 423): gas name and unit, the large
// readout in its frame, the bar with its five scale values beside it.
class TfrGraph : public QWidget
{
    Q_OBJECT

public:
    static constexpr int FrameWidth = 155;
    static constexpr int FrameHeight = 423;

    explicit TfrGraph(QWidget *parent = nullptr);

    // Shows the name and unit of gas 0..4 (CO, CH, CO2, O2, NOx).
    void setGas(int gas);

    // Targets for the gas graph.
    GraphTextTarget *readoutTarget() const;
    GraphTextTarget *preTarget() const;
    GraphTextTarget *scaleTarget(int index) const; // 0 = d1 (bottom) .. 4 = d5 (top)

    QLabel *Label1; // gas name
    QLabel *Label8; // unit completing the name
    QFrame *Shape1; // frame around the readout
    GraphPaintBox *Bar; // the bar graph
    QLabel *labData; // current value
    QLabel *labDataPre; // secondary value, hidden
    std::array<QLabel *, 5> d {}; // scale values, bottom first

protected:
    void fitReadoutFont();
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
};
