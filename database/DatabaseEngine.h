#pragma once

#include "database/DatabaseSettings.h"

#include <QSqlDatabase>
#include <QString>

class QSqlQuery;

// What differs between the two engines that can hold the tables: the embedded
// SQLite file of a single workstation and a database server shared by several
// lanes. Everything throws ZelmorError with a text for the operator.
namespace DatabaseEngine {

inline constexpr const char *ServerDriver = "QPSQL";
// Connecting to a server gives up after this many seconds.
inline constexpr int ConnectTimeoutS = 3;

bool isServer(const QSqlDatabase &db);

// The name under which a table model (QSqlTableModel::setTable) finds
// "models.DB" or "reports.db": the dot in the name must not read as a schema.
QString tableReference(const QSqlDatabase &db, const QString &table);

// Opens a server connection under connectionName; throws ZelmorError naming
// the server and the reason when it cannot be reached.
QSqlDatabase openServer(const QString &connectionName, const DatabaseSettings &settings);

// Makes the tables ready. On a server, the first workstation that finds an
// empty database creates both tables and the shipped models, once, even when
// several start together. On both engines a database without the result
// chain gains it, its existing results chained in Index order. A database
// that needs nothing is only read.
void prepareSchema(const QSqlDatabase &db);

// For a server connection: true when it answers, reopening it once when it
// was lost (the server restarted or the network came back). Always true for
// SQLite.
bool ensureConnected(QSqlDatabase db);

// A write transaction: SQLite takes its single writer lock at once, so two
// programs on one file never deadlock upgrading a read lock.
void beginWrite(const QSqlDatabase &db);
void commit(const QSqlDatabase &db);
void rollback(const QSqlDatabase &db) noexcept;

// Runs a statement, throwing ZelmorError(what + the engine's message).
void exec(const QSqlDatabase &db, const QString &statement, const QString &what);
// Prepares and runs q, throwing as exec().
void execPrepared(QSqlQuery &q, const QString &what);

bool tableExists(const QSqlDatabase &db, const QString &table);
bool hasColumn(const QSqlDatabase &db, const QString &table, const QString &column);

// The two tables' creation statements for a server.
QString serverModelsSchema();
QString serverReportsSchema();

} // namespace DatabaseEngine
