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
    , m_label(label)
    , m_fitMode(fit)
    , m_rightEdge(label->geometry().right())
    , m_minWidth(label->width())
    , m_fullPixelSize(label->font().pixelSize())
{ }

void LabelTextTarget::setText(const QString &text)
{
    if (m_label->text() == text)
        return;
    m_label->setText(text);
    if (m_fitMode == Fit::GrowLeft) {
        const int width = std::max(
            m_minWidth, m_label->fontMetrics().horizontalAdvance(text) + 2 * TextPadding);
        m_label->setGeometry(m_rightEdge - width + 1, m_label->y(), width, m_label->height());
    } else if (m_fitMode == Fit::ShrinkFont && m_fullPixelSize > 0) {
        // A long number keeps all its digits visible rather than losing its head.
        m_label->ensurePolished();
        QFont font = m_label->font();
        font.setPixelSize(m_fullPixelSize);
        const int needed = QFontMetrics(font).horizontalAdvance(text);
        const int room = m_label->contentsRect().width() - TextPadding;
        if (needed > room && needed > 0)
            font.setPixelSize(std::max(SmallestPixelSize, m_fullPixelSize * room / needed));
        if (font.pixelSize() != m_label->font().pixelSize())
            m_label->setFont(font);
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
