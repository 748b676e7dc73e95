#include "app/EmissionTest.h"

#include "app/EmissionTestThreadLink.h"
#include "app/MessageBoxes.h"
#include "app/StepButtonLook.h"
#include "app/ZelmorApplication.h"
#include "common/AppLog.h"
#include "common/FormatSettings.h"
#include "common/ZelmorError.h"
#include "database/SelectedVehicle.h"
#include "database/TestResult.h"
#include "database/ZelmorDatabase.h"
#include "database/ui/TFormReports.h"
#include "database/ui/TFormSelectCar.h"
#include "device/ZmxSnapshot.h"
#include "graphs/GASE_GRAPH.h"

#include <QAbstractButton>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>

#include <algorithm>

namespace {

const char *const AskNewTest = "Вы действительно хотите начать новое измерение?";
const char *const StatusZeroCorrection = "Коррекция нуля...";
const char *const StatusReceiving = "Прием данных...";
const char *const NotWarmedUpText
    = "Диагностика невозможна.\nДождитесь окончания прогрева прибора.";
const char *const NoVehicleText
    = "Выберите автомобиль для проведения диагностики.\nМеню Измерения->Диагностика выхлопа";
const char *const ZeroFirstText = "Выполните корекцию нуля.";
const char *const MinSpeedFirstText = "Выполните измерение на минимальных оборотах.";
const char *const NotFinishedText = "Измерения не завершены. Вывод отчета невозможен.";
const char *const LogZeroCorrect = "zero correct";

constexpr int RepeatOff = 0;
constexpr int NoArgument = 0;

QString text(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

TestState::Reading readingOf(const ResultRecord &r)
{
    // CH is kept as the instrument sends it: the pr_ekv factor is for display only.
    return { r.gaseCO, r.gaseCH, r.gaseCO2, r.gaseO2, r.gaseNOx, float(r.tax), r.lyambda };
}

} // namespace

EmissionTest::EmissionTest(const EmissionTestControls &controls, TestState &state,
    TOpros_ZMX &thread, QWidget *dialogParent)
    : QObject(dialogParent)
    , m_c(controls)
    , m_state(state)
    , m_ownDevice(std::make_unique<EmissionTestThreadLink>(thread))
    , m_device(*m_ownDevice)
    , m_dialogParent(dialogParent)
{ }

EmissionTest::EmissionTest(const EmissionTestControls &controls, TestState &state,
    EmissionTestDevice &device, QWidget *dialogParent)
    : QObject(dialogParent)
    , m_c(controls)
    , m_state(state)
    , m_device(device)
    , m_dialogParent(dialogParent)
{ }

EmissionTest::~EmissionTest() = default;

void EmissionTest::setDialogs(TFormSelectCar *selectCar, TFormReports *reports)
{
    m_selectCar = selectCar;
    m_reports = reports;
}

// ---- new test -------------------------------------------------------------

void EmissionTest::NStartDiagnoseClick()
{
    if (!MessageBoxes::confirm(text(AskNewTest), m_dialogParent))
        return;
    if (!m_selectCar)
        return;

    // The gas graph shows zeros while the operator chooses.
    m_state.OperationState = TestOperation::Blank;
    const int result = m_selectCar->exec();
    m_state.OperationState = TestOperation::Live;

    if (result == QDialog::Accepted)
        applySelectedVehicle(m_selectCar->selectedVehicle());
    else
        m_state.VehicleSelected = false;
}

void EmissionTest::applySelectedVehicle(const SelectedVehicle &vehicle)
{
    if (m_c.edModel)
        m_c.edModel->setText(vehicle.modelName);
    if (m_c.edGosNum)
        m_c.edGosNum->setText(vehicle.govNumber);

    if (m_graph) {
        const ModelLimits &limits = vehicle.limits;
        m_graph->LoadLimitSet(limits.limitSet());
        m_graph->SetGaugeWindow(
            GASE_GRAPH::EngineSpeed, limits.speedWindowLow(), limits.speedWindowHigh());
        m_graph->SetGaugeWindow(
            GASE_GRAPH::Lambda, limits.lambdaWindowLow(), limits.lambdaWindowHigh());
        m_graph->SetGaugeWindow(
            GASE_GRAPH::Tm, ModelLimits::TempWindowLow, ModelLimits::TempWindowHigh);
    }

    m_state.ModelIndex = vehicle.modelIndex;
    m_state.TestMeans.fill(0);
    m_state.ZeroDone = false;
    m_state.MinSpeedDone = false;
    m_state.RaisedSpeedDone = false;
    m_state.ReportDone = false;
    m_state.VehicleSelected = true;

    // Nothing of the previous vehicle may end up in this one's means: a step
    // that was interrupted does not continue into the new test.
    m_state.SampleCount = 0;
    m_state.SampleStep = TestOperation::Live;
    m_state.MinSpeedCollected = 0;
    m_state.RaisedSpeedCollected = 0;
    if (m_state.OperationState == TestOperation::MinSpeed
        || m_state.OperationState == TestOperation::RaisedSpeed)
        m_state.OperationState = TestOperation::Live;
    StepButtonLook::setIdle(m_c.btnMinRatio, m_c.ShapeMinRatio);
    StepButtonLook::setIdle(m_c.btnMaxRatio, m_c.ShapeMaxRatio);
    for (QWidget *mark : { m_c.OKZero, m_c.OKMinRatio, m_c.OKMaxRatio })
        if (mark)
            mark->hide();
}

// ---- F1 -------------------------------------------------------------------

void EmissionTest::btnZeroClick()
{
    // Busy, warming up or not answering with readings: the instrument would
    // not take the command now.
    if (m_device.dataKind() != DataKindReadings)
        return;

    showStatus(text(StatusZeroCorrection));
    // A mark left from an earlier correction must not end this one.
    m_device.takeZeroCorrectionFinished();
    m_device.requestOperation(CommandSetZero, RepeatOff, NoArgument);

    if (m_c.OKZero)
        m_c.OKZero->hide();
    m_state.OperationState = TestOperation::ZeroCorrection;
    setProgress(m_c.MainProgress ? m_c.MainProgress->maximum() : 1, 0);
    StepButtonLook::setIdle(m_c.btnMinRatio, m_c.ShapeMinRatio);
    StepButtonLook::setIdle(m_c.btnMaxRatio, m_c.ShapeMaxRatio);
    StepButtonLook::setRunning(m_c.btnZero, m_c.ShapeZero);
    WriteLog(text(LogZeroCorrect));
}

void EmissionTest::onProcedureTick(const ZmxSnapshot &snapshot)
{
    if (snapshot.CommandIndex == CommandSetZero)
        setProgress(snapshot.ProcedureMax, snapshot.ProcedureStep);
    takeZeroCorrectionMark();
}

void EmissionTest::onOtherTick()
{
    takeZeroCorrectionMark();
}

void EmissionTest::takeZeroCorrectionMark()
{
    // The thread keeps the mark until it is taken, so a correction that
    // finished between two ticks is completed on the next one, whatever that
    // tick's answer kind.
    if (m_device.takeZeroCorrectionFinished())
        completeZeroCorrection();
}

void EmissionTest::completeZeroCorrection()
{
    if (m_c.MainProgress)
        m_c.MainProgress->setValue(m_c.MainProgress->maximum());
    m_state.ZeroDone = true;
    // While the vehicle selection is open the graph keeps showing zeros; the
    // dialog sets Live when it closes.
    if (m_state.OperationState != TestOperation::Blank)
        m_state.OperationState = TestOperation::Live;
    if (m_c.OKZero)
        m_c.OKZero->show();
    StepButtonLook::setIdle(m_c.btnZero, m_c.ShapeZero);
}

// ---- F2, F3 ---------------------------------------------------------------

int EmissionTest::CheckTestReady()
{
    if (!m_state.WarmedUp) {
        warn(text(NotWarmedUpText));
        return NotWarmedUp;
    }
    if (!m_state.VehicleSelected) {
        warn(text(NoVehicleText));
        return NoVehicle;
    }
    return Ready;
}

void EmissionTest::btnMinRatioClick()
{
    startSpeedStep(TestOperation::MinSpeed, m_state.ZeroDone, text(ZeroFirstText));
}

void EmissionTest::btnMaxRatioClick()
{
    startSpeedStep(TestOperation::RaisedSpeed, m_state.MinSpeedDone, text(MinSpeedFirstText));
}

void EmissionTest::startSpeedStep(TestOperation step, bool precondition, const QString &refusal)
{
    if (CheckTestReady() != Ready)
        return;
    if (!precondition) {
        warn(refusal);
        return;
    }
    if (m_device.dataKind() != DataKindReadings)
        return;

    // An interrupted step started again continues its count; readings counted
    // for the other speed must not be carried into this one.
    if (m_state.SampleStep != step) {
        m_state.SampleCount = 0;
        m_state.SampleStep = step;
    }

    const bool minSpeed = step == TestOperation::MinSpeed;
    if (QWidget *mark = minSpeed ? m_c.OKMinRatio : m_c.OKMaxRatio)
        mark->hide();
    showStatus(text(StatusReceiving));
    m_state.OperationState = step;
    setProgress(m_state.readingsPerStep(), 0);
    StepButtonLook::setIdle(m_c.btnZero, m_c.ShapeZero);
    if (minSpeed) {
        StepButtonLook::setIdle(m_c.btnMaxRatio, m_c.ShapeMaxRatio);
        StepButtonLook::setRunning(m_c.btnMinRatio, m_c.ShapeMinRatio);
    } else {
        StepButtonLook::setIdle(m_c.btnMinRatio, m_c.ShapeMinRatio);
        StepButtonLook::setRunning(m_c.btnMaxRatio, m_c.ShapeMaxRatio);
    }
}

void EmissionTest::onReadingsTick(const ZmxSnapshot &snapshot, bool newRecord)
{
    takeZeroCorrectionMark();
    if (m_state.OperationState == TestOperation::MinSpeed
        || m_state.OperationState == TestOperation::RaisedSpeed)
        collectReading(snapshot, newRecord);
}

void EmissionTest::collectReading(const ZmxSnapshot &snapshot, bool newRecord)
{
    const int wanted = m_state.readingsPerStep();
    if (m_state.SampleStep != m_state.OperationState) {
        m_state.SampleCount = 0;
        m_state.SampleStep = m_state.OperationState;
    }
    // One reading per tick at most, and only a record that is new since the
    // previous tick.
    if (newRecord && m_state.SampleCount < TestState::StoredReadings) {
        m_state.RunningSamples[m_state.SampleCount] = readingOf(snapshot.LastResult);
        ++m_state.SampleCount;
    }
    setProgress(wanted, m_state.SampleCount);
    if (m_state.SampleCount >= wanted)
        completeSpeedStep();
}

void EmissionTest::completeSpeedStep()
{
    const bool minSpeed = m_state.OperationState == TestOperation::MinSpeed;
    const int collected = m_state.SampleCount;
    if (minSpeed) {
        m_state.MinSpeedSamples = m_state.RunningSamples;
        m_state.MinSpeedCollected = collected;
        m_state.MinSpeedDone = true;
    } else {
        m_state.RaisedSpeedSamples = m_state.RunningSamples;
        m_state.RaisedSpeedCollected = collected;
        m_state.RaisedSpeedDone = true;
    }
    m_state.SampleCount = 0;
    m_state.SampleStep = TestOperation::Live;
    m_state.OperationState = TestOperation::Live;
    if (QWidget *mark = minSpeed ? m_c.OKMinRatio : m_c.OKMaxRatio)
        mark->show();
    if (minSpeed)
        StepButtonLook::setIdle(m_c.btnMinRatio, m_c.ShapeMinRatio);
    else
        StepButtonLook::setIdle(m_c.btnMaxRatio, m_c.ShapeMaxRatio);
}

void EmissionTest::onLinkLost()
{
    m_state.SampleCount = 0;
    m_state.SampleStep = TestOperation::Live;
    m_state.OperationState = TestOperation::Live;
    setAllStepsIdle();
    if (m_c.MainProgress)
        m_c.MainProgress->setValue(0);
}

// ---- F4 -------------------------------------------------------------------

std::array<float, TestState::MeanCount> EmissionTest::meansOf(const TestState &state)
{
    std::array<float, TestState::MeanCount> means {};
    const auto meanOver = [&](const TestState::SampleStore &store, int collected, int first) {
        const int n = std::clamp(collected, 0, TestState::StoredReadings);
        if (n == 0)
            return;
        for (int v = 0; v < TestState::ReadingValues; ++v) {
            double sum = 0;
            for (int i = 0; i < n; ++i)
                sum += store[i][v];
            means[first + v] = float(sum / n);
        }
    };
    meanOver(state.MinSpeedSamples, state.MinSpeedCollected, 0);
    meanOver(state.RaisedSpeedSamples, state.RaisedSpeedCollected, TestState::ReadingValues);
    return means;
}

void EmissionTest::btnReportClick()
{
    if (m_state.ReportDone) {
        if (m_reports)
            m_reports->showReports(m_storedReportIndex);
        return;
    }
    if (!m_state.MinSpeedDone || !m_state.RaisedSpeedDone) {
        warn(text(NotFinishedText));
        return;
    }
    if (!m_database)
        return;

    // The means are formed afresh from the stores each time, so a store that
    // failed leaves the test as it was and pressing F4 again stores the same values.
    TestResult result;
    result.modelIndex = m_state.ModelIndex;
    result.govNumber = m_c.edGosNum ? m_c.edGosNum->text() : QString();
    result.instrumentNumber = m_state.InstrumentNumber;
    result.means = meansOf(m_state);

    FormatSettings::setDateSeparator(QLatin1Char('-'));
    FormatSettings::setTimeSeparator(QLatin1Char(':'));

    int index = 0;
    try {
        index = m_database->StoreTestResult(result);
    } catch (const ZelmorError &error) {
        ZelmorApplication::showError(error.message());
        return;
    }

    m_state.TestMeans = result.means;
    m_storedReportIndex = index;
    // Set at once, so that nothing can store this test a second time.
    m_state.ReportDone = true;
    m_state.OperationState = TestOperation::ReportSaved;

    if (m_reports)
        m_reports->showReports(index);
    afterReportBrowserClosed();
}

void EmissionTest::afterReportBrowserClosed()
{
    m_state.VehicleSelected = false;
    m_state.ZeroDone = false;
    m_state.MinSpeedDone = false;
    m_state.RaisedSpeedDone = false;
    m_state.ReportDone = true;
    setAllStepsIdle();
    if (m_c.MainProgress)
        m_c.MainProgress->setValue(0);
    for (QWidget *mark : { m_c.OKZero, m_c.OKMinRatio, m_c.OKMaxRatio })
        if (mark)
            mark->hide();
}

// ---- helpers --------------------------------------------------------------

void EmissionTest::showStatus(const QString &status)
{
    if (m_c.labZMStatus)
        m_c.labZMStatus->setText(status);
    if (m_c.labDStatus)
        m_c.labDStatus->setText(status);
}

void EmissionTest::setAllStepsIdle()
{
    StepButtonLook::setIdle(m_c.btnZero, m_c.ShapeZero);
    StepButtonLook::setIdle(m_c.btnMinRatio, m_c.ShapeMinRatio);
    StepButtonLook::setIdle(m_c.btnMaxRatio, m_c.ShapeMaxRatio);
}

void EmissionTest::setProgress(int maximum, int value)
{
    if (!m_c.MainProgress)
        return;
    // A maximum of 0 would turn the gauge into a busy indicator.
    const int top = std::max(1, maximum);
    m_c.MainProgress->setRange(0, top);
    m_c.MainProgress->setValue(std::clamp(value, 0, top));
}

void EmissionTest::warn(const QString &message)
{
    MessageBoxes::warning(message, m_dialogParent);
}
