#pragma once

#include <QString>

class QWidget;

// The operator's message boxes, all titled "Сообщение": refusals with OK
// and the warning icon, confirmations with Yes/No and the information icon.
namespace MessageBoxes {

void warning(const QString &text, QWidget *parent = nullptr);
bool confirm(const QString &text, QWidget *parent = nullptr);

} // namespace MessageBoxes
