#pragma once

class QWidget;

namespace DialogPlacement {

// Puts a box in the middle of the window it belongs to (or of the main
// window when it has no parent).
void centreOnParent(QWidget *box);

} // namespace DialogPlacement
