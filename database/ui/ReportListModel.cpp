#include "database/ui/ReportListModel.h"

#include "common/FormatSettings.h"
#include "common/ZelmorError.h"

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

void ReportListModel::setFilter(const QSqlDatabase &db, const ReportFilter &filter)
{
    ReportFilter resolved = filter;
    resolved.resolveModel(db);
    const int count = resolved.count(db);
    beginResetModel();
    m_db = db;
    m_filter = resolved;
    m_count = count;
    m_pages.clear();
    endResetModel();
    emit headerDataChanged(Qt::Horizontal, 0, 1);
}

void ReportListModel::clear(const ReportFilter &filter)
{
    beginResetModel();
    m_filter = filter;
    m_count = 0;
    m_pages.clear();
    endResetModel();
    emit headerDataChanged(Qt::Horizontal, 0, 1);
}

ReportFilter::Row ReportListModel::row(int r) const
{
    if (r < 0 || r >= m_count)
        return {};
    const int page = r / PageRows;
    auto it = m_pages.constFind(page);
    if (it == m_pages.constEnd()) {
        QList<ReportFilter::Row> rows;
        try {
            rows = m_filter.page(m_db, page * PageRows, PageRows, m_count);
        } catch (const ZelmorError &) {
            // Shown as empty rows; the next search reports the engine's error.
        }
        it = m_pages.insert(page, rows);
    }
    const int offset = r % PageRows;
    return offset < it->size() ? it->at(offset) : ReportFilter::Row();
}

int ReportListModel::rowOfIndex(int reportIndex) const
{
    try {
        return m_count > 0 ? m_filter.position(m_db, reportIndex, m_count) : -1;
    } catch (const ZelmorError &) {
        return -1;
    }
}

int ReportListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_count;
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
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    const ReportFilter::Row r = row(index.row());
    switch (index.column()) {
    case Column0:
        return text(m_filter.field(0), r.column0);
    case Column1:
        return text(m_filter.field(1), r.column1);
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
        return m_filter.title(0);
    case Column1:
        return m_filter.title(1);
    case IndexColumn:
        return QStringLiteral("Index");
    case ModelColumn:
        return QStringLiteral("Model");
    default:
        return {};
    }
}
