#include "app/MessageBoxes.h"

#include "database/ui/FormMessages.h"

#include <QApplication>

// The boxes themselves are the database windows' ones, so every "Сообщение"
// in the program looks and answers alike; here only the owner is chosen.
namespace MessageBoxes {

static QWidget *ownerOf(QWidget *parent)
{
    return parent ? parent : QApplication::activeWindow();
}

void warning(const QString &text, QWidget *parent)
{
    FormMessages::refuse(ownerOf(parent), text);
}

bool confirm(const QString &text, QWidget *parent)
{
    return FormMessages::confirm(ownerOf(parent), text);
}

} // namespace MessageBoxes
