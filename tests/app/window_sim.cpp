#include "window_support.h"

#include "app/DiagnosePage.h"
#include "app/EmissionProcedureView.h"
#include "app/ProgramWindows.h"
#include "app/StepButtonLook.h"
#include "app/TFormAboutZM.h"
#include "app/TFormMain.h"
#include "database/SelectedVehicle.h"
#include "device/TOpros_ZMX.h"
#include "device/ui/TFrConnect.h"
#include "graphs/ui/TfrGraph.h"
#include "tests/support/SimProcess.h"

#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <gtest/gtest.h>

#include <optional>

namespace {
constexpr int StartupTimeoutMs = 20000;
constexpr int ReadingTimeoutMs = 8000;
} // namespace

// The measuring page against the simulated instrument: identity in the
// instrument box, then live values on the readouts.
TEST(MainWindowWithInstrument, LiveValuesReachTheReadouts)
{
    SimProcess sim({ QStringLiteral("--warmup"), QStringLiteral("0"), QStringLiteral("--serial"),
        QStringLiteral("4321"), QStringLiteral("--firmware"), QStringLiteral("0x0105") });
    ASSERT_TRUE(sim.isReady()) << qPrintable(sim.errorString());
    ASSERT_TRUE(sim.send(QStringLiteral("hold on")));
    ASSERT_TRUE(sim.send(QStringLiteral("rpm 2500")));
    ASSERT_TRUE(sim.send(QStringLiteral("gas pressure 99360")));
    ASSERT_TRUE(sim.send(QStringLiteral("gas CO 1.25")));
    ASSERT_TRUE(sim.send(QStringLiteral("gas tf 41")));

    TestProgramFolder folder(sim.linkPath());
    ModalAnswerer answerer;
    ProgramWindows windows;
    TFormMain *main = windows.FormMain();
    main->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return main->isStartupFinished(); }, StartupTimeoutMs));

    const TFormAboutZM *about = main->dialogs().FormAboutZM;
    EXPECT_TRUE(about->labComStatus->text().startsWith(QStringLiteral("Zelmor подключен. Порт ")))
        << qPrintable(about->labComStatus->text());
    EXPECT_EQ(about->labZMModel->text(), QStringLiteral("Zelmor"));
    EXPECT_EQ(about->labZMNumber->text(), QStringLiteral("4321"));
    EXPECT_EQ(about->labFirmware->text(), QStringLiteral("1.05"));
    EXPECT_EQ(main->state().InstrumentNumber, 4321);
    EXPECT_EQ(main->connectModule()->labZMStatus->text(), QStringLiteral("ДА"));

    DiagnosePage *page = main->diagnosePage();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return page->labTax->text() == QStringLiteral("2500"); }, ReadingTimeoutMs))
        << qPrintable(page->labTax->text());
    EXPECT_EQ(page->labPressure->text(), QStringLiteral("745.0"));
    EXPECT_EQ(page->labTermF->text(), QStringLiteral("41"));
    EXPECT_EQ(page->frGraph[0]->labData->text(), QStringLiteral("1.25"));
    EXPECT_EQ(page->labTimeName->text(), QStringLiteral("Время работы:"));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d$"))
                    .match(page->labWorkTime->text())
                    .hasMatch())
        << qPrintable(page->labWorkTime->text());
    EXPECT_TRUE(main->state().WarmedUp);
    EXPECT_EQ(main->labZMStatus()->text(), QStringLiteral("Приём показаний прибора..."));

    // A warm-up started by the instrument shows its count-down.
    ASSERT_TRUE(sim.send(QStringLiteral("warmup 425")));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return page->labTimeName->text() == QStringLiteral("Время прогрева:"); },
        ReadingTimeoutMs));
    EXPECT_TRUE(page->labWorkTime->text().startsWith(QStringLiteral("07:0")))
        << qPrintable(page->labWorkTime->text());
    EXPECT_FALSE(main->state().WarmedUp);
    ASSERT_TRUE(sim.send(QStringLiteral("warmup 0")));
    EXPECT_TRUE(QTest::qWaitFor([&] { return main->state().WarmedUp; }, ReadingTimeoutMs));

    // The picture of the page, for the documentation.
    const QByteArray shot = qgetenv("ZELMOR_SCREENSHOT");
    if (!shot.isEmpty()) {
        const ModelRecord model = main->database().CurrentModel();
        SelectedVehicle vehicle { model.Index, model.Name, QStringLiteral("А123ВС77"),
            model.limits };
        main->emissionTest().applySelectedVehicle(vehicle);
        sim.send(QStringLiteral("rpm %1").arg(int(model.limits.MinTax) + 30));
        sim.send(QStringLiteral("gas tm 62"));
        QTest::qWait(1500);
        page->labZMStatus->setVisible(true);
        main->grab().save(QString::fromLocal8Bit(shot));
    }

    // The link stops: "Нет связи!" within seven ticks and more.
    ASSERT_TRUE(sim.send(QStringLiteral("fault silent on")));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return main->labZMStatus()->text() == QStringLiteral("Нет связи!"); }, 12000));

    EXPECT_TRUE(answerer.boxes.isEmpty());
    main->close();
}

// A new test numbers its records from the first one again, so the series
// files and the research page's table start with this vehicle's readings.
TEST(MainWindowWithInstrument, ANewTestStartsTheRecordSeriesAgain)
{
    SimProcess sim({ QStringLiteral("--warmup"), QStringLiteral("0") });
    ASSERT_TRUE(sim.isReady()) << qPrintable(sim.errorString());
    TestProgramFolder folder(sim.linkPath());
    ModalAnswerer answerer;
    ProgramWindows windows;
    TFormMain *main = windows.FormMain();
    main->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return main->isStartupFinished(); }, StartupTimeoutMs));
    constexpr int Received = 6;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return main->opros().snapshot().RecordCount >= Received; }, 4 * ReadingTimeoutMs));

    const ModelRecord model = main->database().CurrentModel();
    main->emissionTest().applySelectedVehicle(
        SelectedVehicle { model.Index, model.Name, QStringLiteral("А1"), model.limits });
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return main->opros().snapshot().RecordCount < Received; }, ReadingTimeoutMs))
        << main->opros().snapshot().RecordCount;
    main->close();
}

// A zero correction the instrument ends with an error: the operator reads the
// instrument's text in the status line and a box, F1 is idle again, the graph
// shows live values, and F1 starts a new correction that can end well.
TEST(MainWindowWithInstrument, AFailedZeroCorrectionIsShownAndF1WorksAgain)
{
    SimProcess sim({ QStringLiteral("--warmup"), QStringLiteral("0") });
    ASSERT_TRUE(sim.isReady()) << qPrintable(sim.errorString());
    ASSERT_TRUE(sim.send(QStringLiteral("proctime 1000")));
    ASSERT_TRUE(sim.send(QStringLiteral("fault zero-error on")));
    ASSERT_TRUE(sim.send(QStringLiteral("hold on")));
    ASSERT_TRUE(sim.send(QStringLiteral("gas CO 1.25")));

    TestProgramFolder folder(sim.linkPath());
    TFormMain *main = nullptr;
    struct Seen
    {
        QString status;
        bool zeroRunning = true;
        TestOperation operation = TestOperation::ZeroCorrection;
    };
    std::optional<Seen> atBox;
    ModalAnswerer answerer([&](const ModalAnswerer::Box &) {
        if (!main || atBox)
            return;
        atBox = Seen { main->labZMStatus()->text(),
            StepButtonLook::isRunning(main->diagnosePage()->btnZero),
            main->state().OperationState };
    });
    ProgramWindows windows;
    main = windows.FormMain();
    main->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return main->isStartupFinished(); }, StartupTimeoutMs));
    ASSERT_TRUE(QTest::qWaitFor([&] { return main->state().WarmedUp; }, ReadingTimeoutMs));
    DiagnosePage *page = main->diagnosePage();

    const QString error = QStringLiteral("Ошибка коррекции нуля (1).");
    page->btnZero->click();
    ASSERT_EQ(main->state().OperationState, TestOperation::ZeroCorrection);
    EXPECT_TRUE(StepButtonLook::isRunning(page->btnZero));
    ASSERT_TRUE(QTest::qWaitFor([&] { return answerer.boxes.size() == 1; }, 4 * ReadingTimeoutMs));
    EXPECT_EQ(answerer.boxes.front().text, error);
    ASSERT_TRUE(atBox);
    EXPECT_EQ(atBox->status, error);
    EXPECT_FALSE(atBox->zeroRunning);
    EXPECT_EQ(atBox->operation, TestOperation::Live);
    EXPECT_FALSE(main->state().ZeroDone);
    EXPECT_FALSE(page->OKZero->isVisible());
    // Live values again, not the zeros of a running correction.
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return page->frGraph[0]->labData->text() == QStringLiteral("1.25"); },
            ReadingTimeoutMs))
        << qPrintable(page->frGraph[0]->labData->text());

    // F1 again is taken up and this time ends well.
    ASSERT_TRUE(sim.send(QStringLiteral("fault zero-error off")));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            page->btnZero->click();
            return main->state().OperationState == TestOperation::ZeroCorrection;
        },
        ReadingTimeoutMs));
    EXPECT_TRUE(StepButtonLook::isRunning(page->btnZero));
    EXPECT_TRUE(QTest::qWaitFor([&] { return main->state().ZeroDone; }, 4 * ReadingTimeoutMs));
    EXPECT_TRUE(page->OKZero->isVisible());
    EXPECT_FALSE(StepButtonLook::isRunning(page->btnZero));
    EXPECT_EQ(answerer.boxes.size(), 1);
    main->close();
}
