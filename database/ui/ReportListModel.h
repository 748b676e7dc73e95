#pragma once

#include "database/ReportFilter.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QSqlDatabase>

// The report browser's result list: two visible columns whose titles and
// fields follow the filter, then the hidden Index and Model. The list counts
// its rows when the filter runs and reads them in pages as they are shown,
// so a search over years of reports opens at once.
class ReportListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { Column0, Column1, IndexColumn, ModelColumn, ColumnCount };
    static constexpr int PageRows = 256;

    using QAbstractTableModel::QAbstractTableModel;

    // Runs the search (throws ZelmorError); an empty list with the filter's
    // titles when clear() is called instead.
    void setFilter(const QSqlDatabase &db, const ReportFilter &filter);
    void clear(const ReportFilter &filter);

    // The listed report of a row (Index 0 when the row cannot be read).
    ReportFilter::Row row(int r) const;
    int rowOfIndex(int reportIndex) const; // -1 when not listed

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Dates as "yyyy.mm.dd", times as "hh:nn:ss".
    static QString dateText(const QVariant &value);
    static QString timeText(const QVariant &value);

private:
    QString text(const QString &field, const QVariant &value) const;

    QSqlDatabase m_db;
    ReportFilter m_filter;
    int m_count = 0;
    mutable QHash<int, QList<ReportFilter::Row>> m_pages;
};
