#include "database/ReportChain.h"

#include "common/ZelmorError.h"
#include "database/ChainHeadFile.h"
#include "database/DatabaseEngine.h"
#include "database/ReportChainParts.h"
#include "tables/FieldNames.h"

#include <QDateTime>
#include <QHash>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>
#include <map>
#include <vector>

// Where a database stands with its chain, and the changes of the chain as a
// whole: chaining a database that never had one, bringing an earlier
// version's chain up to date, and the administrator's re-keying.

namespace ReportChain {

using namespace Parts;

namespace {

// Rows updated per statement when a whole table is chained.
constexpr int UpdateBatch = 500;

const QString UpgradeError = QStringLiteral("Не удалось обновить цепочку результатов: ");

using Schema = SchemaFacts;

Schema schemaOf(const QSqlDatabase &db)
{
    Schema s;
    s.columns = tableColumns(db);
    s.chains = DatabaseEngine::tableExists(db, QLatin1String(ChainsTable));
    s.chainsCurrent = s.chains
        && DatabaseEngine::hasColumn(db, QLatin1String(ChainsTable), QStringLiteral("LastSeq"));
    s.entries = DatabaseEngine::tableExists(db, QLatin1String(EntriesTable));
    s.legacyDeletions = DatabaseEngine::tableExists(db, QLatin1String(LegacyDeletionsTable));
    return s;
}

QString columnType(const char *column)
{
    const QString name = QLatin1String(column);
    if (name == QLatin1String("PrevHash") || name == QLatin1String("Hash"))
        return QStringLiteral("VARCHAR(64)");
    if (name == QLatin1String("FormerCodes"))
        return QStringLiteral("TEXT");
    return QStringLiteral("INTEGER");
}

// Creates what the chain needs and this database lacks; never drops or
// rewrites anything.
void addMissingParts(const QSqlDatabase &db, const Schema &s)
{
    auto addColumn = [&](const char *column) {
        if (!s.columns.contains(QLatin1String(column)))
            DatabaseEngine::exec(db,
                QStringLiteral("ALTER TABLE \"reports.db\" ADD COLUMN \"%1\" %2")
                    .arg(QLatin1String(column), columnType(column)),
                UpgradeError);
    };
    for (const char *column : FieldNames::ChainLinks)
        addColumn(column);
    for (const char *column : FieldNames::ChainColumns)
        addColumn(column);
    if (!s.chains) {
        DatabaseEngine::exec(db,
            QStringLiteral("CREATE TABLE \"%1\" (\"Chain\" VARCHAR(40) PRIMARY KEY, \"LastIndex\" "
                           "INTEGER NOT NULL, \"LastHash\" VARCHAR(64) NOT NULL, \"LastSeq\" "
                           "INTEGER NOT NULL DEFAULT 0, \"Scheme\" INTEGER NOT NULL DEFAULT 1, "
                           "\"KeyId\" VARCHAR(16) NOT NULL DEFAULT '')")
                .arg(QLatin1String(ChainsTable)),
            UpgradeError);
    } else if (!s.chainsCurrent) {
        for (const char *column :
            { "\"LastSeq\" INTEGER NOT NULL DEFAULT 0", "\"Scheme\" INTEGER NOT NULL DEFAULT 1",
                "\"KeyId\" VARCHAR(16) NOT NULL DEFAULT ''" })
            DatabaseEngine::exec(db,
                QStringLiteral("ALTER TABLE \"%1\" ADD COLUMN %2")
                    .arg(QLatin1String(ChainsTable), QLatin1String(column)),
                UpgradeError);
    }
    if (!s.entries)
        DatabaseEngine::exec(db,
            QStringLiteral("CREATE TABLE \"%1\" (\"Chain\" VARCHAR(40) NOT NULL, \"Seq\" INTEGER "
                           "NOT NULL, \"Kind\" VARCHAR(1) NOT NULL, \"Scheme\" INTEGER NOT NULL, "
                           "\"At\" VARCHAR(19), \"SubjectIndex\" INTEGER, \"SubjectSeq\" "
                           "INTEGER, \"SubjectPrev\" VARCHAR(64), \"SubjectHash\" VARCHAR(64), "
                           "\"Note\" TEXT, \"FormerCodes\" TEXT, \"PrevHash\" VARCHAR(64), "
                           "\"Hash\" VARCHAR(64), PRIMARY KEY (\"Chain\", \"Seq\"))")
                .arg(QLatin1String(EntriesTable)),
            UpgradeError);
}

// A row's new place in its chain, written in batches.
struct Link
{
    int index;
    int scheme;
    qint64 seq;
    QByteArray prevHash;
    QByteArray hash;
    QByteArray formerCodes;
};

void writeLinks(const QSqlDatabase &db, const std::vector<Link> &links)
{
    for (size_t start = 0; start < links.size(); start += UpdateBatch) {
        const size_t end = std::min(links.size(), start + UpdateBatch);
        QString values;
        values.reserve(int(end - start) * 200);
        for (size_t i = start; i < end; ++i) {
            const Link &l = links[i];
            if (i > start)
                values += QLatin1Char(',');
            // Hex texts, codes and integers only: safe to write into the statement.
            values += QStringLiteral("(%1,%2,%3,'%4','%5',%6)")
                          .arg(l.index)
                          .arg(l.scheme)
                          .arg(l.seq)
                          .arg(QLatin1String(l.prevHash), QLatin1String(l.hash),
                              l.formerCodes.isEmpty() ? QStringLiteral("NULL")
                                                      : QLatin1Char('\'')
                                      + QLatin1String(l.formerCodes) + QLatin1Char('\''));
        }
        DatabaseEngine::exec(db,
            QStringLiteral("UPDATE \"reports.db\" SET \"ChainScheme\" = v.column2, \"ChainSeq\" = "
                           "v.column3, \"PrevHash\" = v.column4, \"Hash\" = v.column5, "
                           "\"FormerCodes\" = v.column6 FROM (VALUES %1) AS v WHERE "
                           "\"reports.db\".\"Index\" = v.column1")
                .arg(values),
            UpgradeError);
    }
}

// Rows of a chain by Index, read through Qt's driver (an upgrade reads them once).
std::map<QByteArray, std::vector<Row>> rowsByChain(const QSqlDatabase &db)
{
    std::map<QByteArray, std::vector<Row>> chains;
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT %1 FROM \"reports.db\" ORDER BY \"Index\"")
                    .arg(selectColumns(db))))
        throw ZelmorError(UpgradeError + q.lastError().text().trimmed());
    while (q.next()) {
        Row r = rowFrom(q);
        chains[chainKey(r.zmNum)].push_back(std::move(r));
    }
    return chains;
}

// An earlier version's deletions, kept beside the chain, become entries of
// it (the rows they removed stay bridged as before); the side table is not
// read again.
void convertLegacyDeletions(const QSqlDatabase &db)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT \"Index\", \"Chain\", \"PrevHash\", \"Hash\", \"DeletedAt\" "
                               "FROM \"%1\" ORDER BY \"Chain\", \"Index\"")
                    .arg(QLatin1String(LegacyDeletionsTable))))
        throw ZelmorError(UpgradeError + q.lastError().text().trimmed());
    std::vector<Entry> deletions;
    while (q.next()) {
        Entry e;
        e.kind = Entry::Deletion;
        e.scheme = Plain;
        e.subjectIndex = q.value(0).toInt();
        e.chain = q.value(1).toString().toLatin1();
        e.subjectPrev = q.value(2).toString().toLatin1();
        e.subjectHash = q.value(3).toString().toLatin1();
        e.at = q.value(4).toString();
        deletions.push_back(e);
    }
    q = QSqlQuery();
    ChainHasher hasher;
    for (Entry &e : deletions) {
        Head head = readHead(db, e.chain, true);
        if (!head.exists)
            continue; // the earlier check named such a chain as broken already
        e.seq = head.lastSeq + 1;
        e.prevHash = head.lastHash;
        e.hash = hashOf(hasher, e);
        insertEntry(db, e);
        head.lastSeq = e.seq;
        head.lastHash = e.hash;
        head.scheme = Plain;
        writeHead(db, head);
    }
}

// Chains every row of a database that never had a chain, in Index order.
int chainFromScratch(const QSqlDatabase &db, const Context &ctx)
{
    const int scheme = ctx.key.isNull() ? Plain : Keyed;
    ChainHasher hasher(ctx.key);
    std::vector<Link> links;
    std::vector<Head> heads;
    for (auto &[chain, rows] : rowsByChain(db)) {
        Head head;
        head.chain = chain;
        head.scheme = scheme;
        head.keyId = ctx.key.isNull() ? QByteArray() : ctx.key.id();
        for (Row &r : rows) {
            r.scheme = scheme;
            r.seq = head.lastSeq + 1;
            r.prevHash = head.lastHash;
            r.formerCodes.clear();
            r.hash = hashOf(hasher, r);
            links.push_back({ r.index, scheme, r.seq, r.prevHash, r.hash, QByteArray() });
            head.lastIndex = r.index;
            head.lastSeq = r.seq;
            head.lastHash = r.hash;
        }
        heads.push_back(head);
    }
    writeLinks(db, links);
    DatabaseEngine::exec(
        db, QStringLiteral("DELETE FROM \"%1\"").arg(QLatin1String(ChainsTable)), UpgradeError);
    for (const Head &h : heads)
        writeHead(db, h);
    return int(links.size());
}

} // namespace

State state(const QSqlDatabase &db, const Context &ctx)
{
    return decideState(schemaOf(db), ctx);
}

bool needsPreparing(const State &s)
{
    return s.kind == State::Unchained || s.kind == State::Legacy;
}

State prepare(const QSqlDatabase &db, const Context &ctx, int *chained)
{
    if (chained)
        *chained = 0;
    State st = state(db, ctx);
    if (st.kind == State::Damaged)
        return st; // reported, never chained again by itself
    if (st.kind == State::Unchained) {
        addMissingParts(db, schemaOf(db));
        const int rows = chainFromScratch(db, ctx);
        if (chained)
            *chained = rows;
    } else if (st.kind == State::Legacy) {
        addMissingParts(db, schemaOf(db));
        convertLegacyDeletions(db);
    }
    if (DatabaseEngine::isServer(db))
        Server::install(db);
    st.kind = State::Current;
    return st;
}

int chainAllRows(const QSqlDatabase &db, const Context &ctx)
{
    addMissingParts(db, schemaOf(db));
    return chainFromScratch(db, ctx);
}

RekeyResult rekey(const QSqlDatabase &db, const Context &ctx, bool acceptFaults)
{
    if (!ctx.keyError.isEmpty())
        throw ZelmorError(ctx.keyError);
    if (ctx.key.isNull())
        throw ZelmorError(QStringLiteral("ключ станции не задан: укажите файл ключа в "
                                         "[Database] ChainKeyFile="));
    RekeyResult result;
    DatabaseEngine::requireConnected(db);
    DatabaseEngine::beginWrite(db);
    try {
        if (DatabaseEngine::isServer(db)) {
            // Lanes wait while the chains are rewritten; readers go on.
            DatabaseEngine::exec(
                db, QStringLiteral("LOCK TABLE \"reports.db\" IN EXCLUSIVE MODE"), UpgradeError);
            for (const char *t : { ChainsTable, EntriesTable })
                if (DatabaseEngine::tableExists(db, QLatin1String(t)))
                    DatabaseEngine::exec(db,
                        QStringLiteral("LOCK TABLE \"%1\" IN EXCLUSIVE MODE").arg(QLatin1String(t)),
                        UpgradeError);
        }
        // The check sees what is committed, and nobody commits meanwhile.
        result.check = verify(Source::of(db), ctx);
        QStringList accepted;
        for (const Fault &f : std::as_const(result.check.faults))
            if (f.kind != Fault::NotKeyed)
                accepted << f.text();
        if (!result.check.cannotCheck.isEmpty())
            accepted << result.check.cannotCheck;
        if (!accepted.isEmpty() && !acceptFaults) {
            DatabaseEngine::rollback(db);
            return result;
        }
        const bool legacy = state(db, Context()).kind == State::Legacy;
        addMissingParts(db, schemaOf(db));
        if (legacy)
            convertLegacyDeletions(db);
        if (DatabaseEngine::isServer(db))
            Server::install(db);

        ChainHasher oldHasher(ctx.key);
        ChainHasher hasher(ctx.key);
        const QByteArray keyId = ctx.key.id();
        const QString now
            = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        std::map<QByteArray, std::vector<Row>> rows = rowsByChain(db);
        std::map<QByteArray, std::vector<Entry>> entries;
        for (Entry &e : entriesOf(db))
            entries[e.chain].push_back(std::move(e));
        std::map<QByteArray, Head> heads;
        {
            QSqlQuery q(db);
            if (!q.exec(
                    QStringLiteral("SELECT \"Chain\" FROM \"%1\"").arg(QLatin1String(ChainsTable))))
                throw ZelmorError(UpgradeError + q.lastError().text().trimmed());
            while (q.next()) {
                const QByteArray chain = q.value(0).toString().toLatin1();
                heads[chain] = readHead(db, chain, false);
            }
        }
        QSet<QByteArray> chains;
        for (const auto &[c, _] : rows)
            chains.insert(c);
        for (const auto &[c, _] : entries)
            chains.insert(c);
        for (const auto &[c, _] : heads)
            chains.insert(c);

        // A code is carried over only from an entry whose hash fitted it:
        // a protocol of a changed row must not check after re-keying.
        auto keepCode = [&](QByteArray former, const QByteArray &hash, bool fits) {
            if (fits && hash.size() >= 16)
                former = former.isEmpty() ? hash.left(16) : former + ' ' + hash.left(16);
            return former;
        };
        auto fitsRow = [&](const Row &r) {
            try {
                return !r.hash.isEmpty() && hashOf(oldHasher, r) == r.hash;
            } catch (const ZelmorError &) {
                return false;
            }
        };
        auto fitsEntry = [&](const Entry &e) {
            try {
                return !e.hash.isEmpty() && hashOf(oldHasher, e) == e.hash;
            } catch (const ZelmorError &) {
                return false;
            }
        };

        std::vector<Link> links;
        DatabaseEngine::exec(db,
            QStringLiteral("DELETE FROM \"%1\"").arg(QLatin1String(EntriesTable)), UpgradeError);
        for (const QByteArray &chain : std::as_const(chains)) {
            // The chain's order: rows of the first scheme by Index, then every
            // entry by its place.
            struct Item
            {
                Row *row = nullptr;
                Entry *entry = nullptr;
                qint64 order = 0;
                bool legacy = false;
            };
            std::vector<Item> items;
            for (Row &r : rows[chain])
                items.push_back({ &r, nullptr, r.seq > 0 ? r.seq : r.index, r.seq == 0 });
            for (Entry &e : entries[chain])
                items.push_back({ nullptr, &e, e.seq, false });
            std::stable_sort(items.begin(), items.end(), [](const Item &a, const Item &b) {
                if (a.legacy != b.legacy)
                    return a.legacy;
                return a.order < b.order;
            });
            const Head old = heads.count(chain) ? heads[chain] : Head();
            Head head;
            head.chain = chain;
            head.scheme = Keyed;
            head.keyId = keyId;
            for (const Item &item : items) {
                const qint64 seq = head.lastSeq + 1;
                if (item.row) {
                    Row &r = *item.row;
                    r.formerCodes = keepCode(r.formerCodes, r.hash, fitsRow(r));
                    r.scheme = Keyed;
                    r.seq = seq;
                    r.prevHash = head.lastHash;
                    r.hash = hashOf(hasher, r);
                    links.push_back({ r.index, Keyed, r.seq, r.prevHash, r.hash, r.formerCodes });
                    head.lastIndex = r.index;
                    head.lastHash = r.hash;
                    ++result.rows;
                } else {
                    Entry &e = *item.entry;
                    e.formerCodes = keepCode(e.formerCodes, e.hash, fitsEntry(e));
                    e.scheme = Keyed;
                    e.seq = seq;
                    e.subjectSeq = 0; // the rows around a deleted one now link directly
                    e.prevHash = head.lastHash;
                    e.hash = hashOf(hasher, e);
                    insertEntry(db, e);
                    head.lastHash = e.hash;
                }
                head.lastSeq = seq;
            }
            Entry k;
            k.chain = chain;
            k.kind = Entry::Rekey;
            k.scheme = Keyed;
            k.at = now;
            k.seq = head.lastSeq + 1;
            k.note = QStringLiteral("ключ %1; до перевыпуска записей %2, последняя %3")
                         .arg(QString::fromLatin1(keyId))
                         .arg(old.lastSeq)
                         .arg(QString::fromLatin1(old.lastHash));
            if (!accepted.isEmpty())
                k.note += QStringLiteral("; принято администратором: ")
                    + accepted.join(QStringLiteral("; "));
            k.prevHash = head.lastHash;
            k.hash = hashOf(hasher, k);
            insertEntry(db, k);
            head.lastSeq = k.seq;
            head.lastHash = k.hash;
            writeHead(db, head);
            heads[chain] = head;
            ++result.chains;
        }
        writeLinks(db, links);
        DatabaseEngine::commit(db);
        result.done = true;

        // This workstation's head file follows; a line that was kept for a
        // finding the administrator accepted goes, its text now in the chain.
        if (!ctx.headFile.isEmpty()) {
            QString error;
            QList<ChainHeadFile::Line> lines = ChainHeadFile::read(ctx.headFile, &error);
            QList<ChainHeadFile::Line> out;
            for (ChainHeadFile::Line l : std::as_const(lines)) {
                if (l.kept || !heads.count(l.chain))
                    continue;
                const Head &h = heads[l.chain];
                l.seq = h.lastSeq;
                l.index = 0;
                l.hash = h.lastHash;
                out << l;
            }
            if (!lines.isEmpty())
                ChainHeadFile::write(ctx.headFile, out);
        }
    } catch (...) {
        DatabaseEngine::rollback(db);
        throw;
    }
    return result;
}

} // namespace ReportChain
