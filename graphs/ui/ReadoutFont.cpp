#include "graphs/ui/ReadoutFont.h"

#include <QFontDatabase>
#include <QStringList>

namespace {
const QString SevenSegmentFamily = QStringLiteral("DSEG7 Classic");
const QString FallbackFamily = QStringLiteral("DejaVu Sans Mono");
} // namespace

bool hasSevenSegmentFont()
{
    static const bool available = QFontDatabase::families().contains(SevenSegmentFamily);
    return available;
}

QFont readoutFont(int pixelSize)
{
    QFont font(hasSevenSegmentFont() ? SevenSegmentFamily : FallbackFamily);
    font.setPixelSize(pixelSize);
    font.setBold(true);
    // The comma has no seven-segment glyph; let it come from a plain face.
    font.setStyleHint(QFont::Monospace);
    return font;
}
