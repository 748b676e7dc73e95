#include "database/ShownReport.h"

#include "common/ZelmorError.h"
#include "database/DatabaseEngine.h"
#include "database/StoredWith.h"
#include "tables/FieldNames.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <cmath>

namespace {

// The current model's fields are named apart from the report's own.
const QString CurrentPrefix = QStringLiteral("CurrentModel_");

template <typename Names> void addNames(QStringList &names, const Names &list)
{
    for (const char *name : list)
        names << QLatin1String(name);
}

QStringList modelFields()
{
    QStringList names;
    addNames(names, FieldNames::ModelKeys);
    addNames(names, FieldNames::Limits);
    return names;
}

std::optional<double> number(const QVariantMap &row, const char *field)
{
    const QVariant value = row.value(QLatin1String(field));
    bool ok = false;
    const double d = value.toDouble(&ok);
    if (value.isNull() || !ok || !std::isfinite(d))
        return std::nullopt;
    return d;
}

} // namespace

int ShownReport::index() const
{
    return result.value(QStringLiteral("Index")).toInt();
}

QString ShownReport::currentModelColumns(const QString &modelsAlias)
{
    QStringList columns;
    for (const QString &field : modelFields())
        columns << modelsAlias + QLatin1Char('.') + DatabaseEngine::quoted(field)
                + QStringLiteral(" AS ") + DatabaseEngine::quoted(CurrentPrefix + field);
    return columns.join(QStringLiteral(", "));
}

QString ShownReport::currentModelJoin(const QString &reportsAlias, const QString &modelsAlias)
{
    return QStringLiteral("\"reports.db\" %1 LEFT JOIN \"models.DB\" %2 ON (%2.\"Index\" = "
                          "%1.\"Model\")")
        .arg(reportsAlias, modelsAlias);
}

ShownReport ShownReport::fromRecord(const QSqlRecord &record)
{
    ShownReport shown;
    QVariantMap current;
    for (int i = 0; i < record.count(); ++i) {
        const QString name = record.fieldName(i);
        if (name.startsWith(CurrentPrefix))
            current.insert(name.mid(CurrentPrefix.size()), record.value(i));
        else
            shown.result.insert(name, record.value(i));
    }
    // A database that could not be upgraded lacks the newer columns: empty.
    QStringList known;
    addNames(known, FieldNames::ReportKeys);
    addNames(known, FieldNames::Results);
    addNames(known, FieldNames::StoredWith);
    for (const QString &name : known)
        if (!shown.result.contains(name))
            shown.result.insert(name, QVariant());

    if (const std::optional<QVariantMap> stored = StoredWith::storedModel(shown.result)) {
        shown.model = *stored;
        shown.modelStored = true;
    } else if (!current.value(QStringLiteral("Index")).isNull()) {
        shown.model = current;
    }
    return shown;
}

Judgement::Outcome ShownReport::judgement() const
{
    Judgement::Means means;
    for (std::size_t i = 0; i < FieldNames::Results.size(); ++i)
        means[i] = number(result, FieldNames::Results[i]);
    std::optional<ModelLimits> limits;
    if (!model.isEmpty()) {
        limits.emplace();
        for (std::size_t i = 0; i < FieldNames::Limits.size(); ++i)
            limits.value().*FieldNames::LimitMembers[i]
                = number(model, FieldNames::Limits[i]).value_or(0);
    }
    return Judgement::judge(means, limits);
}

ShownReport ShownReport::read(const QSqlDatabase &db, int reportIndex)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT Reports.*, %1\nFROM %2\nWHERE  Reports.\"Index\" = :Index")
                  .arg(currentModelColumns(QStringLiteral("Models")),
                      currentModelJoin(QStringLiteral("Reports"), QStringLiteral("Models"))));
    q.bindValue(QStringLiteral(":Index"), reportIndex);
    if (!q.exec())
        throw ZelmorError(QStringLiteral("Ошибка чтения отчёта: ") + q.lastError().text());
    if (!q.next())
        return ShownReport();
    return fromRecord(q.record());
}
