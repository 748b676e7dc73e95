#include "database/ReportChainParts.h"

#include "common/ZelmorError.h"
#include "database/DatabaseEngine.h"
#include "tables/FieldNames.h"

#include <QDate>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlError>
#include <QSqlQuery>
#include <QTime>

#include <charconv>

// On a server a lane appends and deletes only through these functions: each
// takes the chain's head row FOR UPDATE, checks that the entry it is given
// continues the chain, and writes it. The workstation computes the hash, so
// the station key never reaches the server. They run with the rights of the
// tables' owner, who creates them, so that a lane may store without any
// right on the tables but to read them; their search_path is fixed and their
// input checked. Nobody but the owner may call them until the station's
// rights (conf/station.sql) grant it.

namespace ReportChain::Parts::Server {

namespace {

// Raised with every change of the text below, so that each database gets
// the functions of the newest program that opened it.
constexpr int FunctionsVersion = 2;
// How long a store or deletion waits for an instrument's chain that another
// session holds (the program holds it for milliseconds): then it gives up,
// and the operator's window is not held by someone else's open transaction.
constexpr int LockTimeoutS = 3;

// "@SCHEMA@" stands for the schema that holds the tables.
const char *const Functions = R"SQL(
CREATE OR REPLACE FUNCTION zelmor_chain_version() RETURNS integer
LANGUAGE sql IMMUTABLE AS $$ SELECT @VERSION@ $$;

-- Locks one instrument's chain for the rest of the transaction, starting it
-- the first time, and hands out the Index the next result takes.
CREATE OR REPLACE FUNCTION zelmor_chain_begin(p_chain varchar, p_scheme integer,
    p_key_id varchar)
RETURNS TABLE (last_index integer, last_seq bigint, last_hash varchar, chain_scheme integer,
    key_id varchar, next_index integer)
LANGUAGE plpgsql SECURITY DEFINER
SET search_path = @SCHEMA@, pg_temp
SET lock_timeout = '@LOCK_TIMEOUT@'
AS $$
DECLARE
    v_next integer;
    v_max integer;
BEGIN
    IF p_scheme NOT IN (2, 3) THEN
        RAISE EXCEPTION 'zelmor: unknown chain scheme %', p_scheme;
    END IF;
    INSERT INTO report_chains ("Chain", "LastIndex", "LastSeq", "LastHash", "Scheme", "KeyId")
    VALUES (p_chain, 0, 0, '', p_scheme, COALESCE(p_key_id, ''))
    ON CONFLICT ("Chain") DO NOTHING;
    PERFORM 1 FROM report_chains c WHERE c."Chain" = p_chain FOR UPDATE;
    -- Rows copied in with their own Index leave the counter behind.
    v_next := nextval(pg_get_serial_sequence('"reports.db"', 'Index'));
    SELECT max(r."Index") INTO v_max FROM "reports.db" r;
    IF v_max IS NOT NULL AND v_next <= v_max THEN
        PERFORM setval(pg_get_serial_sequence('"reports.db"', 'Index'), v_max);
        v_next := nextval(pg_get_serial_sequence('"reports.db"', 'Index'));
    END IF;
    RETURN QUERY
    SELECT c."LastIndex", c."LastSeq"::bigint, c."LastHash"::varchar, c."Scheme",
           c."KeyId"::varchar,
           v_next
    FROM report_chains c WHERE c."Chain" = p_chain;
END
$$;

-- The checks both writers make: the entry continues the chain as it stands.
CREATE OR REPLACE FUNCTION zelmor_chain_check(h report_chains, p_seq bigint, p_scheme integer,
    p_prev varchar, p_hash varchar)
RETURNS void
LANGUAGE plpgsql SECURITY DEFINER
SET search_path = @SCHEMA@, pg_temp
SET lock_timeout = '@LOCK_TIMEOUT@'
AS $$
BEGIN
    IF h."Chain" IS NULL THEN
        RAISE EXCEPTION 'zelmor: the chain is not begun';
    END IF;
    IF p_seq IS DISTINCT FROM h."LastSeq" + 1 OR p_prev IS DISTINCT FROM h."LastHash" THEN
        RAISE EXCEPTION 'zelmor: the chain of instrument % has moved on', h."Chain"
            USING ERRCODE = 'serialization_failure';
    END IF;
    IF p_scheme NOT IN (2, 3) OR p_scheme < h."Scheme" THEN
        RAISE EXCEPTION 'zelmor: scheme % cannot follow scheme %', p_scheme, h."Scheme";
    END IF;
    IF p_hash IS NULL OR p_hash !~ '^[0-9a-f]{64}$' THEN
        RAISE EXCEPTION 'zelmor: not a hash';
    END IF;
END
$$;

-- Stores one result: p_row holds its columns by name; the chain's own
-- columns are the function's to write.
CREATE OR REPLACE FUNCTION zelmor_append_report(p_chain varchar, p_seq bigint,
    p_scheme integer, p_prev varchar, p_hash varchar, p_row jsonb)
RETURNS integer
LANGUAGE plpgsql SECURITY DEFINER
SET search_path = @SCHEMA@, pg_temp
SET lock_timeout = '@LOCK_TIMEOUT@'
AS $$
DECLARE
    h report_chains;
    r "reports.db";
    v_last_instrument double precision;
BEGIN
    SELECT * INTO h FROM report_chains WHERE "Chain" = p_chain FOR UPDATE;
    PERFORM zelmor_chain_check(h, p_seq, p_scheme, p_prev, p_hash);
    r := jsonb_populate_record(NULL::"reports.db", p_row);
    IF r."Index" IS NULL OR r."Index" <= h."LastIndex" THEN
        RAISE EXCEPTION 'zelmor: Index % does not follow %', r."Index", h."LastIndex";
    END IF;
    -- Only the Index zelmor_chain_begin handed out in this session: a row
    -- given the largest Index would leave no number for anybody's next one.
    IF r."Index" IS DISTINCT FROM currval(pg_get_serial_sequence('"reports.db"', 'Index')) THEN
        RAISE EXCEPTION 'zelmor: Index % was not handed out', r."Index";
    END IF;
    -- A chain holds one instrument's results: another's row would break
    -- the chain it was put into.
    SELECT l."ZMNum" INTO v_last_instrument FROM "reports.db" l WHERE l."Index" = h."LastIndex";
    IF FOUND AND v_last_instrument IS DISTINCT FROM r."ZMNum" THEN
        RAISE EXCEPTION 'zelmor: a result of instrument % does not belong to chain %',
            r."ZMNum", p_chain;
    END IF;
    r."ChainSeq" := p_seq;
    r."ChainScheme" := p_scheme;
    r."PrevHash" := p_prev;
    r."Hash" := p_hash;
    r."FormerCodes" := NULL;
    INSERT INTO "reports.db" SELECT r.*;
    UPDATE report_chains SET "LastIndex" = r."Index", "LastSeq" = p_seq, "LastHash" = p_hash,
        "Scheme" = p_scheme
    WHERE "Chain" = p_chain;
    RETURN r."Index";
END
$$;

-- Deletes one result and writes the deletion into its chain.
CREATE OR REPLACE FUNCTION zelmor_delete_report(p_chain varchar, p_seq bigint,
    p_scheme integer, p_prev varchar, p_hash varchar, p_at varchar, p_index integer,
    p_subject_hash varchar)
RETURNS void
LANGUAGE plpgsql SECURITY DEFINER
SET search_path = @SCHEMA@, pg_temp
SET lock_timeout = '@LOCK_TIMEOUT@'
AS $$
DECLARE
    h report_chains;
    d record;
BEGIN
    SELECT * INTO h FROM report_chains WHERE "Chain" = p_chain FOR UPDATE;
    PERFORM zelmor_chain_check(h, p_seq, p_scheme, p_prev, p_hash);
    SELECT r."ChainSeq", r."PrevHash", r."Hash" INTO d FROM "reports.db" r
    WHERE r."Index" = p_index FOR UPDATE;
    IF NOT FOUND THEN
        RAISE EXCEPTION 'zelmor: no result %', p_index;
    END IF;
    IF d."Hash" IS DISTINCT FROM p_subject_hash THEN
        RAISE EXCEPTION 'zelmor: result % is not the one to delete', p_index;
    END IF;
    INSERT INTO report_chain_entries ("Chain", "Seq", "Kind", "Scheme", "At", "SubjectIndex",
        "SubjectSeq", "SubjectPrev", "SubjectHash", "Note", "FormerCodes", "PrevHash", "Hash")
    VALUES (p_chain, p_seq, 'D', p_scheme, p_at, p_index, d."ChainSeq",
        COALESCE(d."PrevHash", ''), d."Hash", '', NULL, p_prev, p_hash);
    DELETE FROM "reports.db" WHERE "Index" = p_index;
    UPDATE report_chains SET "LastSeq" = p_seq, "LastHash" = p_hash, "Scheme" = p_scheme
    WHERE "Chain" = p_chain;
END
$$;

-- A new function may be called by everybody: these only by whom the
-- station's rights name.
REVOKE ALL ON FUNCTION zelmor_chain_begin(varchar, integer, varchar),
    zelmor_chain_check(report_chains, bigint, integer, varchar, varchar),
    zelmor_append_report(varchar, bigint, integer, varchar, varchar, jsonb),
    zelmor_delete_report(varchar, bigint, integer, varchar, varchar, varchar, integer, varchar)
    FROM PUBLIC;
)SQL";

const QString ServerError = QStringLiteral("Ошибка сервера базы данных: ");

QString numberText(double d)
{
    char buffer[32];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, d);
    return QString::fromLatin1(buffer, int(r.ptr - buffer));
}

// A value as the row's JSON carries it: numbers as their exact shortest text,
// which the server reads back into the same double.
QJsonValue jsonOf(const QVariant &v)
{
    if (v.isNull() || !v.isValid())
        return QJsonValue::Null;
    switch (v.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::LongLong:
        return numberText(v.toDouble());
    case QMetaType::QDate:
        return v.toDate().toString(Qt::ISODate);
    case QMetaType::QTime:
        return v.toTime().toString(QStringLiteral("HH:mm:ss.zzz"));
    default:
        return v.toString();
    }
}

} // namespace

void install(const QSqlDatabase &db)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT to_regprocedure('zelmor_chain_version()') IS NOT NULL, "
                               "current_schema()"))
        || !q.next())
        throw ZelmorError(ServerError + q.lastError().text().trimmed());
    const bool present = q.value(0).toBool();
    const QString schema = q.value(1).toString();
    if (present && q.exec(QStringLiteral("SELECT zelmor_chain_version()")) && q.next()
        && q.value(0).toInt() >= FunctionsVersion)
        return;
    DatabaseEngine::exec(db,
        QString::fromUtf8(Functions)
            .replace(QStringLiteral("@SCHEMA@"), DatabaseEngine::quoted(schema))
            .replace(QStringLiteral("@VERSION@"), QString::number(FunctionsVersion))
            .replace(QStringLiteral("@LOCK_TIMEOUT@"), QStringLiteral("%1s").arg(LockTimeoutS)),
        QStringLiteral("Не удалось создать функции цепочки на сервере: "));
}

Head begin(const QSqlDatabase &db, const QByteArray &chain, int scheme, const QByteArray &keyId)
{
    QSqlQuery q = DatabaseEngine::prepare(db,
        QStringLiteral("SELECT last_index, last_seq, last_hash, chain_scheme, key_id, next_index "
                       "FROM zelmor_chain_begin(?::varchar, ?::integer, ?::varchar)"),
        ServerError);
    q.addBindValue(text(chain));
    q.addBindValue(scheme);
    q.addBindValue(text(keyId));
    DatabaseEngine::execPrepared(q, ServerError);
    if (!q.next())
        throw ZelmorError(ServerError + QStringLiteral("цепочка прибора не начата"));
    Head h;
    h.chain = chain;
    h.exists = true;
    h.lastIndex = q.value(0).toInt();
    h.lastSeq = q.value(1).toLongLong();
    h.lastHash = q.value(2).toString().toLatin1();
    h.scheme = q.value(3).isNull() ? Legacy : q.value(3).toInt();
    h.keyId = q.value(4).toString().toLatin1();
    h.nextIndex = q.value(5).toInt();
    return h;
}

void append(const QSqlDatabase &db, const Row &row, const QByteArray &chain)
{
    QJsonObject o;
    o.insert(QStringLiteral("Index"), row.index);
    o.insert(QStringLiteral("Date"), jsonOf(row.date));
    o.insert(QStringLiteral("Time"), jsonOf(row.time));
    o.insert(QStringLiteral("ZMNum"), jsonOf(row.zmNum));
    o.insert(QStringLiteral("Model"), jsonOf(row.model));
    o.insert(QStringLiteral("GovNumber"), jsonOf(row.govNumber));
    for (size_t i = 0; i < row.values.size(); ++i)
        o.insert(QLatin1String(FieldNames::Results[i]), jsonOf(row.values[i]));
    for (size_t i = 0; i < row.stored.size(); ++i)
        o.insert(QLatin1String(FieldNames::StoredWith[i]), jsonOf(row.stored[i]));
    QSqlQuery q = DatabaseEngine::prepare(db,
        QStringLiteral("SELECT zelmor_append_report(?::varchar, ?::bigint, ?::integer, "
                       "?::varchar, ?::varchar, ?::jsonb)"),
        ServerError);
    q.addBindValue(text(chain));
    q.addBindValue(row.seq);
    q.addBindValue(row.scheme);
    q.addBindValue(text(row.prevHash));
    q.addBindValue(text(row.hash));
    q.addBindValue(QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact)));
    DatabaseEngine::execPrepared(q, ServerError);
}

void remove(const QSqlDatabase &db, const Entry &e)
{
    QSqlQuery q = DatabaseEngine::prepare(db,
        QStringLiteral("SELECT zelmor_delete_report(?::varchar, ?::bigint, ?::integer, "
                       "?::varchar, ?::varchar, ?::varchar, ?::integer, ?::varchar)"),
        ServerError);
    q.addBindValue(text(e.chain));
    q.addBindValue(e.seq);
    q.addBindValue(e.scheme);
    q.addBindValue(text(e.prevHash));
    q.addBindValue(text(e.hash));
    q.addBindValue(e.at);
    q.addBindValue(e.subjectIndex);
    q.addBindValue(text(e.subjectHash));
    DatabaseEngine::execPrepared(q, ServerError);
}

} // namespace ReportChain::Parts::Server
