#pragma once

#include <QString>
#include <QVariantMap>

// What a report is made of: the report shown in the browser (all fields of
// its "reports.db" row, what it was stored with included), the model it is
// judged by and the place of inspection from the options. Empty maps:
// nothing is shown.
struct ReportData
{
    QVariantMap qrResult;
    // Name, Category, SaveSystem and the sixteen limits: those stored with
    // the result, or for a row stored without them the model's current ones.
    QVariantMap qrModel;
    QString edReportPlace;
    // qrModel is what the result was stored with (false: the current table).
    bool modelStored = false;

    bool hasReport() const { return !qrResult.isEmpty(); }
};
