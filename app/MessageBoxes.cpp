#include "app/MessageBoxes.h"

#include <QApplication>
#include <QMessageBox>

namespace MessageBoxes {

static QWidget *ownerOf(QWidget *parent)
{
    return parent ? parent : QApplication::activeWindow();
}

void warning(const QString &text, QWidget *parent)
{
    QMessageBox box(
        QMessageBox::Warning, QString::fromUtf8(Title), text, QMessageBox::Ok, ownerOf(parent));
    box.exec();
}

bool confirm(const QString &text, QWidget *parent)
{
    QMessageBox box(QMessageBox::Information, QString::fromUtf8(Title), text,
        QMessageBox::Yes | QMessageBox::No, ownerOf(parent));
    return box.exec() == QMessageBox::Yes;
}

} // namespace MessageBoxes
