#pragma once

#include "database/ChainHeadFile.h"
#include "database/ReportChain.h"

#include <QSet>
#include <QSqlDatabase>

#include <optional>

// What the chain's storing, upgrading and checking share; not for use
// outside the chain.
namespace ReportChain::Parts {

// A hash, code or chain as a bound value: an empty one is '' (never NULL).
inline QString text(const QByteArray &b)
{
    return b.isEmpty() ? QStringLiteral("") : QString::fromLatin1(b);
}

// A chain's row in "report_chains".
struct Head
{
    QByteArray chain;
    bool exists = false;
    int lastIndex = 0; // the last row appended
    qint64 lastSeq = 0; // the last entry's place (0: none since the Legacy rows)
    QByteArray lastHash;
    int scheme = Legacy; // of the last entry
    QByteArray keyId; // the key a Keyed chain is signed with
    int nextIndex = 0; // on a server: the Index handed out for the next row
    bool started() const { return lastSeq > 0 || !lastHash.isEmpty(); }
};

// The scheme the next entry of a chain takes: a started chain keeps its own
// (a Legacy one goes on Plain); a new one is Keyed when the station has a key.
int nextScheme(const Head &head, const Context &ctx);
// Throws ZelmorError when an entry of this scheme cannot be made with ctx.
void requireKeyFor(const Head &head, int scheme, const Context &ctx);

// What of the chain a database holds.
struct SchemaFacts
{
    QSet<QString> columns; // of "reports.db" (at least the chain's that it has)
    bool chains = false;
    bool chainsCurrent = false; // "report_chains" has the columns of this version
    bool entries = false;
    bool legacyDeletions = false;
};
State decideState(const SchemaFacts &facts, const Context &ctx);

// The columns "reports.db" has in this database.
QSet<QString> tableColumns(const QSqlDatabase &db);
std::optional<Row> rowByIndex(const QSqlDatabase &db, int index);
// Whether two rows hold the same result (their places and links aside).
bool sameResult(const Row &a, const Row &b);

QString entryColumns();
Entry entryFrom(const class QSqlQuery &q, int c = 0);
void insertEntry(const QSqlDatabase &db, const Entry &e);
QList<Entry> entriesOf(const QSqlDatabase &db, const QByteArray &chain = QByteArray());

Head readHead(const QSqlDatabase &db, const QByteArray &chain, bool forUpdate);
void writeHead(const QSqlDatabase &db, const Head &head);

// What the database says of the entry a head file line names.
struct HeadProbe
{
    bool chainKnown = false; // the chain has a head or any entry
    qint64 lastSeq = 0;
    bool found = false; // the entry the line names is there
    qint64 foundSeq = 0;
    QByteArray foundHash;
    QByteArray foundFormerCodes;
    bool foundKeyed = false;
    bool deletedThroughProgram = false; // a deletion entry carries the named row's hash
    bool rekeyed = false; // the chain was re-keyed since
};
HeadProbe probeHead(const QSqlDatabase &db, const ChainHeadFile::Line &line);
// The fault a line shows, if any.
std::optional<Fault> judgeHead(const ChainHeadFile::Line &line, const HeadProbe &probe);
// A kept line: what was found when it was kept.
Fault keptFault(const ChainHeadFile::Line &line);

// The server's functions through which a lane appends and deletes.
namespace Server {
// Creates or replaces them when they are missing or of an older version;
// inside the caller's transaction.
void install(const QSqlDatabase &db);
Head begin(const QSqlDatabase &db, const QByteArray &chain, int scheme, const QByteArray &keyId);
void append(const QSqlDatabase &db, const Row &row, const QByteArray &chain);
void remove(const QSqlDatabase &db, const Entry &deletion);
} // namespace Server

} // namespace ReportChain::Parts
