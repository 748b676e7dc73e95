#include "widgets/MessageBoxes.h"

#include "common/ZelmorError.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>

namespace {

QWidget *ownerOf(QWidget *parent)
{
    return parent ? parent : QApplication::activeWindow();
}

void showOk(QWidget *parent, QMessageBox::Icon icon, const QString &title, const QString &text)
{
    QMessageBox box(icon, title, text, QMessageBox::Ok, ownerOf(parent));
    box.setTextFormat(Qt::PlainText); // paths and typed data, never markup
    box.exec();
}

} // namespace

bool MessageBoxes::confirm(QWidget *parent, const QString &text)
{
    QMessageBox box(
        QMessageBox::Information, Title, text, QMessageBox::Yes | QMessageBox::No, ownerOf(parent));
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::Yes);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("Да"));
    box.button(QMessageBox::No)->setText(QStringLiteral("Нет"));
    return box.exec() == QMessageBox::Yes;
}

void MessageBoxes::warning(QWidget *parent, const QString &text)
{
    showOk(parent, QMessageBox::Warning, Title, text);
}

void MessageBoxes::information(QWidget *parent, const QString &text)
{
    showOk(parent, QMessageBox::Information, Title, text);
}

void MessageBoxes::error(QWidget *parent, const QString &title, const QString &text)
{
    showOk(parent, QMessageBox::Warning, title, text);
}

bool MessageBoxes::guarded(QWidget *parent, const std::function<void()> &step)
{
    try {
        step();
        return true;
    } catch (const ZelmorError &e) {
        warning(parent, e.message());
    } catch (const std::exception &e) {
        warning(parent, QString::fromLocal8Bit(e.what()));
    }
    return false;
}
