#pragma once

#include "common/ZelmorError.h"
#include "config/DatabaseSettings.h"
#include "database/ReportChain.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>

// What differs between the two engines that can hold the tables: the embedded
// SQLite file of a single workstation and a database server shared by several
// lanes. Everything throws ZelmorError with a text for the operator.
namespace DatabaseEngine {

inline constexpr const char *ServerDriver = "QPSQL";
// The administrator's command that prepares a station's server database.
inline constexpr const char *StationInitOption = "--init-station-db";
// Connecting to a server gives up after this many seconds.
inline constexpr int ConnectTimeoutS = 3;

bool isServer(const QSqlDatabase &db);

// The name under which a table model (QSqlTableModel::setTable) finds
// "models.DB" or "reports.db": the dot in the name must not read as a schema.
QString tableReference(const QSqlDatabase &db, const QString &table);

// Opens a server connection under connectionName with the settings'
// encryption and service; throws ServerConnect::Error naming the server and
// saying in words why it cannot be reached (or refused the connection).
QSqlDatabase openServer(const QString &connectionName, const DatabaseSettings &settings);

// Makes the tables ready. On a server, the first workstation that finds an
// empty database creates both tables and the shipped models, once, even when
// several start together, and a server database gains the report browser's
// counts (ReportCounts) when it lacks them. On both engines a results table of
// an older version gains the columns of what a result is stored with; a
// database that was never chained gains the result chain, its existing
// results chained in Index order, and an earlier version's chain is brought
// up to date; a chain found damaged is left as it is and returned as such. A
// database that needs nothing is only read.
ReportChain::State prepareSchema(
    const QSqlDatabase &db, const ReportChain::Context &chain = ReportChain::Context());

// For a server connection: true when it answers, reopening it once when it
// was lost (the server restarted or the network came back). For SQLite:
// whether the file is open.
bool ensureConnected(QSqlDatabase db);
// The same for whoever cannot go on without the database: throws ZelmorError
// "база данных недоступна: " and why.
void requireConnected(const QSqlDatabase &db);

// A write transaction: SQLite takes its single writer lock at once, so two
// programs on one file never deadlock upgrading a read lock.
void beginWrite(const QSqlDatabase &db);
void commit(const QSqlDatabase &db);
void rollback(const QSqlDatabase &db) noexcept;

// A statement the server refused because the role lacks the right to it
// (its message as exec() gives it).
class RefusedError : public ZelmorError
{
public:
    using ZelmorError::ZelmorError;
};

// Runs a statement, throwing ZelmorError(what + the engine's message), or
// RefusedError.
void exec(const QSqlDatabase &db, const QString &statement, const QString &what);
// A statement prepared for binding, throwing as exec() when it does not parse.
QSqlQuery prepare(const QSqlDatabase &db, const QString &statement, const QString &what);
// Prepares and runs q, throwing as exec().
void execPrepared(QSqlQuery &q, const QString &what);

// A table or column name in double quotes (a quote in it doubled): the
// tables' names hold a dot and their fields upper-case letters, which a
// server would otherwise fold to lower case.
QString quoted(const QString &name);
// Quoted names, each after "alias." when an alias is given.
template <typename Names>
QStringList quotedNames(const Names &names, const QString &alias = QString())
{
    const QString prefix = alias.isEmpty() ? QString() : alias + QLatin1Char('.');
    QStringList list;
    for (const char *name : names)
        list << prefix + quoted(QLatin1String(name));
    return list;
}

bool tableExists(const QSqlDatabase &db, const QString &table);
bool hasColumn(const QSqlDatabase &db, const QString &table, const QString &column);

// The columns of what a result is stored with (FieldNames::StoredWith) that
// "reports.db" lacks, a table made by an older version of the program; and
// adding them (call inside a write transaction), rows already stored keeping
// nulls there. Returns the columns added.
QStringList missingStoredWithColumns(const QSqlDatabase &db);
QStringList addStoredWithColumns(const QSqlDatabase &db);

// Create "models.DB" with the shipped models, and "reports.db" with the
// indexes the report browser searches by, in the engine's own column types.
// Throw ZelmorError naming the table.
void createModelsTable(const QSqlDatabase &db);
void createReportsTable(const QSqlDatabase &db);

} // namespace DatabaseEngine
