#include "database/ReportChain.h"

#include "common/ZelmorError.h"

#include <QSet>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>
#include <future>
#include <map>
#include <vector>

// The check of every chain: which row was changed, inserted or deleted.

namespace ReportChain {

namespace {

// Rows hashed per batch while the next batch is read.
constexpr size_t VerifyBatch = 4096;

const QString ChainError = QStringLiteral("Ошибка цепочки результатов: ");

} // namespace

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
