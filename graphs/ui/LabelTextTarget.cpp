#include "graphs/ui/LabelTextTarget.h"

#include <QFontMetrics>
#include <QLabel>

#include <algorithm>

namespace {
constexpr int TextPadding = 2; // keeps the text off the label's left edge
constexpr int SmallestPixelSize = 8;
} // namespace

LabelTextTarget::LabelTextTarget(QLabel *label, Fit fit)
    : QObject(label)
    , Label(label)
    , FitMode(fit)
    , RightEdge(label->geometry().right())
    , MinWidth(label->width())
    , FullPixelSize(label->font().pixelSize())
{ }

void LabelTextTarget::setText(const QString &text)
{
    if (Label->text() == text)
        return;
    Label->setText(text);
    if (FitMode == Fit::GrowLeft) {
        const int width
            = std::max(MinWidth, Label->fontMetrics().horizontalAdvance(text) + 2 * TextPadding);
        Label->setGeometry(RightEdge - width + 1, Label->y(), width, Label->height());
    } else if (FitMode == Fit::ShrinkFont && FullPixelSize > 0) {
        // A long number keeps all its digits visible rather than losing its head.
        Label->ensurePolished();
        QFont font = Label->font();
        font.setPixelSize(FullPixelSize);
        const int needed = QFontMetrics(font).horizontalAdvance(text);
        const int room = Label->contentsRect().width() - TextPadding;
        if (needed > room && needed > 0)
            font.setPixelSize(std::max(SmallestPixelSize, FullPixelSize * room / needed));
        if (font.pixelSize() != Label->font().pixelSize())
            Label->setFont(font);
    }
}

LabelTextTarget *LabelTextTarget::of(QLabel *label, Fit fit)
{
    if (!label)
        return nullptr;
    if (auto *existing = label->findChild<LabelTextTarget *>(QString(), Qt::FindDirectChildrenOnly))
        return existing;
    return new LabelTextTarget(label, fit);
}
