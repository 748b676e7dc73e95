#pragma once

#include "database/ReportFilter.h"

#include <QAbstractTableModel>

// The report browser's result list: two visible columns whose titles and
// fields follow the filter, then the hidden Index and Model. Rows are held
// compactly and formatted when shown, so a long list fills quickly.
class ReportListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { Column0, Column1, IndexColumn, ModelColumn, ColumnCount };

    using QAbstractTableModel::QAbstractTableModel;

    void setRows(const ReportFilter &filter, QList<ReportFilter::Row> rows);
    const ReportFilter::Row &row(int r) const { return m_rows.at(r); }
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

    QList<ReportFilter::Row> m_rows;
    QString m_titles[2];
    QString m_fields[2];
};
