#pragma once

#include "database/ModelRecord.h"
#include "database/TestResult.h"
#include "tables/FieldNames.h"

#include <QDate>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <array>
#include <optional>

// Who inspected and with what: the station's settings at the moment a result
// is stored.
struct Inspection
{
    QString place;
    QString operatorName;
    QString certificate; // the instrument's verification certificate
    QDate certificateValidUntil; // invalid: not set
};

// What a result is stored with (FieldNames::StoredWith): the model it was
// judged by as it stood then, the inspection and how it was measured.
namespace StoredWith {

using Values = std::array<QVariant, FieldNames::StoredWith.size()>;

// model: as it stands now; Index 0 when it is gone, and its fields stay empty.
// Texts are stored as they are, an empty one as an empty text, so that only
// a row stored before these columns existed holds nulls.
Values values(const ModelRecord &model, const Inspection &inspection, const TestResult &result);

// The model a row was judged by, as the fields of a "models.DB" row (Index:
// the row's Model): what it was stored with, or nullopt for a row stored
// without its limits.
std::optional<QVariantMap> storedModel(const QVariantMap &row);

} // namespace StoredWith
