#include "database/ShownReport.h"

#include "common/ZelmorError.h"
#include "database/DatabaseEngine.h"
#include "tables/FieldNames.h"

#include <QSqlError>
#include <QSqlQuery>

namespace {

// One row of a table by its Index: the fields of the lists, in their order.
template <typename... Lists>
QVariantMap readRow(
    const QSqlDatabase &db, const char *table, const char *alias, int index, const Lists &...lists)
{
    const QString from = QLatin1String(alias);
    QStringList columns;
    (..., (columns << DatabaseEngine::quotedNames(lists, from)));
    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT %1\nFROM %2 %3\nWHERE  %3.\"Index\" = :Index")
                  .arg(columns.join(QStringLiteral(", ")),
                      DatabaseEngine::quoted(QLatin1String(table)), from));
    q.bindValue(QStringLiteral(":Index"), index);
    if (!q.exec())
        throw ZelmorError(QStringLiteral("Ошибка чтения отчёта: ") + q.lastError().text());
    QVariantMap row;
    if (!q.next())
        return row;
    int column = 0;
    (..., [&] {
        for (const char *field : lists)
            row.insert(QLatin1String(field), q.value(column++));
    }());
    return row;
}

} // namespace

int ShownReport::index() const
{
    return result.value(QStringLiteral("Index")).toInt();
}

ShownReport ShownReport::read(const QSqlDatabase &db, int reportIndex)
{
    ShownReport shown;
    shown.result = readRow(
        db, "reports.db", "Reports", reportIndex, FieldNames::ReportKeys, FieldNames::Results);
    if (!shown.result.isEmpty())
        shown.model = readRow(db, "models.DB", "Models",
            qRound(shown.result.value(QStringLiteral("Model")).toDouble()), FieldNames::ModelKeys,
            FieldNames::Limits);
    return shown;
}
