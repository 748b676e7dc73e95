#pragma once

#include "report/ReportData.h"
#include "report/ReportJudgement.h"

#include <QString>
#include <QStringList>

// The data names a report template may use, in brackets:
//   [qrResult.<field>]  the shown report: Index, Date, Time, ZMNum, Model,
//                       GovNumber, the fourteen means MinTax … MaxLambda and
//                       what it was stored with (FieldNames::StoredWith:
//                       ModelName, LimMinCO, Operator, Certificate, …)
//   [qrModel.<field>]   the model it is judged by: Index, Name, SaveSystem,
//                       Category and the sixteen limits MinTax … MaxLambda
//   [edReportPlace]     the place of inspection stored with the result (the
//                       current setting for a row stored without it)
//   [limit.<mean>]      the limit a mean is judged against, as printed
//   [verdict.<mean>]    "в норме", "вне нормы", "частота вращения вне
//                       допуска", "—"; [verdict.Overall] the vehicle's word
//                       ("соответствует", …); [verdict.Conclusion] the whole
//                       conclusion
//   [mark.<mean>]       within, beyond, invalid, nolimit, novalue: a class
//                       for the template's style sheet; [mark.Overall]
//   [report.Operator]   the operator stored with the result, or a line to
//                       write on
//   [report.Verification]        "Свидетельство о поверке № … действительно до …"
//   [report.VerificationExpired] "Срок поверки прибора истёк" when the result
//                       was stored after the validity date, else empty
//   [report.LimitsSource]        empty, or for a row stored without its
//                       limits "нормативы по текущей таблице моделей"
//   [report.ControlCode]         "Контрольный код": the first 16 hex digits
//                       of the stored row's hash in groups of four ("не
//                       присвоен" for a row without one)
//   [report.VehicleDiagnosis]    the vehicle's own diagnosis stored with the
//                       result: "индикатор неисправности выключен;
//                       готовность: …", or "не проводилась"
//   [report.SpeedSource]         "Частота вращения: от бортового компьютера
//                       (OBD)" when the speeds came from the vehicle, else empty
// where <mean> is one of the fourteen result fields.
namespace ReportNames {

const QStringList &all();
bool isKnown(const QString &name);

// The plain text of a known name (not escaped for HTML); an empty text for
// the data of an empty browser. Dates print as dd.mm.yyyy, times as hh:nn:ss,
// numbers in the program's number format.
QString text(const QString &name, const ReportData &data, const ReportJudgement &judgement);

// Whether the result was stored after its instrument's verification date.
bool verificationExpired(const QVariantMap &result);

// The vehicle's own diagnosis the result was stored with, as the protocol
// prints it after "Бортовая диагностика: ": "не проводилась" when none was
// read (or the row is older than the column).
QString vehicleDiagnosis(const QVariantMap &result);

// Where the stored engine speeds came from: empty for the instrument's probe
// (and for a row older than the column).
QString speedSourceNote(const QVariantMap &result);

} // namespace ReportNames
