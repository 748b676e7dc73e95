#include "report/ReportNames.h"

#include "common/FormatSettings.h"
#include "common/NumberText.h"
#include "device/obd/VehicleDiagnosis.h"
#include "tables/FieldNames.h"

#include <QDate>
#include <QSet>
#include <QTime>
#include <cmath>

namespace {

const QString ResultPrefix = QStringLiteral("qrResult.");
const QString ModelPrefix = QStringLiteral("qrModel.");
const QString LimitPrefix = QStringLiteral("limit.");
const QString VerdictPrefix = QStringLiteral("verdict.");
const QString MarkPrefix = QStringLiteral("mark.");
const QString Place = QStringLiteral("edReportPlace");
const QString Overall = QStringLiteral("Overall");
const QString ObdSummary = QStringLiteral("obd.summary");
const QString DiagnosisField = QStringLiteral("VehicleDiagnosis");

QStringList buildNames()
{
    QStringList names;
    for (const char *f : FieldNames::ReportKeys)
        names << ResultPrefix + QLatin1String(f);
    for (const char *f : FieldNames::Results)
        names << ResultPrefix + QLatin1String(f);
    for (const char *f : FieldNames::ModelKeys)
        names << ModelPrefix + QLatin1String(f);
    for (const char *f : FieldNames::Limits)
        names << ModelPrefix + QLatin1String(f);
    names << Place;
    for (const QString &prefix : { LimitPrefix, VerdictPrefix, MarkPrefix })
        for (const char *f : FieldNames::Results)
            names << prefix + QLatin1String(f);
    names << VerdictPrefix + Overall << MarkPrefix + Overall;
    names << ObdSummary;
    return names;
}

FormatSettings reportSettings()
{
    FormatSettings s = FormatSettings::current();
    s.dateSeparator = QLatin1Char('.');
    s.timeSeparator = QLatin1Char(':');
    return s;
}

QString fieldText(const QString &field, const QVariant &value)
{
    if (value.isNull())
        return QString();
    if (field == QLatin1String("Date")) {
        const QDate d = value.toDate();
        return d.isValid() ? formatDateTime(
                   QStringLiteral("dd/mm/yyyy"), QDateTime(d, QTime(0, 0)), reportSettings())
                           : value.toString();
    }
    if (field == QLatin1String("Time")) {
        QTime t = value.toTime();
        if (!t.isValid())
            t = QTime::fromString(value.toString(), Qt::ISODate);
        return t.isValid() ? formatDateTime(
                   QStringLiteral("hh:nn:ss"), QDateTime(QDate(2000, 1, 1), t), reportSettings())
                           : value.toString();
    }
    if (value.typeId() == QMetaType::QString)
        return value.toString();
    bool ok = false;
    const double number = value.toDouble(&ok);
    if (!ok || !std::isfinite(number))
        return value.toString();
    // Serial numbers and record numbers are whole numbers stored as doubles.
    if (field == QLatin1String("ZMNum") || field == QLatin1String("Model")
        || field == QLatin1String("Index"))
        return QString::number(std::llround(number));
    return generalText(number);
}

// The vehicle's diagnosis stored with the result: none stored (an older row,
// a test without an adapter, a read that failed) is "не проводилась"; a
// stored text that is no diagnosis is said to be damaged, never passed over.
QString diagnosisText(const QVariant &stored)
{
    const QByteArray json = stored.toString().toUtf8();
    if (stored.isNull() || json.trimmed().isEmpty())
        return VehicleDiagnosis().summary();
    const std::optional<VehicleDiagnosis> diagnosis = VehicleDiagnosis::fromJson(json);
    return diagnosis ? diagnosis->summary() : QStringLiteral("сведения повреждены");
}

} // namespace

const QStringList &ReportNames::all()
{
    static const QStringList names = buildNames();
    return names;
}

bool ReportNames::isKnown(const QString &name)
{
    static const QSet<QString> known(all().begin(), all().end());
    return known.contains(name);
}

QString ReportNames::text(
    const QString &name, const ReportData &data, const ReportJudgement &judgement)
{
    if (name == Place)
        return data.edReportPlace;
    if (name == ObdSummary)
        return data.hasReport() ? diagnosisText(data.qrResult.value(DiagnosisField)) : QString();
    if (name.startsWith(ResultPrefix)) {
        const QString field = name.mid(ResultPrefix.size());
        return fieldText(field, data.qrResult.value(field));
    }
    if (name.startsWith(ModelPrefix)) {
        const QString field = name.mid(ModelPrefix.size());
        return fieldText(field, data.qrModel.value(field));
    }
    if (name.startsWith(LimitPrefix))
        return data.hasReport() ? judgement.limitText(name.mid(LimitPrefix.size())) : QString();
    if (name.startsWith(VerdictPrefix)) {
        const QString field = name.mid(VerdictPrefix.size());
        if (field == Overall)
            return data.hasReport() ? ReportJudgement::overallText(judgement.overall()) : QString();
        return ReportJudgement::verdictText(judgement.verdict(field));
    }
    if (name.startsWith(MarkPrefix)) {
        const QString field = name.mid(MarkPrefix.size());
        return ReportJudgement::markName(
            field == Overall ? judgement.overall() : judgement.verdict(field));
    }
    return QString();
}
