#include "database/StationRoles.h"

#include "common/ZelmorError.h"
#include "database/DatabaseEngine.h"
#include "database/StationSql.h"
#include "database/ZelmorDatabase.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

#include <exception>

namespace StationRoles {

namespace {

const char *const Groups[] = { "zelmor_lanes", "zelmor_admin", "zelmor_models" };
const QString InitError = QStringLiteral("Не удалось подготовить базу станции: ");

// The group roles the rights are granted to: the server's administrator
// creates them, the owner of the tables need not be able to.
void requireGroups(const QSqlDatabase &db)
{
    QStringList missing;
    for (const char *group : Groups) {
        QSqlQuery q = DatabaseEngine::prepare(
            db, QStringLiteral("SELECT 1 FROM pg_roles WHERE rolname = ?"), InitError);
        q.addBindValue(QLatin1String(group));
        DatabaseEngine::execPrepared(q, InitError);
        if (!q.next())
            missing << QLatin1String(group);
    }
    if (missing.isEmpty())
        return;
    QStringList create;
    for (const QString &group : missing)
        create << QStringLiteral("CREATE ROLE %1 NOLOGIN;").arg(group);
    throw ZelmorError(InitError
        + QStringLiteral("на сервере нет групповых ролей %1; администратор сервера создаёт их: %2")
              .arg(missing.join(QStringLiteral(", ")), create.join(QLatin1Char(' '))));
}

// Only the tables' owner can set their rights; anybody else's GRANT and
// REVOKE would pass with a warning and change nothing.
void requireOwner(const QSqlDatabase &db)
{
    QSqlQuery q = DatabaseEngine::prepare(db,
        QStringLiteral("SELECT pg_has_role(c.relowner, 'USAGE'), c.relowner::regrole::text, "
                       "current_user FROM pg_class c WHERE c.oid = to_regclass(?)"),
        InitError);
    q.addBindValue(DatabaseEngine::tableReference(db, QLatin1String(ZelmorDatabase::ReportsTable)));
    DatabaseEngine::execPrepared(q, InitError);
    if (!q.next())
        throw ZelmorError(InitError + QStringLiteral("нет таблицы результатов"));
    if (!q.value(0).toBool())
        throw ZelmorError(InitError
            + QStringLiteral("роль «%1» не владеет таблицами станции, их владелец — «%2»; команду "
                             "выполняют от имени владельца")
                  .arg(q.value(2).toString(), q.value(1).toString()));
}

} // namespace

QString noStoreRight()
{
    return QStringLiteral("Нет права сохранять результаты на сервере станции");
}

QString noDeleteRight()
{
    return QStringLiteral("Нет права удалять результаты на сервере станции");
}

QString noModelsRight()
{
    return QStringLiteral("Нет права изменять таблицу моделей на сервере станции");
}

Rights of(const QSqlDatabase &db)
{
    Rights r;
    if (!DatabaseEngine::isServer(db))
        return r;
    // A function or table that is missing grants nothing.
    const QString models
        = DatabaseEngine::tableReference(db, QLatin1String(ZelmorDatabase::ModelsTable));
    QSqlQuery q = DatabaseEngine::prepare(db,
        QStringLiteral(
            "SELECT coalesce(has_function_privilege(to_regprocedure('zelmor_append_report(varchar, "
            "bigint, integer, varchar, varchar, jsonb)'), 'EXECUTE'), false), "
            "coalesce(has_function_privilege(to_regprocedure('zelmor_delete_report(varchar, "
            "bigint, integer, varchar, varchar, varchar, integer, varchar)'), 'EXECUTE'), false), "
            "coalesce(has_table_privilege(to_regclass(?), 'INSERT, UPDATE, DELETE'), false)"),
        QStringLiteral("Ошибка базы данных: "));
    q.addBindValue(models);
    DatabaseEngine::execPrepared(q, QStringLiteral("Ошибка базы данных: "));
    if (!q.next())
        return Rights { false, false, false };
    r.storeResults = q.value(0).toBool();
    r.deleteResults = q.value(1).toBool();
    r.editModels = q.value(2).toBool();
    return r;
}

QString stationSql()
{
    return QString::fromUtf8(StationSqlText);
}

void initStation(const QSqlDatabase &db, const ReportChain::Context &chain)
{
    if (!DatabaseEngine::isServer(db))
        throw ZelmorError(InitError + QStringLiteral("база данных не на сервере"));
    DatabaseEngine::prepareSchema(db, chain);
    requireOwner(db);
    requireGroups(db);
    DatabaseEngine::beginWrite(db);
    try {
        DatabaseEngine::exec(db, stationSql(), InitError);
        DatabaseEngine::commit(db);
    } catch (...) {
        DatabaseEngine::rollback(db);
        throw;
    }
}

void initStation(const DatabaseSettings &settings, const ReportChain::Context &chain)
{
    const QString name = QStringLiteral("zelmor-init-station");
    std::exception_ptr failure;
    try {
        QSqlDatabase db = DatabaseEngine::openServer(name, settings);
        initStation(db, chain);
        db.close();
    } catch (...) {
        failure = std::current_exception();
    }
    QSqlDatabase::removeDatabase(name);
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace StationRoles
