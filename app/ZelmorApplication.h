#pragma once

#include <QApplication>
#include <QString>
#include <exception>

// The program's application object. An error that escapes an event handler
// ends that handler only: it is caught here and shown to the operator, and
// whatever the handler changed before stays changed.
class ZelmorApplication : public QApplication
{
    Q_OBJECT

public:
    ZelmorApplication(int &argc, char **argv);

    bool notify(QObject *receiver, QEvent *event) override;

    // The text the operator reads for an error: our own errors carry their
    // message, library errors their what().
    static QString messageOf(std::exception_ptr error);

    // A message box titled "Сообщение" with the warning icon and OK.
    static void showError(const QString &message);

    // Points the C library back to "C" numbers (Qt adopts the user's
    // locale) and takes the decimal separator for our own number texts
    // from the user's locale.
    static void setUpFormats();
};
