#include "database/ReportChain.h"

#include "common/ZelmorError.h"
#include "database/DatabaseEngine.h"
#include "tables/FieldNames.h"

#include <QDateTime>
#include <QSqlQuery>

// Storing and deleting a result, each in one transaction with its chain.

namespace ReportChain {

namespace {

std::optional<Row> rowByIndex(const QSqlDatabase &db, int index)
{
    QSqlQuery q = DatabaseEngine::prepare(db,
        QStringLiteral("SELECT %1 FROM \"reports.db\" WHERE \"Index\" = ?").arg(selectColumns()),
        QString());
    q.addBindValue(index);
    DatabaseEngine::execPrepared(q, QString());
    if (!q.next())
        return std::nullopt;
    return rowFrom(q);
}

// Locks the chain's entry (creating it for a new instrument) and returns it.
ChainChecker::Head lockHead(const QSqlDatabase &db, const QByteArray &chain)
{
    QSqlQuery add = DatabaseEngine::prepare(db,
        QStringLiteral("INSERT INTO \"%1\" (\"Chain\", \"LastIndex\", \"LastHash\") VALUES (?, 0, "
                       "'') ON CONFLICT (\"Chain\") DO NOTHING")
            .arg(QLatin1String(ChainsTable)),
        QString());
    add.addBindValue(QString::fromLatin1(chain));
    DatabaseEngine::execPrepared(add, QString());
    // A server locks the one row, so only results of the same instrument wait
    // on each other; SQLite's write transaction already holds the file.
    QSqlQuery q = DatabaseEngine::prepare(db,
        QStringLiteral("SELECT \"LastIndex\", \"LastHash\" FROM \"%1\" WHERE \"Chain\" = ?%2")
            .arg(QLatin1String(ChainsTable),
                DatabaseEngine::isServer(db) ? QStringLiteral(" FOR UPDATE") : QString()),
        QString());
    q.addBindValue(QString::fromLatin1(chain));
    DatabaseEngine::execPrepared(q, QString());
    ChainChecker::Head head;
    if (q.next()) {
        head.lastIndex = q.value(0).toInt();
        head.lastHash = q.value(1).toString().toLatin1();
    }
    return head;
}

void setHead(const QSqlDatabase &db, const QByteArray &chain, int index, const QByteArray &hash)
{
    QSqlQuery q = DatabaseEngine::prepare(db,
        QStringLiteral("UPDATE \"%1\" SET \"LastIndex\" = ?, \"LastHash\" = ? WHERE \"Chain\" = ?")
            .arg(QLatin1String(ChainsTable)),
        QString());
    q.addBindValue(index);
    q.addBindValue(QString::fromLatin1(hash));
    q.addBindValue(QString::fromLatin1(chain));
    DatabaseEngine::execPrepared(q, QString());
}

} // namespace

int append(const QSqlDatabase &db, Row row)
{
    DatabaseEngine::requireConnected(db);
    const QByteArray chain = chainKey(row.zmNum);
    const QByteArray text = canonical(row);
    DatabaseEngine::beginWrite(db);
    try {
        const ChainChecker::Head head = lockHead(db, chain);
        if (head.lastIndex > 0) {
            const std::optional<Row> last = rowByIndex(db, head.lastIndex);
            if (last && canonical(*last) == text) {
                DatabaseEngine::commit(db);
                return head.lastIndex; // stored already: its commit's answer was lost
            }
        }
        row.prevHash = head.lastHash;
        row.hash = chainHash(row.prevHash, text);

        // Every field but Index, which the table assigns, in the order of a Row.
        const QStringList fields = DatabaseEngine::quotedNames(FieldNames::ReportKeys).mid(1)
            + DatabaseEngine::quotedNames(FieldNames::Results)
            + DatabaseEngine::quotedNames(FieldNames::ChainLinks)
            + DatabaseEngine::quotedNames(FieldNames::StoredWith);
        const QStringList marks(fields.size(), QStringLiteral("?"));
        const bool server = DatabaseEngine::isServer(db);
        QSqlQuery q = DatabaseEngine::prepare(db,
            QStringLiteral("INSERT INTO \"reports.db\" (%1) VALUES (%2)%3")
                .arg(fields.join(QLatin1Char(',')), marks.join(QLatin1Char(',')),
                    server ? QStringLiteral(" RETURNING \"Index\"") : QString()),
            QString());
        q.addBindValue(row.date);
        q.addBindValue(row.time);
        q.addBindValue(row.zmNum);
        q.addBindValue(row.model);
        q.addBindValue(row.govNumber);
        for (const QVariant &v : row.values)
            q.addBindValue(v);
        q.addBindValue(QString::fromLatin1(row.prevHash));
        q.addBindValue(QString::fromLatin1(row.hash));
        for (const QVariant &v : row.stored)
            q.addBindValue(v);
        DatabaseEngine::execPrepared(q, QString());
        const int index = server ? (q.next() ? q.value(0).toInt() : 0) : q.lastInsertId().toInt();
        if (index <= 0)
            throw ZelmorError(QStringLiteral("база не выдала номер записи"));
        setHead(db, chain, index, row.hash);
        DatabaseEngine::commit(db);
        return index;
    } catch (...) {
        DatabaseEngine::rollback(db);
        throw;
    }
}

void remove(const QSqlDatabase &db, int index)
{
    DatabaseEngine::requireConnected(db);
    DatabaseEngine::beginWrite(db);
    try {
        const std::optional<Row> row = rowByIndex(db, index);
        if (row) {
            const QByteArray chain = chainKey(row->zmNum);
            lockHead(db, chain);
            QSqlQuery keep = DatabaseEngine::prepare(db,
                QStringLiteral("INSERT INTO \"%1\" (\"Index\", \"Chain\", \"PrevHash\", \"Hash\", "
                               "\"DeletedAt\") VALUES (?, ?, ?, ?, ?)")
                    .arg(QLatin1String(DeletionsTable)),
                QString());
            keep.addBindValue(index);
            keep.addBindValue(QString::fromLatin1(chain));
            keep.addBindValue(QString::fromLatin1(row->prevHash));
            keep.addBindValue(QString::fromLatin1(row->hash));
            keep.addBindValue(
                QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
            DatabaseEngine::execPrepared(keep, QString());
            QSqlQuery del = DatabaseEngine::prepare(
                db, QStringLiteral("DELETE FROM \"reports.db\" WHERE \"Index\" = ?"), QString());
            del.addBindValue(index);
            DatabaseEngine::execPrepared(del, QString());
        }
        DatabaseEngine::commit(db);
    } catch (...) {
        DatabaseEngine::rollback(db);
        throw;
    }
}

} // namespace ReportChain
