#pragma once

#include <QString>
#include <functional>

class QWidget;

// The operator's message boxes, one look for every window. Questions,
// refusals and hints are titled "Сообщение": questions with "Да"/"Нет" and
// the information icon, refusals with OK and the warning icon, hints with OK
// and the information icon. A box without a parent belongs to the active
// window.
namespace MessageBoxes {

inline const QString Title = QStringLiteral("Сообщение");

// True when the operator answers "Да" (the default button).
bool confirm(QWidget *parent, const QString &text);
// Something the operator asked for cannot be done now.
void warning(QWidget *parent, const QString &text);
// A hint: nothing was refused, something is missing.
void information(QWidget *parent, const QString &text);
// A failure with its own title and the warning icon.
void error(QWidget *parent, const QString &title, const QString &text);

// Runs one handler step; an error ends it and is shown as a warning, so no
// exception crosses the widgets' signal machinery. False when it failed.
bool guarded(QWidget *parent, const std::function<void()> &step);

} // namespace MessageBoxes
