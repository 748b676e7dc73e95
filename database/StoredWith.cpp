#include "database/StoredWith.h"

#include <string_view>

namespace StoredWith {

namespace {

// The position of a StoredWith column.
constexpr std::size_t at(std::string_view name)
{
    for (std::size_t i = 0; i < FieldNames::StoredWith.size(); ++i)
        if (name == FieldNames::StoredWith[i])
            return i;
    throw "not a StoredWith column"; // refused at compile time
}

// A text, never null: the database keeps an empty text as such.
QVariant text(const QString &value)
{
    return value.isNull() ? QVariant(QStringLiteral("")) : QVariant(value);
}

constexpr std::size_t ModelName = at("ModelName");
constexpr std::size_t ModelCategory = at("ModelCategory");
constexpr std::size_t ModelSaveSystem = at("ModelSaveSystem");
constexpr std::size_t Place = at("Place");
constexpr std::size_t Operator = at("Operator");
constexpr std::size_t Certificate = at("Certificate");
constexpr std::size_t CertificateValidUntil = at("CertificateValidUntil");
constexpr std::size_t SpeedSource = at("SpeedSource");
constexpr std::size_t VehicleDiagnosis = at("VehicleDiagnosis");

// The model's own fields beside their StoredWith columns.
struct ModelColumn
{
    const char *field;
    std::size_t column;
};
constexpr ModelColumn ModelTexts[] = {
    { "Name", ModelName },
    { "Category", ModelCategory },
    { "SaveSystem", ModelSaveSystem },
};

} // namespace

Values values(const ModelRecord &model, const Inspection &inspection, const TestResult &result)
{
    Values v;
    if (model.Index != 0) {
        v[ModelName] = text(model.Name);
        v[ModelCategory] = text(model.Category);
        v[ModelSaveSystem] = text(model.SaveSystem);
        for (std::size_t i = 0; i < FieldNames::Limits.size(); ++i)
            v[FieldNames::StoredLimitsFirst + i] = model.limits.*FieldNames::LimitMembers[i];
    }
    v[Place] = text(inspection.place);
    v[Operator] = text(inspection.operatorName);
    v[Certificate] = text(inspection.certificate);
    if (inspection.certificateValidUntil.isValid())
        v[CertificateValidUntil] = inspection.certificateValidUntil;
    v[SpeedSource] = text(result.speedSource);
    v[VehicleDiagnosis] = text(result.vehicleDiagnosis);
    return v;
}

std::optional<QVariantMap> storedModel(const QVariantMap &row)
{
    QVariantMap model;
    for (std::size_t i = 0; i < FieldNames::Limits.size(); ++i) {
        const QVariant limit
            = row.value(QLatin1String(FieldNames::StoredWith[FieldNames::StoredLimitsFirst + i]));
        bool ok = false;
        limit.toDouble(&ok);
        // Every limit or none: a row with a hole is judged by the table.
        if (limit.isNull() || !ok)
            return std::nullopt;
        model.insert(QLatin1String(FieldNames::Limits[i]), limit);
    }
    model.insert(QStringLiteral("Index"), qRound(row.value(QStringLiteral("Model")).toDouble()));
    for (const ModelColumn &c : ModelTexts)
        model.insert(
            QLatin1String(c.field), row.value(QLatin1String(FieldNames::StoredWith[c.column])));
    return model;
}

} // namespace StoredWith
