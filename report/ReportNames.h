#pragma once

#include "report/ReportData.h"
#include "report/ReportJudgement.h"

#include <QString>
#include <QStringList>

// The data names a report template may use, in brackets:
//   [qrResult.<field>]  the shown report: Index, Date, Time, ZMNum, Model,
//                       GovNumber and the fourteen means MinTax … MaxLambda
//   [qrModel.<field>]   its model: Index, Name, SaveSystem, Category and the
//                       sixteen limits MinTax … MaxLambda
//   [edReportPlace]     the place of inspection
//   [limit.<mean>]      the limit a mean is judged against, as printed
//   [verdict.<mean>]    "в норме", "вне нормы", "—"; [verdict.Overall]
//   [mark.<mean>]       within, beyond, nolimit, novalue: a class for the
//                       template's style sheet; [mark.Overall]
//   [obd.summary]       the vehicle's own diagnosis stored with the result
//                       (its "VehicleDiagnosis" field): "индикатор
//                       неисправности выключен; готовность: …", or
//                       "не проводилась"
// where <mean> is one of the fourteen result fields.
namespace ReportNames {

const QStringList &all();
bool isKnown(const QString &name);

// The plain text of a known name (not escaped for HTML); an empty text for
// the data of an empty browser. Dates print as dd.mm.yyyy, times as hh:nn:ss,
// numbers in the program's number format.
QString text(const QString &name, const ReportData &data, const ReportJudgement &judgement);

} // namespace ReportNames
