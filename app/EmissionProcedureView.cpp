#include "app/EmissionProcedureView.h"

#include "app/EmissionProcedureThreadLink.h"
#include "app/StepButtonLook.h"
#include "app/VehicleObd.h"
#include "app/ZelmorApplication.h"
#include "database/SelectedVehicle.h"
#include "database/ui/TFormReports.h"
#include "database/ui/TFormSelectCar.h"
#include "device/MsClock.h"
#include "device/ZmxSnapshot.h"
#include "widgets/MessageBoxes.h"

#include <QAbstractButton>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QTimer>

#include <algorithm>

EmissionProcedureView::EmissionProcedureView(const EmissionProcedureControls &controls,
    TestState &state, TOpros_ZMX &thread, QWidget *dialogParent)
    : QObject(dialogParent)
    , m_c(controls)
    , m_ownDevice(std::make_unique<EmissionProcedureThreadLink>(thread))
    , m_procedure(state, *m_ownDevice)
    , m_dialogParent(dialogParent)
{ }

EmissionProcedureView::EmissionProcedureView(const EmissionProcedureControls &controls,
    TestState &state, EmissionProcedureDevice &device, QWidget *dialogParent)
    : QObject(dialogParent)
    , m_c(controls)
    , m_procedure(state, device)
    , m_dialogParent(dialogParent)
{ }

EmissionProcedureView::~EmissionProcedureView() = default;

void EmissionProcedureView::setObd(VehicleObd *obd)
{
    m_diagnosis = TestDiagnosis(obd);
    if (obd)
        m_procedure.setEngineSpeedSource([obd] { return obd->freshRpm(MsClock::now()); });
    else
        m_procedure.setEngineSpeedSource({});
    m_procedure.setDiagnosisSource([this] { return m_diagnosis.storedText(); });
    showDiagnosis();
}

void EmissionProcedureView::setDialogs(TFormSelectCar *selectCar, TFormReports *reports)
{
    m_selectCar = selectCar;
    m_reports = reports;
}

// ---- new test -------------------------------------------------------------

void EmissionProcedureView::NStartDiagnoseClick()
{
    if (!MessageBoxes::confirm(m_dialogParent, EmissionProcedure::askNewTestText()))
        return;
    if (!m_selectCar)
        return;

    m_procedure.beginVehicleSelection();
    const int result = m_selectCar->exec();
    if (result == QDialog::Accepted) {
        const SelectedVehicle vehicle = m_selectCar->selectedVehicle();
        m_procedure.endVehicleSelection(&vehicle);
        showVehicle(vehicle);
    } else {
        m_procedure.endVehicleSelection(nullptr);
    }
}

void EmissionProcedureView::applySelectedVehicle(const SelectedVehicle &vehicle)
{
    m_procedure.applySelectedVehicle(vehicle);
    showVehicle(vehicle);
}

// ---- the vehicle's own diagnosis ------------------------------------------

void EmissionProcedureView::btnObdClick()
{
    if (!m_diagnosis.request()) {
        warn(TestDiagnosis::notInUseText());
        return;
    }
    showDiagnosis();
}

void EmissionProcedureView::pollDiagnosis()
{
    if (m_diagnosis.poll())
        showDiagnosis();
}

void EmissionProcedureView::obdChanged()
{
    showDiagnosis();
}

void EmissionProcedureView::showDiagnosis()
{
    if (!m_c.labObdDiagnosis)
        return;
    const QString text = m_diagnosis.pageText();
    if (m_c.labObdDiagnosis->text() != text) {
        m_c.labObdDiagnosis->setText(text);
        // The whole of it, as the protocol prints it.
        m_c.labObdDiagnosis->setToolTip(m_diagnosis.diagnosis().read()
                ? QStringLiteral("Бортовая диагностика: ") + m_diagnosis.diagnosis().summary()
                : text);
    }
    const bool reading = m_diagnosis.phase() == TestDiagnosis::Phase::Reading;
    if (reading != StepButtonLook::isRunning(m_c.btnObd)) {
        if (reading)
            StepButtonLook::setRunning(m_c.btnObd, m_c.ShapeObd);
        else
            StepButtonLook::setIdle(m_c.btnObd, m_c.ShapeObd);
    }
}

void EmissionProcedureView::showVehicle(const SelectedVehicle &vehicle)
{
    if (m_c.edModel)
        m_c.edModel->setText(vehicle.modelName);
    if (m_c.edGosNum)
        m_c.edGosNum->setText(vehicle.govNumber);
    // A new test: nothing of the previous vehicle's steps stays on the page,
    // except a zero correction the instrument still runs.
    if (m_procedure.state().OperationState != TestOperation::ZeroCorrection) {
        StepButtonLook::setIdle(m_c.btnZero, m_c.ShapeZero);
        if (m_c.MainProgress)
            m_c.MainProgress->setValue(0);
    }
    StepButtonLook::setIdle(m_c.btnMinRatio, m_c.ShapeMinRatio);
    StepButtonLook::setIdle(m_c.btnMaxRatio, m_c.ShapeMaxRatio);
    for (QWidget *mark : { m_c.OKZero, m_c.OKMinRatio, m_c.OKMaxRatio })
        if (mark)
            mark->hide();
    // The new vehicle's diagnosis is read now, beside the zero correction.
    m_diagnosis.startForNewVehicle();
    showDiagnosis();
}

// ---- F1 … F3 --------------------------------------------------------------

void EmissionProcedureView::btnZeroClick()
{
    if (!m_procedure.startZeroCorrection())
        return;
    showStatus(EmissionProcedure::zeroCorrectionStatus());
    if (m_c.OKZero)
        m_c.OKZero->hide();
    setProgress(m_c.MainProgress ? m_c.MainProgress->maximum() : 1, 0);
    StepButtonLook::setIdle(m_c.btnMinRatio, m_c.ShapeMinRatio);
    StepButtonLook::setIdle(m_c.btnMaxRatio, m_c.ShapeMaxRatio);
    StepButtonLook::setRunning(m_c.btnZero, m_c.ShapeZero);
}

int EmissionProcedureView::CheckTestReady()
{
    const EmissionProcedure::Readiness ready = m_procedure.readiness();
    if (ready.code != EmissionProcedure::Ready)
        warn(ready.refusal);
    return ready.code;
}

void EmissionProcedureView::btnMinRatioClick()
{
    startSpeedStep(TestOperation::MinSpeed);
}

void EmissionProcedureView::btnMaxRatioClick()
{
    startSpeedStep(TestOperation::RaisedSpeed);
}

void EmissionProcedureView::startSpeedStep(TestOperation step)
{
    const EmissionProcedure::StepStart start = m_procedure.startSpeedStep(step);
    if (!start.refusal.isEmpty())
        warn(start.refusal);
    if (!start.started)
        return;

    const bool minSpeed = step == TestOperation::MinSpeed;
    if (QWidget *mark = minSpeed ? m_c.OKMinRatio : m_c.OKMaxRatio)
        mark->hide();
    showStatus(EmissionProcedure::receivingStatus());
    setProgress(m_procedure.state().readingsPerStep(), 0);
    StepButtonLook::setIdle(m_c.btnZero, m_c.ShapeZero);
    if (minSpeed) {
        StepButtonLook::setIdle(m_c.btnMaxRatio, m_c.ShapeMaxRatio);
        StepButtonLook::setRunning(m_c.btnMinRatio, m_c.ShapeMinRatio);
    } else {
        StepButtonLook::setIdle(m_c.btnMinRatio, m_c.ShapeMinRatio);
        StepButtonLook::setRunning(m_c.btnMaxRatio, m_c.ShapeMaxRatio);
    }
}

// ---- operation timer ------------------------------------------------------

void EmissionProcedureView::onReadingsTick(const ZmxSnapshot &snapshot, bool newRecord)
{
    showTick(m_procedure.onReadingsTick(snapshot, newRecord));
}

void EmissionProcedureView::onProcedureTick(const ZmxSnapshot &snapshot)
{
    showTick(m_procedure.onProcedureTick(snapshot));
}

void EmissionProcedureView::onOtherTick()
{
    showTick(m_procedure.onOtherTick());
}

void EmissionProcedureView::showTick(const EmissionProcedure::Tick &tick)
{
    if (tick.progress)
        setProgress(tick.progress->maximum, tick.progress->value);
    if (tick.zeroCorrectionDone) {
        if (m_c.MainProgress)
            m_c.MainProgress->setValue(m_c.MainProgress->maximum());
        if (m_c.OKZero)
            m_c.OKZero->show();
        StepButtonLook::setIdle(m_c.btnZero, m_c.ShapeZero);
    }
    if (tick.zeroCorrectionError) {
        // The status line says it now, the box once the tick is over, so the
        // timer goes on showing live values while the operator reads it.
        showStatus(*tick.zeroCorrectionError);
        if (m_c.MainProgress)
            m_c.MainProgress->setValue(0);
        if (m_c.OKZero)
            m_c.OKZero->hide();
        StepButtonLook::setIdle(m_c.btnZero, m_c.ShapeZero);
        QTimer::singleShot(0, this, [this, text = *tick.zeroCorrectionError] { warn(text); });
    }
    if (tick.stepDone) {
        const bool minSpeed = *tick.stepDone == TestOperation::MinSpeed;
        if (QWidget *mark = minSpeed ? m_c.OKMinRatio : m_c.OKMaxRatio)
            mark->show();
        if (minSpeed)
            StepButtonLook::setIdle(m_c.btnMinRatio, m_c.ShapeMinRatio);
        else
            StepButtonLook::setIdle(m_c.btnMaxRatio, m_c.ShapeMaxRatio);
    }
}

void EmissionProcedureView::onLinkLost()
{
    m_procedure.onLinkLost();
    setAllStepsIdle();
    if (m_c.MainProgress)
        m_c.MainProgress->setValue(0);
}

// ---- F4 -------------------------------------------------------------------

void EmissionProcedureView::btnReportClick()
{
    using Kind = EmissionProcedure::Report::Kind;
    const EmissionProcedure::Report report
        = m_procedure.storeReport(m_c.edGosNum ? m_c.edGosNum->text() : QString());
    switch (report.kind) {
    case Kind::ShowStored:
        if (m_reports)
            m_reports->showReports(report.index);
        break;
    case Kind::Refused:
        warn(report.text);
        break;
    case Kind::Unavailable:
        break;
    case Kind::Failed:
        ZelmorApplication::showError(report.text);
        break;
    case Kind::Stored:
        if (m_reports)
            m_reports->showReports(report.index);
        m_procedure.finishReport();
        showReportFinished();
        break;
    }
}

void EmissionProcedureView::showReportFinished()
{
    setAllStepsIdle();
    if (m_c.MainProgress)
        m_c.MainProgress->setValue(0);
    for (QWidget *mark : { m_c.OKZero, m_c.OKMinRatio, m_c.OKMaxRatio })
        if (mark)
            mark->hide();
}

// ---- helpers --------------------------------------------------------------

void EmissionProcedureView::showStatus(const QString &status)
{
    if (m_c.labZMStatus)
        m_c.labZMStatus->setText(status);
    if (m_c.labDStatus)
        m_c.labDStatus->setText(status);
}

void EmissionProcedureView::setAllStepsIdle()
{
    StepButtonLook::setIdle(m_c.btnZero, m_c.ShapeZero);
    StepButtonLook::setIdle(m_c.btnMinRatio, m_c.ShapeMinRatio);
    StepButtonLook::setIdle(m_c.btnMaxRatio, m_c.ShapeMaxRatio);
}

void EmissionProcedureView::setProgress(int maximum, int value)
{
    if (!m_c.MainProgress)
        return;
    // A maximum of 0 would turn the gauge into a busy indicator.
    const int top = std::max(1, maximum);
    m_c.MainProgress->setRange(0, top);
    m_c.MainProgress->setValue(std::clamp(value, 0, top));
}

void EmissionProcedureView::warn(const QString &message)
{
    MessageBoxes::warning(m_dialogParent, message);
}
