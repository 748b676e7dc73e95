#include "app/EmissionProcedure.h"

#include "app/EmissionProcedureDevice.h"
#include "common/AppLog.h"
#include "common/FormatSettings.h"
#include "common/ZelmorError.h"
#include "database/SelectedVehicle.h"
#include "database/TestResult.h"
#include "database/ZelmorDatabase.h"
#include "device/Records.h"
#include "device/ZmxSnapshot.h"
#include "graphs/GASE_GRAPH.h"

#include <algorithm>

namespace {

constexpr int RepeatOff = 0;
constexpr int NoArgument = 0;
const char *const LogZeroCorrect = "zero correct";
// Position of the engine speed in a reading.
constexpr int EngineSpeedValue = 5;

TestState::Reading readingOf(const ResultRecord &r)
{
    // CH is kept as the instrument sends it: the pr_ekv factor is for display only.
    return { r.gaseCO, r.gaseCH, r.gaseCO2, r.gaseO2, r.gaseNOx, float(r.tax), r.lyambda };
}

bool isSpeedStep(TestOperation operation)
{
    return operation == TestOperation::MinSpeed || operation == TestOperation::RaisedSpeed;
}

} // namespace

QString EmissionProcedure::askNewTestText()
{
    return QStringLiteral("Вы действительно хотите начать новое измерение?");
}
QString EmissionProcedure::notWarmedUpText()
{
    return QStringLiteral("Диагностика невозможна.\nДождитесь окончания прогрева прибора.");
}
QString EmissionProcedure::noVehicleText()
{
    return QStringLiteral(
        "Выберите автомобиль для проведения диагностики.\nМеню Измерения->Диагностика выхлопа");
}
QString EmissionProcedure::zeroFirstText()
{
    return QStringLiteral("Выполните корекцию нуля.");
}
QString EmissionProcedure::minSpeedFirstText()
{
    return QStringLiteral("Выполните измерение на минимальных оборотах.");
}
QString EmissionProcedure::notFinishedText()
{
    return QStringLiteral("Измерения не завершены. Вывод отчета невозможен.");
}
QString EmissionProcedure::noInstrumentNumberText()
{
    return QStringLiteral("Результат не сохранён: заводской номер прибора не считан.\n"
                          "Измерение сохранено в программе: программа считывает номер, пока "
                          "прибор отвечает; нажмите F4 ещё раз через несколько секунд.");
}
QString EmissionProcedure::zeroCorrectionStatus()
{
    return QStringLiteral("Коррекция нуля...");
}
QString EmissionProcedure::receivingStatus()
{
    return QStringLiteral("Прием данных...");
}
QString EmissionProcedure::zeroCorrectionFailedText()
{
    return QStringLiteral("Ошибка коррекции нуля.");
}

EmissionProcedure::EmissionProcedure(TestState &state, EmissionProcedureDevice &device)
    : m_state(state)
    , m_device(device)
{ }

// ---- new test -------------------------------------------------------------

void EmissionProcedure::beginVehicleSelection()
{
    m_beforeSelection = BeforeSelection { m_state.OperationState, m_state.VehicleSelected };
    m_state.OperationState = TestOperation::Blank;
}

void EmissionProcedure::endVehicleSelection(const SelectedVehicle *chosen)
{
    const BeforeSelection before = m_beforeSelection.value_or(BeforeSelection {});
    m_beforeSelection.reset();
    // A zero correction the instrument still runs goes on whatever the
    // operator chose; its end is taken on a later tick.
    const bool correcting
        = before.operation == TestOperation::ZeroCorrection && !before.zeroCorrectionFinished;
    if (chosen) {
        m_state.OperationState = correcting ? TestOperation::ZeroCorrection : TestOperation::Live;
        applySelectedVehicle(*chosen);
        return;
    }
    m_state.VehicleSelected = before.vehicleSelected;
    const bool stepRunning = isSpeedStep(before.operation) || correcting;
    m_state.OperationState = stepRunning ? before.operation : TestOperation::Live;
}

void EmissionProcedure::applySelectedVehicle(const SelectedVehicle &vehicle)
{
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

    // The new test's records are numbered from the first one again.
    m_device.requestRecordCountReset();
    m_state.ModelIndex = vehicle.modelIndex;
    m_state.TestMeans.fill(0);
    m_pendingStore.reset();
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
    if (isSpeedStep(m_state.OperationState))
        m_state.OperationState = TestOperation::Live;
}

// ---- F1 -------------------------------------------------------------------

bool EmissionProcedure::startZeroCorrection()
{
    // Busy, warming up or not answering with readings: the instrument would
    // not take the command now.
    if (m_device.dataKind() != DataKindResult)
        return false;
    // A mark left from an earlier correction must not end this one.
    m_device.takeZeroCorrectionFinished();
    m_device.takeZeroCorrectionFailed(nullptr);
    m_device.requestOperation(ZMX_set_zero, RepeatOff, NoArgument);
    // A speed step F1 interrupts is abandoned: its button goes idle and it
    // starts again from its first reading, so that no mean mixes readings
    // from before and after the new zero.
    m_beforeZeroCorrection
        = isSpeedStep(m_state.OperationState) ? TestOperation::Live : m_state.OperationState;
    m_state.SampleCount = 0;
    m_state.SampleStep = TestOperation::Live;
    m_state.OperationState = TestOperation::ZeroCorrection;
    WriteLog(QString::fromLatin1(LogZeroCorrect));
    return true;
}

EmissionProcedure::Tick EmissionProcedure::onProcedureTick(const ZmxSnapshot &snapshot)
{
    Tick tick;
    if (snapshot.CommandIndex == ZMX_set_zero)
        tick.progress = Progress { snapshot.ProcedureMax, snapshot.ProcedureStep };
    takeZeroCorrectionMark(tick);
    return tick;
}

EmissionProcedure::Tick EmissionProcedure::onOtherTick()
{
    Tick tick;
    takeZeroCorrectionMark(tick);
    return tick;
}

void EmissionProcedure::takeZeroCorrectionMark(Tick &tick)
{
    takeZeroCorrectionFailure(tick);
    // The thread keeps the mark until it is taken, so a correction that
    // finished between two ticks is completed on the next one, whatever that
    // tick's answer kind.
    if (!m_device.takeZeroCorrectionFinished())
        return;
    m_state.ZeroDone = true;
    // While the vehicle selection is open the graph keeps showing zeros; the
    // selection sets the state when it closes.
    if (m_state.OperationState != TestOperation::Blank)
        m_state.OperationState = TestOperation::Live;
    else if (m_beforeSelection)
        m_beforeSelection->zeroCorrectionFinished = true;
    tick.zeroCorrectionDone = true;
}

void EmissionProcedure::takeZeroCorrectionFailure(Tick &tick)
{
    QString error;
    if (!m_device.takeZeroCorrectionFailed(&error))
        return;
    tick.zeroCorrectionError = error.isEmpty() ? zeroCorrectionFailedText() : error;
    // The instrument's zero is not corrected: the speed steps need a good
    // correction first, whatever an earlier one achieved.
    m_state.ZeroDone = false;
    const auto restore = [this](TestOperation operation) {
        return operation == TestOperation::ZeroCorrection ? m_beforeZeroCorrection : operation;
    };
    if (m_state.OperationState != TestOperation::Blank)
        m_state.OperationState = restore(m_state.OperationState);
    else if (m_beforeSelection)
        m_beforeSelection->operation = restore(m_beforeSelection->operation);
}

// ---- F2, F3 ---------------------------------------------------------------

EmissionProcedure::Readiness EmissionProcedure::readiness() const
{
    if (!m_state.WarmedUp)
        return { NotWarmedUp, notWarmedUpText() };
    if (!m_state.VehicleSelected)
        return { NoVehicle, noVehicleText() };
    return {};
}

EmissionProcedure::StepStart EmissionProcedure::startSpeedStep(TestOperation step)
{
    const Readiness ready = readiness();
    if (ready.code != Ready)
        return { false, ready.refusal };
    const bool minSpeed = step == TestOperation::MinSpeed;
    if (minSpeed && !m_state.ZeroDone)
        return { false, zeroFirstText() };
    if (!minSpeed && !m_state.MinSpeedDone)
        return { false, minSpeedFirstText() };
    if (m_device.dataKind() != DataKindResult)
        return {};

    // The running step's button pressed again continues its count; readings
    // counted for the other speed must not be carried into this one.
    if (m_state.SampleStep != step) {
        m_state.SampleCount = 0;
        m_state.SampleStep = step;
    }
    m_state.OperationState = step;
    return { true, QString() };
}

EmissionProcedure::Tick EmissionProcedure::onReadingsTick(
    const ZmxSnapshot &snapshot, bool newRecord)
{
    Tick tick;
    takeZeroCorrectionMark(tick);
    if (isSpeedStep(m_state.OperationState))
        collectReading(snapshot, newRecord, tick);
    return tick;
}

void EmissionProcedure::collectReading(const ZmxSnapshot &snapshot, bool newRecord, Tick &tick)
{
    const int wanted = m_state.readingsPerStep();
    if (m_state.SampleStep != m_state.OperationState) {
        m_state.SampleCount = 0;
        m_state.SampleStep = m_state.OperationState;
    }
    // One reading per tick at most, and only a record that is new since the
    // previous tick.
    if (newRecord && m_state.SampleCount < TestState::StoredReadings) {
        TestState::Reading reading = readingOf(snapshot.LastResult);
        // The vehicle's own engine speed at the moment of the reading, while
        // its computer answers.
        const std::optional<double> obdRpm
            = m_engineSpeedSource ? m_engineSpeedSource() : std::nullopt;
        if (obdRpm)
            reading[EngineSpeedValue] = float(*obdRpm);
        m_state.RunningSamples[m_state.SampleCount] = reading;
        m_state.RunningFromObd[m_state.SampleCount] = obdRpm.has_value();
        ++m_state.SampleCount;
    }
    tick.progress = Progress { wanted, m_state.SampleCount };
    if (m_state.SampleCount >= wanted)
        completeSpeedStep(tick);
}

void EmissionProcedure::completeSpeedStep(Tick &tick)
{
    const bool minSpeed = m_state.OperationState == TestOperation::MinSpeed;
    const int collected = m_state.SampleCount;
    if (minSpeed) {
        m_state.MinSpeedSamples = m_state.RunningSamples;
        m_state.MinSpeedFromObd = m_state.RunningFromObd;
        m_state.MinSpeedCollected = collected;
        m_state.MinSpeedDone = true;
    } else {
        m_state.RaisedSpeedSamples = m_state.RunningSamples;
        m_state.RaisedSpeedFromObd = m_state.RunningFromObd;
        m_state.RaisedSpeedCollected = collected;
        m_state.RaisedSpeedDone = true;
    }
    tick.stepDone = m_state.OperationState;
    m_state.SampleCount = 0;
    m_state.SampleStep = TestOperation::Live;
    m_state.OperationState = TestOperation::Live;
}

void EmissionProcedure::onLinkLost()
{
    m_state.SampleCount = 0;
    m_state.SampleStep = TestOperation::Live;
    m_state.OperationState = TestOperation::Live;
}

// ---- F4 -------------------------------------------------------------------

std::array<float, TestState::MeanCount> EmissionProcedure::meansOf(const TestState &state)
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

QString EmissionProcedure::speedFromObd()
{
    return QStringLiteral("OBD");
}
QString EmissionProcedure::speedFromInstrument()
{
    return QStringLiteral("instrument");
}
QString EmissionProcedure::speedMixed()
{
    return QStringLiteral("mixed");
}

QString EmissionProcedure::speedSourceOf(const TestState &state)
{
    int readings = 0;
    int fromObd = 0;
    const auto count = [&](const TestState::SourceStore &sources, int collected) {
        const int n = std::clamp(collected, 0, TestState::StoredReadings);
        readings += n;
        fromObd += int(std::count(sources.begin(), sources.begin() + n, true));
    };
    count(state.MinSpeedFromObd, state.MinSpeedCollected);
    count(state.RaisedSpeedFromObd, state.RaisedSpeedCollected);
    if (fromObd == 0)
        return speedFromInstrument();
    return fromObd == readings ? speedFromObd() : speedMixed();
}

EmissionProcedure::Report EmissionProcedure::storeReport(const QString &govNumber)
{
    if (m_state.ReportDone)
        return { Report::Kind::ShowStored, QString(), m_storedReportIndex };
    if (!m_state.MinSpeedDone || !m_state.RaisedSpeedDone)
        return { Report::Kind::Refused, notFinishedText(), 0 };
    if (!m_database)
        return { Report::Kind::Unavailable, QString(), 0 };
    // A protocol names the instrument it was measured with: a result whose
    // instrument is unknown would be stored, chained and printed as number
    // -1. The means stay in the program until the number is read.
    if (m_state.InstrumentNumber < 0)
        return { Report::Kind::Failed, noInstrumentNumberText(), 0 };

    // The means are formed afresh from the stores each time, so a store that
    // failed leaves the test as it was and pressing F4 again sends the same
    // values, with the date and time of the first attempt.
    TestResult result;
    result.modelIndex = m_state.ModelIndex;
    result.govNumber = govNumber;
    result.instrumentNumber = m_state.InstrumentNumber;
    result.means = meansOf(m_state);
    result.speedSource = speedSourceOf(m_state);
    const bool sameAsPending = m_pendingStore && m_pendingStore->modelIndex == result.modelIndex
        && m_pendingStore->govNumber == result.govNumber
        && m_pendingStore->instrumentNumber == result.instrumentNumber
        && m_pendingStore->means == result.means;
    if (!sameAsPending)
        m_pendingStore = PendingStore { result.modelIndex, result.govNumber,
            result.instrumentNumber, result.means, QDateTime::currentDateTime(), result.speedSource,
            m_diagnosisSource ? m_diagnosisSource() : QString() };
    // A diagnosis that came in after a failed store does not change the row
    // sent again: the first one may have been stored after all.
    result.vehicleDiagnosis = m_pendingStore->vehicleDiagnosis;

    FormatSettings::setDateSeparator(QLatin1Char('-'));
    FormatSettings::setTimeSeparator(QLatin1Char(':'));

    int index = 0;
    try {
        index = m_database->StoreTestResult(result, m_pendingStore->time);
    } catch (const DatabaseWriteError &error) {
        const QString text = QStringLiteral("Результат не сохранён: ") + error.message()
            + QStringLiteral("\nИзмерение сохранено в программе: нажмите F4 ещё раз, когда база "
                             "данных станет доступна.");
        return { Report::Kind::Failed, text, 0 };
    }
    m_pendingStore.reset();

    m_state.TestMeans = result.means;
    m_storedReportIndex = index;
    // Set at once, so that nothing can store this test a second time.
    m_state.ReportDone = true;
    m_state.OperationState = TestOperation::ReportSaved;
    return { Report::Kind::Stored, QString(), index };
}

QDateTime EmissionProcedure::pendingStoreTime() const
{
    return m_pendingStore ? m_pendingStore->time : QDateTime();
}

void EmissionProcedure::finishReport()
{
    m_state.VehicleSelected = false;
    m_state.ZeroDone = false;
    m_state.MinSpeedDone = false;
    m_state.RaisedSpeedDone = false;
    m_state.ReportDone = true;
}
