#include "app/RecordingGrid.h"

#include "common/FormatSettings.h"
#include "common/NumberText.h"

#include <QTableWidget>
#include <QTimer>

RecordingGrid::RecordingGrid(QTableWidget *grid, QObject *parent)
    : QObject(parent)
    , m_grid(grid)
{
    m_timer = new QTimer(this);
    m_timer->setSingleShot(true);
    m_timer->setInterval(0);
    connect(m_timer, &QTimer::timeout, this, &RecordingGrid::fillSlice);
}

MeasurementRecording::Header RecordingGrid::header() const
{
    MeasurementRecording::Header header = MeasurementRecording::defaultHeader();
    if (!m_grid || m_grid->rowCount() == 0
        || m_grid->columnCount() < MeasurementRecording::ColumnCount)
        return header;
    for (int column = 0; column < MeasurementRecording::ColumnCount; ++column) {
        if (const QTableWidgetItem *item = m_grid->item(0, column))
            header[column] = item->text();
    }
    return header;
}

void RecordingGrid::show(MeasurementRecording recording)
{
    if (!m_grid)
        return;
    m_grid->setColumnCount(MeasurementRecording::ColumnCount);
    m_grid->setRowCount(int(recording.Points.size()) + 1);
    for (int column = 0; column < MeasurementRecording::ColumnCount; ++column)
        m_grid->setItem(0, column, new QTableWidgetItem(recording.HeaderRow[column]));
    m_content = std::make_shared<const MeasurementRecording>(std::move(recording));
    m_rowsDone = 0;
    fillSlice();
}

void RecordingGrid::fillSlice()
{
    if (!m_content || !m_grid)
        return;
    const QChar separator = FormatSettings::current().decimalSeparator;
    const std::vector<MeasurementPoint> &points = m_content->Points;
    const int end = std::min(int(points.size()), m_rowsDone + SliceRows);
    m_grid->setUpdatesEnabled(false);
    for (int n = m_rowsDone; n < end; ++n) {
        const MeasurementPoint &point = points[size_t(n)];
        m_grid->setItem(n + 1, 0, new QTableWidgetItem(QString::number(point.TimeMs)));
        for (int gas = 0; gas < int(point.Values.size()); ++gas)
            m_grid->setItem(n + 1, gas + 1,
                new QTableWidgetItem(generalText(double(point.Values[gas]), separator)));
    }
    m_grid->setUpdatesEnabled(true);
    m_rowsDone = end;
    if (m_rowsDone >= int(points.size()))
        m_content.reset();
    else
        m_timer->start();
}
