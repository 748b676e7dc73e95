#include "database/ReportChain.h"

#include "common/NumberText.h"
#include "common/ZelmorError.h"
#include "database/DatabaseEngine.h"
#include "database/TestResult.h"
#include "tables/FieldNames.h"

#include <QCryptographicHash>
#include <QDate>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QTime>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <future>
#include <map>
#include <vector>

namespace ReportChain {

namespace {

constexpr char FieldSeparator = '\x1f';
constexpr char HashSeparator = '\x1e';
// Rows updated per statement when a whole table is chained.
constexpr int UpdateBatch = 500;
// Rows hashed per batch while the next batch is read.
constexpr size_t VerifyBatch = 4096;

const QString ChainError = QStringLiteral("Ошибка цепочки результатов: ");

void appendNumber(QByteArray &out, const QVariant &v)
{
    if (v.isNull())
        return;
    bool ok = false;
    const double d = v.toDouble(&ok);
    if (!ok || !std::isfinite(d)) {
        out += v.toString().toUtf8(); // not a number: hashed as it reads
        return;
    }
    char buffer[32];
    // Shortest text that reads back as exactly this double: the same bits
    // give the same text on every engine and machine.
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, d == 0.0 ? 0.0 : d);
    out.append(buffer, r.ptr - buffer);
}

void appendDate(QByteArray &out, const QVariant &v)
{
    if (v.isNull())
        return;
    if (v.typeId() == QMetaType::QDate || v.typeId() == QMetaType::QDateTime)
        out += v.toDate().toString(Qt::ISODate).toUtf8();
    else
        out += v.toString().toUtf8();
}

void appendTime(QByteArray &out, const QVariant &v)
{
    if (v.isNull())
        return;
    if (v.typeId() == QMetaType::QTime) {
        const QTime t = v.toTime();
        out += t.toString(t.msec() ? QStringLiteral("HH:mm:ss.zzz") : QStringLiteral("HH:mm:ss"))
                   .toUtf8();
    } else {
        out += v.toString().toUtf8();
    }
}

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

QString selectColumns(const QString &alias)
{
    return (DatabaseEngine::quotedNames(FieldNames::ReportKeys, alias)
        + DatabaseEngine::quotedNames(FieldNames::Results, alias)
        + DatabaseEngine::quotedNames(FieldNames::ChainLinks, alias))
        .join(QStringLiteral(", "));
}

Row rowFrom(const QSqlQuery &q, int c)
{
    Row r;
    r.index = q.value(c++).toInt();
    r.date = q.value(c++);
    r.time = q.value(c++);
    r.zmNum = q.value(c++);
    r.model = q.value(c++);
    r.govNumber = q.value(c++);
    for (QVariant &v : r.values)
        v = q.value(c++);
    r.prevHash = q.value(c++).toString().toLatin1();
    r.hash = q.value(c++).toString().toLatin1();
    return r;
}

Row rowFromResult(const TestResult &result, const QDateTime &now)
{
    Row r;
    r.date = now.date();
    r.time = now.time().toString(QStringLiteral("HH:mm:ss"));
    r.zmNum = double(result.instrumentNumber);
    r.model = double(result.modelIndex);
    r.govNumber = result.govNumber.left(FieldNames::GovNumberWidth);
    for (int i = 0; i < TestResult::MeanCount; ++i) {
        const auto &rounding = FieldNames::MeanRounding[i % 7];
        // The stored value is the value of its fixed-point text.
        r.values[FieldNames::MeanColumns[i]]
            = fixedText(result.means[i], rounding.precision, rounding.decimals, QLatin1Char('.'))
                  .toDouble();
    }
    return r;
}

QByteArray canonical(const Row &row)
{
    QByteArray out;
    out.reserve(160);
    appendDate(out, row.date);
    out += FieldSeparator;
    appendTime(out, row.time);
    out += FieldSeparator;
    appendNumber(out, row.zmNum);
    out += FieldSeparator;
    appendNumber(out, row.model);
    out += FieldSeparator;
    if (!row.govNumber.isNull())
        out += row.govNumber.toString().toUtf8();
    for (const QVariant &v : row.values) {
        out += FieldSeparator;
        appendNumber(out, v);
    }
    return out;
}

QByteArray chainHash(const QByteArray &prevHash, const QByteArray &canonicalText)
{
    QCryptographicHash h(QCryptographicHash::Sha256);
    h.addData(QByteArray::fromHex(prevHash)); // the previous digest's own 32 bytes
    h.addData(QByteArrayView(&HashSeparator, 1));
    h.addData(canonicalText);
    return h.result().toHex();
}

QByteArray chainKey(const QVariant &zmNum)
{
    QByteArray key;
    appendNumber(key, zmNum);
    return key;
}

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
            + DatabaseEngine::quotedNames(FieldNames::ChainLinks);
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

bool needsUpgrade(const QSqlDatabase &db)
{
    return !DatabaseEngine::hasColumn(db, QStringLiteral("reports.db"), QStringLiteral("Hash"))
        || !DatabaseEngine::tableExists(db, QLatin1String(ChainsTable))
        || !DatabaseEngine::tableExists(db, QLatin1String(DeletionsTable));
}

int upgrade(const QSqlDatabase &db)
{
    const QString what = QStringLiteral("Не удалось обновить таблицу результатов: ");
    const QString reports = QStringLiteral("reports.db");
    bool chainRows = false;
    for (const char *column : FieldNames::ChainLinks) {
        if (!DatabaseEngine::hasColumn(db, reports, QLatin1String(column))) {
            DatabaseEngine::exec(db,
                QStringLiteral("ALTER TABLE \"reports.db\" ADD COLUMN \"%1\" VARCHAR(64)")
                    .arg(QLatin1String(column)),
                what);
            chainRows = true;
        }
    }
    if (!DatabaseEngine::tableExists(db, QLatin1String(ChainsTable))) {
        DatabaseEngine::exec(db,
            QStringLiteral("CREATE TABLE \"%1\" (\"Chain\" VARCHAR(40) PRIMARY KEY, \"LastIndex\" "
                           "INTEGER NOT NULL, \"LastHash\" VARCHAR(64) NOT NULL)")
                .arg(QLatin1String(ChainsTable)),
            what);
        chainRows = true;
    }
    if (!DatabaseEngine::tableExists(db, QLatin1String(DeletionsTable)))
        DatabaseEngine::exec(db,
            QStringLiteral("CREATE TABLE \"%1\" (\"Index\" INTEGER PRIMARY KEY, \"Chain\" "
                           "VARCHAR(40), \"PrevHash\" VARCHAR(64), \"Hash\" VARCHAR(64), "
                           "\"DeletedAt\" VARCHAR(19))")
                .arg(QLatin1String(DeletionsTable)),
            what);
    DatabaseEngine::exec(db,
        QStringLiteral("CREATE INDEX IF NOT EXISTS \"reports_Chain\" ON \"reports.db\" (\"ZMNum\", "
                       "\"Index\")"),
        what);
    return chainRows ? chainAllRows(db) : 0;
}

int chainAllRows(const QSqlDatabase &db)
{
    const QString what = QStringLiteral("Не удалось связать результаты в цепочки: ");
    struct Link
    {
        int index;
        QByteArray prevHash;
        QByteArray hash;
    };
    struct Head
    {
        QByteArray chain;
        int lastIndex;
        QByteArray lastHash;
    };
    std::vector<Link> links;
    std::vector<Head> heads;
    {
        // In storing order; each chain's last hash is carried along.
        QHash<QByteArray, qsizetype> headOf;
        QSqlQuery q(db);
        q.setForwardOnly(true);
        if (!q.exec(QStringLiteral("SELECT %1 FROM \"reports.db\" ORDER BY \"Index\"")
                        .arg(selectColumns())))
            throw ZelmorError(what + q.lastError().text().trimmed());
        while (q.next()) {
            const Row r = rowFrom(q);
            const QByteArray key = chainKey(r.zmNum);
            auto at = headOf.find(key);
            if (at == headOf.end()) {
                at = headOf.insert(key, qsizetype(heads.size()));
                heads.push_back({ key, 0, QByteArray() });
            }
            Head &head = heads[*at];
            QByteArray hash = chainHash(head.lastHash, canonical(r));
            links.push_back({ r.index, head.lastHash, hash });
            head.lastIndex = r.index;
            head.lastHash = std::move(hash);
        }
    }
    // Each row's PrevHash is the hash of the row before it in its chain.
    for (size_t start = 0; start < links.size(); start += UpdateBatch) {
        const size_t end = std::min(links.size(), start + UpdateBatch);
        QString values;
        values.reserve(int(end - start) * 150);
        for (size_t i = start; i < end; ++i) {
            // Hex texts and integers only: safe to write into the statement.
            const QByteArray &prevHash = links[i].prevHash;
            if (i > start)
                values += QLatin1Char(',');
            values += QStringLiteral("(%1,'%2','%3')")
                          .arg(links[i].index)
                          .arg(QLatin1String(prevHash), QLatin1String(links[i].hash));
        }
        DatabaseEngine::exec(db,
            QStringLiteral("UPDATE \"reports.db\" SET \"PrevHash\" = v.column2, \"Hash\" = "
                           "v.column3 FROM (VALUES %1) AS v WHERE \"reports.db\".\"Index\" = "
                           "v.column1")
                .arg(values),
            what);
    }
    DatabaseEngine::exec(
        db, QStringLiteral("DELETE FROM \"%1\"").arg(QLatin1String(ChainsTable)), what);
    QSqlQuery add = DatabaseEngine::prepare(db,
        QStringLiteral(
            "INSERT INTO \"%1\" (\"Chain\", \"LastIndex\", \"LastHash\") VALUES (?, ?, ?)")
            .arg(QLatin1String(ChainsTable)),
        what);
    for (const Head &h : heads) {
        add.addBindValue(QString::fromLatin1(h.chain));
        add.addBindValue(h.lastIndex);
        add.addBindValue(QString::fromLatin1(h.lastHash));
        DatabaseEngine::execPrepared(add, what);
    }
    return int(links.size());
}

QString Fault::text() const
{
    const QString instrument = QString::fromLatin1(chain);
    switch (kind) {
    case Changed:
        return QStringLiteral("Запись %1 (прибор %2) изменена в обход программы")
            .arg(index)
            .arg(instrument);
    case Inserted:
        return QStringLiteral("Запись %1 (прибор %2) добавлена в обход программы")
            .arg(index)
            .arg(instrument);
    case DeletedBefore:
        return QStringLiteral("Перед записью %1 (прибор %2) удалена запись в обход программы")
            .arg(index)
            .arg(instrument);
    case DeletedAtEnd:
        return QStringLiteral(
            "Последние записи прибора %2 (до записи %1) удалены в обход программы")
            .arg(index)
            .arg(instrument);
    }
    return {};
}

ChainChecker::ChainChecker(QByteArray chain, QHash<QByteArray, QByteArray> deletions)
    : m_chain(std::move(chain))
    , m_deletions(std::move(deletions))
{ }

bool ChainChecker::linksFrom(const QByteArray &from, const QByteArray &to) const
{
    // Rows deleted through the program are stepped over by their kept links.
    QByteArray at = from;
    for (qsizetype steps = 0; steps <= m_deletions.size(); ++steps) {
        if (at == to)
            return true;
        const auto next = m_deletions.constFind(at);
        if (next == m_deletions.constEnd())
            return false;
        at = *next;
    }
    return false;
}

void ChainChecker::add(const Row &row)
{
    add(row, chainHash(row.prevHash, canonical(row)) == row.hash);
}

void ChainChecker::add(const Row &row, bool selfConsistent)
{
    if (m_fault)
        return;
    if (m_firstIndex == 0)
        m_firstIndex = row.index;
    if (m_suspect) {
        resolveSuspect(&row);
        return;
    }
    if (selfConsistent && linksFrom(m_expected, row.prevHash)) {
        m_expected = row.hash;
        return;
    }
    // Which fault it is shows in the row after it.
    m_suspect = row;
    m_suspectSelfConsistent = selfConsistent;
}

void ChainChecker::resolveSuspect(const Row *next)
{
    const Row &s = *m_suspect;
    Fault f;
    f.index = s.index;
    f.chain = m_chain;
    if (s.hash.isEmpty())
        f.kind = Fault::Inserted; // the program writes a hash into every row
    else if (next && linksFrom(m_expected, next->prevHash))
        f.kind = Fault::Inserted; // the chain goes on as if the row were not there
    else if (!m_suspectSelfConsistent && linksFrom(m_expected, s.prevHash))
        f.kind = Fault::Changed;
    else if (m_suspectSelfConsistent)
        f.kind = Fault::DeletedBefore; // a whole row, but it follows a row that is gone
    else if (next && next->prevHash == s.hash)
        f.kind = Fault::Changed; // its link was edited; the next row still points at it
    else
        f.kind = Fault::Inserted;
    m_fault = f;
    m_suspect.reset();
}

std::optional<Fault> ChainChecker::finish(const std::optional<Head> &head)
{
    if (!head) {
        // No instrument of this number ever stored through the program.
        if (m_firstIndex > 0)
            return Fault { Fault::Inserted, m_firstIndex, m_chain };
        return std::nullopt;
    }
    if (m_suspect)
        resolveSuspect(nullptr);
    if (m_fault)
        return m_fault;
    if (!linksFrom(m_expected, head->lastHash))
        return Fault { Fault::DeletedAtEnd, head->lastIndex, m_chain };
    return std::nullopt;
}

VerifyResult verify(const QSqlDatabase &db)
{
    if (needsUpgrade(db))
        throw ZelmorError(QStringLiteral("В базе нет цепочки результатов: её ещё не открывала "
                                         "программа этой версии"));
    QHash<QByteArray, ChainChecker::Head> heads;
    QHash<QByteArray, QHash<QByteArray, QByteArray>> deletions;
    {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        if (!q.exec(QStringLiteral("SELECT \"Chain\", \"LastIndex\", \"LastHash\" FROM \"%1\"")
                        .arg(QLatin1String(ChainsTable))))
            throw ZelmorError(ChainError + q.lastError().text().trimmed());
        while (q.next())
            heads.insert(q.value(0).toString().toLatin1(),
                { q.value(1).toInt(), q.value(2).toString().toLatin1() });
        if (!q.exec(QStringLiteral("SELECT \"Chain\", \"PrevHash\", \"Hash\" FROM \"%1\"")
                        .arg(QLatin1String(DeletionsTable))))
            throw ZelmorError(ChainError + q.lastError().text().trimmed());
        while (q.next())
            deletions[q.value(0).toString().toLatin1()].insert(
                q.value(1).toString().toLatin1(), q.value(2).toString().toLatin1());
    }

    VerifyResult result;
    QSet<QByteArray> seen;
    auto finish = [&](ChainChecker &checker, const QByteArray &chain) {
        const auto head = heads.constFind(chain);
        const std::optional<Fault> fault = checker.finish(
            head == heads.constEnd() ? std::nullopt : std::optional<ChainChecker::Head>(*head));
        if (fault)
            result.faults << *fault;
        seen.insert(chain);
        ++result.chains;
    };

    // One pass in storing order: the table is read front to back, and each
    // row goes to the checker of its own chain.
    std::map<QByteArray, ChainChecker> checkers;
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT %1 FROM \"reports.db\" ORDER BY \"Index\"")
                    .arg(selectColumns())))
        throw ZelmorError(ChainError + q.lastError().text().trimmed());
    ChainChecker *checker = nullptr;
    QByteArray chain;
    auto consume = [&](const std::vector<Row> &rows, const std::vector<char> &intact) {
        for (size_t i = 0; i < rows.size(); ++i) {
            const Row &r = rows[i];
            QByteArray key = chainKey(r.zmNum);
            if (!checker || key != chain) {
                auto it = checkers.find(key);
                if (it == checkers.end())
                    it = checkers.try_emplace(key, key, deletions.value(key)).first;
                checker = &it->second;
                chain = std::move(key);
            }
            checker->add(r, intact[i] != 0);
        }
        result.rows += qint64(rows.size());
    };
    // Whether a row's hash fits its own fields does not depend on any other
    // row, so a second thread hashes one batch while the next one is read.
    auto hashAll = [](const std::vector<Row> *rows) {
        std::vector<char> intact(rows->size());
        for (size_t i = 0; i < rows->size(); ++i) {
            const Row &r = (*rows)[i];
            intact[i] = chainHash(r.prevHash, canonical(r)) == r.hash;
        }
        return intact;
    };
    std::vector<Row> reading;
    std::vector<Row> hashing;
    std::future<std::vector<char>> hashed;
    reading.reserve(VerifyBatch);
    while (q.next()) {
        reading.push_back(rowFrom(q));
        if (reading.size() < VerifyBatch)
            continue;
        if (hashed.valid())
            consume(hashing, hashed.get());
        hashing.swap(reading);
        reading.clear();
        hashed = std::async(std::launch::async, hashAll, &hashing);
    }
    if (hashed.valid())
        consume(hashing, hashed.get());
    consume(reading, hashAll(&reading));
    for (auto &[key, c] : checkers)
        finish(c, key);
    // Chains whose rows are all gone.
    for (auto it = heads.constBegin(); it != heads.constEnd(); ++it) {
        if (seen.contains(it.key()))
            continue;
        ChainChecker empty(it.key(), deletions.value(it.key()));
        finish(empty, it.key());
    }
    std::sort(result.faults.begin(), result.faults.end(),
        [](const Fault &a, const Fault &b) { return a.index < b.index; });
    return result;
}

} // namespace ReportChain
