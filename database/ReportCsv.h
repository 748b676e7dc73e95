#pragma once

#include "database/ShownReport.h"

#include <QByteArray>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

class ReportFilter;

// Stored results as a table for a spreadsheet under Russian regional
// settings: UTF-8 with a byte-order mark, semicolons between fields, commas in
// numbers, dates as dd.MM.yyyy, a header row of Russian titles. Each report
// carries the model's name beside its Index, the means, then the limits it
// is judged by (those it was stored with, else the model's current ones),
// the conclusion, and who measured it with what.
namespace ReportCsv {

using Line = ShownReport;

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
