#pragma once

#include "tables/FieldNames.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QVariant>

#include <array>
#include <optional>

struct TestResult;

// Tamper-evident results. Every row of "reports.db" carries "Hash", the
// SHA-256 over its fields and the hash of the previous result of the same
// instrument ("PrevHash"), so the results of each instrument (ZMNum) form a
// chain of their own and lanes never wait on each other. The table
// "report_chains" keeps each chain's last row; "report_deletions" keeps the
// links of rows the operator deleted in the report browser, so that such a
// deletion leaves the chain whole. A row changed, inserted or deleted behind
// the program's back breaks its chain, and verify() names the first such row.
//
// This is evidence against edits made with ordinary database tools; whoever
// knows the scheme can recompute the hashes.
namespace ReportChain {

inline constexpr const char *ChainsTable = "report_chains";
inline constexpr const char *DeletionsTable = "report_deletions";

// One row of "reports.db" as read from either engine.
struct Row
{
    int index = 0;
    QVariant date; // QDate, or the ISO text SQLite keeps
    QVariant time; // QTime, or the "HH:mm:ss" text SQLite keeps
    QVariant zmNum;
    QVariant model;
    QVariant govNumber;
    std::array<QVariant, 14> values; // FieldNames::Results order; null when empty
    // FieldNames::StoredWith order; null when not stored (an older row)
    std::array<QVariant, FieldNames::StoredWith.size()> stored;
    QByteArray prevHash; // hexadecimal, empty at the start of a chain
    QByteArray hash;
};

// The columns of a Row, in the order rowFrom() reads them: the table's own.
QString selectColumns(const QString &alias = QString());
Row rowFrom(const class QSqlQuery &q, int firstColumn = 0);

// The row a finished test becomes: the means rounded as they are stored,
// date and time of `now`, the number cut to its 8 characters.
Row rowFromResult(const TestResult &result, const QDateTime &now);

// Engine-independent text of the row's fields: ISO date, "HH:mm:ss" time,
// numbers in their shortest exact decimal form with a point, empty for a
// missing value; fields separated by the unit separator. Index and the
// hashes are not part of it.
QByteArray canonical(const Row &row);
// Hexadecimal SHA-256 of the previous hash's 32 bytes, a record separator
// and the canonical text.
QByteArray chainHash(const QByteArray &prevHash, const QByteArray &canonicalText);
// The chain a row belongs to: the canonical text of its ZMNum.
QByteArray chainKey(const QVariant &zmNum);

// Appends the row to its instrument's chain in one transaction and returns
// its Index. When the chain's last row holds exactly these fields (the same
// result stored again after a failure that hid a successful store) its Index
// is returned and nothing is added. Throws ZelmorError with the reason alone;
// nothing is stored then.
int append(const QSqlDatabase &db, Row row);

// Deletes the report with this Index, keeping its chain verifiable. Throws as
// append(); nothing is deleted then.
void remove(const QSqlDatabase &db, int index);

// Adds the chain columns and tables to a database that lacks them and chains
// the existing rows in Index order; returns how many rows it chained. Call
// inside a write transaction.
int upgrade(const QSqlDatabase &db);
bool needsUpgrade(const QSqlDatabase &db);
// Computes the chain of every row anew (existing rows of an upgraded database,
// rows loaded in bulk) and returns their number. Call inside a write
// transaction.
int chainAllRows(const QSqlDatabase &db);

struct Fault
{
    enum Kind {
        Changed, // the row's fields or hashes were edited
        Inserted, // the row was not stored by the program
        DeletedBefore, // a row right before this one is missing
        DeletedAtEnd, // the chain's last row(s) are missing; index is the last stored Index
    };
    Kind kind = Changed;
    int index = 0;
    QByteArray chain; // ZMNum
    QString text() const;
};

// Walks one chain, fed its rows in Index order.
class ChainChecker
{
public:
    struct Head
    {
        int lastIndex = 0;
        QByteArray lastHash;
    };
    // deletions: PrevHash -> Hash of the rows deleted through the program.
    ChainChecker(QByteArray chain, QHash<QByteArray, QByteArray> deletions = {});

    void add(const Row &row);
    // The same when the row's hash was already checked against its fields.
    void add(const Row &row, bool selfConsistent);
    // The chain's first fault, if any; head is the chain's entry in
    // "report_chains" (none when it has no entry).
    std::optional<Fault> finish(const std::optional<Head> &head);

private:
    bool linksFrom(const QByteArray &from, const QByteArray &to) const;
    void resolveSuspect(const Row *next);

    QByteArray m_chain;
    QHash<QByteArray, QByteArray> m_deletions;
    QByteArray m_expected; // hash of the last accepted row
    int m_firstIndex = 0;
    std::optional<Row> m_suspect;
    bool m_suspectSelfConsistent = false;
    std::optional<Fault> m_fault;
};

struct VerifyResult
{
    qint64 rows = 0;
    int chains = 0;
    QList<Fault> faults; // the first fault of each broken chain, by Index
    bool intact() const { return faults.isEmpty(); }
};

// Walks every chain of the database. Throws ZelmorError when the database
// cannot be read or has no chain yet.
VerifyResult verify(const QSqlDatabase &db);

} // namespace ReportChain
