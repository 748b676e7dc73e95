#pragma once

#include <QSqlDatabase>

#include <optional>

// How many reports each instrument stored of each model, kept by the server
// itself: the report browser's list of all reports, or of one model, shows
// its length at once instead of counting a million rows. Triggers on
// "reports.db" keep the table in step with every insert, delete, change of
// instrument or model and emptying of the table, whoever makes it and
// through whatever path (the program, a server function, a hand-made
// statement), in the same transaction; so the counts are exactly what a
// count of the rows gives in the same snapshot. Counts are kept per
// instrument so that lanes storing at once never wait on one counter row.
// SQLite counts these lists fast enough itself and keeps no such table.
namespace ReportCounts {

inline constexpr const char *Table = "report_counts";

// Whether the database keeps the counts (a server database prepared by
// this program).
bool exists(const QSqlDatabase &db);

// Creates the table and its triggers on a server database and counts the
// rows already stored. Call inside the transaction that prepares the
// tables; throws ZelmorError.
void create(const QSqlDatabase &db);

// The number of reports, of all models or of the model with this Index;
// nothing when the database keeps no counts or this account may not read
// them (the caller counts rows then). Throws ZelmorError when it cannot
// even tell whether the counts are kept.
std::optional<int> reports(const QSqlDatabase &db, std::optional<int> model = std::nullopt);

} // namespace ReportCounts
