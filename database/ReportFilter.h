#pragma once

#include <QDate>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QVariant>

class QSqlQuery;

// The report browser's search: which reports to list by date, model and
// registration number, and the two visible columns of the list. The typed
// number and the model index are bound as parameters, never spliced into the
// statement. Rows come in storing order. A long list is read in pages
// (count(), page()), so the browser never waits for all of it.
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

    // Looks up the model filter's name; once per search, before the calls below.
    void resolveModel(const QSqlDatabase &db);

    // All of these throw ZelmorError on an engine failure.
    int count(const QSqlDatabase &db) const;
    // Rows first … first + rows - 1 of the list; total is count() when the
    // caller knows it already.
    QList<Row> page(const QSqlDatabase &db, int first, int rows, int total = -1) const;
    // Position of the report with this Index in the list, -1 when not listed;
    // total is count() when the caller knows it (a report near the end is
    // then found by counting the few rows after it).
    int position(const QSqlDatabase &db, int reportIndex, int total = -1) const;

    // The whole list at once (resolves the model itself).
    QList<Row> run(const QSqlDatabase &db);

private:
    QString statement(const QString &columns, const QString &condition, const QString &tail) const;
    void bind(QSqlQuery &q) const;

    int m_selectedModelIndex = 0;
};
