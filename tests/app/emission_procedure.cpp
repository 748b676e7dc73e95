// The emission test without a window: refusals and their texts in each state,
// the collection of readings and their means, the end of a zero correction
// on every kind of tick, and storing the result in a real database file.

#include "app/EmissionProcedure.h"
#include "app/TestDiagnosis.h"
#include "app/VehicleObd.h"
#include "common/ProgramFolder.h"
#include "database/SelectedVehicle.h"
#include "database/ZelmorDatabase.h"
#include "device/MsClock.h"
#include "device/Records.h"
#include "device/obd/ObdLink.h"
#include "tests/app/emission_feed.h"

#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

using namespace emission;

namespace {

class EmissionProcedureTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        setProgramFolder(folder.path() + QLatin1Char('/'));
    }
    void TearDown() override { setProgramFolder(QString()); }

    void chooseVehicle(int modelIndex = 1)
    {
        SelectedVehicle vehicle;
        vehicle.modelIndex = modelIndex;
        procedure.applySelectedVehicle(vehicle);
    }

    // Runs one speed step to its end with the same reading; returns the ticks.
    int runStep(TestOperation step, const TestState::Reading &reading)
    {
        EXPECT_TRUE(procedure.startSpeedStep(step).started);
        int ticks = 0;
        while (state.OperationState == step && ticks < 50) {
            procedure.onReadingsTick(readingsSnapshot(reading, ++records), true);
            ++ticks;
        }
        return ticks;
    }

    QTemporaryDir folder;
    TestState state;
    FakeDevice device;
    EmissionProcedure procedure { state, device };
    int records = 0;
};

TEST_F(EmissionProcedureTest, StepsOutOfOrderAreRefusedWithTheTextToShow)
{
    enum Step { F2, F3 };
    const struct
    {
        const char *name;
        bool warmedUp, vehicle, zeroDone, minSpeedDone;
        Step step;
        int readiness;
        QString refusal;
    } cases[] = {
        { "F2 during warm-up, without a vehicle", false, false, false, false, F2,
            EmissionProcedure::NotWarmedUp, EmissionProcedure::notWarmedUpText() },
        { "F3 during warm-up", false, true, true, true, F3, EmissionProcedure::NotWarmedUp,
            EmissionProcedure::notWarmedUpText() },
        { "F2 without a vehicle", true, false, true, false, F2, EmissionProcedure::NoVehicle,
            EmissionProcedure::noVehicleText() },
        { "F2 before the zero correction", true, true, false, false, F2, EmissionProcedure::Ready,
            EmissionProcedure::zeroFirstText() },
        { "F3 before F2", true, true, true, false, F3, EmissionProcedure::Ready,
            EmissionProcedure::minSpeedFirstText() },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        state = TestState();
        state.WarmedUp = c.warmedUp;
        state.VehicleSelected = c.vehicle;
        state.ZeroDone = c.zeroDone;
        state.MinSpeedDone = c.minSpeedDone;
        EXPECT_EQ(procedure.readiness().code, c.readiness);
        const auto start = procedure.startSpeedStep(
            c.step == F2 ? TestOperation::MinSpeed : TestOperation::RaisedSpeed);
        EXPECT_FALSE(start.started);
        EXPECT_EQ(start.refusal, c.refusal);
        EXPECT_EQ(state.OperationState, TestOperation::Live);
    }
    EXPECT_TRUE(device.requests.empty());

    // The texts the operator reads.
    EXPECT_EQ(EmissionProcedure::notWarmedUpText(),
        QStringLiteral("Диагностика невозможна.\nДождитесь окончания прогрева прибора."));
    EXPECT_EQ(EmissionProcedure::zeroFirstText(), QStringLiteral("Выполните корекцию нуля."));
}

TEST_F(EmissionProcedureTest, WithoutReadingsNothingStartsAndNothingIsSaidWhenReady)
{
    state.WarmedUp = true;
    chooseVehicle();
    state.ZeroDone = true;
    for (int kind : { int(DataKindNone), int(DataKindWarmUp), int(DataKindProgress) }) {
        device.kind = kind;
        EXPECT_FALSE(procedure.startZeroCorrection()) << kind;
        const auto start = procedure.startSpeedStep(TestOperation::MinSpeed);
        EXPECT_FALSE(start.started) << kind;
        EXPECT_TRUE(start.refusal.isEmpty()) << kind;
        EXPECT_EQ(state.OperationState, TestOperation::Live);
    }
    EXPECT_TRUE(device.requests.empty());

    device.kind = DataKindResult;
    ASSERT_TRUE(procedure.startZeroCorrection());
    ASSERT_EQ(device.requests.size(), 1u);
    EXPECT_EQ(device.requests[0].code, int(ZMX_set_zero));
    EXPECT_EQ(state.OperationState, TestOperation::ZeroCorrection);
}

TEST_F(EmissionProcedureTest, ZeroCorrectionEndsOnWhicheverTickTakesTheMark)
{
    const struct
    {
        const char *name;
        int tick; // 0 readings, 1 progress of the zero correction, 2 progress of another command, 3
                  // other
        std::optional<EmissionProcedure::Progress> progress;
    } cases[] = {
        { "readings", 0, std::nullopt },
        { "zero correction progress", 1, EmissionProcedure::Progress { 30, 12 } },
        { "another command's progress", 2, std::nullopt },
        { "warm-up", 3, std::nullopt },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        for (bool selectionOpen : { false, true }) {
            state = TestState();
            ASSERT_TRUE(procedure.startZeroCorrection());
            if (selectionOpen)
                procedure.beginVehicleSelection();
            const auto tickOnce = [&] {
                switch (c.tick) {
                case 0:
                    return procedure.onReadingsTick(readingsSnapshot({}, ++records), true);
                case 1:
                    return procedure.onProcedureTick(procedureSnapshot(ZMX_set_zero, 30, 12, 0));
                case 2:
                    return procedure.onProcedureTick(procedureSnapshot(ZMX_pressure, 30, 12, 0));
                default:
                    return procedure.onOtherTick();
                }
            };
            const auto before = tickOnce();
            EXPECT_FALSE(before.zeroCorrectionDone);
            EXPECT_FALSE(state.ZeroDone);

            device.zeroFinished = true;
            const auto after = tickOnce();
            EXPECT_TRUE(after.zeroCorrectionDone);
            EXPECT_EQ(after.progress, c.progress);
            EXPECT_FALSE(after.stepDone);
            EXPECT_TRUE(state.ZeroDone);
            // The selection keeps the graph at zeros until it closes.
            EXPECT_EQ(
                state.OperationState, selectionOpen ? TestOperation::Blank : TestOperation::Live);
            EXPECT_FALSE(tickOnce().zeroCorrectionDone) << "the mark is taken once";
        }
    }
}

TEST_F(EmissionProcedureTest, AFailedZeroCorrectionGoesBackToWhatItInterrupted)
{
    const QString instrumentText = QStringLiteral("Ошибка коррекции нуля (1).");
    const struct
    {
        const char *name;
        TestOperation before; // what F1 interrupted
        int tick; // 0 readings, 1 zero correction progress, 2 other
        bool selectionOpen;
        QString instrumentError;
        TestOperation after;
    } cases[] = {
        { "live, readings tick", TestOperation::Live, 0, false, instrumentText,
            TestOperation::Live },
        { "live, progress tick", TestOperation::Live, 1, false, instrumentText,
            TestOperation::Live },
        { "live, other tick", TestOperation::Live, 2, false, instrumentText, TestOperation::Live },
        { "minimum speed step is abandoned", TestOperation::MinSpeed, 0, false, instrumentText,
            TestOperation::Live },
        { "stored report stays stored", TestOperation::ReportSaved, 0, false, instrumentText,
            TestOperation::ReportSaved },
        { "no text from the instrument", TestOperation::Live, 1, false, QString(),
            TestOperation::Live },
        { "vehicle selection open", TestOperation::Live, 0, true, instrumentText,
            TestOperation::Blank },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        state = TestState();
        state.ZeroDone = true; // an earlier correction went well
        state.OperationState = c.before;
        ASSERT_TRUE(procedure.startZeroCorrection());
        if (c.selectionOpen)
            procedure.beginVehicleSelection();
        const auto tickOnce = [&] {
            switch (c.tick) {
            case 0:
                return procedure.onReadingsTick(readingsSnapshot({}, ++records), true);
            case 1:
                return procedure.onProcedureTick(procedureSnapshot(ZMX_set_zero, 200, 40, 7));
            default:
                return procedure.onOtherTick();
            }
        };
        EXPECT_FALSE(tickOnce().zeroCorrectionError);
        EXPECT_EQ(state.OperationState,
            c.selectionOpen ? TestOperation::Blank : TestOperation::ZeroCorrection);

        device.zeroFailed = true;
        device.zeroError = c.instrumentError;
        const auto failed = tickOnce();
        ASSERT_TRUE(failed.zeroCorrectionError);
        EXPECT_EQ(*failed.zeroCorrectionError,
            c.instrumentError.isEmpty() ? EmissionProcedure::zeroCorrectionFailedText()
                                        : c.instrumentError);
        EXPECT_FALSE(failed.zeroCorrectionDone);
        EXPECT_EQ(state.OperationState, c.after);
        EXPECT_FALSE(state.ZeroDone) << "the speed steps need a good correction";
        EXPECT_FALSE(tickOnce().zeroCorrectionError) << "the failure is taken once";
        if (c.selectionOpen) {
            procedure.endVehicleSelection(nullptr);
            EXPECT_EQ(state.OperationState, TestOperation::Live) << "no correction to wait for";
        }

        // F1 starts a new correction, and a failure left over is not taken
        // for this one's end.
        device.zeroFailed = true;
        ASSERT_TRUE(procedure.startZeroCorrection());
        EXPECT_FALSE(tickOnce().zeroCorrectionError);
        EXPECT_EQ(state.OperationState, TestOperation::ZeroCorrection);
        device.zeroFinished = true;
        EXPECT_TRUE(tickOnce().zeroCorrectionDone);
        EXPECT_TRUE(state.ZeroDone);
    }
}

TEST_F(EmissionProcedureTest, AStepCollectsItsReadingsOnlyFromNewRecords)
{
    const struct
    {
        int setting, collected;
    } cases[] = { { 3, 3 }, { 10, 10 }, { 0, 1 }, { 25, 10 } };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.setting);
        state = TestState();
        state.ReadingsPerStep = c.setting;
        state.WarmedUp = true;
        chooseVehicle();
        state.ZeroDone = true;
        ASSERT_TRUE(procedure.startSpeedStep(TestOperation::MinSpeed).started);

        std::vector<EmissionProcedure::Progress> progress;
        std::optional<TestOperation> done;
        for (int i = 0; i < 40 && !done; ++i) {
            // Every other tick repeats the record already taken.
            const bool fresh = i % 2 == 0;
            const auto tick
                = procedure.onReadingsTick(readingsSnapshot({ float(i) }, records += fresh), fresh);
            ASSERT_TRUE(tick.progress);
            progress.push_back(*tick.progress);
            done = tick.stepDone;
        }
        ASSERT_EQ(done, TestOperation::MinSpeed);
        EXPECT_EQ(progress.back(), (EmissionProcedure::Progress { c.collected, c.collected }));
        EXPECT_EQ(int(progress.size()), 2 * c.collected - 1);
        EXPECT_EQ(state.MinSpeedCollected, c.collected);
        EXPECT_TRUE(state.MinSpeedDone);
        EXPECT_EQ(state.OperationState, TestOperation::Live);
        // Readings 0, 2, 4, …: the repeated records were not counted.
        EXPECT_FLOAT_EQ(EmissionProcedure::meansOf(state)[0], float(c.collected - 1));
    }
}

TEST_F(EmissionProcedureTest, MeansAreTakenPerSpeedOverWhatEachStepCollected)
{
    state.ReadingsPerStep = 4;
    state.WarmedUp = true;
    chooseVehicle();
    state.ZeroDone = true;
    const TestState::Reading minReading { 1.5f, 120, 14, 0.5f, 80, 800, 1.01f };
    const TestState::Reading raisedReading { 0.5f, 60, 14.5f, 0.25f, 40, 2500, 0.99f };
    EXPECT_EQ(runStep(TestOperation::MinSpeed, minReading), 4);
    EXPECT_EQ(runStep(TestOperation::RaisedSpeed, raisedReading), 4);

    const auto means = EmissionProcedure::meansOf(state);
    for (int v = 0; v < TestState::ReadingValues; ++v) {
        EXPECT_FLOAT_EQ(means[v], minReading[v]) << v;
        EXPECT_FLOAT_EQ(means[TestState::ReadingValues + v], raisedReading[v]) << v;
    }
    // A lost link ends the running step without keeping its readings.
    ASSERT_TRUE(procedure.startSpeedStep(TestOperation::MinSpeed).started);
    procedure.onReadingsTick(readingsSnapshot({ 99 }, ++records), true);
    procedure.onLinkLost();
    EXPECT_EQ(state.SampleCount, 0);
    EXPECT_EQ(state.OperationState, TestOperation::Live);
    EXPECT_FLOAT_EQ(EmissionProcedure::meansOf(state)[0], minReading[0]);
}

TEST_F(EmissionProcedureTest, ReportIsRefusedUntilBothSpeedsThenStoredOnceAndShownAgain)
{
    using Kind = EmissionProcedure::Report::Kind;
    ZelmorDatabase db;
    db.open(programFolder());
    state.ReadingsPerStep = 2;
    state.WarmedUp = true;
    chooseVehicle(db.CurrentModel().Index);
    state.ZeroDone = true;

    EXPECT_EQ(procedure.storeReport(QStringLiteral("А123")).kind, Kind::Refused);
    runStep(TestOperation::MinSpeed, { 1, 100, 14, 1, 50, 800, 1 });
    const auto refused = procedure.storeReport(QStringLiteral("А123"));
    EXPECT_EQ(refused.kind, Kind::Refused);
    EXPECT_EQ(refused.text, EmissionProcedure::notFinishedText());
    runStep(TestOperation::RaisedSpeed, { 0.5f, 50, 14, 1, 25, 2500, 1 });
    EXPECT_EQ(procedure.storeReport(QStringLiteral("А123")).kind, Kind::Unavailable);
    EXPECT_FALSE(state.ReportDone);
    procedure.setDatabase(&db);
    // Until the instrument's number is read, nothing is stored as number -1.
    const auto noNumber = procedure.storeReport(QStringLiteral("А123"));
    EXPECT_EQ(noNumber.kind, Kind::Failed);
    EXPECT_EQ(noNumber.text, EmissionProcedure::noInstrumentNumberText());
    EXPECT_FALSE(state.ReportDone);
    state.InstrumentNumber = 4321;

    const auto stored = procedure.storeReport(QStringLiteral("А123"));
    ASSERT_EQ(stored.kind, Kind::Stored);
    EXPECT_GT(stored.index, 0);
    EXPECT_EQ(state.OperationState, TestOperation::ReportSaved);
    EXPECT_FLOAT_EQ(state.TestMeans[0], 1);
    procedure.finishReport();
    EXPECT_FALSE(state.VehicleSelected);
    EXPECT_FALSE(state.ZeroDone || state.MinSpeedDone || state.RaisedSpeedDone);

    const auto again = procedure.storeReport(QStringLiteral("А123"));
    EXPECT_EQ(again.kind, Kind::ShowStored);
    EXPECT_EQ(again.index, stored.index);
    QSqlQuery q(db.connection());
    ASSERT_TRUE(q.exec(QStringLiteral("SELECT count(*) FROM \"reports.db\"")));
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value(0).toInt(), 1);
}

// A store that fails (the database busy with another writer) keeps the test:
// F4 again sends the same row with the first press's date and time, and a row
// that reached the table although its answer was lost is not stored twice.
TEST_F(EmissionProcedureTest, FailedStoreKeepsTheTestAndItsFirstTimeAndNeverStoresTwice)
{
    using Kind = EmissionProcedure::Report::Kind;
    ZelmorDatabase db;
    db.open(programFolder());
    procedure.setDatabase(&db);
    state.ReadingsPerStep = 2;
    state.WarmedUp = true;
    state.InstrumentNumber = 77;
    chooseVehicle(db.CurrentModel().Index);
    state.ZeroDone = true;
    runStep(TestOperation::MinSpeed, { 1, 100, 14, 1, 50, 800, 1 });
    runStep(TestOperation::RaisedSpeed, { 0.5f, 50, 14, 1, 25, 2500, 1 });
    EXPECT_FALSE(procedure.pendingStoreTime().isValid());

    const auto count = [&] {
        QSqlQuery q(db.connection());
        EXPECT_TRUE(q.exec(QStringLiteral("SELECT count(*) FROM \"reports.db\"")));
        return q.next() ? q.value(0).toInt() : -1;
    };
    const QString path = ZelmorDatabase::databasePath(programFolder());
    {
        // Another program holds the write lock longer than a store waits.
        QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "other");
        other.setDatabaseName(path);
        ASSERT_TRUE(other.open());
        QSqlQuery lock(other);
        ASSERT_TRUE(lock.exec(QStringLiteral("BEGIN IMMEDIATE")));
        const auto failed = procedure.storeReport(QStringLiteral("Р001"));
        EXPECT_EQ(failed.kind, Kind::Failed);
        EXPECT_TRUE(failed.text.startsWith(QStringLiteral("Результат не сохранён: ")))
            << failed.text.toStdString();
        EXPECT_FALSE(state.ReportDone);
        EXPECT_TRUE(state.MinSpeedDone && state.RaisedSpeedDone);
        lock.exec(QStringLiteral("ROLLBACK"));
        lock = QSqlQuery();
        other.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("other"));
    const QDateTime first = procedure.pendingStoreTime();
    ASSERT_TRUE(first.isValid());
    EXPECT_EQ(count(), 0);

    // The first store did reach the table; only its answer was lost.
    TestResult sent;
    sent.modelIndex = state.ModelIndex;
    sent.govNumber = QStringLiteral("Р001");
    sent.instrumentNumber = 77;
    sent.means = EmissionProcedure::meansOf(state);
    const int reached = db.StoreTestResult(sent, first);

    // A later second, where a new time would make another row.
    while (QDateTime::currentDateTime().toSecsSinceEpoch() <= first.toSecsSinceEpoch())
        QThread::msleep(10);
    const auto stored = procedure.storeReport(QStringLiteral("Р001"));
    ASSERT_EQ(stored.kind, Kind::Stored) << stored.text.toStdString();
    EXPECT_EQ(stored.index, reached);
    EXPECT_EQ(count(), 1);
    EXPECT_FALSE(procedure.pendingStoreTime().isValid());

    // A new vehicle forgets a failed store of the previous one.
    chooseVehicle(db.CurrentModel().Index);
    EXPECT_FALSE(procedure.pendingStoreTime().isValid());
}

// Each reading takes the vehicle's engine speed when its computer answers at
// that moment, the instrument's otherwise; the stored source says which.
TEST_F(EmissionProcedureTest, EachReadingTakesTheVehiclesEngineSpeedWhileItAnswers)
{
    using Rpms = std::vector<std::optional<double>>;
    const std::optional<double> none;
    const struct
    {
        const char *name;
        Rpms minSpeed, raisedSpeed; // the vehicle's at each reading
        float minTax, maxTax; // the means
        QString source;
    } rows[] = {
        { "no adapter", { none, none, none, none }, { none, none, none, none }, 800, 2500,
            EmissionProcedure::speedFromInstrument() },
        { "the vehicle throughout", { 760, 764, 760, 764 }, { 2480, 2480, 2484, 2484 }, 762, 2482,
            EmissionProcedure::speedFromObd() },
        { "the adapter lost in the raised step", { 760, 760, 760, 760 }, { 2480, 2480, none, none },
            760, 2490, EmissionProcedure::speedMixed() },
        { "the adapter came in the raised step", { none, none, none, none },
            { none, 2480, 2480, 2480 }, 800, 2485, EmissionProcedure::speedMixed() },
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        state = TestState();
        state.ReadingsPerStep = 4;
        state.WarmedUp = true;
        chooseVehicle();
        state.ZeroDone = true;
        const Rpms *rpms = &row.minSpeed;
        size_t next = 0;
        procedure.setEngineSpeedSource([&] { return (*rpms)[next++ % rpms->size()]; });
        runStep(TestOperation::MinSpeed, { 1, 100, 14, 1, 50, 800, 1 });
        rpms = &row.raisedSpeed;
        next = 0;
        runStep(TestOperation::RaisedSpeed, { 0.5f, 50, 14, 1, 25, 2500, 1 });
        const auto means = EmissionProcedure::meansOf(state);
        EXPECT_FLOAT_EQ(means[5], row.minTax);
        EXPECT_FLOAT_EQ(means[12], row.maxTax);
        EXPECT_FLOAT_EQ(means[0], 1) << "the gases stay the instrument's";
        EXPECT_EQ(EmissionProcedure::speedSourceOf(state), row.source);
    }
}

// What the measuring page shows: the vehicle's value while it is fresh and the
// vehicle answers, the instrument's otherwise; the coolant only where the
// instrument has no Tm of its own.
TEST(VehicleObdReadings, TheVehiclesValuesStandInOnlyWhileFreshAndWanted)
{
    const uint32_t now = 100000;
    ObdSnapshot online;
    online.state = ObdState::Online;
    online.hasRpm = true;
    online.rpm = 2480;
    online.rpmAtMs = now - 100;
    online.hasCoolant = true;
    online.coolantC = 91;
    online.coolantAtMs = now - 2500;
    ObdSnapshot stale = online;
    stale.rpmAtMs = now - VehicleObd::MaxRpmAgeMs - 1;
    stale.coolantAtMs = now - VehicleObd::MaxCoolantAgeMs - 1;
    ObdSnapshot lost = online;
    lost.state = ObdState::NoVehicle;
    const struct
    {
        const char *name;
        const ObdSnapshot *obd;
        double instrumentTm;
        VehicleObd::Reading rpm, tm;
    } rows[] = {
        { "no adapter in use", nullptr, -60, { 2520, false }, { -60, false } },
        { "fresh, instrument without Tm", &online, -60, { 2480, true }, { 91, true } },
        { "fresh, instrument with Tm", &online, 62, { 2480, true }, { 62, false } },
        { "stale", &stale, -60, { 2520, false }, { -60, false } },
        { "vehicle stopped answering", &lost, -55, { 2520, false }, { -55, false } },
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(VehicleObd::engineSpeed(row.obd, 2520, now), row.rpm);
        EXPECT_EQ(VehicleObd::temperature(row.obd, row.instrumentTm, now), row.tm);
    }
}

// The diagnosis of a test: nothing is asked without an adapter in use; with
// one that cannot be reached the read ends as failed, which the result stores
// (it was tried) and the page says.
TEST(TestDiagnosisRead, ItIsAskedOnlyWithAnAdapterAndAFailedReadIsKept)
{
    ObdLink link(nullptr, [](const QString &) {});
    VehicleObd obd(&link);
    TestDiagnosis diagnosis(&obd);
    EXPECT_EQ(diagnosis.phase(), TestDiagnosis::Phase::Unused);
    diagnosis.startForNewVehicle();
    EXPECT_FALSE(diagnosis.request());
    EXPECT_EQ(diagnosis.phase(), TestDiagnosis::Phase::Unused);
    EXPECT_TRUE(diagnosis.storedText().isEmpty());

    QTemporaryDir dir;
    obd.apply({ true, dir.filePath(QStringLiteral("no-such-adapter")) });
    EXPECT_EQ(diagnosis.phase(), TestDiagnosis::Phase::NotRead);
    diagnosis.startForNewVehicle();
    EXPECT_EQ(diagnosis.phase(), TestDiagnosis::Phase::Reading);
    EXPECT_EQ(diagnosis.pageText(), QStringLiteral("Чтение..."));
    for (int i = 0; i < 500 && !diagnosis.poll(); ++i)
        QThread::msleep(10);
    ASSERT_EQ(diagnosis.phase(), TestDiagnosis::Phase::Done);
    EXPECT_EQ(diagnosis.diagnosis().result, VehicleDiagnosis::Result::Failed);
    EXPECT_TRUE(diagnosis.pageText().startsWith(QStringLiteral("Не удалась: порт адаптера OBD")))
        << diagnosis.pageText().toStdString();
    const auto stored = VehicleDiagnosis::fromJson(diagnosis.storedText().toUtf8());
    ASSERT_TRUE(stored);
    EXPECT_EQ(*stored, diagnosis.diagnosis());
    EXPECT_EQ(stored->summary(), QStringLiteral("не проводилась"));

    diagnosis.clear();
    EXPECT_TRUE(diagnosis.storedText().isEmpty());
}

} // namespace
