#include "database/ui/FormMessages.h"

#include "common/ZelmorError.h"

#include <QAbstractButton>
#include <QMessageBox>

namespace {
const char *const Title = "Сообщение";
}

bool FormMessages::confirm(QWidget *parent, const QString &text)
{
    QMessageBox box(QMessageBox::Information, QString::fromUtf8(Title), text,
        QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::Yes);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("Да"));
    box.button(QMessageBox::No)->setText(QStringLiteral("Нет"));
    return box.exec() == QMessageBox::Yes;
}

void FormMessages::refuse(QWidget *parent, const QString &text)
{
    QMessageBox box(QMessageBox::Warning, QString::fromUtf8(Title), text, QMessageBox::Ok, parent);
    box.exec();
}

void FormMessages::inform(QWidget *parent, const QString &text)
{
    QMessageBox box(QMessageBox::Information, QString::fromUtf8(Title), text, QMessageBox::Ok, parent);
    box.exec();
}

bool FormMessages::guarded(QWidget *parent, const std::function<void()> &step)
{
    try {
        step();
        return true;
    } catch (const ZelmorError &e) {
        refuse(parent, e.message());
    } catch (const std::exception &e) {
        refuse(parent, QString::fromLocal8Bit(e.what()));
    }
    return false;
}
