// The emission test's steps driven by a hand-fed instrument: refusals, the
// zero correction, the collection of readings and what a lost link does.

#include "app/EmissionProcedureView.h"
#include "common/ProgramFolder.h"
#include "tests/app/emission_support.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace emission;

namespace {

const QString NotWarmedUp
    = QStringLiteral("Диагностика невозможна.\nДождитесь окончания прогрева прибора.");
const QString NoVehicle = QStringLiteral(
    "Выберите автомобиль для проведения диагностики.\nМеню Измерения->Диагностика выхлопа");
const QString ZeroFirst = QStringLiteral("Выполните корекцию нуля.");
const QString MinSpeedFirst = QStringLiteral("Выполните измерение на минимальных оборотах.");
const QString NotFinished = QStringLiteral("Измерения не завершены. Вывод отчета невозможен.");

const QColor Lime(0, 255, 0);
const QColor DarkGreen(10, 50, 5);

class EmissionSteps : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        setProgramFolder(folder.path() + QLatin1Char('/'));
        page.show();
        test = std::make_unique<EmissionProcedureView>(page.c, state, device, &page);
    }
    void TearDown() override { setProgramFolder(QString()); }

    // A warmed-up instrument and a chosen vehicle.
    void readyForSteps()
    {
        state.WarmedUp = true;
        state.VehicleSelected = true;
    }

    // Feeds readings ticks until the running step ends (at most `limit`);
    // returns the number of new records it took.
    int feedUntilDone(std::array<float, 7> reading, int limit = 20)
    {
        const TestOperation step = state.OperationState;
        int records = 0;
        while (state.OperationState == step && records < limit) {
            test->onReadingsTick(readingsSnapshot(reading, ++recordCount), true);
            ++records;
        }
        return records;
    }

    QString log() const
    {
        QFile f(folder.filePath(QStringLiteral("zelmor.log")));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

    QTemporaryDir folder;
    MeasuringPage page;
    TestState state;
    FakeDevice device;
    std::unique_ptr<EmissionProcedureView> test;
    int recordCount = 0;
};

struct Refusal
{
    const char *name;
    bool warmedUp, vehicle, zeroDone, minSpeedDone;
    int button; // 2, 3 or 4
    QString message;
};

TEST_F(EmissionSteps, RefusesStepsOutOfOrderWithTheirMessages)
{
    const Refusal cases[] = {
        { "F2 during warm-up, even without a vehicle", false, false, false, false, 2, NotWarmedUp },
        { "F3 during warm-up", false, true, true, true, 3, NotWarmedUp },
        { "F2 without a vehicle", true, false, true, false, 2, NoVehicle },
        { "F2 before the zero correction", true, true, false, false, 2, ZeroFirst },
        { "F3 before F2", true, true, true, false, 3, MinSpeedFirst },
        { "F4 before both speeds", true, true, true, false, 4, NotFinished },
        { "F4 after the minimum speed only", true, true, true, true, 4, NotFinished },
    };
    for (const Refusal &c : cases) {
        SCOPED_TRACE(c.name);
        state = TestState();
        state.WarmedUp = c.warmedUp;
        state.VehicleSelected = c.vehicle;
        state.ZeroDone = c.zeroDone;
        state.MinSpeedDone = c.minSpeedDone;
        ModalScript script;
        script.press(QMessageBox::Ok);
        QAbstractButton *button = c.button == 2 ? page.c.btnMinRatio
            : c.button == 3                     ? page.c.btnMaxRatio
                                                : page.c.btnReport;
        QObject::connect(button, &QAbstractButton::clicked, test.get(),
            c.button == 2       ? &EmissionProcedureView::btnMinRatioClick
                : c.button == 3 ? &EmissionProcedureView::btnMaxRatioClick
                                : &EmissionProcedureView::btnReportClick);
        button->click();
        button->disconnect(test.get());

        ASSERT_EQ(script.boxes.size(), 1u);
        EXPECT_EQ(script.boxes[0].title, QStringLiteral("Сообщение"));
        EXPECT_EQ(script.boxes[0].text, c.message);
        EXPECT_EQ(script.boxes[0].icon, QMessageBox::Warning);
        EXPECT_EQ(script.boxes[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        EXPECT_EQ(state.OperationState, TestOperation::Live);
        EXPECT_FALSE(StepButtonLook::isRunning(button));
    }
    EXPECT_TRUE(device.requests.empty());
}

TEST_F(EmissionSteps, CheckTestReadyReportsWhyAStepCannotStart)
{
    struct Case
    {
        bool warmedUp, vehicle;
        int expected;
    };
    for (const Case c : { Case { false, true, EmissionProcedure::NotWarmedUp },
             Case { true, false, EmissionProcedure::NoVehicle },
             Case { true, true, EmissionProcedure::Ready } }) {
        state.WarmedUp = c.warmedUp;
        state.VehicleSelected = c.vehicle;
        ModalScript script;
        script.press(QMessageBox::Ok);
        EXPECT_EQ(test->CheckTestReady(), c.expected);
        EXPECT_EQ(script.boxes.size(), c.expected == EmissionProcedure::Ready ? 0u : 1u);
    }
}

TEST_F(EmissionSteps, StepsDoNothingSilentlyWhileTheInstrumentSendsNoReadings)
{
    readyForSteps();
    state.ZeroDone = true;
    state.MinSpeedDone = true;
    for (int kind : { 0, 1, 3, 4, 5 }) {
        SCOPED_TRACE(kind);
        device.kind = kind;
        ModalScript script;
        test->btnZeroClick();
        test->btnMinRatioClick();
        test->btnMaxRatioClick();
        EXPECT_TRUE(script.boxes.empty());
        EXPECT_TRUE(device.requests.empty());
        EXPECT_EQ(state.OperationState, TestOperation::Live);
    }
}

TEST_F(EmissionSteps, ZeroCorrectionRunsAndEndsOnTheThreadsMark)
{
    page.c.labZMStatus->setText(QStringLiteral("Приём показаний прибора..."));
    page.c.OKZero->show();
    test->btnZeroClick();

    ASSERT_EQ(device.requests.size(), 1u);
    EXPECT_EQ(device.requests[0].code, 3);
    EXPECT_EQ(device.requests[0].repeat, 0);
    EXPECT_EQ(device.requests[0].argument, 0);
    EXPECT_EQ(page.c.labZMStatus->text(), QStringLiteral("Коррекция нуля..."));
    EXPECT_EQ(page.c.labDStatus->text(), QStringLiteral("Коррекция нуля..."));
    EXPECT_FALSE(page.c.OKZero->isVisible());
    EXPECT_EQ(state.OperationState, TestOperation::ZeroCorrection);
    EXPECT_TRUE(StepButtonLook::isRunning(page.c.btnZero));
    EXPECT_EQ(shapeFill(page.c.ShapeZero), Lime);
    EXPECT_TRUE(log().endsWith(QStringLiteral("] zero correct\n"))) << log().toStdString();

    // The gauge follows the instrument's progress.
    test->onProcedureTick(procedureSnapshot(3, 200, 57, 1));
    EXPECT_EQ(page.c.MainProgress->maximum(), 200);
    EXPECT_EQ(page.c.MainProgress->value(), 57);
    EXPECT_FALSE(state.ZeroDone);

    // The thread has gone back to readings before the timer saw the end; the
    // mark it kept completes the step on the next readings tick.
    device.zeroFinished = true;
    test->onReadingsTick(readingsSnapshot({ 0, 0, 0, 20.9f, 0, 800, 1 }), true);
    EXPECT_TRUE(state.ZeroDone);
    EXPECT_EQ(state.OperationState, TestOperation::Live);
    EXPECT_TRUE(page.c.OKZero->isVisible());
    EXPECT_FALSE(StepButtonLook::isRunning(page.c.btnZero));
    EXPECT_EQ(shapeFill(page.c.ShapeZero), DarkGreen);
    EXPECT_EQ(page.c.MainProgress->value(), page.c.MainProgress->maximum());
    EXPECT_EQ(state.SampleCount, 0) << "readings are not collected outside a speed step";
}

TEST_F(EmissionSteps, ZeroCorrectionMarkIsTakenOnEveryKindOfTick)
{
    using Tick = std::function<void(EmissionProcedureView &)>;
    const Tick ticks[] = {
        [](EmissionProcedureView &t) { t.onProcedureTick(procedureSnapshot(3, 200, 200, 3)); },
        [](EmissionProcedureView &t) { t.onReadingsTick(readingsSnapshot({}), false); },
        [](EmissionProcedureView &t) { t.onOtherTick(); },
    };
    for (const Tick &tick : ticks) {
        state.ZeroDone = false;
        test->btnZeroClick();
        tick(*test);
        EXPECT_FALSE(state.ZeroDone) << "no mark, no completion";
        device.zeroFinished = true;
        tick(*test);
        EXPECT_TRUE(state.ZeroDone);
        EXPECT_EQ(state.OperationState, TestOperation::Live);
    }
}

TEST_F(EmissionSteps, SpeedStepCollectsOneNewReadingPerTickUpToTheSetting)
{
    struct Case
    {
        int setting; // "CntMeasure"
        int expected; // readings a step takes
    };
    for (const Case c : { Case { 10, 10 }, Case { 3, 3 }, Case { 15, 10 }, Case { 0, 1 } }) {
        SCOPED_TRACE(c.setting);
        state = TestState();
        readyForSteps();
        state.ZeroDone = true;
        state.ReadingsPerStep = c.setting;

        test->btnMinRatioClick();
        ASSERT_EQ(state.OperationState, TestOperation::MinSpeed);
        EXPECT_EQ(page.c.labZMStatus->text(), QStringLiteral("Прием данных..."));
        EXPECT_TRUE(StepButtonLook::isRunning(page.c.btnMinRatio));
        EXPECT_EQ(shapeFill(page.c.ShapeMinRatio), Lime);

        // Ticks without a new record take nothing.
        for (int i = 0; i < 5; ++i)
            test->onReadingsTick(readingsSnapshot({ 9, 9, 9, 9, 9, 9, 9 }), false);
        EXPECT_EQ(state.SampleCount, 0);

        // Readings 1, 2, 3, ...: the mean is the mean of those taken.
        int taken = 0;
        while (state.OperationState == TestOperation::MinSpeed && taken < 20) {
            ++taken;
            const float v = float(taken);
            test->onReadingsTick(
                readingsSnapshot({ v, 100 * v, v, v, 10 * v, 700 + v, v }, taken), true);
            if (state.OperationState == TestOperation::MinSpeed) {
                EXPECT_EQ(page.c.MainProgress->value(), taken);
            }
        }
        EXPECT_EQ(taken, c.expected);
        EXPECT_TRUE(state.MinSpeedDone);
        EXPECT_EQ(state.SampleCount, 0);
        EXPECT_TRUE(page.c.OKMinRatio->isVisible());
        EXPECT_FALSE(StepButtonLook::isRunning(page.c.btnMinRatio));
        EXPECT_EQ(page.c.MainProgress->maximum(), c.expected);
        EXPECT_EQ(page.c.MainProgress->value(), c.expected);

        const float mean = (c.expected + 1) / 2.0f;
        const auto means = EmissionProcedure::meansOf(state);
        EXPECT_FLOAT_EQ(means[0], mean);
        EXPECT_FLOAT_EQ(means[1], 100 * mean);
        EXPECT_FLOAT_EQ(means[4], 10 * mean);
        EXPECT_FLOAT_EQ(means[5], 700 + mean);
        EXPECT_FLOAT_EQ(means[6], mean);
        EXPECT_FLOAT_EQ(means[7], 0) << "no raised-speed readings yet";
    }
}

TEST_F(EmissionSteps, ReadingTakesCHWithoutTheDisplayFactor)
{
    readyForSteps();
    state.ZeroDone = true;
    state.ReadingsPerStep = 2;
    test->btnMinRatioClick();
    test->onReadingsTick(readingsSnapshot({ 0.5f, 120, 14, 0.8f, 60, 810, 1.01f }, 1, 2.5f), true);
    test->onReadingsTick(readingsSnapshot({ 0.5f, 120, 14, 0.8f, 60, 810, 1.01f }, 2, 2.5f), true);
    ASSERT_TRUE(state.MinSpeedDone);
    const auto means = EmissionProcedure::meansOf(state);
    EXPECT_FLOAT_EQ(means[1], 120);
    EXPECT_FLOAT_EQ(means[5], 810);
    EXPECT_FLOAT_EQ(means[6], 1.01f);
}

TEST_F(EmissionSteps, LostLinkAbandonsTheSpeedStep)
{
    readyForSteps();
    state.ZeroDone = true;
    test->btnMinRatioClick();
    for (int i = 0; i < 4; ++i)
        test->onReadingsTick(readingsSnapshot({ 1, 1, 1, 1, 1, 1, 1 }, ++recordCount), true);
    ASSERT_EQ(state.SampleCount, 4);

    test->onLinkLost();
    EXPECT_EQ(state.SampleCount, 0);
    EXPECT_EQ(state.OperationState, TestOperation::Live);
    EXPECT_EQ(page.c.MainProgress->value(), 0);
    for (QAbstractButton *b : { page.c.btnZero, page.c.btnMinRatio, page.c.btnMaxRatio })
        EXPECT_FALSE(StepButtonLook::isRunning(b));
    EXPECT_EQ(shapeFill(page.c.ShapeMinRatio), DarkGreen);
    EXPECT_FALSE(state.MinSpeedDone);

    // The operator repeats the step from the beginning.
    test->btnMinRatioClick();
    EXPECT_EQ(feedUntilDone({ 2, 2, 2, 2, 2, 2, 2 }), 10);
    EXPECT_FLOAT_EQ(EmissionProcedure::meansOf(state)[0], 2);
}

// Readings taken before a new zero correction must not share a mean with
// readings taken after it, whether the correction succeeds or fails.
TEST_F(EmissionSteps, AZeroCorrectionRestartsTheStepItInterrupted)
{
    for (const bool corrected : { true, false }) {
        SCOPED_TRACE(corrected ? "corrected" : "correction failed");
        readyForSteps();
        state.ZeroDone = true;
        test->btnMinRatioClick();
        for (int i = 0; i < 4; ++i)
            test->onReadingsTick(readingsSnapshot({ 1, 1, 1, 1, 1, 1, 1 }, ++recordCount), true);

        test->btnZeroClick(); // the operator runs a zero correction in between
        (corrected ? device.zeroFinished : device.zeroFailed) = true;
        test->onOtherTick();
        ASSERT_EQ(state.OperationState, TestOperation::Live);

        state.ZeroDone = true; // a failed correction is repeated until it succeeds
        test->btnMinRatioClick();
        EXPECT_EQ(state.SampleCount, 0);
        EXPECT_EQ(feedUntilDone({ 3, 3, 3, 3, 3, 3, 3 }), 10);
        EXPECT_FLOAT_EQ(EmissionProcedure::meansOf(state)[0], 3);
    }
}

TEST_F(EmissionSteps, RepeatedStepKeepsTheLastWholeRunAndNeverFeedsTheOtherSpeed)
{
    readyForSteps();
    state.ZeroDone = true;
    test->btnMinRatioClick();
    ASSERT_EQ(feedUntilDone({ 1, 1, 1, 1, 1, 1, 1 }), 10);

    // F2 again, interrupted after four readings by F3.
    test->btnMinRatioClick();
    for (int i = 0; i < 4; ++i)
        test->onReadingsTick(readingsSnapshot({ 5, 5, 5, 5, 5, 5, 5 }, ++recordCount), true);
    test->btnMaxRatioClick();
    ASSERT_EQ(state.OperationState, TestOperation::RaisedSpeed);
    EXPECT_FALSE(StepButtonLook::isRunning(page.c.btnMinRatio));
    EXPECT_TRUE(StepButtonLook::isRunning(page.c.btnMaxRatio));
    EXPECT_EQ(feedUntilDone({ 7, 7, 7, 7, 7, 7, 7 }), 10) << "F3 starts at its own first reading";

    const auto means = EmissionProcedure::meansOf(state);
    EXPECT_FLOAT_EQ(means[0], 1) << "the unfinished re-run did not replace the minimum-speed step";
    EXPECT_FLOAT_EQ(means[7], 7) << "no minimum-speed reading among the raised-speed ones";
}

TEST_F(EmissionSteps, StepButtonsShowIdleAndRunningLooks)
{
    readyForSteps();
    state.ZeroDone = true;
    for (QWidget *shape : { page.c.ShapeZero, page.c.ShapeMinRatio, page.c.ShapeMaxRatio })
        EXPECT_EQ(shapeFill(shape), DarkGreen);
    test->btnMinRatioClick();
    EXPECT_EQ(shapeFill(page.c.ShapeMinRatio), Lime);
    EXPECT_EQ(page.c.btnMinRatio->palette().color(QPalette::ButtonText), QColor(Qt::black));
    test->btnZeroClick(); // switches to the zero correction
    EXPECT_EQ(shapeFill(page.c.ShapeMinRatio), DarkGreen);
    EXPECT_EQ(shapeFill(page.c.ShapeZero), Lime);
    EXPECT_FALSE(page.c.OKReport->isVisible());
}

} // namespace
