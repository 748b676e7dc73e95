#include "database/ZelmorDatabase.h"

#include "common/AppLog.h"
#include "common/NumberText.h"
#include "common/ZelmorError.h"
#include "config/DatabaseSettings.h"
#include "database/DatabaseEngine.h"
#include "database/DatabaseError.h"
#include "database/ReportChain.h"
#include "database/ServerConnect.h"
#include "database/ShippedModels.h"
#include "database/StationRoles.h"
#include "database/TableCursor.h"
#include "tables/FieldNames.h"

#include <QAtomicInt>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>
#include <QUrl>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QAtomicInt connectionCounter;

// A fresh connection on one file; the caller removes it by name.
QSqlDatabase openConnection(const QString &name, const QString &path)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    db.setDatabaseName(path);
    db.setConnectOptions(
        QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(ZelmorDatabase::BusyTimeoutMs));
    return db;
}

// Whether this process (its effective user) may do mode on path.
bool allowed(const QString &path, int mode)
{
    return faccessat(AT_FDCWD, QFile::encodeName(path).constData(), mode, AT_EACCESS) == 0;
}

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// Whether the program has run in this folder before the present run: its log
// holds the start of an earlier run besides this one's (start-up logs the
// start before it opens the tables). Settings files are no sign of it: start
// scripts and installers write them before the very first start.
bool ranBefore(const QString &programFolder)
{
    QFile log(QDir(programFolder).filePath(QLatin1String(LogFileName)));
    if (!log.open(QIODevice::ReadOnly))
        return false;
    int starts = 0;
    while (!log.atEnd() && starts < 2)
        if (log.readLine().trimmed().endsWith("] start zelmor"))
            ++starts;
    return starts >= 2;
}

} // namespace

ZelmorDatabase::ZelmorDatabase(QObject *parent)
    : QObject(parent)
    , m_connectionName(QStringLiteral("zelmor-%1").arg(connectionCounter.fetchAndAddRelaxed(1)))
    , m_models(new TableCursor(this))
    , m_reports(new TableCursor(this))
{ }

ZelmorDatabase::~ZelmorDatabase()
{
    // What an editor left pending is stored before the tables go.
    try {
        postPendingEdits();
    } catch (const ZelmorError &) {
        // Logged where it failed; nobody is left to tell.
    }
    delete m_models;
    delete m_reports;
    m_models = m_reports = nullptr;
    if (m_db.isValid()) {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_connectionName);
    }
}

QString ZelmorDatabase::databasePath(const QString &programFolder)
{
    return QDir(programFolder)
        .filePath(QLatin1String(FolderName) + QLatin1Char('/') + QLatin1String(FileName));
}

void ZelmorDatabase::open(const QString &programFolder)
{
    const DatabaseSettings settings = DatabaseSettings::readFromProgramFolder(programFolder);
    m_chain = ReportChain::contextFor(programFolder);
    if (settings.isServer()) {
        m_serverSettings = settings;
        openServer(settings);
        return;
    }
    m_serverSettings.reset();
    const QString path = databasePath(programFolder);
    const QString folder = QFileInfo(path).absolutePath();
    m_readOnlyReason.clear();
    m_deleteRefusal.clear();
    m_startupNotice.clear();

    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) {
        const int error = errno;
        if (error != ENOENT && error != ENOTDIR)
            throwDatabaseError(
                QStringLiteral("Нет доступа к папке базы данных %1.").arg(native(folder)),
                QStringLiteral("cannot reach %1: %2")
                    .arg(path, QString::fromLocal8Bit(std::strerror(error))));
        createDatabase(path);
        // Right on the first start; after earlier runs the results are gone
        // from view, and the operator hears it the day it happens.
        if (ranBefore(programFolder)) {
            m_startupNotice
                = QStringLiteral("База данных не найдена: создана новая, пустая база данных %1.\n"
                                 "Если прежний файл базы перенесён или удалён, его результаты в "
                                 "новой базе не видны.")
                      .arg(native(path));
            WriteLog(QStringLiteral("database not found: new database created at %1").arg(path));
        }
    } else if (!allowed(path, R_OK)) {
        throwDatabaseError(
            QStringLiteral("Нет права чтения файла базы данных %1.").arg(native(path)),
            QStringLiteral("no read permission on %1").arg(path));
    }

    // SQLite writes its journal files beside the database: without the right
    // to write there, or to the file itself, the database is only read, and
    // read as unchangeable, so nothing is created in the folder.
    if (!allowed(folder, W_OK | X_OK)) {
        m_readOnlyReason = QStringLiteral(
            "Нет права записи в папку базы данных %1: результаты не могут быть сохранены.")
                               .arg(native(folder));
    } else if (!allowed(path, W_OK)) {
        m_readOnlyReason = QStringLiteral(
            "Нет права записи в файл базы данных %1: результаты не могут быть сохранены.")
                               .arg(native(path));
    }
    const bool readOnly = !m_readOnlyReason.isEmpty();

    if (!m_db.isValid())
        m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    QString options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(BusyTimeoutMs);
    if (readOnly) {
        // A log of changes left by an earlier run still holds stored results:
        // read through it; without one the file is all there is.
        const bool walLeft = QFileInfo(path + QStringLiteral("-wal")).size() > 0;
        m_db.setDatabaseName(QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded)
            + (walLeft ? QStringLiteral("?mode=ro") : QStringLiteral("?immutable=1")));
        options += QStringLiteral(";QSQLITE_OPEN_URI;QSQLITE_OPEN_READONLY");
    } else {
        m_db.setDatabaseName(path);
    }
    m_db.setConnectOptions(options);
    if (!m_db.open())
        throwDatabaseError(QStringLiteral("Не удалось открыть базу данных %1: %2")
                               .arg(native(path), m_db.lastError().text()),
            QStringLiteral("cannot open %1: %2").arg(path, m_db.lastError().text()));
    // SQLite opens any file; the first read shows whether it is a database.
    QSqlQuery probe(m_db);
    if (!probe.exec(QStringLiteral("SELECT count(*) FROM sqlite_master"))) {
        const QString error = probe.lastError().text();
        const int code = probe.lastError().nativeErrorCode().toInt();
        probe = QSqlQuery();
        m_db.close();
        // Only the engine's "not a database" and "damaged" mean the file
        // itself is at fault; a lock or an I/O failure must not invite the
        // operator to replace a good file.
        constexpr int Corrupt = 11, NotADatabase = 26;
        if (code == Corrupt || code == NotADatabase)
            throwDatabaseError(
                QStringLiteral("Файл %1 не является базой данных: %2").arg(native(path), error),
                QStringLiteral("%1 is not a database: %2").arg(path, error));
        throwDatabaseError(
            QStringLiteral("Не удалось открыть базу данных %1: %2").arg(native(path), error),
            QStringLiteral("cannot read %1: %2").arg(path, error));
    }
    probe = QSqlQuery();
    if (!readOnly)
        exec(QStringLiteral("PRAGMA synchronous=FULL"));

    ReportChain::State chain;
    try {
        // A database that may only be read is browsed as it is.
        if (!readOnly) {
            chain = DatabaseEngine::prepareSchema(m_db, m_chain);
            // Write-ahead logging lets the chain check read one snapshot
            // while results are stored; a file of an earlier version is
            // switched once. A file without the tables is left as it is.
            if (DatabaseEngine::tableExists(m_db, QLatin1String(ReportsTable))) {
                QSqlQuery wal(m_db);
                wal.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
            }
        }
        m_models->open(m_db, QLatin1String(ModelsTable));
        m_reports->open(m_db, QLatin1String(ReportsTable));
    } catch (const ZelmorError &e) {
        m_db.close();
        throw ZelmorError(
            QStringLiteral("База данных %1 не годится: %2").arg(native(path), e.message()));
    }
    if (readOnly)
        WriteLog(
            QStringLiteral("database error: %1 opened for reading only: no write permission on %2")
                .arg(path, allowed(folder, W_OK | X_OK) ? path : folder));
    else
        checkChain(chain);
    applyRights(StationRoles::Rights());
}

void ZelmorDatabase::applyRights(const StationRoles::Rights &rights)
{
    if (!rights.storeResults && m_readOnlyReason.isEmpty())
        m_readOnlyReason = StationRoles::noStoreRight();
    const auto unless = [&](bool right, const QString &refusal) {
        return !m_readOnlyReason.isEmpty() ? m_readOnlyReason : right ? QString() : refusal;
    };
    m_deleteRefusal = unless(rights.deleteResults, StationRoles::noDeleteRight());
    m_models->setReadOnlyReason(unless(rights.editModels, StationRoles::noModelsRight()));
    m_reports->setReadOnlyReason(m_readOnlyReason);
    if (!m_readOnlyReason.isEmpty())
        throw DatabaseReadOnlyError(m_readOnlyReason);
}

void ZelmorDatabase::checkChain(const ReportChain::State &chain)
{
    // Nothing is stored into a chain that cannot take it: the results stay
    // browsable and printable, and the operator hears why.
    if (chain.kind == ReportChain::State::Damaged) {
        m_readOnlyReason
            = QStringLiteral("Цепочка результатов повреждена: %1. Новые результаты не "
                             "сохраняются, пока администратор не восстановит базу из резервной "
                             "копии или не перевыпустит цепочку (zelmor --rekey-reports "
                             "--accept-faults).")
                  .arg(chain.reason);
        WriteLog(QStringLiteral("database error: result chain damaged: %1").arg(chain.reason));
        return;
    }
    if (!m_chain.keyError.isEmpty()) {
        m_readOnlyReason = m_chain.keyError + QStringLiteral(" Результаты не сохраняются.");
        WriteLog(QStringLiteral("database error: chain key refused: %1").arg(m_chain.keyError));
        return;
    }
    const QStringList findings = ReportChain::headFindings(m_db, m_chain);
    if (!findings.isEmpty()) {
        const QString text = QStringLiteral("Цепочка результатов не сходится с файлом головы "
                                            "этого рабочего места:\n")
            + findings.join(QLatin1Char('\n'));
        m_startupNotice
            = m_startupNotice.isEmpty() ? text : m_startupNotice + QLatin1Char('\n') + text;
        WriteLog(QStringLiteral("database error: chain head file disagrees: %1")
                     .arg(findings.join(QStringLiteral("; "))));
    }
}

bool ZelmorDatabase::reopenServer(QString *reason)
{
    if (isOpen())
        return true;
    if (!m_serverSettings)
        return false;
    try {
        openServer(*m_serverSettings);
    } catch (const ZelmorError &e) {
        if (reason)
            *reason = e.message();
        return false;
    }
    WriteLog(QStringLiteral("database server reached: %1").arg(m_serverSettings->describe()));
    return isOpen();
}

void ZelmorDatabase::refuseIfReadOnly(const QString &what) const
{
    if (!m_readOnlyReason.isEmpty())
        throwWriteError(m_readOnlyReason, what + QStringLiteral(": the database is read-only"));
}

void ZelmorDatabase::postPendingEdits()
{
    if (m_models && m_models->isOpen())
        m_models->postPending();
}

void ZelmorDatabase::createDatabase(const QString &path)
{
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath()))
        throwDatabaseError(QStringLiteral("Не удалось создать папку базы данных %1")
                               .arg(native(info.absolutePath())),
            QStringLiteral("cannot create folder %1").arg(info.absolutePath()));
    if (!allowed(info.absolutePath(), W_OK | X_OK))
        throwDatabaseError(
            QStringLiteral(
                "Нет права записи в папку базы данных %1: база данных не может быть создана.")
                .arg(native(info.absolutePath())),
            QStringLiteral("cannot create %1: no write permission on %2")
                .arg(path, info.absolutePath()));
    // Built under a temporary name and renamed when complete, so an
    // interrupted creation never leaves a half-made database behind.
    const QString temporary = path + QStringLiteral(".new");
    QFile::remove(temporary);
    const QString name = m_connectionName + QStringLiteral("-create");
    QString error;
    {
        QSqlDatabase db = openConnection(name, temporary);
        try {
            if (!db.open())
                throw ZelmorError(db.lastError().text());
            // Write-ahead logging: a stored result costs one flush to disk.
            DatabaseEngine::exec(db, QStringLiteral("PRAGMA journal_mode=WAL"), QString());
            DatabaseEngine::exec(db, QStringLiteral("BEGIN"), QString());
            DatabaseEngine::createModelsTable(db);
            DatabaseEngine::createReportsTable(db);
            DatabaseEngine::commit(db);
        } catch (const ZelmorError &e) {
            error = e.message();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    if (error.isEmpty() && !QFile::rename(temporary, path))
        error = QStringLiteral("не удалось переименовать %1").arg(temporary);
    if (!error.isEmpty()) {
        QFile::remove(temporary);
        throwDatabaseError(
            QStringLiteral("Не удалось создать базу данных %1: %2").arg(native(path), error),
            QStringLiteral("cannot create %1: %2").arg(path, error));
    }
    WriteLog(QStringLiteral("alias zelmor created"));
}

bool ZelmorDatabase::isOpen() const
{
    return m_db.isOpen() && m_models->isOpen() && m_reports->isOpen();
}

void ZelmorDatabase::exec(const QString &statement)
{
    QSqlQuery q(m_db);
    if (!q.exec(statement))
        throwDatabaseError(QStringLiteral("Ошибка базы данных: ") + q.lastError().text(),
            statement + QStringLiteral(": ") + q.lastError().text());
}

ModelRecord ZelmorDatabase::CurrentModel() const
{
    ModelRecord m;
    if (!m_models || m_models->currentRow() < 0)
        return m;
    m.Index = m_models->asInteger(QStringLiteral("Index"));
    m.Name = m_models->asString(QStringLiteral("Name"));
    if (m_models->fieldIndex(QStringLiteral("SaveSystem")) >= 0)
        m.SaveSystem = m_models->asString(QStringLiteral("SaveSystem"));
    if (m_models->fieldIndex(QStringLiteral("Category")) >= 0)
        m.Category = m_models->asString(QStringLiteral("Category"));
    for (size_t i = 0; i < FieldNames::Limits.size(); ++i)
        m.limits.*FieldNames::LimitMembers[i]
            = m_models->asFloat(QLatin1String(FieldNames::Limits[i]));
    return m;
}

ModelRecord ZelmorDatabase::modelByIndex(int index) const
{
    ModelRecord m;
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("SELECT * FROM \"models.DB\" WHERE \"Index\" = ?"));
    q.addBindValue(index);
    if (!q.exec())
        throwDatabaseError(QStringLiteral("Ошибка чтения моделей: ") + q.lastError().text(),
            QStringLiteral("cannot read model %1: %2").arg(index).arg(q.lastError().text()));
    if (!q.next())
        return m;
    const QSqlRecord r = q.record();
    m.Index = r.value(QStringLiteral("Index")).toInt();
    m.Name = r.value(QStringLiteral("Name")).toString();
    m.SaveSystem = r.value(QStringLiteral("SaveSystem")).toString();
    m.Category = r.value(QStringLiteral("Category")).toString();
    for (size_t i = 0; i < FieldNames::Limits.size(); ++i)
        m.limits.*FieldNames::LimitMembers[i]
            = r.value(QLatin1String(FieldNames::Limits[i])).toDouble();
    return m;
}

int ZelmorDatabase::StoreTestResult(const TestResult &result, const QDateTime &now)
{
    // A server connection that was lost is opened again by the store itself.
    const bool reconnectable = DatabaseEngine::isServer(m_db) && m_reports->isOpen();
    if (!isOpen() && !reconnectable)
        throwWriteError(QStringLiteral("База данных не открыта"),
            QStringLiteral("result not stored: the database is not open"));
    refuseIfReadOnly(QStringLiteral("result not stored"));
    // One transaction: the row and its link in the instrument's chain are
    // stored together or not at all.
    int index = 0;
    try {
        ReportChain::Row row = ReportChain::rowFromResult(result, now);
        DatabaseEngine::requireConnected(m_db);
        // What the result is judged by from now on, whatever becomes of the model.
        row.stored = StoredWith::values(modelByIndex(result.modelIndex),
            m_inspectionSource ? m_inspectionSource() : Inspection(), result);
        const ReportChain::Appended done = ReportChain::append(m_db, row, m_chain);
        index = done.index;
        if (!done.headWarning.isEmpty())
            WriteLog(QStringLiteral("chain head not written: ") + done.headWarning);
    } catch (const DatabaseEngine::RefusedError &e) {
        throwWriteError(StationRoles::noStoreRight(),
            QStringLiteral("result not stored: refused by the server: ") + e.message());
    } catch (const ZelmorError &e) {
        throwWriteError(e.message(), QStringLiteral("result not stored: ") + e.message());
    }
    try {
        m_reports->refresh();
    } catch (const ZelmorError &) {
        // The row is stored; a table view that fails to re-read is not a failed store.
    }
    return index;
}

void ZelmorDatabase::setInspectionSource(std::function<Inspection()> source)
{
    m_inspectionSource = std::move(source);
}

QString ZelmorDatabase::deleteReport(int index)
{
    refuseIfReadOnly(QStringLiteral("report %1 not deleted").arg(index));
    if (!m_deleteRefusal.isEmpty())
        throwWriteError(m_deleteRefusal,
            QStringLiteral("report %1 not deleted: the database role may not delete").arg(index));
    try {
        const ReportChain::Appended done = ReportChain::remove(m_db, index, m_chain);
        if (!done.headWarning.isEmpty())
            WriteLog(QStringLiteral("chain head not written: ") + done.headWarning);
    } catch (const DatabaseEngine::RefusedError &e) {
        throwWriteError(StationRoles::noDeleteRight(),
            QStringLiteral("report %1 not deleted: refused by the server: %2")
                .arg(index)
                .arg(e.message()));
    } catch (const ZelmorError &e) {
        throwWriteError(
            e.message(), QStringLiteral("report %1 not deleted: %2").arg(index).arg(e.message()));
    }
    // The report is gone; a table that fails to re-read is a problem of its own.
    try {
        m_reports->refresh();
    } catch (const ZelmorError &e) {
        return e.message();
    }
    return QString();
}

void ZelmorDatabase::openServer(const DatabaseSettings &settings)
{
    if (m_db.isValid() && !DatabaseEngine::isServer(m_db)) {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_connectionName);
    }
    m_readOnlyReason.clear();
    m_deleteRefusal.clear();
    try {
        m_db = DatabaseEngine::openServer(m_connectionName, settings);
    } catch (const ServerConnect::Error &e) {
        // The operator's words, and the client library's own for whoever
        // traces it later.
        throwDatabaseError(e.message(),
            QStringLiteral("cannot reach the server (%1): %2 [%3]")
                .arg(settings.describe(), e.message(),
                    QString(e.clientText()).replace(QLatin1Char('\n'), QLatin1Char(' '))));
    } catch (const ZelmorError &e) {
        throwDatabaseError(e.message(),
            QStringLiteral("cannot reach the server (%1): %2")
                .arg(settings.describe(), e.message()));
    }
    ReportChain::State chain;
    try {
        chain = DatabaseEngine::prepareSchema(m_db, m_chain);
        m_models->open(m_db, QLatin1String(ModelsTable));
        m_reports->open(m_db, QLatin1String(ReportsTable));
    } catch (const ZelmorError &e) {
        m_db.close();
        throwDatabaseError(QStringLiteral("База данных на сервере (%1) не годится: %2")
                               .arg(settings.describe(), e.message()),
            QStringLiteral("server database unusable (%1): %2")
                .arg(settings.describe(), e.message()));
    }
    m_startupNotice.clear();
    checkChain(chain);
    StationRoles::Rights rights;
    try {
        rights = StationRoles::of(m_db);
    } catch (const ZelmorError &e) {
        // Not knowing, the server itself refuses what the role may not do.
        WriteLog(QStringLiteral("database error: rights not read: ") + e.message());
    }
    if (!rights.storeResults || !rights.deleteResults || !rights.editModels)
        WriteLog(QStringLiteral("database role may store results: %1, delete results: %2, edit "
                                "models: %3")
                     .arg(rights.storeResults ? "yes" : "no", rights.deleteResults ? "yes" : "no",
                         rights.editModels ? "yes" : "no"));
    applyRights(rights);
}
