#pragma once

#include "common/ZelmorError.h"

#include <QSqlDatabase>
#include <QString>

struct DatabaseSettings;

// Connecting to the database server and saying in words why it failed: the
// client library's messages (a certificate not trusted, a name that does not
// match, a server without TLS, a missing password...) become sentences an
// operator or the station's administrator can act on.
namespace ServerConnect {

// A connection that could not be made: message() is for the operator,
// clientText() the client library's own words for the log.
class Error : public ZelmorError
{
public:
    Error(const QString &message, const QString &clientText)
        : ZelmorError(message)
        , m_clientText(clientText)
    { }
    QString clientText() const { return m_clientText; }

private:
    QString m_clientText;
};

// The driver's connect options for these settings (time-out, application
// name, encryption, root certificate, service). Throws ZelmorError when a
// value cannot be handed to the driver.
QString connectOptions(const DatabaseSettings &settings);

// Opens db with the client library's messages in English, whatever the
// program's language, so that explain() can read them; the calling thread's
// language is restored afterwards.
bool open(QSqlDatabase &db);

// What the client library's message means, in Russian; empty when the
// message is not one it knows (the caller shows the message itself).
QString explain(const QString &clientText);

// explain(), or the client's text itself when it has no explanation.
QString reason(const QString &clientText);

} // namespace ServerConnect
