#include "database/ReportChainParts.h"

#include "common/ZelmorError.h"
#include "database/DatabaseEngine.h"
#include "tables/FieldNames.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

// The pieces of a chain as the tables hold them: heads, entries, rows, and
// what the head file's lines are judged by.

namespace ReportChain::Parts {

namespace {

const QString ReadError = QStringLiteral("Ошибка чтения цепочки результатов: ");

QString table(const char *name)
{
    return DatabaseEngine::quoted(QLatin1String(name));
}

QString missingParts(const SchemaFacts &s, bool expectCurrent);

} // namespace

int nextScheme(const Head &head, const Context &ctx)
{
    if (head.started())
        return head.scheme == Legacy ? Plain : head.scheme;
    return ctx.key.isNull() ? Plain : Keyed;
}

void requireKeyFor(const Head &head, int scheme, const Context &ctx)
{
    if (!ctx.keyError.isEmpty())
        throw ZelmorError(ctx.keyError);
    if (scheme != Keyed)
        return;
    if (ctx.key.isNull())
        throw ZelmorError(QStringLiteral("цепочка прибора %1 подписана ключом станции, а файл "
                                         "ключа не задан ([Database] ChainKeyFile=)")
                              .arg(QString::fromLatin1(head.chain)));
    if (!head.keyId.isEmpty() && head.keyId != ctx.key.id())
        throw ZelmorError(QStringLiteral("цепочка прибора %1 подписана другим ключом станции, "
                                         "чем задан в настройках")
                              .arg(QString::fromLatin1(head.chain)));
}

QSet<QString> tableColumns(const QSqlDatabase &db)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT * FROM \"reports.db\" WHERE 1 = 0")))
        throw ZelmorError(ReadError + q.lastError().text().trimmed());
    QSet<QString> names;
    const QSqlRecord r = q.record();
    for (int i = 0; i < r.count(); ++i)
        names.insert(r.fieldName(i));
    return names;
}

std::optional<Row> rowByIndex(const QSqlDatabase &db, int index)
{
    QSqlQuery q = DatabaseEngine::prepare(db,
        QStringLiteral("SELECT %1 FROM \"reports.db\" WHERE \"Index\" = ?").arg(selectColumns(db)),
        ReadError);
    q.addBindValue(index);
    DatabaseEngine::execPrepared(q, ReadError);
    if (!q.next())
        return std::nullopt;
    return rowFrom(q);
}

bool sameResult(const Row &a, const Row &b)
{
    auto content = [](Row r) {
        r.index = 0;
        r.seq = 1;
        r.scheme = Plain;
        r.formerCodes.clear();
        return canonical(r);
    };
    return content(a) == content(b);
}

QString entryColumns()
{
    return QStringLiteral("\"Chain\", \"Seq\", \"Kind\", \"Scheme\", \"At\", \"SubjectIndex\", "
                          "\"SubjectSeq\", \"SubjectPrev\", \"SubjectHash\", \"Note\", "
                          "\"FormerCodes\", \"PrevHash\", \"Hash\"");
}

Entry entryFrom(const QSqlQuery &q, int c)
{
    Entry e;
    e.chain = q.value(c++).toString().toLatin1();
    e.seq = q.value(c++).toLongLong();
    const QByteArray kind = q.value(c++).toString().toLatin1();
    e.kind = kind.isEmpty() ? '?' : kind[0];
    e.scheme = q.value(c++).toInt();
    e.at = q.value(c++).toString();
    e.subjectIndex = q.value(c++).toInt();
    e.subjectSeq = q.value(c++).toLongLong();
    e.subjectPrev = q.value(c++).toString().toLatin1();
    e.subjectHash = q.value(c++).toString().toLatin1();
    e.note = q.value(c++).toString();
    e.formerCodes = q.value(c++).toString().toLatin1();
    e.prevHash = q.value(c++).toString().toLatin1();
    e.hash = q.value(c++).toString().toLatin1();
    return e;
}

void insertEntry(const QSqlDatabase &db, const Entry &e)
{
    const QString what = QStringLiteral("Ошибка записи цепочки результатов: ");
    QSqlQuery q = DatabaseEngine::prepare(db,
        QStringLiteral("INSERT INTO %1 (%2) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
            .arg(table(EntriesTable), entryColumns()),
        what);
    q.addBindValue(text(e.chain));
    q.addBindValue(e.seq);
    q.addBindValue(QString(QLatin1Char(e.kind)));
    q.addBindValue(e.scheme);
    q.addBindValue(e.at);
    q.addBindValue(e.subjectIndex);
    q.addBindValue(
        e.subjectSeq > 0 ? QVariant(e.subjectSeq) : QVariant(QMetaType(QMetaType::LongLong)));
    q.addBindValue(text(e.subjectPrev));
    q.addBindValue(text(e.subjectHash));
    q.addBindValue(e.note);
    q.addBindValue(e.formerCodes.isEmpty() ? QVariant(QMetaType(QMetaType::QString))
                                           : QVariant(QString::fromLatin1(e.formerCodes)));
    q.addBindValue(text(e.prevHash));
    q.addBindValue(text(e.hash));
    DatabaseEngine::execPrepared(q, what);
}

QList<Entry> entriesOf(const QSqlDatabase &db, const QByteArray &chain)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT %1 FROM %2%3 ORDER BY \"Chain\", \"Seq\"")
                  .arg(entryColumns(), table(EntriesTable),
                      chain.isEmpty() ? QString() : QStringLiteral(" WHERE \"Chain\" = ?")));
    if (!chain.isEmpty())
        q.addBindValue(text(chain));
    DatabaseEngine::execPrepared(q, ReadError);
    QList<Entry> list;
    while (q.next())
        list << entryFrom(q);
    return list;
}

Head readHead(const QSqlDatabase &db, const QByteArray &chain, bool forUpdate)
{
    QSqlQuery q = DatabaseEngine::prepare(db,
        QStringLiteral("SELECT \"LastIndex\", \"LastSeq\", \"LastHash\", \"Scheme\", \"KeyId\" "
                       "FROM %1 WHERE \"Chain\" = ?%2")
            .arg(table(ChainsTable),
                forUpdate && DatabaseEngine::isServer(db) ? QStringLiteral(" FOR UPDATE")
                                                          : QString()),
        ReadError);
    q.addBindValue(text(chain));
    DatabaseEngine::execPrepared(q, ReadError);
    Head h;
    h.chain = chain;
    if (q.next()) {
        h.exists = true;
        h.lastIndex = q.value(0).toInt();
        h.lastSeq = q.value(1).toLongLong();
        h.lastHash = q.value(2).toString().toLatin1();
        h.scheme = q.value(3).isNull() ? Legacy : q.value(3).toInt();
        h.keyId = q.value(4).toString().toLatin1();
    }
    return h;
}

void writeHead(const QSqlDatabase &db, const Head &h)
{
    const QString what = QStringLiteral("Ошибка записи цепочки результатов: ");
    QSqlQuery q = DatabaseEngine::prepare(db,
        QStringLiteral("INSERT INTO %1 (\"Chain\", \"LastIndex\", \"LastSeq\", \"LastHash\", "
                       "\"Scheme\", \"KeyId\") VALUES (?, ?, ?, ?, ?, ?) ON CONFLICT (\"Chain\") "
                       "DO UPDATE SET \"LastIndex\" = excluded.\"LastIndex\", \"LastSeq\" = "
                       "excluded.\"LastSeq\", \"LastHash\" = excluded.\"LastHash\", \"Scheme\" = "
                       "excluded.\"Scheme\", \"KeyId\" = excluded.\"KeyId\"")
            .arg(table(ChainsTable)),
        what);
    q.addBindValue(text(h.chain));
    q.addBindValue(h.lastIndex);
    q.addBindValue(h.lastSeq);
    q.addBindValue(text(h.lastHash));
    q.addBindValue(h.scheme);
    q.addBindValue(text(h.keyId));
    DatabaseEngine::execPrepared(q, what);
}

HeadProbe probeHead(const QSqlDatabase &db, const ChainHeadFile::Line &line)
{
    HeadProbe p;
    const Head head = readHead(db, line.chain, false);
    p.chainKnown = head.exists;
    p.lastSeq = head.lastSeq;
    const QList<Entry> entries = entriesOf(db, line.chain);
    p.chainKnown = p.chainKnown || !entries.isEmpty();
    const QByteArray code = line.hash.left(16);
    for (const Entry &e : entries) {
        p.rekeyed = p.rekeyed || e.kind == Entry::Rekey;
        if (line.index > 0 && e.kind == Entry::Deletion && e.subjectIndex == line.index
            && (e.subjectHash == line.hash || e.formerCodes.contains(code)))
            p.deletedThroughProgram = true;
    }
    if (line.index > 0) {
        if (const std::optional<Row> row = rowByIndex(db, line.index);
            row && chainKey(row->zmNum) == line.chain) {
            p.chainKnown = true;
            p.found = true;
            p.foundSeq = row->seq;
            p.foundHash = row->hash;
            p.foundFormerCodes = row->formerCodes;
            p.foundKeyed = row->scheme == Keyed;
        }
    } else {
        for (const Entry &e : entries) {
            if (e.seq == line.seq || (e.scheme == Keyed && e.formerCodes.contains(code))) {
                p.found = true;
                p.foundSeq = e.seq;
                p.foundHash = e.hash;
                p.foundFormerCodes = e.formerCodes;
                p.foundKeyed = e.scheme == Keyed;
                if (e.seq == line.seq)
                    break;
            }
        }
    }
    return p;
}

std::optional<Fault> judgeHead(const ChainHeadFile::Line &line, const HeadProbe &p)
{
    Fault f;
    f.chain = line.chain;
    f.index = line.index;
    f.seq = line.seq;
    if (!p.chainKnown) {
        f.kind = Fault::HeadVanished;
        return f;
    }
    if (p.found) {
        if (p.foundHash == line.hash && p.foundSeq == line.seq)
            return std::nullopt;
        // Re-keyed since: the entry keeps, signed, the code it had.
        if (p.foundKeyed && p.foundFormerCodes.split(' ').contains(line.hash.left(16)))
            return std::nullopt;
        f.kind = Fault::HeadRewritten;
        return f;
    }
    if (p.deletedThroughProgram)
        return std::nullopt;
    f.kind = p.lastSeq < line.seq && !p.rekeyed ? Fault::HeadCut : Fault::HeadRewritten;
    return f;
}

Fault keptFault(const ChainHeadFile::Line &line)
{
    Fault f;
    f.kind = Fault::HeadRewritten;
    f.chain = line.chain;
    f.index = line.index;
    f.seq = line.seq;
    f.detail = line.note;
    return f;
}

namespace {

QString missingParts(const SchemaFacts &s, bool expectCurrent)
{
    QStringList missing;
    for (const char *column : FieldNames::ChainLinks)
        if (!s.columns.contains(QLatin1String(column)))
            missing
                << QStringLiteral("столбца %1 в таблице результатов").arg(QLatin1String(column));
    if (expectCurrent)
        for (const char *column : FieldNames::ChainColumns)
            if (!s.columns.contains(QLatin1String(column)))
                missing << QStringLiteral("столбца %1 в таблице результатов")
                               .arg(QLatin1String(column));
    if (!s.chains)
        missing << QStringLiteral("таблицы %1").arg(QLatin1String(ChainsTable));
    else if (expectCurrent && !s.chainsCurrent)
        missing << QStringLiteral("столбцов таблицы %1").arg(QLatin1String(ChainsTable));
    if (expectCurrent && !s.entries)
        missing << QStringLiteral("таблицы %1").arg(QLatin1String(EntriesTable));
    if (!expectCurrent && !s.legacyDeletions)
        missing << QStringLiteral("таблицы %1").arg(QLatin1String(LegacyDeletionsTable));
    return QStringLiteral("нет ") + missing.join(QStringLiteral(", "));
}

} // namespace

State decideState(const SchemaFacts &s, const Context &ctx)
{
    auto has = [&](const char *column) { return s.columns.contains(QLatin1String(column)); };
    bool anyColumn = false;
    bool allCurrentColumns = true;
    bool anyNewColumn = false;
    for (const char *c : FieldNames::ChainLinks) {
        anyColumn = anyColumn || has(c);
        allCurrentColumns = allCurrentColumns && has(c);
    }
    for (const char *c : FieldNames::ChainColumns) {
        anyColumn = anyColumn || has(c);
        anyNewColumn = anyNewColumn || has(c);
        allCurrentColumns = allCurrentColumns && has(c);
    }
    State st;
    if (!anyColumn && !s.chains && !s.entries && !s.legacyDeletions) {
        QString error;
        const bool kept
            = !ctx.headFile.isEmpty() && !ChainHeadFile::read(ctx.headFile, &error).isEmpty();
        if (!kept)
            return st; // never chained
        st.kind = State::Damaged;
        st.reason = QStringLiteral("в базе нет цепочки результатов, а это рабочее место её вело "
                                   "(файл %1)")
                        .arg(ctx.headFile);
        return st;
    }
    if (allCurrentColumns && s.chainsCurrent && s.entries) {
        st.kind = State::Current;
        return st;
    }
    const bool newParts = anyNewColumn || s.entries || s.chainsCurrent;
    if (!newParts && has("PrevHash") && has("Hash") && s.chains && s.legacyDeletions) {
        st.kind = State::Legacy;
        return st;
    }
    st.kind = State::Damaged;
    st.reason = missingParts(s, newParts);
    return st;
}

} // namespace ReportChain::Parts
