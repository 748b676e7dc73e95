#include "database/ServerConnect.h"

#include "config/DatabaseSettings.h"
#include "database/DatabaseEngine.h"

#include <QRegularExpression>
#include <QSqlError>
#include <QStringList>

#include <clocale>
#include <locale.h>

namespace {

// A value in the client library's connection string: in single quotes, a
// quote or backslash escaped. The driver turns every ';' of the options
// into a blank, so a value holding one cannot be passed at all.
QString quotedValue(const QString &value, const QString &what)
{
    if (value.contains(QLatin1Char(';')))
        throw ZelmorError(
            QStringLiteral("%1 «%2» содержит знак «;», которого драйвер сервера не допускает.")
                .arg(what, value));
    QString v = value;
    v.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    v.replace(QLatin1Char('\''), QLatin1String("\\'"));
    return QLatin1Char('\'') + v + QLatin1Char('\'');
}

// The thread's messages in the C locale for as long as it lives.
class EnglishMessages
{
public:
    EnglishMessages()
    {
        locale_t base = duplocale(LC_GLOBAL_LOCALE);
        m_english = base ? newlocale(LC_MESSAGES_MASK, "C", base) : locale_t(nullptr);
        if (!m_english && base)
            freelocale(base);
        if (m_english)
            m_previous = uselocale(m_english);
    }
    ~EnglishMessages()
    {
        if (!m_english)
            return;
        uselocale(m_previous);
        freelocale(m_english);
    }
    EnglishMessages(const EnglishMessages &) = delete;
    EnglishMessages &operator=(const EnglishMessages &) = delete;

private:
    locale_t m_english = nullptr;
    locale_t m_previous = nullptr;
};

} // namespace

namespace ServerConnect {

QString connectOptions(const DatabaseSettings &settings)
{
    QStringList options
        = { QStringLiteral("connect_timeout=%1").arg(DatabaseEngine::ConnectTimeoutS),
              QStringLiteral("application_name=zelmor") };
    if (const QString mode = settings.effectiveSslMode(); !mode.isEmpty())
        options << QStringLiteral("sslmode=") + mode;
    if (!settings.sslRootCert.isEmpty())
        options << QStringLiteral("sslrootcert=")
                + quotedValue(settings.sslRootCert, QStringLiteral("Путь к корневому сертификату"));
    if (settings.usesService())
        options << QStringLiteral("service=")
                + quotedValue(settings.service, QStringLiteral("Имя службы"));
    return options.join(QLatin1Char(';'));
}

bool open(QSqlDatabase &db)
{
    const EnglishMessages english;
    return db.open();
}

QString explain(const QString &clientText)
{
    const QString t = clientText;
    const auto match
        = [&t](const char *pattern) { return QRegularExpression(QLatin1String(pattern)).match(t); };
    QRegularExpressionMatch m;

    // Encryption and the server's certificate.
    if (t.contains(QLatin1String("server does not support SSL, but SSL was required")))
        return QStringLiteral("сервер не поддерживает шифрованные соединения (TLS), а выбранный "
                              "режим шифрования их требует");
    if (t.contains(QLatin1String("certificate verify failed"))) {
        QString words = QStringLiteral("сертификат сервера не заверен корневым сертификатом, "
                                       "которому доверяет программа: это не сервер станции "
                                       "или указан не тот корневой сертификат");
        if (t.contains(QLatin1String("expired")))
            words = QStringLiteral("срок действия сертификата сервера истёк");
        return words;
    }
    if ((m = match(
             R"re(server certificate for "([^"]*)"(?: \(and (\d+) other names?\))? does not match host name "([^"]*)")re"))
            .hasMatch()) {
        const QString others = m.captured(2).isEmpty()
            ? QString()
            : QStringLiteral(", других имён в нём: %1").arg(m.captured(2));
        return QStringLiteral("имя сервера «%1» не совпадает с его сертификатом (сертификат "
                              "выдан для «%2»%3): соединение не с тем сервером или указано не "
                              "то имя")
            .arg(m.captured(3), m.captured(1), others);
    }
    if (t.contains(QLatin1String("could not get server's host name from server certificate"))
        || t.contains(QLatin1String("server certificate contains embedded null")))
        return QStringLiteral("в сертификате сервера нет его имени: проверить сервер нельзя");
    if ((m = match(R"re(root certificate file "([^"]*)" does not exist)re")).hasMatch())
        return QStringLiteral("нет корневого сертификата для проверки сервера: файл %1 не найден "
                              "(укажите его в поле «Сертификат ЦС» или в SslRootCert)")
            .arg(m.captured(1));
    if ((m = match(R"re(could not read root certificate file "([^"]*)")re")).hasMatch())
        return QStringLiteral("корневой сертификат %1 не читается: это не сертификат или нет "
                              "права его читать")
            .arg(m.captured(1));
    if (t.contains(QLatin1String("no pg_hba.conf entry"))
        && t.contains(QLatin1String("no encryption")))
        return QStringLiteral("сервер принимает только шифрованные соединения, а шифрование "
                              "выключено");

    // Who may connect.
    if ((m = match(
             R"re(no pg_hba.conf entry for host "([^"]*)", user "([^"]*)", database "([^"]*)")re"))
            .hasMatch())
        return QStringLiteral("сервер не допускает пользователя «%1» к базе «%2» с адреса %3")
            .arg(m.captured(2), m.captured(3), m.captured(1));
    if ((m = match(R"re(password authentication failed for user "([^"]*)")re")).hasMatch())
        return QStringLiteral("неверный пароль пользователя «%1» (или такого пользователя нет "
                              "на сервере)")
            .arg(m.captured(1));
    if (t.contains(QLatin1String("no password supplied")))
        return QStringLiteral("нет пароля для входа на сервер: его берут из файла паролей "
                              "~/.pgpass (или файла, который называет PGPASSFILE)");
    if ((m = match(R"re(role "([^"]*)" does not exist)re")).hasMatch())
        return QStringLiteral("на сервере нет пользователя «%1»").arg(m.captured(1));
    if ((m = match(R"re(database "([^"]*)" does not exist)re")).hasMatch())
        return QStringLiteral("на сервере нет базы «%1»").arg(m.captured(1));

    // Services.
    if ((m = match(R"re(definition of service "([^"]*)" not found)re")).hasMatch())
        return QStringLiteral("служба «%1» не описана в файле служб").arg(m.captured(1));
    if ((m = match(R"re(service file "([^"]*)" not found)re")).hasMatch())
        return QStringLiteral("файл служб %1 не найден").arg(m.captured(1));

    // Reaching the server at all.
    if ((m = match(R"re(could not translate host name "([^"]*)")re")).hasMatch())
        return QStringLiteral("имя сервера «%1» неизвестно").arg(m.captured(1));
    if ((m = match(R"re(on socket "([^"]*)" failed: No such file or directory)re")).hasMatch())
        return QStringLiteral("сервер не запущен: нет его сокета %1").arg(m.captured(1));
    if (t.contains(QLatin1String("Connection refused")))
        return QStringLiteral("по этому адресу и порту сервер не принимает соединений (не "
                              "запущен или слушает другой порт)");
    if (t.contains(QLatin1String("timeout expired")))
        return QStringLiteral("сервер не ответил за %1 с").arg(DatabaseEngine::ConnectTimeoutS);
    if ((m = match(R"re(SSL (?:SYSCALL )?error: ([^\n]*))re")).hasMatch())
        return QStringLiteral("шифрованное соединение не установлено: %1").arg(m.captured(1));
    return {};
}

QString reason(const QString &clientText)
{
    const QString words = explain(clientText);
    return words.isEmpty() ? clientText.trimmed() : words;
}

} // namespace ServerConnect
