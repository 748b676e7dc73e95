#pragma once

#include "tables/Judgement.h"

#include <QSqlDatabase>
#include <QString>
#include <QVariantMap>

class QSqlRecord;

// A stored report as the report browser shows it, and as the printed report,
// its PDF and the export read it: every field of its row of "reports.db" by
// name (what it was stored with included, null in a row stored before), and
// the model it is judged by.
struct ShownReport
{
    QVariantMap result; // empty: no such report
    // Index, Name, SaveSystem, Category and the sixteen limits: those stored
    // with the result, or, for a row stored without them, its model's row of
    // "models.DB" as it is now; empty when that model no longer exists.
    QVariantMap model;
    bool modelStored = false; // model holds what the result was stored with

    bool isEmpty() const { return result.isEmpty(); }
    // Index of the report, 0 when empty.
    int index() const;
    // The one judgement of the result against its model.
    Judgement::Outcome judgement() const;

    // The report with this Index and its model. Throws ZelmorError when the
    // database cannot be read.
    static ShownReport read(const QSqlDatabase &db, int reportIndex);

    // The columns after "reports.db"'s own in a query that reads reports
    // with their current models: Reports.* first, then these.
    static QString currentModelColumns(const QString &modelsAlias);
    static QString currentModelJoin(const QString &reportsAlias, const QString &modelsAlias);
    // A report from one row of such a query.
    static ShownReport fromRecord(const QSqlRecord &record);
};
