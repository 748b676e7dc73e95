#pragma once

#include "graphs/GraphImageTarget.h"

#include <QImage>
#include <QWidget>

// A paint box: shows the last image the gas graph copied onto it. Painting only
// copies that image, so a repaint never shows a half-drawn graph.
class GraphPaintBox : public QWidget, public GraphImageTarget
{
    Q_OBJECT

public:
    explicit GraphPaintBox(QWidget *parent = nullptr);

    QSize boxSize() const override;
    void markOpaque() override;
    void showImage(const QImage &buffer, const QRect &source) override;

    // What the box shows now (for tests and screenshots).
    const QImage &image() const { return m_image; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QImage m_image;
};
