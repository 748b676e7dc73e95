#include "config/DatabaseSettings.h"

#include "config/IniFile.h"

#include <QDir>

#include <array>
#include <utility>

namespace {
const char *const KeyDriver = "Driver";
const char *const KeyHost = "Host";
const char *const KeyPort = "Port";
const char *const KeyName = "Name";
const char *const KeyUser = "User";
const char *const KeyChainKeyFile = "ChainKeyFile";
const char *const KeySslMode = "SslMode";
const char *const KeySslRootCert = "SslRootCert";
const char *const KeyService = "Service";

using Mode = DatabaseSettings::SslMode;
constexpr std::array<std::pair<Mode, const char *>, 6> SslModeWords { {
    { Mode::Disable, "disable" },
    { Mode::Allow, "allow" },
    { Mode::Prefer, "prefer" },
    { Mode::Require, "require" },
    { Mode::VerifyCa, "verify-ca" },
    { Mode::VerifyFull, "verify-full" },
} };
} // namespace

QString DatabaseSettings::driverText(Driver driver)
{
    return driver == Driver::Psql ? QStringLiteral("PSQL") : QStringLiteral("SQLITE");
}

DatabaseSettings::Driver DatabaseSettings::driverFromText(const QString &text)
{
    return text.trimmed().compare(QLatin1String("PSQL"), Qt::CaseInsensitive) == 0 ? Driver::Psql
                                                                                   : Driver::Sqlite;
}

QString DatabaseSettings::sslModeText(SslMode mode)
{
    for (const auto &[m, word] : SslModeWords)
        if (m == mode)
            return QLatin1String(word);
    return {};
}

DatabaseSettings::SslMode DatabaseSettings::sslModeFromText(const QString &text)
{
    for (const auto &[m, word] : SslModeWords)
        if (text.trimmed().compare(QLatin1String(word), Qt::CaseInsensitive) == 0)
            return m;
    return SslMode::Default;
}

bool DatabaseSettings::viaSocket() const
{
    // The client library reads a host beginning with a slash (or, on Linux,
    // an at sign: the abstract namespace) as a socket folder.
    return host.isEmpty() || host.startsWith(QLatin1Char('/')) || host.startsWith(QLatin1Char('@'));
}

QString DatabaseSettings::effectiveSslMode() const
{
    if (sslMode != SslMode::Default)
        return sslModeText(sslMode);
    if (usesService() || viaSocket())
        return {};
    return sslModeText(SslMode::VerifyFull);
}

DatabaseSettings DatabaseSettings::read(const IniFile &ini)
{
    const QString section = QLatin1String(Section);
    DatabaseSettings s;
    s.driver = driverFromText(ini.readString(section, QLatin1String(KeyDriver), QString()));
    s.host = ini.readString(section, QLatin1String(KeyHost), s.host).trimmed();
    s.port = ini.readInteger(section, QLatin1String(KeyPort), DefaultPort);
    if (s.port <= 0 || s.port > 65535)
        s.port = DefaultPort;
    s.name = ini.readString(section, QLatin1String(KeyName), s.name).trimmed();
    if (s.name.isEmpty())
        s.name = DatabaseSettings().name;
    s.user = ini.readString(section, QLatin1String(KeyUser), s.user).trimmed();
    s.chainKeyFile = ini.readString(section, QLatin1String(KeyChainKeyFile), QString()).trimmed();
    s.sslMode = sslModeFromText(ini.readString(section, QLatin1String(KeySslMode), QString()));
    s.sslRootCert = ini.readString(section, QLatin1String(KeySslRootCert), QString()).trimmed();
    s.service = ini.readString(section, QLatin1String(KeyService), QString()).trimmed();
    return s;
}

DatabaseSettings DatabaseSettings::readFromProgramFolder(
    const QString &programFolder, QString *refusal)
{
    const IniFile ini(QDir(programFolder).filePath(QStringLiteral("conf/zelmor.ini")));
    DatabaseSettings s = read(ini);
    if (refusal)
        *refusal = ini.refusal();
    if (!s.sslRootCert.isEmpty() && QDir::isRelativePath(s.sslRootCert))
        s.sslRootCert = QDir::cleanPath(QDir(programFolder).absoluteFilePath(s.sslRootCert));
    return s;
}

void DatabaseSettings::write(IniFile &ini) const
{
    const QString section = QLatin1String(Section);
    ini.writeString(section, QLatin1String(KeyDriver), driverText(driver));
    ini.writeString(section, QLatin1String(KeyHost), host);
    ini.writeInteger(section, QLatin1String(KeyPort), port);
    ini.writeString(section, QLatin1String(KeyName), name);
    ini.writeString(section, QLatin1String(KeyUser), user);
    ini.writeString(section, QLatin1String(KeySslMode), sslModeText(sslMode));
    ini.writeString(section, QLatin1String(KeySslRootCert), sslRootCert);
    ini.writeString(section, QLatin1String(KeyService), service);
}

QString DatabaseSettings::describe() const
{
    if (!isServer())
        return QStringLiteral("локальная база");
    if (usesService())
        return QStringLiteral("служба %1").arg(service);
    const QString where = host.isEmpty() ? QStringLiteral("localhost") : host;
    return QStringLiteral("сервер %1:%2, база %3").arg(where).arg(port).arg(name);
}
