#pragma once

#include "app/EmissionProcedure.h"
#include "app/EmissionProcedureControls.h"
#include "app/TestDiagnosis.h"
#include "app/TestState.h"

#include <QObject>
#include <QString>

#include <memory>

class EmissionProcedureDevice;
class GASE_GRAPH;
class QWidget;
class TFormReports;
class TFormSelectCar;
class TOpros_ZMX;
class VehicleObd;
class ZelmorDatabase;
struct SelectedVehicle;
struct ZmxSnapshot;

// The emission test on the measuring page: runs EmissionProcedure's steps for
// the step buttons, the menu and the operation timer, and shows what each
// step did on the page's controls, in message boxes, the vehicle selection
// and the report browser. All of it runs on the user interface thread.
//
// The main window forwards its handlers and timer ticks here:
//   - readings, link check passed: onReadingsTick(snapshot, StaleTicks == 0)
//   - the link check found no link: onLinkLost()
//   - a procedure's progress:       onProcedureTick(snapshot)
//   - any other kind:               onOtherTick()
class EmissionProcedureView : public QObject
{
    Q_OBJECT

public:
    EmissionProcedureView(const EmissionProcedureControls &controls, TestState &state,
        TOpros_ZMX &thread, QWidget *dialogParent = nullptr);
    EmissionProcedureView(const EmissionProcedureControls &controls, TestState &state,
        EmissionProcedureDevice &device, QWidget *dialogParent = nullptr);
    ~EmissionProcedureView() override;

    void setDatabase(ZelmorDatabase *database) { m_procedure.setDatabase(database); }
    void setDialogs(TFormSelectCar *selectCar, TFormReports *reports);
    void setGasGraph(GASE_GRAPH *graph) { m_procedure.setGasGraph(graph); }
    // The vehicle's OBD link: the readings take its engine speed while it
    // answers, and the test reads and stores its diagnosis.
    void setObd(VehicleObd *obd);

    // EmissionProcedure::Ready when a speed step may start, NotWarmedUp or
    // NoVehicle otherwise; shows the refusal itself.
    int CheckTestReady();

    // Operation timer.
    void onReadingsTick(const ZmxSnapshot &snapshot, bool newRecord);
    void onProcedureTick(const ZmxSnapshot &snapshot);
    void onOtherTick();
    void onLinkLost();
    // Takes a finished diagnosis read (the engine-speed timer).
    void pollDiagnosis();
    // The adapter came into or went out of use.
    void obdChanged();

    // Starts a new test for this vehicle, as the selection's confirmation does.
    void applySelectedVehicle(const SelectedVehicle &vehicle);

    int storedReportIndex() const { return m_procedure.storedReportIndex(); }
    const EmissionProcedure &procedure() const { return m_procedure; }
    const TestDiagnosis &diagnosis() const { return m_diagnosis; }

public slots:
    void NStartDiagnoseClick();
    void btnZeroClick();
    void btnMinRatioClick();
    void btnMaxRatioClick();
    void btnReportClick();
    // F5: reads the vehicle's diagnosis (again).
    void btnObdClick();

private:
    void showDiagnosis();
    void startSpeedStep(TestOperation step);
    void showTick(const EmissionProcedure::Tick &tick);
    void showVehicle(const SelectedVehicle &vehicle);
    void showReportFinished();
    void showStatus(const QString &text);
    void setAllStepsIdle();
    void setProgress(int maximum, int value);
    void warn(const QString &text);

    EmissionProcedureControls m_c;
    std::unique_ptr<EmissionProcedureDevice> m_ownDevice;
    EmissionProcedure m_procedure;
    TestDiagnosis m_diagnosis;
    QWidget *m_dialogParent;
    TFormSelectCar *m_selectCar = nullptr;
    TFormReports *m_reports = nullptr;
};
