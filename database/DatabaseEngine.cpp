#include "database/DatabaseEngine.h"

#include "common/AppLog.h"
#include "common/ZelmorError.h"
#include "database/FieldNames.h"
#include "database/ReportChain.h"
#include "database/ShippedModels.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>

namespace {

// Held for the transaction that creates or upgrades the tables on a server,
// so that workstations starting together do it once, one after the other.
constexpr qint64 SchemaLockKey = 0x5A454C4D4F52; // "ZELMOR"

QString quoted(const QString &name)
{
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QLatin1String("\"\""))
        + QLatin1Char('"');
}

void insertShippedModels(const QSqlDatabase &db)
{
    QStringList fields { QStringLiteral("\"Name\""), QStringLiteral("\"SaveSystem\""),
        QStringLiteral("\"Category\"") };
    for (const char *f : FieldNames::Limits)
        fields << quoted(QLatin1String(f));
    const QStringList marks(fields.size(), QStringLiteral("?"));
    QSqlQuery q(db);
    if (!q.prepare(QStringLiteral("INSERT INTO \"models.DB\" (%1) VALUES (%2)")
                       .arg(fields.join(QLatin1Char(',')), marks.join(QLatin1Char(',')))))
        throw ZelmorError(
            QStringLiteral("Не удалось создать таблицу моделей: ") + q.lastError().text());
    for (const ModelRecord &m : shippedModels()) {
        q.addBindValue(m.Name);
        q.addBindValue(m.SaveSystem);
        q.addBindValue(m.Category);
        for (auto member : FieldNames::LimitMembers)
            q.addBindValue(m.limits.*member);
        DatabaseEngine::execPrepared(q, QStringLiteral("Не удалось создать таблицу моделей: "));
    }
}

} // namespace

namespace DatabaseEngine {

bool isServer(const QSqlDatabase &db)
{
    return db.driverName() == QLatin1String(ServerDriver);
}

QString tableReference(const QSqlDatabase &db, const QString &table)
{
    if (!isServer(db))
        return QLatin1Char('[') + table + QLatin1Char(']'); // SQLite: brackets keep the dot
    // The server's driver splits a name at its first dot into schema and
    // table; naming the schema first leaves the table's dot alone.
    QSqlQuery q(db);
    QString schema = QStringLiteral("public");
    if (q.exec(QStringLiteral("SELECT current_schema()")) && q.next()
        && !q.value(0).toString().isEmpty())
        schema = q.value(0).toString();
    return quoted(schema) + QLatin1Char('.') + quoted(table);
}

QSqlDatabase openServer(const QString &connectionName, const DatabaseSettings &settings)
{
    if (!QSqlDatabase::isDriverAvailable(QLatin1String(ServerDriver)))
        throw ZelmorError(QStringLiteral("Не установлен драйвер сервера базы данных (%1)")
                              .arg(QLatin1String(ServerDriver)));
    QSqlDatabase db = QSqlDatabase::contains(connectionName)
        ? QSqlDatabase::database(connectionName, false)
        : QSqlDatabase::addDatabase(QLatin1String(ServerDriver), connectionName);
    if (!settings.host.isEmpty())
        db.setHostName(settings.host);
    db.setPort(settings.port);
    db.setDatabaseName(settings.name);
    if (!settings.user.isEmpty())
        db.setUserName(settings.user);
    // No password here: the client library reads its password or service file.
    db.setConnectOptions(
        QStringLiteral("connect_timeout=%1;application_name=zelmor").arg(ConnectTimeoutS));
    if (!db.open())
        throw ZelmorError(QStringLiteral("Сервер базы данных недоступен (%1): %2")
                              .arg(settings.describe(), db.lastError().text().trimmed()));
    return db;
}

void prepareSchema(const QSqlDatabase &db)
{
    if (!isServer(db)) {
        // SQLite: only a database that lacks the chain is written to, so a
        // current database on a read-only medium still opens; one without its
        // tables is left for the opening to refuse, untouched.
        if (!tableExists(db, QStringLiteral("reports.db")) || !ReportChain::needsUpgrade(db))
            return;
        beginWrite(db);
        try {
            if (ReportChain::needsUpgrade(db)) {
                if (const int rows = ReportChain::upgrade(db); rows > 0)
                    WriteLog(QStringLiteral("reports chained: %1").arg(rows));
            }
            commit(db);
        } catch (...) {
            rollback(db);
            throw;
        }
        return;
    }
    beginWrite(db);
    try {
        exec(db, QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(SchemaLockKey),
            QStringLiteral("Ошибка базы данных: "));
        const bool created = !tableExists(db, QStringLiteral("models.DB"))
            || !tableExists(db, QStringLiteral("reports.db"));
        if (!tableExists(db, QStringLiteral("models.DB"))) {
            exec(db, serverModelsSchema(), QStringLiteral("Не удалось создать таблицу моделей: "));
            insertShippedModels(db);
        }
        if (!tableExists(db, QStringLiteral("reports.db"))) {
            exec(db, serverReportsSchema(),
                QStringLiteral("Не удалось создать таблицу результатов: "));
            for (const char *column : { "Date", "Model", "GovNumber" })
                exec(db,
                    QStringLiteral("CREATE INDEX IF NOT EXISTS \"reports_%1\" ON \"reports.db\" "
                                   "(\"%1\")")
                        .arg(QLatin1String(column)),
                    QStringLiteral("Не удалось создать таблицу результатов: "));
        }
        int chained = 0;
        if (ReportChain::needsUpgrade(db))
            chained = ReportChain::upgrade(db);
        commit(db);
        if (created)
            WriteLog(QStringLiteral("alias zelmor created"));
        if (chained > 0)
            WriteLog(QStringLiteral("reports chained: %1").arg(chained));
    } catch (...) {
        rollback(db);
        throw;
    }
}

bool ensureConnected(QSqlDatabase db)
{
    if (!isServer(db))
        return db.isOpen();
    if (db.isOpen()) {
        QSqlQuery probe(db);
        if (probe.exec(QStringLiteral("SELECT 1")))
            return true;
        probe = QSqlQuery();
        db.close();
    }
    return db.open();
}

void beginWrite(const QSqlDatabase &db)
{
    exec(db, isServer(db) ? QStringLiteral("BEGIN") : QStringLiteral("BEGIN IMMEDIATE"),
        QStringLiteral("Ошибка базы данных: "));
}

void commit(const QSqlDatabase &db)
{
    exec(db, QStringLiteral("COMMIT"), QStringLiteral("Ошибка базы данных: "));
}

void rollback(const QSqlDatabase &db) noexcept
{
    QSqlQuery q(db);
    q.exec(QStringLiteral("ROLLBACK"));
}

void exec(const QSqlDatabase &db, const QString &statement, const QString &what)
{
    QSqlQuery q(db);
    if (!q.exec(statement))
        throw ZelmorError(what + q.lastError().text().trimmed());
}

void execPrepared(QSqlQuery &q, const QString &what)
{
    if (!q.exec())
        throw ZelmorError(what + q.lastError().text().trimmed());
}

bool tableExists(const QSqlDatabase &db, const QString &table)
{
    QSqlQuery q(db);
    if (isServer(db)) {
        q.prepare(QStringLiteral("SELECT to_regclass(?) IS NOT NULL"));
        q.addBindValue(quoted(table));
    } else {
        q.prepare(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND "
                                 "lower(name) = lower(?)"));
        q.addBindValue(table);
    }
    execPrepared(q, QStringLiteral("Ошибка базы данных: "));
    return q.next() && q.value(0).toBool();
}

bool hasColumn(const QSqlDatabase &db, const QString &table, const QString &column)
{
    QSqlQuery q(db);
    if (isServer(db)) {
        q.prepare(QStringLiteral("SELECT count(*) FROM information_schema.columns WHERE "
                                 "table_schema = current_schema() AND table_name = ? AND "
                                 "column_name = ?"));
        q.addBindValue(table);
        q.addBindValue(column);
    } else {
        q.prepare(QStringLiteral("SELECT count(*) FROM pragma_table_info(?) WHERE lower(name) = "
                                 "lower(?)"));
        q.addBindValue(table);
        q.addBindValue(column);
    }
    execPrepared(q, QStringLiteral("Ошибка базы данных: "));
    return q.next() && q.value(0).toInt() > 0;
}

QString serverModelsSchema()
{
    // Index comes from the server, so lanes adding models never collide; BY
    // DEFAULT lets rows copied from a workstation's file keep their Index.
    QStringList columns { QStringLiteral(
                              "\"Index\" INTEGER GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY"),
        QStringLiteral("\"Name\" VARCHAR(40)"), QStringLiteral("\"SaveSystem\" VARCHAR(40)"),
        QStringLiteral("\"Category\" VARCHAR(10)") };
    for (const char *f : FieldNames::Limits)
        columns << quoted(QLatin1String(f)) + QStringLiteral(" DOUBLE PRECISION");
    return QStringLiteral("CREATE TABLE \"models.DB\" (%1)")
        .arg(columns.join(QStringLiteral(", ")));
}

QString serverReportsSchema()
{
    QStringList columns { QStringLiteral(
                              "\"Index\" INTEGER GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY"),
        QStringLiteral("\"Date\" DATE"), QStringLiteral("\"Time\" TIME"),
        QStringLiteral("\"ZMNum\" DOUBLE PRECISION"), QStringLiteral("\"Model\" DOUBLE PRECISION"),
        QStringLiteral("\"GovNumber\" VARCHAR(8)") };
    for (const char *f : ReportChain::ResultColumns)
        columns << quoted(QLatin1String(f)) + QStringLiteral(" DOUBLE PRECISION");
    return QStringLiteral("CREATE TABLE \"reports.db\" (%1)")
        .arg(columns.join(QStringLiteral(", ")));
}

} // namespace DatabaseEngine
