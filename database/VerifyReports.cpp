#include "database/VerifyReports.h"

#include "common/ProgramFolder.h"
#include "common/ZelmorError.h"
#include "config/DatabaseSettings.h"
#include "database/DatabaseEngine.h"
#include "database/ReportChain.h"
#include "database/StationRoles.h"
#include "database/ZelmorDatabase.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSqlError>
#include <QTextStream>

#include <cstring>
#include <functional>
#include <optional>

namespace VerifyReports {

namespace {

const char *const ConnectionName = "zelmor-verify";

// Runs work on a connection of its own to the database the program in
// programFolder uses; read-only for SQLite unless forWriting.
int withDatabase(const QString &programFolder, bool forWriting, QTextStream &out,
    const std::function<int(const QSqlDatabase &)> &work)
{
    // Defaults in place of a refused settings file would check another
    // database than the workstation's.
    QString refused;
    const DatabaseSettings settings
        = DatabaseSettings::readFromProgramFolder(programFolder, &refused);
    if (!refused.isEmpty()) {
        out << QStringLiteral("Проверка невозможна: ") << refused << Qt::endl;
        return CannotCheck;
    }
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
                // A check must not change what it checks.
                db->setConnectOptions(
                    QStringLiteral("%1QSQLITE_BUSY_TIMEOUT=%2")
                        .arg(forWriting ? QString() : QStringLiteral("QSQLITE_OPEN_READONLY;"))
                        .arg(ZelmorDatabase::BusyTimeoutMs));
                if (!db->open())
                    throw ZelmorError(db->lastError().text());
            }
            code = work(*db);
        } catch (const ZelmorError &e) {
            out << QStringLiteral("Проверка невозможна: ") << e.message() << Qt::endl;
            code = CannotCheck;
        }
        if (db)
            db->close();
    }
    QSqlDatabase::removeDatabase(QLatin1String(ConnectionName));
    return code;
}

} // namespace

int report(const ReportChain::VerifyResult &result, QTextStream &out)
{
    if (result.faults.isEmpty() && !result.cannotCheck.isEmpty()) {
        out << QStringLiteral("Проверка невозможна: ") << result.cannotCheck << Qt::endl;
        return CannotCheck;
    }
    out << QStringLiteral("Проверено результатов: %1, приборов: %2.")
               .arg(result.rows)
               .arg(result.chains)
        << Qt::endl;
    for (const QString &note : result.notes)
        out << note << Qt::endl;
    if (result.cancelled) {
        out << QStringLiteral("Проверка прервана.") << Qt::endl;
        return CannotCheck;
    }
    if (result.intact()) {
        out << QStringLiteral("Результаты не изменены.") << Qt::endl;
        return Intact;
    }
    out << QStringLiteral("Первое нарушение: ") << result.faults.first().text() << Qt::endl;
    for (qsizetype i = 1; i < result.faults.size(); ++i)
        out << QStringLiteral("Также: ") << result.faults[i].text() << Qt::endl;
    if (!result.cannotCheck.isEmpty())
        out << QStringLiteral("Не проверено: ") << result.cannotCheck << Qt::endl;
    return Broken;
}

int run(const QString &programFolder, QTextStream &out)
{
    const ReportChain::Context ctx = ReportChain::contextFor(programFolder);
    return withDatabase(programFolder, false, out,
        [&](const QSqlDatabase &db) { return report(ReportChain::verify(db, ctx), out); });
}

int verifyCode(
    const QString &programFolder, const QString &number, const QString &code, QTextStream &out)
{
    bool ok = false;
    const int index = number.trimmed().toInt(&ok);
    if (!ok || index <= 0) {
        out << QStringLiteral("Проверка невозможна: номер протокола \"%1\" не число").arg(number)
            << Qt::endl;
        return CannotCheck;
    }
    const ReportChain::Context ctx = ReportChain::contextFor(programFolder);
    return withDatabase(programFolder, false, out, [&](const QSqlDatabase &db) {
        const ReportChain::CodeCheck c = ReportChain::checkCode(db, index, code, ctx);
        out << c.text << Qt::endl;
        switch (c.outcome) {
        case ReportChain::CodeCheck::Match:
            return int(Intact);
        case ReportChain::CodeCheck::Mismatch:
            return int(Broken);
        case ReportChain::CodeCheck::CannotCheck:
            break;
        }
        return int(CannotCheck);
    });
}

int rekey(const QString &programFolder, bool acceptFaults, QTextStream &out)
{
    const ReportChain::Context ctx = ReportChain::contextFor(programFolder);
    return withDatabase(programFolder, true, out, [&](const QSqlDatabase &db) {
        const ReportChain::RekeyResult r = ReportChain::rekey(db, ctx, acceptFaults);
        if (!r.done) {
            report(r.check, out);
            out << QStringLiteral("Ключ не применён: сначала разберитесь с нарушениями или "
                                  "запустите с %1, чтобы записать их в цепочку.")
                       .arg(QLatin1String(AcceptFaultsOption))
                << Qt::endl;
            return int(r.check.faults.isEmpty() ? CannotCheck : Broken);
        }
        out << QStringLiteral("Цепочки подписаны ключом станции: результатов %1, приборов %2.")
                   .arg(r.rows)
                   .arg(r.chains)
            << Qt::endl;
        return int(Intact);
    });
}

int initStation(const QString &programFolder, const QString &role, QTextStream &out)
{
    QString refused;
    DatabaseSettings settings = DatabaseSettings::readFromProgramFolder(programFolder, &refused);
    if (!refused.isEmpty()) {
        out << QStringLiteral("База станции не подготовлена: ") << refused << Qt::endl;
        return CannotCheck;
    }
    if (!settings.isServer()) {
        out << QStringLiteral("База станции не подготовлена: в разделе [Database] файла настроек "
                              "не указан сервер базы данных")
            << Qt::endl;
        return CannotCheck;
    }
    if (!role.isEmpty() && settings.usesService()) {
        // The service names the user itself: ROLE would be dropped unsaid.
        out << QStringLiteral("База станции не подготовлена: роль «%1» не применить, пока в "
                              "настройках указана служба «%2» (её пользователя задаёт служба)")
                   .arg(role, settings.service)
            << Qt::endl;
        return CannotCheck;
    }
    if (!role.isEmpty())
        settings.user = role;
    try {
        StationRoles::initStation(settings, ReportChain::contextFor(programFolder));
    } catch (const ZelmorError &e) {
        out << e.message() << Qt::endl;
        return CannotCheck;
    }
    out << QStringLiteral("База станции готова (%1): таблицы, цепочка результатов и её функции, "
                          "права ролей по conf/station.sql.")
               .arg(settings.describe())
        << Qt::endl;
    return Intact;
}

int fromCommandLine(int argc, char **argv)
{
    enum { None, Verify, Code, Rekey, Init } asked = None;
    QString role;
    bool accept = false;
    QString number;
    QString code;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], Option) == 0) {
            asked = Verify;
        } else if (std::strcmp(argv[i], DatabaseEngine::StationInitOption) == 0) {
            asked = Init;
            if (i + 1 < argc && argv[i + 1][0] != '-')
                role = QString::fromLocal8Bit(argv[i + 1]);
        } else if (std::strcmp(argv[i], RekeyOption) == 0) {
            asked = Rekey;
        } else if (std::strcmp(argv[i], AcceptFaultsOption) == 0) {
            accept = true;
        } else if (std::strcmp(argv[i], CodeOption) == 0) {
            asked = Code;
            number = i + 1 < argc ? QString::fromLocal8Bit(argv[i + 1]) : QString();
            // A code may be typed with its blanks, as it is printed.
            for (int j = i + 2; j < argc && argv[j][0] != '-'; ++j)
                code += QString::fromLocal8Bit(argv[j]);
        }
    }
    if (asked == None)
        return -1;
    std::optional<QCoreApplication> app;
    if (!QCoreApplication::instance())
        app.emplace(argc, argv); // the program folder comes from the executable's path
    QTextStream out(stdout);
    switch (asked) {
    case Code:
        if (code.isEmpty()) {
            out << QStringLiteral("Использование: zelmor %1 НОМЕР КОД")
                       .arg(QLatin1String(CodeOption))
                << Qt::endl;
            return CannotCheck;
        }
        return verifyCode(programFolder(), number, code, out);
    case Rekey:
        return rekey(programFolder(), accept, out);
    case Init:
        return initStation(programFolder(), role, out);
    default:
        return run(programFolder(), out);
    }
}

} // namespace VerifyReports
