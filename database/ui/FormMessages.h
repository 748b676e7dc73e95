#pragma once

#include <QString>
#include <functional>

class QWidget;

// Message boxes of the database windows, titled "Сообщение": questions with
// Yes/No and the information icon, refusals and errors with OK and the
// warning icon.
namespace FormMessages {

bool confirm(QWidget *parent, const QString &text);
void refuse(QWidget *parent, const QString &text);
// A hint with OK and the information icon (nothing was refused, a field is missing).
void inform(QWidget *parent, const QString &text);

// Runs one handler step; a table error ends it and is shown to the operator,
// so no exception crosses the widgets' signal machinery.
bool guarded(QWidget *parent, const std::function<void()> &step);

} // namespace FormMessages
