#include "database/ChainReader.h"

#include "common/ZelmorError.h"
#include "database/ReportChainText.h"
#include "tables/FieldNames.h"

#include <QFile>

#include <libpq-fe.h>
#include <sqlite3.h>

#include <charconv>
#include <cstring>
#include <functional>
#include <optional>
#include <set>

namespace ReportChain::Reader {

namespace {

using Text::FieldValue;
using Cells = std::vector<std::optional<std::string>>;

constexpr int BusyTimeoutMs = 1000;

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

qint64 toInteger(const std::optional<std::string> &cell)
{
    qint64 n = 0;
    if (cell)
        std::from_chars(cell->data(), cell->data() + cell->size(), n);
    return n;
}

QByteArray bytes(const std::optional<std::string> &cell)
{
    return cell ? QByteArray(cell->data(), qsizetype(cell->size())) : QByteArray();
}

std::string_view textOf(const FieldValue &v, std::string &scratch)
{
    if (v.type == FieldValue::Text)
        return v.text;
    scratch.clear();
    if (v.type == FieldValue::Number) {
        char buffer[32];
        const auto r = std::to_chars(buffer, buffer + sizeof buffer, v.number);
        scratch.assign(buffer, r.ptr);
    }
    return scratch;
}

void fill(ReadRow &r, const FieldValue *v)
{
    std::string scratch;
    r.index = int(Text::integerOf(v[Text::IndexColumn]));
    r.chain.clear();
    Text::appendChainKey(r.chain, v[Text::ZMNumColumn]);
    r.seq = Text::integerOf(v[Text::SeqColumn]);
    r.scheme = Text::schemeOf(v[Text::SchemeColumn]);
    r.prev.set(textOf(v[Text::PrevHashColumn], scratch));
    r.hash.set(textOf(v[Text::HashColumn], scratch));
    r.formerCodes.assign(textOf(v[Text::FormerCodesColumn], scratch));
    r.canonical.clear();
    Text::appendRow(r.canonical, r.scheme, v);
}

// What both engines share: the small tables read the same way.
class ReaderBase : public Reader
{
public:
    std::vector<Parts::Head> heads() override
    {
        std::vector<Parts::Head> list;
        if (!hasTable(ChainsTable))
            return list;
        const bool current = hasColumn(ChainsTable, "LastSeq");
        const std::string sql = std::string("SELECT \"Chain\", \"LastIndex\", \"LastHash\", ")
            + (current ? "\"LastSeq\", \"Scheme\", \"KeyId\"" : "0, 1, ''") + " FROM \""
            + ChainsTable + "\"";
        for (const Cells &c : query(sql)) {
            Parts::Head h;
            h.exists = true;
            h.chain = bytes(c[0]);
            h.lastIndex = int(toInteger(c[1]));
            h.lastHash = bytes(c[2]);
            h.lastSeq = toInteger(c[3]);
            h.scheme = int(toInteger(c[4]));
            h.keyId = bytes(c[5]);
            list.push_back(h);
        }
        return list;
    }

    std::vector<Entry> entries() override
    {
        std::vector<Entry> list;
        if (hasTable(EntriesTable)) {
            const std::string sql = "SELECT " + Parts::entryColumns().toStdString() + " FROM \""
                + EntriesTable + "\" ORDER BY \"Chain\", \"Seq\"";
            for (const Cells &c : query(sql)) {
                Entry e;
                e.chain = bytes(c[0]);
                e.seq = toInteger(c[1]);
                e.kind = c[2] && !c[2]->empty() ? (*c[2])[0] : '?';
                e.scheme = int(toInteger(c[3]));
                e.at = QString::fromUtf8(bytes(c[4]));
                e.subjectIndex = int(toInteger(c[5]));
                e.subjectSeq = toInteger(c[6]);
                e.subjectPrev = bytes(c[7]);
                e.subjectHash = bytes(c[8]);
                e.note = QString::fromUtf8(bytes(c[9]));
                e.formerCodes = bytes(c[10]);
                e.prevHash = bytes(c[11]);
                e.hash = bytes(c[12]);
                list.push_back(e);
            }
        } else if (hasTable(LegacyDeletionsTable)) {
            // An earlier version's side table: bridges only, not entries.
            const std::string sql = std::string("SELECT \"Index\", \"Chain\", \"PrevHash\", "
                                                "\"Hash\", \"DeletedAt\" FROM \"")
                + LegacyDeletionsTable + "\"";
            for (const Cells &c : query(sql)) {
                Entry e;
                e.kind = Entry::Deletion;
                e.seq = 0;
                e.subjectIndex = int(toInteger(c[0]));
                e.chain = bytes(c[1]);
                e.subjectPrev = bytes(c[2]);
                e.subjectHash = bytes(c[3]);
                e.at = QString::fromUtf8(bytes(c[4]));
                list.push_back(e);
            }
        }
        return list;
    }

    std::pair<qint64, qint64> indexRange() override
    {
        const std::vector<Cells> r
            = query("SELECT min(\"Index\"), max(\"Index\") FROM \"reports.db\"");
        if (r.empty())
            return { 0, 0 };
        return { toInteger(r[0][0]), toInteger(r[0][1]) };
    }

protected:
    virtual std::vector<Cells> query(const std::string &sql) = 0;

    std::string rowStatement()
    {
        return "SELECT " + rowSelect([this](const char *c) { return hasColumn("reports.db", c); })
            + " FROM \"reports.db\" ORDER BY \"Index\"";
    }
};

// ---- SQLite ----------------------------------------------------------------

class SqliteReader : public ReaderBase
{
public:
    explicit SqliteReader(QString name)
        : m_name(std::move(name))
    { }
    ~SqliteReader() override { end(); }

    void begin() override
    {
        const QByteArray name = QFile::encodeName(m_name);
        if (sqlite3_open_v2(name.constData(), &m_db,
                SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX, nullptr)
            != SQLITE_OK)
            fail("не открывается");
        sqlite3_busy_timeout(m_db, BusyTimeoutMs);
        exec("BEGIN");
        m_inTransaction = true;
    }

    bool hasTable(const char *table) override
    {
        return !query(
            std::string("SELECT 1 FROM sqlite_master WHERE type = 'table' AND lower(name) "
                        "= lower('")
            + table + "')")
                    .empty();
    }

    bool hasColumn(const char *table, const char *column) override
    {
        return !query(std::string("SELECT 1 FROM pragma_table_info('") + table
            + "') WHERE lower(name) = lower('" + column + "')")
                    .empty();
    }

    void startRows() override
    {
        const std::string sql = rowStatement();
        if (sqlite3_prepare_v2(m_db, sql.c_str(), int(sql.size()), &m_rows, nullptr) != SQLITE_OK)
            fail("не читается");
    }

    bool next(Batch &batch, size_t capacity) override
    {
        batch.size = 0;
        FieldValue values[Text::ColumnCount];
        // Stepping a finished statement would start it again from the top.
        while (!m_rowsDone && batch.size < capacity) {
            const int rc = sqlite3_step(m_rows);
            if (rc == SQLITE_DONE) {
                m_rowsDone = true;
                break;
            }
            if (rc != SQLITE_ROW)
                fail("не читается");
            for (int c = 0; c < Text::ColumnCount; ++c) {
                FieldValue &v = values[c];
                switch (sqlite3_column_type(m_rows, c)) {
                case SQLITE_NULL:
                    v.type = FieldValue::Null;
                    break;
                case SQLITE_INTEGER:
                case SQLITE_FLOAT:
                    v.type = FieldValue::Number;
                    v.number = sqlite3_column_double(m_rows, c);
                    break;
                default: {
                    const auto *text
                        = reinterpret_cast<const char *>(sqlite3_column_text(m_rows, c));
                    v.type = FieldValue::Text;
                    v.text = std::string_view(
                        text ? text : "", size_t(sqlite3_column_bytes(m_rows, c)));
                    break;
                }
                }
            }
            if (batch.rows.size() <= batch.size)
                batch.rows.emplace_back();
            fill(batch.rows[batch.size++], values);
        }
        return batch.size > 0;
    }

    void end() noexcept override
    {
        if (m_rows)
            sqlite3_finalize(m_rows);
        m_rows = nullptr;
        if (m_db && m_inTransaction)
            sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr);
        m_inTransaction = false;
        if (m_db)
            sqlite3_close_v2(m_db);
        m_db = nullptr;
    }

protected:
    std::vector<Cells> query(const std::string &sql) override
    {
        sqlite3_stmt *st = nullptr;
        if (sqlite3_prepare_v2(m_db, sql.c_str(), int(sql.size()), &st, nullptr) != SQLITE_OK)
            fail("не читается");
        std::vector<Cells> rows;
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            Cells cells;
            for (int c = 0; c < sqlite3_column_count(st); ++c) {
                if (sqlite3_column_type(st, c) == SQLITE_NULL) {
                    cells.emplace_back();
                } else {
                    const auto *t = reinterpret_cast<const char *>(sqlite3_column_text(st, c));
                    cells.emplace_back(
                        std::string(t ? t : "", size_t(sqlite3_column_bytes(st, c))));
                }
            }
            rows.push_back(std::move(cells));
        }
        sqlite3_finalize(st);
        if (rc != SQLITE_DONE)
            fail("не читается");
        return rows;
    }

private:
    void exec(const char *sql)
    {
        if (sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
            fail("не читается");
    }

    [[noreturn]] void fail(const char *what)
    {
        const QString reason = m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QString();
        throw ZelmorError(
            QStringLiteral("база %1 %2: %3").arg(m_name, QString::fromUtf8(what), reason));
    }

    QString m_name;
    sqlite3 *m_db = nullptr;
    sqlite3_stmt *m_rows = nullptr;
    bool m_rowsDone = false;
    bool m_inTransaction = false;
};

// ---- Server ----------------------------------------------------------------

// A field of COPY's text format: "\N" is null, backslash escapes the rest.
std::optional<std::string_view> copyField(std::string_view raw, std::string &scratch)
{
    if (raw == "\\N")
        return std::nullopt;
    if (raw.find('\\') == std::string_view::npos)
        return raw;
    scratch.clear();
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '\\' || i + 1 == raw.size()) {
            scratch += raw[i];
            continue;
        }
        const char c = raw[++i];
        switch (c) {
        case 'b':
            scratch += '\b';
            break;
        case 'f':
            scratch += '\f';
            break;
        case 'n':
            scratch += '\n';
            break;
        case 'r':
            scratch += '\r';
            break;
        case 't':
            scratch += '\t';
            break;
        case 'v':
            scratch += '\v';
            break;
        case 'x': {
            int value = 0;
            int digits = 0;
            while (digits < 2 && i + 1 < raw.size() && hexDigit(raw[i + 1]) >= 0)
                value = value * 16 + hexDigit(raw[++i]), ++digits;
            scratch += char(value);
            break;
        }
        default:
            if (c >= '0' && c <= '7') {
                int value = c - '0';
                for (int d = 0;
                     d < 2 && i + 1 < raw.size() && raw[i + 1] >= '0' && raw[i + 1] <= '7'; ++d)
                    value = value * 8 + (raw[++i] - '0');
                scratch += char(value);
            } else {
                scratch += c;
            }
        }
    }
    return std::string_view(scratch);
}

class ServerReader : public ReaderBase
{
public:
    explicit ServerReader(QByteArray conninfo)
        : m_conninfo(std::move(conninfo))
    { }
    ~ServerReader() override { end(); }

    void begin() override
    {
        m_conn = PQconnectdb(m_conninfo.constData());
        if (PQstatus(m_conn) != CONNECTION_OK)
            fail();
        exec("SET client_encoding = 'UTF8'");
        exec("SET DateStyle = ISO");
        exec("SET extra_float_digits = 3"); // the shortest text that reads back exactly
        exec("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY");
        std::vector<Cells> columns = query(
            "SELECT table_name, column_name FROM information_schema.columns WHERE table_schema "
            "= current_schema()");
        for (const Cells &c : columns)
            if (c[0] && c[1])
                m_columns.insert(*c[0] + '\t' + *c[1]);
    }

    bool hasTable(const char *table) override
    {
        for (const std::string &c : m_columns)
            if (c.compare(0, std::strlen(table) + 1, std::string(table) + '\t') == 0)
                return true;
        return false;
    }

    bool hasColumn(const char *table, const char *column) override
    {
        return m_columns.count(std::string(table) + '\t' + column) > 0;
    }

    void startRows() override
    {
        const std::string sql = "COPY (" + rowStatement() + ") TO STDOUT";
        PGresult *r = PQexec(m_conn, sql.c_str());
        const bool ok = PQresultStatus(r) == PGRES_COPY_OUT;
        PQclear(r);
        if (!ok)
            fail();
        m_copying = true;
    }

    bool next(Batch &batch, size_t capacity) override
    {
        batch.size = 0;
        FieldValue values[Text::ColumnCount];
        std::string scratch[Text::ColumnCount];
        while (m_copying && batch.size < capacity) {
            char *line = nullptr;
            const int n = PQgetCopyData(m_conn, &line, 0);
            if (n == -1) {
                m_copying = false;
                PGresult *r = PQgetResult(m_conn);
                const bool ok = PQresultStatus(r) == PGRES_COMMAND_OK;
                PQclear(r);
                while ((r = PQgetResult(m_conn)))
                    PQclear(r);
                if (!ok)
                    fail();
                break;
            }
            if (n < 0)
                fail();
            std::string_view rest(line, size_t(n));
            if (!rest.empty() && rest.back() == '\n')
                rest.remove_suffix(1);
            for (int c = 0; c < Text::ColumnCount; ++c) {
                const size_t tab = rest.find('\t');
                const std::string_view raw = rest.substr(0, tab);
                rest = tab == std::string_view::npos ? std::string_view() : rest.substr(tab + 1);
                const std::optional<std::string_view> field = copyField(raw, scratch[c]);
                values[c].type = field ? FieldValue::Text : FieldValue::Null;
                values[c].text = field ? *field : std::string_view();
            }
            if (batch.rows.size() <= batch.size)
                batch.rows.emplace_back();
            fill(batch.rows[batch.size++], values);
            PQfreemem(line);
        }
        return batch.size > 0;
    }

    void end() noexcept override
    {
        if (!m_conn)
            return;
        // A check cut short leaves a COPY running: closing ends it.
        if (!m_copying) {
            PGresult *r = PQexec(m_conn, "COMMIT");
            PQclear(r);
        }
        PQfinish(m_conn);
        m_conn = nullptr;
        m_copying = false;
    }

protected:
    std::vector<Cells> query(const std::string &sql) override
    {
        PGresult *r = PQexec(m_conn, sql.c_str());
        if (PQresultStatus(r) != PGRES_TUPLES_OK) {
            PQclear(r);
            fail();
        }
        std::vector<Cells> rows;
        for (int i = 0; i < PQntuples(r); ++i) {
            Cells cells;
            for (int c = 0; c < PQnfields(r); ++c)
                if (PQgetisnull(r, i, c))
                    cells.emplace_back();
                else
                    cells.emplace_back(
                        std::string(PQgetvalue(r, i, c), size_t(PQgetlength(r, i, c))));
            rows.push_back(std::move(cells));
        }
        PQclear(r);
        return rows;
    }

private:
    void exec(const char *sql)
    {
        PGresult *r = PQexec(m_conn, sql);
        const bool ok = PQresultStatus(r) == PGRES_COMMAND_OK;
        PQclear(r);
        if (!ok)
            fail();
    }

    [[noreturn]] void fail()
    {
        const QString reason
            = m_conn ? QString::fromUtf8(PQerrorMessage(m_conn)).trimmed() : QString();
        throw ZelmorError(QStringLiteral("сервер базы данных: ") + reason);
    }

    QByteArray m_conninfo;
    PGconn *m_conn = nullptr;
    bool m_copying = false;
    std::set<std::string> m_columns; // "table\tcolumn"
};

} // namespace

void Link::set(std::string_view hex)
{
    text.clear();
    if (hex.empty()) {
        state = Empty;
        return;
    }
    state = Hash;
    if (hex.size() == 64) {
        for (size_t i = 0; i < 32; ++i) {
            const int hi = hexDigit(hex[2 * i]);
            const int lo = hexDigit(hex[2 * i + 1]);
            if (hi < 0 || lo < 0) {
                state = Garbage;
                break;
            }
            bytes[i] = static_cast<unsigned char>(hi * 16 + lo);
        }
    } else {
        state = Garbage;
    }
    if (state == Garbage)
        text.assign(hex);
}

std::string rowSelect(const std::function<bool(const char *)> &has)
{
    std::string list;
    auto add = [&](const auto &names) {
        for (const char *name : names) {
            if (!list.empty())
                list += ", ";
            if (has(name)) {
                list += '"';
                list += name;
                list += '"';
            } else {
                list += "NULL";
            }
        }
    };
    add(FieldNames::ReportKeys);
    add(FieldNames::Results);
    add(FieldNames::StoredWith);
    add(FieldNames::ChainColumns);
    add(FieldNames::ChainLinks);
    return list;
}

std::unique_ptr<Reader> open(const Source &source)
{
    if (source.server)
        return std::make_unique<ServerReader>(source.conninfo);
    return std::make_unique<SqliteReader>(source.sqliteName);
}

} // namespace ReportChain::Reader
