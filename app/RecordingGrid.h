#pragma once

#include "files/MeasurementFile.h"

#include <QObject>
#include <QPointer>

#include <memory>

class QTableWidget;
class QTimer;

// The data grid "grData" of the page "TabSheet3" as the research page
// fills it: row 0 the header, one row per point of the last recording saved
// or opened. A long recording is written in slices from the event loop, so
// the command that saved or opened it does not wait for the grid.
class RecordingGrid : public QObject
{
    Q_OBJECT

public:
    static constexpr int SliceRows = 2000; // about 10 ms of the event loop

    explicit RecordingGrid(QTableWidget *grid, QObject *parent = nullptr);

    // The header row as the grid holds it; the default header without a grid.
    MeasurementRecording::Header header() const;
    // Shows the recording: the header and the first slice at once, the
    // other rows from the event loop.
    void show(MeasurementRecording recording);
    bool isComplete() const { return !m_content; }

private:
    void fillSlice();

    QPointer<QTableWidget> m_grid;
    std::shared_ptr<const MeasurementRecording> m_content; // still being written
    int m_rowsDone = 0;
    QTimer *m_timer = nullptr;
};
