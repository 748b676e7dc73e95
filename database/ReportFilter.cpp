#include "database/ReportFilter.h"

#include "common/ZelmorError.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {

// Storing order for every list; the key is the table's own row order.
const char *const Order = " ORDER BY Reports.\"Index\"";

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
    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT Models.\"Index\", Models.Name\n"
                             "FROM \"models.DB\" Models\n"
                             "WHERE  Name = :ModelName ORDER BY Models.\"Index\" LIMIT 1"));
    q.bindValue(QStringLiteral(":ModelName"), name);
    if (!q.exec())
        throw ZelmorError(QStringLiteral("Ошибка поиска модели: ") + q.lastError().text());
    return q.next() ? q.value(0).toInt() : 0;
}

QList<ReportFilter::Row> ReportFilter::run(const QSqlDatabase &db) const
{
    const int selectedModelIndex = modelIndexByName(db, modelName);

    QString statement;
    QStringList conditions;
    if (byDate) {
        statement = QStringLiteral(
            "SELECT Reports.\"Date\", Models.Name, Reports.Model, Reports.\"Index\", "
            "Reports.GovNumber, Reports.\"Time\" FROM \"models.DB\" Models INNER JOIN "
            "\"reports.DB\" Reports ON  (Models.\"Index\" = Reports.Model)");
        conditions << QStringLiteral("(Reports.\"Date\"=:MeasureDate)");
    } else {
        statement = QStringLiteral(
            "SELECT Reports.\"Date\", Reports.\"Time\", Reports.\"Index\", Reports.\"Model\", "
            "Reports.\"GovNumber\" FROM \"reports.DB\" Reports");
    }
    if (byModel)
        conditions << QStringLiteral("(Reports.\"Model\"=:ModelIndex)");
    if (byGovNumber)
        conditions << QStringLiteral("(Reports.\"GovNumber\"=:GovNumber)");
    if (!conditions.isEmpty())
        statement += QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND "));
    statement += QLatin1String(Order);

    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.prepare(statement))
        throw ZelmorError(QStringLiteral("Ошибка поиска: ") + q.lastError().text());
    if (byDate)
        q.bindValue(QStringLiteral(":MeasureDate"), date);
    if (byModel)
        q.bindValue(QStringLiteral(":ModelIndex"), selectedModelIndex);
    if (byGovNumber)
        q.bindValue(QStringLiteral(":GovNumber"), govNumber);
    if (!q.exec())
        throw ZelmorError(QStringLiteral("Ошибка поиска: ") + q.lastError().text());

    const int c0 = q.record().indexOf(field(0));
    const int c1 = q.record().indexOf(field(1));
    const int cIndex = q.record().indexOf(QStringLiteral("Index"));
    const int cModel = q.record().indexOf(QStringLiteral("Model"));
    QList<Row> rows;
    while (q.next()) {
        Row r;
        r.index = q.value(cIndex).toInt();
        r.model = qRound(q.value(cModel).toDouble());
        r.column0 = q.value(c0);
        r.column1 = q.value(c1);
        rows.append(r);
    }
    return rows;
}
