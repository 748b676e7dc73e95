#include "database/ReportChain.h"

#include "common/ZelmorError.h"
#include "database/DatabaseEngine.h"
#include "tables/FieldNames.h"

#include <QHash>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>
#include <vector>

// A database without the chain gains it: the columns, the tables and the
// links of the rows it holds.

namespace ReportChain {

namespace {

// Rows updated per statement when a whole table is chained.
constexpr int UpdateBatch = 500;

} // namespace

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

} // namespace ReportChain
