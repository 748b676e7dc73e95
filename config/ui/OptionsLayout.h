#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

// Geometry of the options dialog, in pixels of its client area: the frame
// and the pages (TFormOptionsView.cpp, TFormOptionsDatabase.cpp) share it.
namespace OptionsLayout {

inline constexpr int fontPixels = 11;
inline constexpr int captionFontPixels = 13;
inline constexpr QRect listRect(8, 3, 121, 262);
inline constexpr QRect captionRect(132, 3, 361, 25);
// The page control's own tabs lie under the caption; its pages start below it.
inline constexpr QRect pagesRect(135, 28, 356, 234);
inline constexpr int stripTop = 265;
inline constexpr int stripHeight = 41;
// OK and "Отмена" stand right-aligned under the caption, wide enough for
// their captions in the dialog's font.
inline constexpr QSize buttonSize(85, 25);
inline constexpr QPoint cancelPos(captionRect.right() - buttonSize.width() + 1, 11);
inline constexpr QPoint okPos(cancelPos.x() - 6 - buttonSize.width(), 11);
inline constexpr int controlLeft = 32;
inline constexpr int labelAbove = 16; // a label stands this far above its control
inline constexpr int editHeight = 21;
inline constexpr int narrowWidth = 121;
inline constexpr int wideWidth = 257;
inline constexpr int upDownWidth = 16;

} // namespace OptionsLayout
