#pragma once

#include <QColor>

class QAbstractButton;
class QWidget;

// The two looks of a step button of the measuring page: idle (lime text over
// a dark green rectangle) and running (black text over a lime rectangle). The
// rectangle keeps its silver border in both.
namespace StepButtonLook {

inline const QColor IdleText { 0, 255, 0 }; // lime
inline const QColor IdleFill { 10, 50, 5 }; // dark green
inline const QColor RunningText { 0, 0, 0 }; // black
inline const QColor RunningFill { 0, 255, 0 }; // lime
inline const QColor Border { 192, 192, 192 }; // silver

void setIdle(QAbstractButton *button, QWidget *shape);
void setRunning(QAbstractButton *button, QWidget *shape);
// True when the button shows the running look.
bool isRunning(const QAbstractButton *button);

} // namespace StepButtonLook
