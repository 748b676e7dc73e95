#pragma once

#include "database/ReportChain.h"

#include <QByteArray>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

class ReportFilter;

// Stored results as a table for a spreadsheet under Russian regional
// settings: UTF-8 with a byte-order mark, semicolons between fields, commas in
// numbers, dates as dd.MM.yyyy, a header row of Russian titles and the
// model's name beside its Index.
namespace ReportCsv {

struct Line
{
    ReportChain::Row row;
    QString modelName; // empty when the model no longer exists
};

QStringList headerTitles();

// The whole file's bytes.
QByteArray toCsv(const QList<Line> &lines);

// The reports a (resolved) filter lists, in the list's order, with their
// models' names. Throws ZelmorError on an engine failure.
QList<Line> linesOf(const QSqlDatabase &db, const ReportFilter &filter);

// Writes what the filter lists to path, replacing the file only when all of
// it is written. Returns the number of rows; throws IoError ("Unable to write
// to <path>") or ZelmorError.
int exportFilter(const QSqlDatabase &db, const ReportFilter &filter, const QString &path);

} // namespace ReportCsv
