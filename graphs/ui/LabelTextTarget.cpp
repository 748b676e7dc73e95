#include "graphs/ui/LabelTextTarget.h"

#include <QLabel>

#include <algorithm>

namespace {
constexpr int TextPadding = 2; // keeps the text off the label's left edge
}

LabelTextTarget::LabelTextTarget(QLabel *label, Fit fit)
    : QObject(label)
    , Label(label)
    , FitMode(fit)
    , RightEdge(label->geometry().right())
    , MinWidth(label->width())
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
