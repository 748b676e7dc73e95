#include "database/ui/ReportListModel.h"

#include "common/FormatSettings.h"

#include <QDate>
#include <QTime>

namespace {

FormatSettings browserSettings()
{
    FormatSettings s = FormatSettings::current();
    s.dateSeparator = QLatin1Char('.');
    s.timeSeparator = QLatin1Char(':');
    return s;
}

QTime timeOf(const QVariant &value)
{
    const QString text = value.toString();
    QTime t = QTime::fromString(text, QStringLiteral("HH:mm:ss"));
    if (!t.isValid())
        t = QTime::fromString(text, Qt::ISODateWithMs);
    return t;
}

} // namespace

QString ReportListModel::dateText(const QVariant &value)
{
    const QDate d = value.toDate();
    if (!d.isValid())
        return value.toString();
    return formatDateTime(
        QStringLiteral("yyyy/mm/dd"), QDateTime(d, QTime(0, 0)), browserSettings());
}

QString ReportListModel::timeText(const QVariant &value)
{
    const QTime t = timeOf(value);
    if (!t.isValid())
        return value.toString();
    return formatDateTime(
        QStringLiteral("hh:nn:ss"), QDateTime(QDate(2000, 1, 1), t), browserSettings());
}

void ReportListModel::setRows(const ReportFilter &filter, QList<ReportFilter::Row> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    for (int c = 0; c < 2; ++c) {
        m_titles[c] = filter.title(c);
        m_fields[c] = filter.field(c);
    }
    endResetModel();
    emit headerDataChanged(Qt::Horizontal, 0, 1);
}

int ReportListModel::rowOfIndex(int reportIndex) const
{
    for (int r = 0; r < m_rows.size(); ++r)
        if (m_rows[r].index == reportIndex)
            return r;
    return -1;
}

int ReportListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int ReportListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString ReportListModel::text(const QString &field, const QVariant &value) const
{
    if (field == QLatin1String("Date"))
        return dateText(value);
    if (field == QLatin1String("Time"))
        return timeText(value);
    return value.toString();
}

QVariant ReportListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size()
        || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    const ReportFilter::Row &r = m_rows.at(index.row());
    switch (index.column()) {
    case Column0:
        return text(m_fields[0], r.column0);
    case Column1:
        return text(m_fields[1], r.column1);
    case IndexColumn:
        return r.index;
    case ModelColumn:
        return r.model;
    default:
        return {};
    }
}

QVariant ReportListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return QString();
    switch (section) {
    case Column0:
        return m_titles[0];
    case Column1:
        return m_titles[1];
    case IndexColumn:
        return QStringLiteral("Index");
    case ModelColumn:
        return QStringLiteral("Model");
    default:
        return {};
    }
}
