#include "config/DatabaseSettings.h"

#include "config/IniFile.h"

#include <QDir>

namespace {
const char *const KeyDriver = "Driver";
const char *const KeyHost = "Host";
const char *const KeyPort = "Port";
const char *const KeyName = "Name";
const char *const KeyUser = "User";
const char *const KeyChainKeyFile = "ChainKeyFile";
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
    return s;
}

DatabaseSettings DatabaseSettings::readFromProgramFolder(const QString &programFolder)
{
    return read(IniFile(QDir(programFolder).filePath(QStringLiteral("conf/zelmor.ini"))));
}

void DatabaseSettings::write(IniFile &ini) const
{
    const QString section = QLatin1String(Section);
    ini.writeString(section, QLatin1String(KeyDriver), driverText(driver));
    ini.writeString(section, QLatin1String(KeyHost), host);
    ini.writeInteger(section, QLatin1String(KeyPort), port);
    ini.writeString(section, QLatin1String(KeyName), name);
    ini.writeString(section, QLatin1String(KeyUser), user);
}

QString DatabaseSettings::describe() const
{
    if (!isServer())
        return QStringLiteral("локальная база");
    const QString where = host.isEmpty() ? QStringLiteral("localhost") : host;
    return QStringLiteral("сервер %1:%2, база %3").arg(where).arg(port).arg(name);
}
