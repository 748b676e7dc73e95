#include "app/ZelmorApplication.h"

#include "common/FormatSettings.h"
#include "common/ZelmorError.h"
#include "widgets/MessageBoxes.h"

#include <QLocale>
#include <clocale>

ZelmorApplication::ZelmorApplication(int &argc, char **argv)
    : QApplication(argc, argv)
{ }

bool ZelmorApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        showError(messageOf(std::current_exception()));
    }
    return false;
}

QString ZelmorApplication::messageOf(std::exception_ptr error)
{
    try {
        std::rethrow_exception(error);
    } catch (const ZelmorError &e) {
        return e.message();
    } catch (const std::exception &e) {
        return QString::fromUtf8(e.what());
    } catch (...) { }
    return QStringLiteral("Неизвестная ошибка.");
}

void ZelmorApplication::showError(const QString &message)
{
    MessageBoxes::warning(nullptr, message);
}

void ZelmorApplication::setUpFormats()
{
    std::setlocale(LC_NUMERIC, "C");
    FormatSettings::initFromLocale(QLocale::system());
}
