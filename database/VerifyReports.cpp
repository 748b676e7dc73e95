#include "database/VerifyReports.h"

#include "common/ProgramFolder.h"
#include "common/ZelmorError.h"
#include "config/DatabaseSettings.h"
#include "database/DatabaseEngine.h"
#include "database/ReportChain.h"
#include "database/ZelmorDatabase.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSqlError>
#include <QTextStream>

#include <cstring>
#include <optional>

namespace VerifyReports {

namespace {
const char *const ConnectionName = "zelmor-verify";
}

int run(const QSqlDatabase &db, QTextStream &out)
{
    try {
        const ReportChain::VerifyResult result = ReportChain::verify(db);
        out << QStringLiteral("Проверено результатов: %1, приборов: %2.")
                   .arg(result.rows)
                   .arg(result.chains)
            << Qt::endl;
        if (result.intact()) {
            out << QStringLiteral("Результаты не изменены.") << Qt::endl;
            return Intact;
        }
        out << QStringLiteral("Первое нарушение: ") << result.faults.first().text() << Qt::endl;
        for (qsizetype i = 1; i < result.faults.size(); ++i)
            out << QStringLiteral("Также: ") << result.faults[i].text() << Qt::endl;
        return Broken;
    } catch (const ZelmorError &e) {
        out << QStringLiteral("Проверка невозможна: ") << e.message() << Qt::endl;
        return CannotCheck;
    }
}

int run(const QString &programFolder, QTextStream &out)
{
    const DatabaseSettings settings = DatabaseSettings::readFromProgramFolder(programFolder);
    int code = CannotCheck;
    {
        std::optional<QSqlDatabase> db;
        try {
            if (settings.isServer()) {
                db = DatabaseEngine::openServer(QLatin1String(ConnectionName), settings);
            } else {
                const QString path = ZelmorDatabase::databasePath(programFolder);
                if (!QFileInfo::exists(path))
                    throw ZelmorError(QStringLiteral("нет файла базы %1").arg(path));
                db = QSqlDatabase::addDatabase(
                    QStringLiteral("QSQLITE"), QLatin1String(ConnectionName));
                db->setDatabaseName(path);
                // Only read: a check must not change what it checks.
                db->setConnectOptions(
                    QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=%1")
                        .arg(ZelmorDatabase::BusyTimeoutMs));
                if (!db->open())
                    throw ZelmorError(db->lastError().text());
            }
            code = run(*db, out);
        } catch (const ZelmorError &e) {
            out << QStringLiteral("Проверка невозможна: ") << e.message() << Qt::endl;
        }
        if (db)
            db->close();
    }
    QSqlDatabase::removeDatabase(QLatin1String(ConnectionName));
    return code;
}

int fromCommandLine(int argc, char **argv)
{
    bool asked = false;
    for (int i = 1; i < argc; ++i)
        asked = asked || std::strcmp(argv[i], Option) == 0;
    if (!asked)
        return -1;
    std::optional<QCoreApplication> app;
    if (!QCoreApplication::instance())
        app.emplace(argc, argv); // the program folder comes from the executable's path
    QTextStream out(stdout);
    return run(programFolder(), out);
}

} // namespace VerifyReports
