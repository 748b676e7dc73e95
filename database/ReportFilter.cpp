#include "database/ReportFilter.h"

#include "common/ZelmorError.h"
#include "database/ReportCounts.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <algorithm>
#include <climits>
#include <functional>
#include <optional>

namespace {

const char *const ListColumns = "Reports.\"Date\", Reports.\"Time\", Reports.\"Index\", "
                                "Reports.\"Model\", Reports.\"GovNumber\"";
// Every name in double quotes, so that a server that folds unquoted names to
// lower case finds the same columns as SQLite.
const char *const JoinColumns = "Reports.\"Date\", Models.\"Name\", Reports.\"Model\", "
                                "Reports.\"Index\", Reports.\"GovNumber\", Reports.\"Time\"";

QSqlQuery run(
    const QSqlDatabase &db, const QString &statement, const std::function<void(QSqlQuery &)> &bind)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.prepare(statement))
        throw ZelmorError(QStringLiteral("Ошибка поиска: ") + q.lastError().text());
    bind(q);
    if (!q.exec())
        throw ZelmorError(QStringLiteral("Ошибка поиска: ") + q.lastError().text());
    return q;
}

} // namespace

QString ReportFilter::title(int column) const
{
    if (byDate)
        return column == 0 ? QStringLiteral("Время") : QStringLiteral("Модель");
    if (byModel && !byGovNumber)
        return column == 0 ? QStringLiteral("Дата") : QStringLiteral("Номер");
    return column == 0 ? QStringLiteral("Дата") : QStringLiteral("Время");
}

QString ReportFilter::field(int column) const
{
    if (byDate)
        return column == 0 ? QStringLiteral("Time") : QStringLiteral("Name");
    if (byModel && !byGovNumber)
        return column == 0 ? QStringLiteral("Date") : QStringLiteral("GovNumber");
    return column == 0 ? QStringLiteral("Date") : QStringLiteral("Time");
}

int ReportFilter::modelIndexByName(const QSqlDatabase &db, const QString &name)
{
    QSqlQuery q = ::run(db,
        QStringLiteral("SELECT Models.\"Index\", Models.\"Name\"\n"
                       "FROM \"models.DB\" Models\n"
                       "WHERE  Models.\"Name\" = :ModelName ORDER BY Models.\"Index\" LIMIT 1"),
        [&](QSqlQuery &q) { q.bindValue(QStringLiteral(":ModelName"), name); });
    return q.next() ? q.value(0).toInt() : 0;
}

void ReportFilter::resolveModel(const QSqlDatabase &db)
{
    m_selectedModelIndex = modelIndexByName(db, modelName);
}

QString ReportFilter::statement(
    const QString &columns, const QString &condition, const QString &tail) const
{
    // The day joins the models, so its list can show the model's name.
    QString s = QStringLiteral("SELECT ") + columns
        + (byDate ? QStringLiteral(" FROM \"models.DB\" Models INNER JOIN \"reports.db\" Reports "
                                   "ON  (Models.\"Index\" = Reports.\"Model\")")
                  : QStringLiteral(" FROM \"reports.db\" Reports"));
    QStringList where;
    if (byDate)
        where << QStringLiteral("(Reports.\"Date\"=:MeasureDate)");
    if (byModel)
        where << QStringLiteral("(Reports.\"Model\"=:ModelIndex)");
    if (byGovNumber)
        where << QStringLiteral("(Reports.\"GovNumber\"=:GovNumber)");
    if (!condition.isEmpty())
        where << condition;
    if (!where.isEmpty())
        s += QStringLiteral(" WHERE ") + where.join(QStringLiteral(" AND "));
    return s + tail;
}

void ReportFilter::bind(QSqlQuery &q) const
{
    if (byDate)
        q.bindValue(QStringLiteral(":MeasureDate"), date);
    if (byModel)
        q.bindValue(QStringLiteral(":ModelIndex"), m_selectedModelIndex);
    if (byGovNumber)
        q.bindValue(QStringLiteral(":GovNumber"), govNumber);
}

int ReportFilter::count(const QSqlDatabase &db) const
{
    // All reports, or all of one model: as many as the server's counts say,
    // without counting rows. A day or a number lists few rows, which its
    // index counts at once.
    if (!byDate && !byGovNumber) {
        const auto counted = ReportCounts::reports(
            db, byModel ? std::optional<int>(m_selectedModelIndex) : std::nullopt);
        if (counted)
            return *counted;
    }
    QSqlQuery q = ::run(db, statement(QStringLiteral("count(*)"), QString(), QString()),
        [this](QSqlQuery &q) { bind(q); });
    return q.next() ? q.value(0).toInt() : 0;
}

int ReportFilter::position(const QSqlDatabase &db, int reportIndex, int total) const
{
    const auto bindIndex = [&](QSqlQuery &q) {
        bind(q);
        q.bindValue(QStringLiteral(":ReportIndex"), reportIndex);
    };
    QSqlQuery listed = ::run(db,
        statement(QStringLiteral("count(*)"), QStringLiteral("(Reports.\"Index\"=:ReportIndex)"),
            QString()),
        bindIndex);
    if (!listed.next() || listed.value(0).toInt() == 0)
        return -1;
    // The browser mostly asks for a report near the end (the one just
    // stored): the rows after it are few. Counting stops at half the list,
    // so neither way steps over more than half of a long list.
    if (total > 0) {
        const int half = total / 2 + 1;
        QSqlQuery after = ::run(db,
            QStringLiteral("SELECT count(*) FROM (")
                + statement(QStringLiteral("1"), QStringLiteral("(Reports.\"Index\">:ReportIndex)"),
                    QStringLiteral(" LIMIT :Limit"))
                + QStringLiteral(") later"),
            [&](QSqlQuery &q) {
                bindIndex(q);
                q.bindValue(QStringLiteral(":Limit"), half);
            });
        const int later = after.next() ? after.value(0).toInt() : half;
        if (later < half)
            return std::max(0, total - 1 - later);
    }
    QSqlQuery before = ::run(db,
        statement(QStringLiteral("count(*)"), QStringLiteral("(Reports.\"Index\"<:ReportIndex)"),
            QString()),
        bindIndex);
    return before.next() ? before.value(0).toInt() : -1;
}

QList<ReportFilter::Row> ReportFilter::page(
    const QSqlDatabase &db, int first, int rows, int total) const
{
    if (rows <= 0 || first < 0)
        return {};
    // A page near the end is read backwards from the end, so that no page
    // makes the engine step over most of a long list.
    if (total < 0 && rows != INT_MAX)
        total = count(db);
    const bool fromEnd = total > 0 && first > total / 2;
    const int offset = fromEnd ? std::max(0, total - first - rows) : first;
    const int limit = fromEnd ? std::min(rows, total - first) : rows;
    const QString tail = QStringLiteral(" ORDER BY Reports.\"Index\"")
        + (fromEnd ? QStringLiteral(" DESC") : QString())
        + QStringLiteral(" LIMIT :Limit OFFSET :Offset");
    QSqlQuery q
        = ::run(db, statement(QLatin1String(byDate ? JoinColumns : ListColumns), QString(), tail),
            [&](QSqlQuery &q) {
                bind(q);
                q.bindValue(QStringLiteral(":Limit"), limit);
                q.bindValue(QStringLiteral(":Offset"), offset);
            });
    const QSqlRecord record = q.record();
    const int c0 = record.indexOf(field(0));
    const int c1 = record.indexOf(field(1));
    const int cIndex = record.indexOf(QStringLiteral("Index"));
    const int cModel = record.indexOf(QStringLiteral("Model"));
    QList<Row> out;
    while (q.next()) {
        Row r;
        r.index = q.value(cIndex).toInt();
        r.model = qRound(q.value(cModel).toDouble());
        r.column0 = q.value(c0);
        r.column1 = q.value(c1);
        out.append(r);
    }
    if (fromEnd)
        std::reverse(out.begin(), out.end());
    return out;
}

QList<ReportFilter::Row> ReportFilter::run(const QSqlDatabase &db)
{
    resolveModel(db);
    return page(db, 0, INT_MAX);
}
