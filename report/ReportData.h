#pragma once

#include <QString>
#include <QVariantMap>

// What a report is made of: the report shown in the browser (all fields of
// its "reports.db" row), its model (all fields of its "models.DB" row) and
// the place of inspection from the options. Empty maps: nothing is shown.
struct ReportData
{
    QVariantMap qrResult;
    QVariantMap qrModel;
    QString edReportPlace;

    bool hasReport() const { return !qrResult.isEmpty(); }
};
