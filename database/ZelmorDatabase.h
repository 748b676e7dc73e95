#pragma once

#include "config/DatabaseSettings.h"
#include "database/ModelRecord.h"
#include "database/ReportChain.h"
#include "database/StationRoles.h"
#include "database/StoredWith.h"
#include "database/TestResult.h"

#include <QDateTime>
#include <QObject>
#include <QSqlDatabase>
#include <QString>

#include <functional>
#include <optional>

class TableCursor;

// The program's database: one SQLite file in the folder "db" below the
// program folder, holding the tables "models.DB" and "reports.db". Owned by the
// main window for the whole run; every failure throws ZelmorError with a
// message for the operator.
class ZelmorDatabase : public QObject
{
    Q_OBJECT

public:
    static constexpr const char *FolderName = "db";
    static constexpr const char *FileName = "zelmor.sqlite";
    static constexpr const char *ModelsTable = "models.DB";
    static constexpr const char *ReportsTable = "reports.db";
    static constexpr int BusyTimeoutMs = 1000;

    explicit ZelmorDatabase(QObject *parent = nullptr);
    ~ZelmorDatabase() override;

    // programFolder + "db/zelmor.sqlite"
    static QString databasePath(const QString &programFolder);

    // When the section "Database" of the program's settings file names a
    // server, the tables are opened there instead (created when the database
    // is empty). Otherwise:
    // Opens the database below programFolder and both tables, the models
    // table standing on its first model. When the file (or its folder) is
    // missing it is created with both tables and the shipped models, and
    // "alias zelmor created" is logged (and, when the program ran here
    // before, startupNotice() says so). An existing file is used as it is;
    // one that is not a usable database (or lacks a table) gives an error
    // and is left untouched. A file or folder the program may not write is
    // opened for reading only, leaving nothing behind in the folder: the
    // tables are open and can be browsed, and open() then throws
    // DatabaseReadOnlyError saying that results cannot be stored and why.
    // Every failure is also logged as "database error: ...". On the
    // station's server the role's rights count too: what it may not do is
    // refused in words (deleteRefusal(), the models table's
    // readOnlyReason()), and a role that may not store opens read-only.
    void open(const QString &programFolder);
    bool isOpen() const;
    // When the tables are kept on a server that could not be reached by
    // open(): tries once more and returns true when the tables are open now
    // (bind the views again then). False, and nothing changed, otherwise;
    // *reason says why when given.
    bool reopenServer(QString *reason = nullptr);
    // Empty unless open() has something to say at start-up although nothing
    // failed: the database file was missing in a program folder where the
    // program had run before, and a new, empty one was created in its place.
    QString startupNotice() const { return m_startupNotice; }
    // Empty when results can be stored; otherwise why they cannot.
    QString readOnlyReason() const { return m_readOnlyReason; }
    bool isWritable() const { return isOpen() && m_readOnlyReason.isEmpty(); }
    // Empty when the operator may delete a stored result; otherwise why not
    // (on the station's server: the role is not granted zelmor_admin). The
    // models table's own readOnlyReason() says the same of editing models.
    QString deleteRefusal() const { return m_deleteRefusal; }

    // Stores what an editor left pending in the models table (an edited
    // model; a new model with input), so what the operator saw is what is
    // stored. For the program's end; also done when the database is
    // destroyed. Throws ZelmorError when the table refuses it.
    void postPendingEdits();
    QSqlDatabase connection() const { return m_db; }
    // The station key and the head file the result chain is kept with.
    const ReportChain::Context &chainContext() const { return m_chain; }

    // Always present; open after open(). Their model() is created by open(),
    // so bind views to it once the database is open.
    TableCursor *tbModels() const { return m_models; }
    TableCursor *tbReports() const { return m_reports; }

    // The record on which tbModels stands (an empty record when none).
    ModelRecord CurrentModel() const;
    // The model with this Index, read from the table (Index 0 when missing).
    ModelRecord modelByIndex(int index) const;

    // Where the place, the operator and the instrument's verification a
    // result is stored with come from (the options as they stand at the
    // store); without one they are stored empty.
    void setInspectionSource(std::function<Inspection()> source);

    // Appends one report row and returns its Index, stored with its model's
    // name and limits as they stand now and with the inspection. The row is
    // on disk when this returns; on failure nothing is stored and
    // DatabaseWriteError is thrown with the reason.
    int StoreTestResult(
        const TestResult &result, const QDateTime &now = QDateTime::currentDateTime());

    // Removes the report with this Index (the one the operator confirmed);
    // when it cannot, throws DatabaseWriteError with the reason and nothing
    // is removed. Then re-reads tbReports: when that fails the report is
    // removed all the same, and the returned text says why the table was
    // not re-read (empty when it was).
    QString deleteReport(int index);

private:
    void createDatabase(const QString &path);
    void openServer(const DatabaseSettings &settings);
    void exec(const QString &statement);
    void refuseIfReadOnly(const QString &what) const;
    // A damaged chain, a refused key or a head file the database disagrees
    // with: why nothing is stored, or what start-up says.
    void checkChain(const ReportChain::State &chain);
    // What the role may do, after checkChain(): sets what each table and
    // the deletion refuse, and throws DatabaseReadOnlyError when nothing can
    // be stored.
    void applyRights(const StationRoles::Rights &rights);

    QString m_connectionName;
    std::optional<DatabaseSettings> m_serverSettings; // set by open() for a server
    ReportChain::Context m_chain;
    QSqlDatabase m_db;
    QString m_readOnlyReason;
    QString m_deleteRefusal;
    QString m_startupNotice;
    std::function<Inspection()> m_inspectionSource;
    TableCursor *m_models = nullptr;
    TableCursor *m_reports = nullptr;
};
