#pragma once

#include <QColor>
#include <QtGlobal>

// Colours are kept as 32-bit values with red in the low byte, then green,
// then blue (0x00BBGGRR).
inline QColor colorFromBgr(quint32 bgr)
{
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

inline quint32 bgrFromColor(const QColor &color)
{
    return quint32(color.red()) | (quint32(color.green()) << 8) | (quint32(color.blue()) << 16);
}
