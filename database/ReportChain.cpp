#include "database/ReportChain.h"

#include "common/ZelmorError.h"
#include "config/DatabaseSettings.h"
#include "database/ChainHeadFile.h"
#include "database/DatabaseEngine.h"
#include "database/ReportChainParts.h"
#include "tables/FieldNames.h"

#include <QDateTime>
#include <QDir>
#include <QSqlError>
#include <QSqlQuery>

// Storing and deleting a result, each in one transaction with its chain, and
// the head file brought up to date after it.

namespace ReportChain {

using namespace Parts;

namespace {

const QString WriteError = QStringLiteral("Ошибка записи результата: ");

// The head file's line for the chain, if any, and whether the database
// still agrees with it; read before the chain moves on.
struct HeadLine
{
    std::optional<ChainHeadFile::Line> line;
    std::optional<Fault> fault;
};

HeadLine headLineBefore(const QSqlDatabase &db, const Context &ctx, const QByteArray &chain)
{
    HeadLine h;
    if (ctx.headFile.isEmpty())
        return h;
    QString error;
    for (const ChainHeadFile::Line &l : ChainHeadFile::read(ctx.headFile, &error))
        if (!l.kept && l.chain == chain)
            h.line = l;
    if (h.line)
        h.fault = judgeHead(*h.line, probeHead(db, *h.line));
    return h;
}

// After the commit: the chain's new last entry into the head file. A line
// the database no longer agreed with is kept, so this write cannot hide it.
void recordHead(const Context &ctx, const HeadLine &before, Appended &done)
{
    if (ctx.headFile.isEmpty())
        return;
    ChainHeadFile::Line line;
    line.chain = done.chain;
    line.seq = done.seq;
    line.index = done.index;
    line.hash = done.hash;
    std::optional<ChainHeadFile::Line> kept;
    if (before.fault) {
        kept = *before.line;
        kept->note = QStringLiteral("%1: %2").arg(
            QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
            before.fault->text());
    }
    try {
        ChainHeadFile::record(ctx.headFile, line, kept ? &*kept : nullptr);
    } catch (const ZelmorError &e) {
        done.headWarning = e.message();
    }
}

// The row's columns this database lacks are left out of what is stored and
// hashed: the hash covers what the row holds.
void dropMissingColumns(const QSqlDatabase &db, Row &row)
{
    const QSet<QString> present = tableColumns(db);
    for (size_t i = 0; i < row.stored.size(); ++i)
        if (!present.contains(QLatin1String(FieldNames::StoredWith[i])))
            row.stored[i] = QVariant();
}

// SQLite: the row is inserted, read back as the engine keeps it, hashed and
// its hash written, all inside the caller's write transaction.
int insertLocally(const QSqlDatabase &db, Row &row, ChainHasher &hasher)
{
    const QSet<QString> present = tableColumns(db);
    QStringList fields;
    QVariantList values;
    auto add = [&](const char *name, const QVariant &v) {
        if (present.contains(QLatin1String(name))) {
            fields << DatabaseEngine::quoted(QLatin1String(name));
            values << v;
        }
    };
    add("Date", row.date);
    add("Time", row.time);
    add("ZMNum", row.zmNum);
    add("Model", row.model);
    add("GovNumber", row.govNumber);
    for (size_t i = 0; i < row.values.size(); ++i)
        add(FieldNames::Results[i], row.values[i]);
    for (size_t i = 0; i < row.stored.size(); ++i)
        add(FieldNames::StoredWith[i], row.stored[i]);
    add("ChainScheme", row.scheme);
    add("ChainSeq", row.seq);
    add("PrevHash", text(row.prevHash));
    const QStringList marks(fields.size(), QStringLiteral("?"));
    QSqlQuery q = DatabaseEngine::prepare(db,
        QStringLiteral("INSERT INTO \"reports.db\" (%1) VALUES (%2)")
            .arg(fields.join(QLatin1Char(',')), marks.join(QLatin1Char(','))),
        WriteError);
    for (const QVariant &v : std::as_const(values))
        q.addBindValue(v);
    DatabaseEngine::execPrepared(q, WriteError);
    const int index = q.lastInsertId().toInt();
    if (index <= 0)
        throw ZelmorError(QStringLiteral("база не выдала номер записи"));
    std::optional<Row> stored = rowByIndex(db, index);
    if (!stored)
        throw ZelmorError(QStringLiteral("записанная строка %1 не читается").arg(index));
    stored->prevHash = row.prevHash;
    row = *stored;
    row.hash = hashOf(hasher, row);
    QSqlQuery set = DatabaseEngine::prepare(db,
        QStringLiteral("UPDATE \"reports.db\" SET \"Hash\" = ? WHERE \"Index\" = ?"), WriteError);
    set.addBindValue(text(row.hash));
    set.addBindValue(index);
    DatabaseEngine::execPrepared(set, WriteError);
    return index;
}

} // namespace

QString headFilePath(const QString &programFolder)
{
    return QDir(programFolder).filePath(QLatin1String(ChainHeadFile::FileName));
}

Context contextFor(const QString &programFolder)
{
    Context ctx;
    ctx.headFile = headFilePath(programFolder);
    const DatabaseSettings settings = DatabaseSettings::readFromProgramFolder(programFolder);
    if (!settings.chainKeyFile.isEmpty()) {
        const QString path = QDir(programFolder).absoluteFilePath(settings.chainKeyFile);
        ctx.key = ChainKey::load(path, &ctx.keyError);
    }
    return ctx;
}

Appended append(const QSqlDatabase &db, Row row, const Context &ctx)
{
    DatabaseEngine::requireConnected(db);
    const bool server = DatabaseEngine::isServer(db);
    const QByteArray chain = chainKey(row.zmNum);
    ChainHasher hasher(ctx.key);
    Appended done;
    HeadLine before;
    DatabaseEngine::beginWrite(db);
    try {
        dropMissingColumns(db, row);
        const int newScheme = ctx.key.isNull() ? Plain : Keyed;
        const QByteArray keyId = ctx.key.isNull() ? QByteArray() : ctx.key.id();
        Head head = server ? Server::begin(db, chain, newScheme, keyId) : readHead(db, chain, true);
        head.chain = chain;
        const int scheme = nextScheme(head, ctx);
        requireKeyFor(head, scheme, ctx);
        if (head.lastIndex > 0) {
            const std::optional<Row> last = rowByIndex(db, head.lastIndex);
            if (last && sameResult(*last, row)) {
                DatabaseEngine::commit(db);
                done.index = last->index; // stored already: its commit's answer was lost
                done.chain = chain;
                done.seq = last->seq;
                done.hash = last->hash;
                return done;
            }
        }
        before = headLineBefore(db, ctx, chain);
        row.scheme = scheme;
        row.seq = head.lastSeq + 1;
        row.prevHash = head.lastHash;
        row.formerCodes.clear();
        if (server) {
            row.index = head.nextIndex;
            row.hash = hashOf(hasher, row);
            Server::append(db, row, chain);
            // What the server keeps must hash as what was sent.
            const std::optional<Row> stored = rowByIndex(db, row.index);
            if (!stored || canonical(*stored) != canonical(row))
                throw ZelmorError(QStringLiteral("сервер сохранил результат не так, как он был "
                                                 "передан"));
        } else {
            row.index = insertLocally(db, row, hasher);
            head.lastIndex = row.index;
            head.lastSeq = row.seq;
            head.lastHash = row.hash;
            head.scheme = scheme;
            if (scheme == Keyed)
                head.keyId = ctx.key.id();
            writeHead(db, head);
        }
        DatabaseEngine::commit(db);
    } catch (...) {
        DatabaseEngine::rollback(db);
        throw;
    }
    done.index = row.index;
    done.chain = chain;
    done.seq = row.seq;
    done.hash = row.hash;
    recordHead(ctx, before, done);
    return done;
}

Appended remove(const QSqlDatabase &db, int index, const Context &ctx, const QDateTime &now)
{
    DatabaseEngine::requireConnected(db);
    const bool server = DatabaseEngine::isServer(db);
    ChainHasher hasher(ctx.key);
    Appended done;
    HeadLine before;
    DatabaseEngine::beginWrite(db);
    try {
        const std::optional<Row> row = rowByIndex(db, index);
        if (!row) {
            DatabaseEngine::commit(db);
            return done;
        }
        const QByteArray chain = chainKey(row->zmNum);
        const int newScheme = ctx.key.isNull() ? Plain : Keyed;
        const QByteArray keyId = ctx.key.isNull() ? QByteArray() : ctx.key.id();
        Head head = server ? Server::begin(db, chain, newScheme, keyId) : readHead(db, chain, true);
        head.chain = chain;
        Entry e;
        e.chain = chain;
        e.kind = Entry::Deletion;
        e.scheme = nextScheme(head, ctx);
        requireKeyFor(head, e.scheme, ctx);
        before = headLineBefore(db, ctx, chain);
        e.seq = head.lastSeq + 1;
        e.at = now.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        e.subjectIndex = index;
        e.subjectSeq = row->seq;
        e.subjectPrev = row->prevHash;
        e.subjectHash = row->hash;
        e.prevHash = head.lastHash;
        e.hash = hashOf(hasher, e);
        if (server) {
            Server::remove(db, e);
        } else {
            insertEntry(db, e);
            QSqlQuery del = DatabaseEngine::prepare(
                db, QStringLiteral("DELETE FROM \"reports.db\" WHERE \"Index\" = ?"), WriteError);
            del.addBindValue(index);
            DatabaseEngine::execPrepared(del, WriteError);
            head.lastSeq = e.seq;
            head.lastHash = e.hash;
            head.scheme = e.scheme;
            if (e.scheme == Keyed)
                head.keyId = ctx.key.id();
            writeHead(db, head);
        }
        DatabaseEngine::commit(db);
        done.chain = chain;
        done.seq = e.seq;
        done.hash = e.hash;
    } catch (...) {
        DatabaseEngine::rollback(db);
        throw;
    }
    recordHead(ctx, before, done);
    done.index = index;
    return done;
}

QVariant storedHash(const QSqlDatabase &db, int index)
{
    if (!tableColumns(db).contains(QStringLiteral("Hash")))
        return QVariant();
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT \"Hash\" FROM \"reports.db\" WHERE \"Index\" = ?"));
    q.addBindValue(index);
    if (!q.exec() || !q.next())
        return QVariant();
    return q.value(0);
}

CodeCheck checkCode(const QSqlDatabase &db, int index, const QString &typed, const Context &ctx)
{
    CodeCheck c;
    const QByteArray code = normalisedCode(typed);
    if (code.isEmpty()) {
        c.text = QStringLiteral("Контрольный код состоит из 16 шестнадцатеричных цифр "
                                "(0–9, A–F)");
        return c;
    }
    std::optional<Row> row;
    try {
        DatabaseEngine::requireConnected(db);
        if (!tableColumns(db).contains(QStringLiteral("Hash"))) {
            c.text = QStringLiteral("В базе нет цепочки результатов");
            return c;
        }
        row = rowByIndex(db, index);
    } catch (const ZelmorError &e) {
        c.text = e.message();
        return c;
    }
    if (!row) {
        c.outcome = CodeCheck::Mismatch;
        c.text = QStringLiteral("Протокола № %1 в базе нет").arg(index);
        return c;
    }
    if (row->scheme == Keyed && ctx.key.isNull()) {
        c.text = QStringLiteral("Запись подписана ключом станции: для сверки нужен файл ключа%1")
                     .arg(ctx.keyError.isEmpty()
                             ? QString()
                             : QStringLiteral(" (") + ctx.keyError + QLatin1Char(')'));
        return c;
    }
    // A row of a chain signed with the key that claims to be unsigned was
    // hashed again by someone without the key: re-keying signs every row.
    Head head;
    try {
        head = readHead(db, chainKey(row->zmNum), false);
    } catch (const ZelmorError &e) {
        c.text = e.message();
        return c;
    }
    if (row->scheme != Keyed && head.scheme == Keyed) {
        c.outcome = CodeCheck::Mismatch;
        c.text = QStringLiteral("Запись протокола № %1 изменена после сохранения").arg(index);
        return c;
    }
    // Without the key's signature anyone who knows the hashing could have
    // made the row match: with a key named, only a signed row is vouched for.
    if (row->scheme != Keyed && !ctx.key.isNull()) {
        c.text = QStringLiteral("Запись протокола № %1 не подписана ключом станции: сверка "
                                "невозможна, пока администратор не перевыпустит цепочку (zelmor "
                                "--rekey-reports)")
                     .arg(index);
        return c;
    }
    ChainHasher hasher(ctx.key);
    if (row->hash.isEmpty() || hashOf(hasher, *row) != row->hash) {
        c.outcome = CodeCheck::Mismatch;
        c.text = QStringLiteral("Запись протокола № %1 изменена после сохранения").arg(index);
        return c;
    }
    if (row->hash.startsWith(code)) {
        c.outcome = CodeCheck::Match;
        c.text = QStringLiteral("Протокол № %1 совпадает с записью в базе").arg(index);
        return c;
    }
    // A code printed before the administrator re-keyed the chain: the row
    // keeps it, signed with the key, so it cannot have been added since.
    if (row->scheme == Keyed && row->formerCodes.split(' ').contains(code)) {
        c.outcome = CodeCheck::Match;
        c.text = QStringLiteral("Протокол № %1 совпадает с записью в базе (код выдан до "
                                "перевыпуска ключа)")
                     .arg(index);
        return c;
    }
    c.outcome = CodeCheck::Mismatch;
    c.text = QStringLiteral("Контрольный код не совпадает: запись протокола № %1 не та, что "
                            "напечатана")
                 .arg(index);
    return c;
}

QStringList headFindings(const QSqlDatabase &db, const Context &ctx)
{
    QStringList found;
    if (ctx.headFile.isEmpty())
        return found;
    QString error;
    const QList<ChainHeadFile::Line> lines = ChainHeadFile::read(ctx.headFile, &error);
    if (!error.isEmpty())
        found << error;
    try {
        for (const ChainHeadFile::Line &l : lines) {
            if (l.kept)
                found << keptFault(l).text();
            else if (const std::optional<Fault> f = judgeHead(l, probeHead(db, l)))
                found << f->text();
        }
    } catch (const ZelmorError &e) {
        found << e.message();
    }
    return found;
}

} // namespace ReportChain
