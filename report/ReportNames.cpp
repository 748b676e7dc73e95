#include "report/ReportNames.h"

#include "common/FormatSettings.h"
#include "common/NumberText.h"
#include "device/obd/VehicleDiagnosis.h"
#include "tables/ControlCode.h"
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
const QString ReportPrefix = QStringLiteral("report.");
const QString Place = QStringLiteral("edReportPlace");
const QString Overall = QStringLiteral("Overall");
const QString ConclusionName = QStringLiteral("Conclusion");
const QString OperatorName = QStringLiteral("Operator");
const QString VerificationName = QStringLiteral("Verification");
const QString VerificationExpiredName = QStringLiteral("VerificationExpired");
const QString LimitsSourceName = QStringLiteral("LimitsSource");
const QString ControlCodeName = QStringLiteral("ControlCode");
const QString DiagnosisName = QStringLiteral("VehicleDiagnosis");
const QString SpeedSourceName = QStringLiteral("SpeedSource");
// Where the operator signs when no operator was stored with the result.
const QString SignatureLine = QStringLiteral("________________________________");

QStringList buildNames()
{
    QStringList names;
    for (const char *f : FieldNames::ReportKeys)
        names << ResultPrefix + QLatin1String(f);
    for (const char *f : FieldNames::Results)
        names << ResultPrefix + QLatin1String(f);
    for (const char *f : FieldNames::StoredWith)
        names << ResultPrefix + QLatin1String(f);
    for (const char *f : FieldNames::ModelKeys)
        names << ModelPrefix + QLatin1String(f);
    for (const char *f : FieldNames::Limits)
        names << ModelPrefix + QLatin1String(f);
    names << Place;
    for (const QString &prefix : { LimitPrefix, VerdictPrefix, MarkPrefix })
        for (const char *f : FieldNames::Results)
            names << prefix + QLatin1String(f);
    names << VerdictPrefix + Overall << VerdictPrefix + ConclusionName << MarkPrefix + Overall;
    for (const QString &name : { OperatorName, VerificationName, VerificationExpiredName,
             LimitsSourceName, DiagnosisName, SpeedSourceName, ControlCodeName })
        names << ReportPrefix + name;
    return names;
}

FormatSettings reportSettings()
{
    FormatSettings s = FormatSettings::current();
    s.dateSeparator = QLatin1Char('.');
    s.timeSeparator = QLatin1Char(':');
    return s;
}

// A date as the table keeps it: a date, or its ISO text in SQLite.
QDate dateOf(const QVariant &value)
{
    return value.typeId() == QMetaType::QDate ? value.toDate()
                                              : QDate::fromString(value.toString(), Qt::ISODate);
}

QString dateText(const QDate &d)
{
    return formatDateTime(
        QStringLiteral("dd/mm/yyyy"), QDateTime(d, QTime(0, 0)), reportSettings());
}

QString fieldText(const QString &field, const QVariant &value)
{
    if (value.isNull())
        return QString();
    if (field == QLatin1String("Date") || field == QLatin1String("CertificateValidUntil")) {
        const QDate d = dateOf(value);
        return d.isValid() ? dateText(d) : value.toString();
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
    return numberText(field, number);
}

QString verificationText(const QVariantMap &result)
{
    const QString certificate = result.value(QStringLiteral("Certificate")).toString().trimmed();
    const QDate until = dateOf(result.value(QStringLiteral("CertificateValidUntil")));
    if (certificate.isEmpty() && !until.isValid())
        return QStringLiteral("Свидетельство о поверке: не указано");
    QString text = QStringLiteral("Свидетельство о поверке");
    if (!certificate.isEmpty())
        text += QStringLiteral(" № ") + certificate;
    if (until.isValid())
        text += QStringLiteral(" действительно до ") + dateText(until);
    return text;
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

QString reportText(const QString &name, const ReportData &data)
{
    if (!data.hasReport())
        return QString();
    if (name == OperatorName) {
        const QString stored = data.qrResult.value(OperatorName).toString().trimmed();
        return stored.isEmpty() ? SignatureLine : stored;
    }
    if (name == VerificationName)
        return verificationText(data.qrResult);
    if (name == VerificationExpiredName)
        return ReportNames::verificationExpired(data.qrResult)
            ? QStringLiteral("Срок поверки прибора истёк")
            : QString();
    if (name == ControlCodeName) {
        const QString code
            = controlCode(data.qrResult.value(QStringLiteral("Hash")).toString().toLatin1());
        return code.isEmpty() ? QStringLiteral("не присвоен") : code;
    }
    if (name == DiagnosisName)
        return ReportNames::vehicleDiagnosis(data.qrResult);
    if (name == SpeedSourceName)
        return ReportNames::speedSourceNote(data.qrResult);
    if (name == LimitsSourceName && !data.modelStored)
        return QStringLiteral("нормативы по текущей таблице моделей");
    return QString();
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
    if (name == Place) {
        const QVariant stored = data.qrResult.value(QStringLiteral("Place"));
        return stored.isNull() ? data.edReportPlace : stored.toString();
    }
    if (name.startsWith(ResultPrefix)) {
        const QString field = name.mid(ResultPrefix.size());
        return fieldText(field, data.qrResult.value(field));
    }
    if (name.startsWith(ModelPrefix)) {
        const QString field = name.mid(ModelPrefix.size());
        return fieldText(field, data.qrModel.value(field));
    }
    if (name.startsWith(ReportPrefix))
        return reportText(name.mid(ReportPrefix.size()), data);
    if (name.startsWith(LimitPrefix))
        return data.hasReport() ? judgement.limitText(name.mid(LimitPrefix.size())) : QString();
    if (name.startsWith(VerdictPrefix)) {
        const QString field = name.mid(VerdictPrefix.size());
        if (!data.hasReport() && (field == Overall || field == ConclusionName))
            return QString();
        if (field == Overall)
            return ReportJudgement::overallText(judgement.conclusion());
        if (field == ConclusionName)
            return judgement.conclusionText();
        return ReportJudgement::verdictText(judgement.verdict(field));
    }
    if (name.startsWith(MarkPrefix)) {
        const QString field = name.mid(MarkPrefix.size());
        return field == Overall ? ReportJudgement::markName(judgement.conclusion())
                                : ReportJudgement::markName(judgement.verdict(field));
    }
    return QString();
}

bool ReportNames::verificationExpired(const QVariantMap &result)
{
    const QDate until = dateOf(result.value(QStringLiteral("CertificateValidUntil")));
    const QDate stored = dateOf(result.value(QStringLiteral("Date")));
    return until.isValid() && stored.isValid() && stored > until;
}

QString ReportNames::vehicleDiagnosis(const QVariantMap &result)
{
    return diagnosisText(result.value(DiagnosisName));
}

QString ReportNames::speedSourceNote(const QVariantMap &result)
{
    const QString source = result.value(SpeedSourceName).toString();
    if (source == QLatin1String("OBD"))
        return QStringLiteral("Частота вращения: от бортового компьютера (OBD)");
    if (source == QLatin1String("mixed"))
        return QStringLiteral(
            "Частота вращения: частично от бортового компьютера (OBD), частично от прибора");
    return QString();
}
