#pragma once

#include "database/ChainKey.h"
#include "tables/FieldNames.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <array>
#include <atomic>

struct TestResult;
class QSqlQuery;

// Tamper-evident results. The results of each instrument (ZMNum) form a chain
// of their own, so lanes never wait on each other: every entry carries the
// hash of the entry before it ("PrevHash") and its own ("Hash") over all its
// columns. An entry is a stored result (a row of "reports.db"), a deletion
// made through the program, or the administrator's re-keying (both in
// "report_chain_entries"); "report_chains" keeps each chain's last entry.
//
// What this detects depends on what the one who edits holds: without the
// station key anyone who knows the scheme can recompute a chain, and only the
// head file the workstation keeps outside the database shows it; with the key
// nobody without the key file can. Whoever holds the database, the key and
// the head file together can rewrite everything.
namespace ReportChain {

inline constexpr const char *ChainsTable = "report_chains";
inline constexpr const char *EntriesTable = "report_chain_entries";
// Kept by databases chained before a deletion became an entry of the chain;
// read only once, when such a database is upgraded.
inline constexpr const char *LegacyDeletionsTable = "report_deletions";

// How an entry was hashed; kept in each entry ("ChainScheme", null for the
// first scheme) and part of what is hashed from Plain on.
enum Scheme : int {
    Legacy = 1, // SHA-256 over the fields without Index: rows chained by earlier versions
    Plain = 2, // SHA-256 over every column
    Keyed = 3, // HMAC-SHA256 with the station key over every column
};

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
    int scheme = Legacy;
    qint64 seq = 0; // place in the chain from 1; 0 for a Legacy row
    QByteArray formerCodes; // control codes before re-keying, separated by blanks
    QByteArray prevHash; // hexadecimal, empty at the start of a chain
    QByteArray hash;
};

// An entry of a chain that is not a result.
struct Entry
{
    enum Kind : char { Deletion = 'D', Rekey = 'K' };
    QByteArray chain;
    qint64 seq = 0;
    char kind = Deletion;
    int scheme = Plain;
    QString at; // "yyyy-MM-dd HH:mm:ss"
    // A deletion: the row it removed, as it was (seq 0 for a Legacy row, or
    // when a re-keying closed the gap the row left).
    int subjectIndex = 0;
    qint64 subjectSeq = 0;
    QByteArray subjectPrev;
    QByteArray subjectHash;
    QString note; // a re-keying: what the chain was before and what was accepted
    QByteArray formerCodes;
    QByteArray prevHash;
    QByteArray hash;
};

// The columns of a Row in the order rowFrom() reads them: the table's own,
// NULL in place of a column this database lacks (a database of an earlier
// version opened for reading only).
QString selectColumns(const QSqlDatabase &db, const QString &alias = QString());
Row rowFrom(const QSqlQuery &q, int firstColumn = 0);
// Number of columns selectColumns() lists.
int columnCount();

// The row a finished test becomes: the means rounded as they are stored,
// date and time of `now`, the number cut to its 8 characters.
Row rowFromResult(const TestResult &result, const QDateTime &now);

// Engine-independent text of what an entry's hash covers. For a Legacy row:
// date, time, ZMNum, Model, GovNumber and the results. From Plain on: the
// scheme, the kind, the place in the chain, Index and every fixed column,
// then "name=value" for each column the row was stored with that is not
// null, in FieldNames::StoredWith order (so that a column added later, null
// in older rows, leaves their hashes as they were), then the former codes.
QByteArray canonical(const Row &row);
QByteArray canonical(const Entry &entry);
// The chain a row belongs to: the canonical text of its ZMNum.
QByteArray chainKey(const QVariant &zmNum);
// Lower-case hex of an entry's hash as its scheme computes it; throws
// ZelmorError for a Keyed entry when hasher has no key.
QByteArray hashOf(ChainHasher &hasher, const Row &row);
QByteArray hashOf(ChainHasher &hasher, const Entry &entry);

// "Контрольный код" printed on a protocol: the first 16 hex digits of the
// row's hash in groups of four, upper case ("3FA2 9C01 …"); empty without a hash.
QString controlCode(const QByteArray &hash);
// A code as typed: blanks and dashes dropped, lower case; empty when it is
// not 16 hex digits.
QByteArray normalisedCode(const QString &typed);

// What the chain needs beyond the database: the station key and the file in
// which this workstation keeps the head of its instruments' chains.
struct Context
{
    ChainKey key; // null: the station has no key
    QString keyError; // a key file is named but cannot be used
    QString headFile; // empty: no head file (tools, some tests)
};
// From the settings of the program folder: "[Database] ChainKeyFile=" and
// the head file beside the program.
Context contextFor(const QString &programFolder);
// The head file of a program folder.
QString headFilePath(const QString &programFolder);

// What became of a store or a deletion: the entry that is now the chain's last.
struct Appended
{
    int index = 0; // the stored row; for a deletion the row removed (0: none was)
    QByteArray chain;
    qint64 seq = 0;
    QByteArray hash;
    QString headWarning; // the head file could not be written (the change is kept)
};

// Appends the row to its instrument's chain in one transaction. When the
// chain's last row holds exactly these fields (the same result stored again
// after a failure that hid a successful store) its Index is returned and
// nothing is added. On a server it goes through the server's functions.
// Then the head file (when ctx names one) is brought up to date. Throws
// ZelmorError with the reason alone; nothing is stored then.
Appended append(const QSqlDatabase &db, Row row, const Context &ctx);

// Deletes the report with this Index and appends the deletion to its chain,
// in one transaction. Throws as append(); nothing is deleted then.
Appended remove(const QSqlDatabase &db, int index, const Context &ctx,
    const QDateTime &now = QDateTime::currentDateTime());

// Where a database stands with its chain.
struct State
{
    enum Kind {
        Unchained, // never chained: no chain columns, no chain tables, no head file
        Legacy, // chained by an earlier version
        Current,
        Damaged, // chained once, but part of the chain is gone
    };
    Kind kind = Unchained;
    QString reason; // Damaged: what is missing, for the operator
};
State state(const QSqlDatabase &db, const Context &ctx);
// Makes the chain ready, inside the caller's write transaction: chains the
// rows of a database that was never chained, brings the chain of an earlier
// version up to date (its rows keep their hashes), leaves a current one as
// it is and a damaged one untouched. *chained counts the rows chained anew.
State prepare(const QSqlDatabase &db, const Context &ctx, int *chained = nullptr);
// Whether prepare() would write anything.
bool needsPreparing(const State &s);
// Chains every row anew, from scratch, inside the caller's write
// transaction, and returns their number: for rows loaded in bulk (tools,
// benchmarks). The program itself does it only to a database that was never
// chained: done to a chained one it would launder every edit.
int chainAllRows(const QSqlDatabase &db, const Context &ctx);

// What the check found, per chain.
struct Fault
{
    enum Kind {
        Changed, // an entry's fields or hash were edited
        Inserted, // an entry not stored by the program
        DeletedBefore, // an entry right before this one is missing
        DeletedAtEnd, // the chain's last entries are missing
        Rehashed, // the entry before this one was edited and hashed again
        NotKeyed, // the station has a key, the chain is not signed with it
        HeadCut, // the head file names an entry past the chain's end
        HeadVanished, // the head file names an instrument the database lacks
        HeadRewritten, // the entry the head file names is not the one written
    };
    Kind kind = Changed;
    int index = 0; // the row concerned; 0 for an entry that is not a row
    qint64 seq = 0;
    QByteArray chain; // ZMNum
    QString detail;
    QString text() const;
};

// Shared with a check running on another thread.
struct Progress
{
    std::atomic<qint64> done { 0 };
    std::atomic<qint64> total { 0 }; // an estimate: the number of stored results
    std::atomic<bool> cancel { false };
};

struct VerifyResult
{
    qint64 rows = 0;
    int chains = 0;
    QList<Fault> faults; // the first fault of each broken chain, then the head file's
    QStringList notes; // what is worth saying but breaks nothing
    QString cannotCheck; // set: the check could not be made, and why
    bool cancelled = false;
    bool intact() const { return faults.isEmpty() && cannotCheck.isEmpty() && !cancelled; }
};

// Where a check reads: its own connection, made from the parameters of an
// open one, so that the check may run on any thread.
struct Source
{
    bool server = false;
    QString sqliteName; // a file name or a "file:" URI
    QByteArray conninfo; // the server's client library's connection text
    static Source of(const QSqlDatabase &db);
};

// Walks every chain in one snapshot of the database (one read transaction),
// reading through the engine's own cursor in large batches and hashing
// beside the reading; compares the head file when ctx names one. Never
// throws: what prevents the check is in cannotCheck.
VerifyResult verify(const Source &source, const Context &ctx, Progress *progress = nullptr);
inline VerifyResult verify(const QSqlDatabase &db, const Context &ctx = Context())
{
    return verify(Source::of(db), ctx);
}

// Whether the stored row with this Index still matches the control code
// printed on its protocol.
struct CodeCheck
{
    enum Outcome { Match, Mismatch, CannotCheck };
    Outcome outcome = CannotCheck;
    QString text;
};
CodeCheck checkCode(const QSqlDatabase &db, int index, const QString &code, const Context &ctx);

// The hash of the row with this Index (null when it or its column is missing).
QVariant storedHash(const QSqlDatabase &db, int index);

// What the administrator's re-keying did.
struct RekeyResult
{
    qint64 rows = 0;
    int chains = 0;
    VerifyResult check; // the check made first; re-keying refuses when it is not intact
    bool done = false;
};
// Re-hashes every chain with the station key (ctx.key must be set), after a
// check of the whole database; appends to each chain an entry that records
// it. Each entry keeps the control code it had, so protocols printed before
// still check. Refuses (done false) when the check is not intact, unless
// acceptFaults: then what it found is written into the re-keying entries.
// Throws ZelmorError when the database cannot be written.
RekeyResult rekey(const QSqlDatabase &db, const Context &ctx, bool acceptFaults);

// The head file against the database, without walking the chains: for the
// start-up. One text per finding; empty when all agrees.
QStringList headFindings(const QSqlDatabase &db, const Context &ctx);

} // namespace ReportChain
