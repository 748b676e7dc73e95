#pragma once

#include <QDate>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QVariant>

// The report browser's search: which reports to list by date, model and
// registration number, and the two visible columns of the list. The typed
// number and the model index are bound as parameters, never spliced into the
// statement. Rows come in storing order.
class ReportFilter
{
public:
    struct Row
    {
        int index = 0; // Index of the report
        int model = 0; // Model of the report
        QVariant column0; // value of the first visible column
        QVariant column1; // value of the second visible column
    };

    bool byDate = false;
    bool byModel = false;
    bool byGovNumber = false;
    QDate date;
    QString modelName; // the name shown in the model filter
    QString govNumber; // compared exactly as typed

    // Titles and field names of the two visible columns for these ticks.
    QString title(int column) const;
    QString field(int column) const;

    // Index of the model called modelName (first match), 0 when none.
    static int modelIndexByName(const QSqlDatabase &db, const QString &name);

    // Runs the search; throws ZelmorError on an engine failure.
    QList<Row> run(const QSqlDatabase &db) const;
};
