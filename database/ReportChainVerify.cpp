#include "database/ReportChain.h"

#include "common/ZelmorError.h"
#include "database/ChainHeadFile.h"
#include "database/ChainReader.h"
#include "database/DatabaseEngine.h"
#include "database/ReportChainParts.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <unordered_set>

// The check of every chain: which entry was changed, inserted or deleted,
// and whether the chains still reach what the head file says was written.

namespace ReportChain {

using Reader::Link;
using Reader::ReadRow;

namespace {

// Rows read per batch; one batch is hashed while the next is read.
constexpr size_t BatchRows = 8192;
constexpr size_t BatchesInFlight = 4;

struct LinkHash
{
    size_t operator()(const Link &l) const
    {
        size_t h = 0;
        std::memcpy(&h, l.bytes.data(), sizeof h);
        return h ^ l.state;
    }
};

Link linkOf(const QByteArray &hex)
{
    Link l;
    l.set(std::string_view(hex.constData(), size_t(hex.size())));
    return l;
}

// An entry of "report_chain_entries" with its own hash checked once.
struct EntryItem
{
    const Entry *entry = nullptr;
    Link prev;
    Link hash;
    Link subjectPrev;
    Link subjectHash;
    bool consistent = true;
};

// One chain walked in its order: the rows of the first scheme by Index,
// then every entry by its place, rows from the stream and the other
// entries from the table filling the places between them.
class ChainWalk
{
public:
    ChainWalk(QByteArray chain, const Parts::Head *head, bool keyed)
        : m_chain(std::move(chain))
        , m_head(head)
        , m_keyed(keyed)
    { }

    void addEntry(EntryItem *item)
    {
        const Entry &e = *item->entry;
        if (e.kind == Entry::Deletion && e.subjectSeq == 0)
            m_bridges.emplace(item->subjectPrev, item->subjectHash); // a row of the first scheme
        else if (e.kind == Entry::Deletion)
            m_gaps.emplace(e.subjectSeq, item);
        if (e.seq > 0)
            m_entries.emplace(e.seq, item);
    }

    void row(const ReadRow &r, bool consistent)
    {
        ++m_rows;
        if (m_firstIndex == 0)
            m_firstIndex = r.index;
        if (m_fault)
            return;
        if (r.seq <= 0) {
            if (m_inSeq || r.scheme != Legacy) {
                fault(Fault::Inserted, r.index, 0);
                return;
            }
            legacyRow(r, consistent);
            return;
        }
        enterSeq(&r.prev);
        if (m_fault)
            return;
        if (r.seq < m_nextSeq || (m_head && r.seq > m_head->lastSeq)) {
            fault(Fault::Inserted, r.index, r.seq);
            return;
        }
        fillTo(r.seq, r.index, false);
        if (!m_fault)
            take(r.index, r.seq, r.scheme, r.prev, r.hash, consistent);
    }

    std::optional<Fault> finish()
    {
        if (!m_head) {
            // No instrument of this number ever stored through the program.
            if (!m_fault) {
                if (m_firstIndex > 0)
                    fault(Fault::Inserted, m_firstIndex, 0);
                else if (!m_entries.empty())
                    fault(Fault::Inserted, 0, m_entries.begin()->first);
            }
            return m_fault;
        }
        if (!m_inSeq && m_head->lastSeq == 0 && !m_fault) {
            if (m_suspect)
                resolveSuspect(nullptr);
            if (!m_fault && !linksFrom(m_expected, linkOf(m_head->lastHash)))
                fault(Fault::DeletedAtEnd, m_head->lastIndex, 0);
            return m_fault;
        }
        if (!m_fault && m_head->lastSeq >= m_nextSeq) {
            const auto first = m_entries.find(m_nextSeq);
            enterSeq(first != m_entries.end() ? &first->second->prev : nullptr);
        }
        if (!m_fault)
            fillTo(m_head->lastSeq + 1, m_head->lastIndex, true);
        if (!m_fault) {
            const auto beyond = m_entries.upper_bound(m_head->lastSeq);
            if (beyond != m_entries.end())
                fault(Fault::Inserted, 0, beyond->first);
        }
        if (!m_fault && !(m_expected == linkOf(m_head->lastHash)))
            fault(Fault::DeletedAtEnd, m_head->lastIndex, m_head->lastSeq);
        if (!m_fault && m_keyed && m_lastScheme != Keyed)
            fault(Fault::NotKeyed, 0, 0);
        return m_fault;
    }

    qint64 rows() const { return m_rows; }

private:
    struct Suspect
    {
        int index;
        Link prev;
        Link hash;
        bool consistent;
    };

    void fault(Fault::Kind kind, int index, qint64 seq, const QString &detail = QString())
    {
        if (m_fault)
            return;
        Fault f;
        f.kind = kind;
        f.index = index;
        f.seq = seq;
        f.chain = m_chain;
        f.detail = detail;
        m_fault = f;
    }

    // Rows deleted through the program before deletions were entries are
    // stepped over by the links they left.
    bool linksFrom(const Link &from, const Link &to) const
    {
        Link at = from;
        for (size_t steps = 0; steps <= m_bridges.size(); ++steps) {
            if (at == to)
                return true;
            const auto next = m_bridges.find(at);
            if (next == m_bridges.end())
                return false;
            at = next->second;
        }
        return false;
    }

    void legacyRow(const ReadRow &r, bool consistent)
    {
        if (m_suspect) {
            resolveSuspect(&r.prev, r.index);
            return;
        }
        if (consistent && linksFrom(m_expected, r.prev)) {
            m_expected = r.hash;
            m_previous = { r.index, 0 };
            return;
        }
        // Which fault it is shows in the row after it.
        m_suspect = Suspect { r.index, r.prev, r.hash, consistent };
    }

    void resolveSuspect(const Link *nextPrev, int = 0)
    {
        const Suspect s = *m_suspect;
        m_suspect.reset();
        Fault::Kind kind;
        if (s.hash.state == Link::Empty)
            kind = Fault::Inserted; // the program writes a hash into every row
        else if (nextPrev && linksFrom(m_expected, *nextPrev))
            kind = Fault::Inserted; // the chain goes on as if the row were not there
        else if (!s.consistent && linksFrom(m_expected, s.prev))
            kind = Fault::Changed;
        else if (s.consistent)
            kind = Fault::DeletedBefore; // a whole row, but it follows a row that is gone
        else if (nextPrev && *nextPrev == s.hash)
            kind = Fault::Changed; // its link was edited; the next row still points at it
        else
            kind = Fault::Inserted;
        fault(kind, s.index, 0);
    }

    // The first entry with a place: the rows of the first scheme end here.
    void enterSeq(const Link *nextPrev)
    {
        if (m_inSeq)
            return;
        m_inSeq = true;
        if (m_suspect)
            resolveSuspect(nextPrev);
        if (m_fault)
            return;
        // What the first entry with a place links to: the last row of the
        // first scheme, or a row after it that the program deleted.
        if (nextPrev && !(m_expected == *nextPrev) && linksFrom(m_expected, *nextPrev))
            m_expected = *nextPrev;
    }

    void take(
        int index, qint64 seq, int scheme, const Link &prev, const Link &hash, bool consistent)
    {
        if (!consistent) {
            fault(Fault::Changed, index, seq);
            return;
        }
        if (scheme < m_lastScheme || (m_lastScheme == Keyed && scheme != Keyed)) {
            fault(Fault::Changed, index, seq,
                QStringLiteral("записана по прежней схеме после записей с ключом"));
            return;
        }
        if (!(prev == m_expected)) {
            if (m_previous.seq > 0 || m_previous.index > 0)
                fault(Fault::Rehashed, m_previous.index, m_previous.seq);
            else
                fault(Fault::Changed, index, seq);
            return;
        }
        m_expected = hash;
        m_previous = { index, seq };
        m_nextSeq = seq + 1;
        m_lastScheme = scheme;
    }

    // The places before upTo that no row took: an entry of the table, or a
    // row deleted through the program, whose deletion says what it linked.
    void fillTo(qint64 upTo, int nextIndex, bool atEnd)
    {
        while (m_nextSeq < upTo && !m_fault) {
            const auto entry = m_entries.find(m_nextSeq);
            if (entry != m_entries.end()) {
                const EntryItem &e = *entry->second;
                take(0, m_nextSeq, e.entry->scheme, e.prev, e.hash, e.consistent);
                continue;
            }
            const auto gap = m_gaps.find(m_nextSeq);
            if (gap == m_gaps.end()) {
                if (atEnd)
                    fault(Fault::DeletedAtEnd, nextIndex, upTo - 1);
                else
                    fault(Fault::DeletedBefore, nextIndex, upTo);
                return;
            }
            const EntryItem &d = *gap->second;
            if (!(d.subjectPrev == m_expected)) {
                fault(Fault::Rehashed, m_previous.index, m_previous.seq);
                return;
            }
            m_expected = d.subjectHash;
            m_previous = { d.entry->subjectIndex, m_nextSeq };
            ++m_nextSeq;
        }
    }

    struct Step
    {
        int index = 0;
        qint64 seq = 0;
    };

    QByteArray m_chain;
    const Parts::Head *m_head;
    bool m_keyed;
    std::unordered_map<Link, Link, LinkHash> m_bridges;
    std::map<qint64, EntryItem *> m_entries;
    std::map<qint64, EntryItem *> m_gaps;
    Link m_expected;
    Step m_previous;
    bool m_inSeq = false;
    qint64 m_nextSeq = 1;
    int m_lastScheme = Legacy;
    int m_firstIndex = 0;
    qint64 m_rows = 0;
    std::optional<Suspect> m_suspect;
    std::optional<Fault> m_fault;
};

// What the walk saw of a row a head file line names.
struct Seen
{
    QByteArray chain;
    qint64 seq = 0;
    QByteArray hash;
    QByteArray formerCodes;
    bool keyed = false;
};

// Batches handed from the reading thread to the hashing one.
class BatchQueue
{
public:
    BatchQueue()
    {
        for (size_t i = 0; i < BatchesInFlight; ++i)
            m_free.push_back(&m_batches[i]);
    }

    Reader::Batch *takeFree(const std::atomic<bool> &stop)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return !m_free.empty() || stop || m_closed; });
        if (m_free.empty() || stop || m_closed)
            return nullptr;
        Reader::Batch *b = m_free.back();
        m_free.pop_back();
        return b;
    }
    void giveFull(Reader::Batch *b)
    {
        std::lock_guard lock(m_mutex);
        m_full.push_back(b);
        m_changed.notify_all();
    }
    // Null when the reader is done and nothing is left.
    Reader::Batch *takeFull()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return !m_full.empty() || m_done; });
        if (m_full.empty())
            return nullptr;
        Reader::Batch *b = m_full.front();
        m_full.pop_front();
        return b;
    }
    void giveFree(Reader::Batch *b)
    {
        std::lock_guard lock(m_mutex);
        m_free.push_back(b);
        m_changed.notify_all();
    }
    void finish(const QString &error)
    {
        std::lock_guard lock(m_mutex);
        m_done = true;
        m_error = error;
        m_changed.notify_all();
    }
    // The consumer gives up: the reader stops at its next batch.
    void close()
    {
        std::lock_guard lock(m_mutex);
        m_closed = true;
        m_changed.notify_all();
    }
    QString error()
    {
        std::lock_guard lock(m_mutex);
        return m_error;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::array<Reader::Batch, BatchesInFlight> m_batches;
    std::vector<Reader::Batch *> m_free;
    std::deque<Reader::Batch *> m_full;
    bool m_done = false;
    bool m_closed = false;
    QString m_error;
};

QString quotedOption(const QString &value)
{
    QString v = value;
    v.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    v.replace(QLatin1Char('\''), QStringLiteral("\\'"));
    return QLatin1Char('\'') + v + QLatin1Char('\'');
}

// The state of the database as the reader sees it.
State stateOf(Reader::Reader &reader, const Context &ctx)
{
    Parts::SchemaFacts f;
    for (const char *c : FieldNames::ChainLinks)
        if (reader.hasColumn("reports.db", c))
            f.columns.insert(QLatin1String(c));
    for (const char *c : FieldNames::ChainColumns)
        if (reader.hasColumn("reports.db", c))
            f.columns.insert(QLatin1String(c));
    f.chains = reader.hasTable(ChainsTable);
    f.chainsCurrent = f.chains && reader.hasColumn(ChainsTable, "LastSeq");
    f.entries = reader.hasTable(EntriesTable);
    f.legacyDeletions = reader.hasTable(LegacyDeletionsTable);
    return Parts::decideState(f, ctx);
}

} // namespace

QString Fault::text() const
{
    const QString instrument = QString::fromLatin1(chain);
    const QString what = index > 0 ? QStringLiteral("Запись %1").arg(index)
                                   : QStringLiteral("Запись цепочки № %1").arg(seq);
    QString t;
    switch (kind) {
    case Changed:
        t = QStringLiteral("%1 (прибор %2) изменена в обход программы").arg(what, instrument);
        break;
    case Inserted:
        t = QStringLiteral("%1 (прибор %2) добавлена в обход программы").arg(what, instrument);
        break;
    case DeletedBefore:
        t = QStringLiteral("Перед записью %1 (прибор %2) удалена запись в обход программы")
                .arg(index)
                .arg(instrument);
        break;
    case DeletedAtEnd:
        t = QStringLiteral("Последние записи прибора %2 (до записи %1) удалены в обход программы")
                .arg(index)
                .arg(instrument);
        break;
    case Rehashed:
        t = QStringLiteral("%1 (прибор %2) изменена в обход программы и пересчитана: следующая "
                           "запись цепочки её не продолжает")
                .arg(what, instrument);
        break;
    case NotKeyed:
        t = QStringLiteral("Цепочка прибора %1 не подписана ключом станции: администратору нужно "
                           "перевыпустить её (zelmor --rekey-reports)")
                .arg(instrument);
        break;
    case HeadCut:
        t = QStringLiteral("Последние записи прибора %1 удалены: это рабочее место записало в "
                           "цепочку %2 записей (последняя — %3), в базе их меньше")
                .arg(instrument)
                .arg(seq)
                .arg(what.toLower());
        break;
    case HeadVanished:
        t = QStringLiteral("Прибор %1 исчез из базы: это рабочее место записывало его результаты "
                           "(последняя — %2)")
                .arg(instrument, what.toLower());
        break;
    case HeadRewritten:
        t = QStringLiteral("Цепочка прибора %1 переписана: %2, которую это рабочее место "
                           "записало последней, в базе не та")
                .arg(instrument, what.toLower());
        break;
    }
    if (!detail.isEmpty())
        t += QStringLiteral(" (%1)").arg(detail);
    return t;
}

Source Source::of(const QSqlDatabase &db)
{
    Source s;
    s.server = DatabaseEngine::isServer(db);
    if (!s.server) {
        s.sqliteName = db.databaseName();
        return s;
    }
    // The parameters the server's driver connects with, in the client
    // library's words; options the settings add (TLS, a service) come along.
    QStringList parts;
    if (!db.hostName().isEmpty())
        parts << QStringLiteral("host=") + quotedOption(db.hostName());
    if (!db.databaseName().isEmpty())
        parts << QStringLiteral("dbname=") + quotedOption(db.databaseName());
    if (!db.userName().isEmpty())
        parts << QStringLiteral("user=") + quotedOption(db.userName());
    if (!db.password().isEmpty())
        parts << QStringLiteral("password=") + quotedOption(db.password());
    if (db.port() > 0)
        parts << QStringLiteral("port=%1").arg(db.port());
    for (const QString &option : db.connectOptions().split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        if (option.trimmed().startsWith(QLatin1String("application_name")))
            continue;
        parts << option.trimmed();
    }
    parts << QStringLiteral("application_name=zelmor-check");
    s.conninfo = parts.join(QLatin1Char(' ')).toUtf8();
    return s;
}

VerifyResult verify(const Source &source, const Context &ctx, Progress *progress)
{
    VerifyResult result;
    std::unique_ptr<Reader::Reader> reader;
    std::atomic<bool> stop { false };
    std::thread reading;
    BatchQueue queue;
    try {
        reader = Reader::open(source);
        reader->begin();
        if (!reader->hasTable("reports.db"))
            throw ZelmorError(QStringLiteral("в базе нет таблицы результатов"));
        const State st = stateOf(*reader, ctx);
        if (st.kind == State::Unchained)
            throw ZelmorError(QStringLiteral("В базе нет цепочки результатов: её ещё не "
                                             "открывала программа этой версии"));
        if (st.kind == State::Damaged)
            throw ZelmorError(QStringLiteral("цепочка результатов повреждена: ") + st.reason);

        const std::vector<Parts::Head> heads = reader->heads();
        const std::vector<Entry> entries = reader->entries();
        std::unordered_map<std::string, const Parts::Head *> headOf;
        for (const Parts::Head &h : heads)
            headOf.emplace(h.chain.toStdString(), &h);

        // The station key: chains signed with another one cannot be checked here.
        const QByteArray keyId = ctx.key.isNull() ? QByteArray() : ctx.key.id();
        QStringList uncheckable;
        for (const Parts::Head &h : heads) {
            if (h.scheme != Keyed)
                continue;
            if (ctx.key.isNull())
                uncheckable << QStringLiteral("цепочка прибора %1 подписана ключом станции, а "
                                              "файл ключа не задан%2")
                                   .arg(QString::fromLatin1(h.chain),
                                       ctx.keyError.isEmpty()
                                           ? QString()
                                           : QStringLiteral(" (%1)").arg(ctx.keyError));
            else if (!h.keyId.isEmpty() && h.keyId != keyId)
                uncheckable << QStringLiteral("цепочка прибора %1 подписана другим ключом станции")
                                   .arg(QString::fromLatin1(h.chain));
        }

        ChainHasher hasher(ctx.key);
        std::vector<EntryItem> items(entries.size());
        for (size_t i = 0; i < entries.size(); ++i) {
            const Entry &e = entries[i];
            EntryItem &item = items[i];
            item.entry = &e;
            item.prev = linkOf(e.prevHash);
            item.hash = linkOf(e.hash);
            item.subjectPrev = linkOf(e.subjectPrev);
            item.subjectHash = linkOf(e.subjectHash);
            if (e.seq > 0 && !(e.scheme == Keyed && !hasher.hasKey()))
                item.consistent = !e.hash.isEmpty() && hashOf(hasher, e) == e.hash;
        }

        std::map<std::string, ChainWalk> walks;
        const bool keyed = !ctx.key.isNull();
        auto walkOf = [&](const std::string &chain) -> ChainWalk & {
            auto it = walks.find(chain);
            if (it == walks.end()) {
                const auto head = headOf.find(chain);
                it = walks
                         .try_emplace(chain, QByteArray::fromStdString(chain),
                             head == headOf.end() ? nullptr : head->second, keyed)
                         .first;
            }
            return it->second;
        };
        for (EntryItem &item : items)
            walkOf(item.entry->chain.toStdString()).addEntry(&item);
        for (const Parts::Head &h : heads)
            walkOf(h.chain.toStdString());

        // The rows the head file names, seen on the way.
        QString headError;
        const QList<ChainHeadFile::Line> lines = ctx.headFile.isEmpty()
            ? QList<ChainHeadFile::Line>()
            : ChainHeadFile::read(ctx.headFile, &headError);
        std::unordered_set<int> wanted;
        for (const ChainHeadFile::Line &l : lines)
            if (!l.kept && l.index > 0)
                wanted.insert(l.index);
        std::unordered_map<int, Seen> seen;

        const auto [first, last] = reader->indexRange();
        if (progress)
            progress->total = last >= first ? last - first + 1 : 0;
        reader->startRows();
        reading = std::thread([&] {
            QString error;
            try {
                while (Reader::Batch *b = queue.takeFree(stop)) {
                    if (!reader->next(*b, BatchRows)) {
                        queue.giveFree(b);
                        break;
                    }
                    queue.giveFull(b);
                }
            } catch (const ZelmorError &e) {
                error = e.message();
            }
            queue.finish(error);
        });

        unsigned char digest[ChainHasher::DigestBytes];
        std::string lastChain;
        ChainWalk *walk = nullptr;
        while (Reader::Batch *b = queue.takeFull()) {
            for (size_t i = 0; i < b->size; ++i) {
                const ReadRow &r = b->rows[i];
                bool consistent = true;
                if (r.hash.state != Link::Hash) {
                    consistent = false;
                } else if (!(r.scheme == Keyed && !hasher.hasKey())) {
                    const QByteArray garbage = r.prev.state == Link::Garbage
                        ? QByteArray::fromHex(QByteArray::fromStdString(r.prev.text))
                        : QByteArray();
                    const QByteArrayView prev = r.prev.state == Link::Hash
                        ? QByteArrayView(reinterpret_cast<const char *>(r.prev.bytes.data()), 32)
                        : QByteArrayView(garbage);
                    hasher.digest(r.scheme == Keyed, prev,
                        QByteArrayView(r.canonical.data(), qsizetype(r.canonical.size())), digest);
                    consistent = std::memcmp(digest, r.hash.bytes.data(), sizeof digest) == 0;
                }
                if (!walk || r.chain != lastChain) {
                    walk = &walkOf(r.chain);
                    lastChain = r.chain;
                }
                walk->row(r, consistent);
                if (!wanted.empty() && wanted.count(r.index)) {
                    Seen &s = seen[r.index];
                    s.chain = QByteArray::fromStdString(r.chain);
                    s.seq = r.seq;
                    s.hash = r.hash.state == Link::Hash
                        ? QByteArray(reinterpret_cast<const char *>(r.hash.bytes.data()), 32)
                              .toHex()
                        : QByteArray();
                    s.formerCodes = QByteArray::fromStdString(r.formerCodes);
                    s.keyed = r.scheme == Keyed;
                }
            }
            result.rows += qint64(b->size);
            if (progress && b->size > 0)
                progress->done = b->rows[b->size - 1].index - first + 1;
            queue.giveFree(b);
            if (progress && progress->cancel) {
                result.cancelled = true;
                break;
            }
        }
        stop = true;
        queue.close();
        reading.join();
        if (result.cancelled) {
            reader->end();
            return result;
        }
        if (const QString error = queue.error(); !error.isEmpty())
            throw ZelmorError(error);
        reader->end();

        for (auto &[chain, w] : walks) {
            if (const std::optional<Fault> f = w.finish())
                result.faults << *f;
            ++result.chains;
        }
        std::sort(result.faults.begin(), result.faults.end(),
            [](const Fault &a, const Fault &b) { return a.index < b.index; });
        if (!uncheckable.isEmpty())
            result.cannotCheck = uncheckable.join(QStringLiteral("; "));

        // The head file against what the walk saw.
        if (!headError.isEmpty()) {
            Fault f;
            f.kind = Fault::HeadRewritten;
            f.detail = headError;
            result.faults << f;
        }
        for (const ChainHeadFile::Line &l : lines) {
            if (l.kept) {
                result.faults << Parts::keptFault(l);
                continue;
            }
            Parts::HeadProbe p;
            const auto head = headOf.find(l.chain.toStdString());
            p.chainKnown = head != headOf.end() || walks.count(l.chain.toStdString());
            p.lastSeq = head != headOf.end() ? head->second->lastSeq : 0;
            const QByteArray code = l.hash.left(16);
            for (const Entry &e : entries) {
                if (e.chain != l.chain)
                    continue;
                p.rekeyed = p.rekeyed || e.kind == Entry::Rekey;
                if (l.index > 0 && e.kind == Entry::Deletion && e.subjectIndex == l.index
                    && (e.subjectHash == l.hash || e.formerCodes.split(' ').contains(code)))
                    p.deletedThroughProgram = true;
                if (l.index == 0 && !p.found
                    && (e.seq == l.seq
                        || (e.scheme == Keyed && e.formerCodes.split(' ').contains(code)))) {
                    p.found = true;
                    p.foundSeq = e.seq;
                    p.foundHash = e.hash;
                    p.foundFormerCodes = e.formerCodes;
                    p.foundKeyed = e.scheme == Keyed;
                }
            }
            if (l.index > 0) {
                const auto s = seen.find(l.index);
                if (s != seen.end() && s->second.chain == l.chain) {
                    p.found = true;
                    p.foundSeq = s->second.seq;
                    p.foundHash = s->second.hash;
                    p.foundFormerCodes = s->second.formerCodes;
                    p.foundKeyed = s->second.keyed;
                }
            }
            if (const std::optional<Fault> f = Parts::judgeHead(l, p))
                result.faults << *f;
            else if (p.found && p.foundSeq == l.seq && p.lastSeq > l.seq)
                result.notes << QStringLiteral("Цепочка прибора %1 продолжена после последней "
                                               "записи этого рабочего места: ещё %2 записей")
                                    .arg(QString::fromLatin1(l.chain))
                                    .arg(p.lastSeq - l.seq);
        }
    } catch (const ZelmorError &e) {
        stop = true;
        queue.close();
        if (reading.joinable())
            reading.join();
        result.cannotCheck = e.message();
        result.faults.clear();
    }
    if (reader)
        reader->end();
    return result;
}

} // namespace ReportChain
