#pragma once

class QImage;
class QRect;
class QSize;

// A paint box the gas graph draws onto. The graph paints a whole box into its
// back buffer and then hands over the finished part in one step, so the screen
// never shows a half-drawn bar.
class GraphImageTarget
{
public:
    virtual ~GraphImageTarget() = default;
    // Size of the box in pixels; the graph's scale follows the first box.
    virtual QSize boxSize() const = 0;
    // The box covers its whole area on every copy, so nothing behind it needs painting.
    virtual void markOpaque() = 0;
    // Copies the part `source` of `buffer` onto the box at (0, 0).
    virtual void showImage(const QImage &buffer, const QRect &source) = 0;
};
