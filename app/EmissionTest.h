#pragma once

#include "app/EmissionTestControls.h"
#include "app/TestState.h"

#include <QObject>
#include <QString>

#include <array>
#include <memory>

class EmissionTestDevice;
class GASE_GRAPH;
class QWidget;
class TFormReports;
class TFormSelectCar;
class TOpros_ZMX;
class ZelmorDatabase;
struct SelectedVehicle;
struct ZmxSnapshot;

// The emission test of one vehicle on the measuring page: the choice of the
// vehicle, the four operator steps F1 … F4 and the collection of readings that
// the operation timer feeds. All of it runs on the user interface thread.
//
// The main window owns the state and the controls and forwards its handlers
// and timer ticks here:
//   - DataKind 2, link check passed: onReadingsTick(snapshot, StaleTicks == 0)
//   - the link check found no link:   onLinkLost()
//   - DataKind 4:                     onProcedureTick(snapshot)
//   - any other kind:                 onOtherTick()
class EmissionTest : public QObject
{
    Q_OBJECT

public:
    // Results of CheckTestReady.
    static constexpr int Ready = 0;
    static constexpr int NotWarmedUp = -1;
    static constexpr int NoVehicle = -2;

    // Command codes and answer kinds of the instrument used here.
    static constexpr int CommandSetZero = 3; // ZMX_set_zero
    static constexpr int DataKindReadings = 2;

    EmissionTest(const EmissionTestControls &controls, TestState &state, TOpros_ZMX &thread,
        QWidget *dialogParent = nullptr);
    EmissionTest(const EmissionTestControls &controls, TestState &state, EmissionTestDevice &device,
        QWidget *dialogParent = nullptr);
    ~EmissionTest() override;

    // Parts that exist only later in the main window's life (or not at all
    // in a test); a handler that needs a missing one does nothing.
    void setDatabase(ZelmorDatabase *database) { m_database = database; }
    void setDialogs(TFormSelectCar *selectCar, TFormReports *reports);
    void setGasGraph(GASE_GRAPH *graph) { m_graph = graph; }

    // 0 when a speed step may start, -1 while the instrument warms up, -2 when
    // no vehicle is chosen; shows the refusal itself.
    int CheckTestReady();

    // Operation timer.
    void onReadingsTick(const ZmxSnapshot &snapshot, bool newRecord);
    void onProcedureTick(const ZmxSnapshot &snapshot);
    void onOtherTick();
    void onLinkLost();

    // Starts a new test for this vehicle, as the selection's confirmation does.
    void applySelectedVehicle(const SelectedVehicle &vehicle);

    // Index of the report row stored by the last F4 of this run, 0 before.
    int storedReportIndex() const { return m_storedReportIndex; }

    // Means of both speed steps over the readings each collected, in the
    // order of TestMeans.
    static std::array<float, TestState::MeanCount> meansOf(const TestState &state);

public slots:
    void NStartDiagnoseClick();
    void btnZeroClick();
    void btnMinRatioClick();
    void btnMaxRatioClick();
    void btnReportClick();

private:
    void startSpeedStep(TestOperation step, bool precondition, const QString &refusal);
    void collectReading(const ZmxSnapshot &snapshot, bool newRecord);
    void takeZeroCorrectionMark();
    void completeZeroCorrection();
    void completeSpeedStep();
    void afterReportBrowserClosed();
    void showStatus(const QString &text);
    void setAllStepsIdle();
    void setProgress(int maximum, int value);
    void warn(const QString &text);

    EmissionTestControls m_c;
    TestState &m_state;
    std::unique_ptr<EmissionTestDevice> m_ownDevice;
    EmissionTestDevice &m_device;
    QWidget *m_dialogParent;
    ZelmorDatabase *m_database = nullptr;
    TFormSelectCar *m_selectCar = nullptr;
    TFormReports *m_reports = nullptr;
    GASE_GRAPH *m_graph = nullptr;
    int m_storedReportIndex = 0;
};
