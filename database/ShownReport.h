#pragma once

#include <QSqlDatabase>
#include <QVariantMap>

// A stored report as the report browser shows it, and as the printed report,
// its PDF and the judgement of its means read it from there: every field of
// its row of "reports.db" and of its model's row of "models.DB", by name.
struct ShownReport
{
    QVariantMap result; // empty: no such report
    QVariantMap model; // empty: its model no longer exists

    bool isEmpty() const { return result.isEmpty(); }
    // Index of the report, 0 when empty.
    int index() const;

    // The report with this Index and its model. Throws ZelmorError when the
    // database cannot be read.
    static ShownReport read(const QSqlDatabase &db, int reportIndex);
};
