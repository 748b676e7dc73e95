// A whole emission test against the instrument simulator: the polling thread
// on a real pseudo-terminal, the real vehicle selection and report browser, a
// real database file, the measuring page's controls under the offscreen
// platform.

#include "app/EmissionTest.h"
#include "common/ProgramFolder.h"
#include "database/ZelmorDatabase.h"
#include "database/ui/TFormReports.h"
#include "database/ui/TFormSelectCar.h"
#include "device/TOpros_ZMX.h"
#include "graphs/GASE_GRAPH.h"
#include "tests/app/emission_support.h"
#include "tests/support/SimProcess.h"

#include <QComboBox>
#include <QDeadlineTimer>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace emission;

namespace {

constexpr int TickMs = 250;
constexpr int MaxStaleTicks = 6;
constexpr int StepTimeoutMs = 20000;
const int CatalystRow = 2; // "Легковой, нейтрализатор"

// The engine held at minimum and at raised speed; lambda and CH factor fixed.
const QStringList MinSpeedSteering = {
    "rpm 812",
    "gas CO 0.4567",
    "gas CH 1234.56",
    "gas CO2 14.237",
    "gas O2 0.8312",
    "gas NOx 123.6",
    "gas lambda 1.034",
    "gas pr_ekv 0.5",
};
const QStringList RaisedSpeedSteering = {
    "rpm 2520",
    "gas CO 0.1234",
    "gas CH 12345.6",
    "gas CO2 14.876",
    "gas O2 0.987",
    "gas NOx 2345.4",
    "gas lambda 0.987",
};
const char *const Fields[14] = { "MinCO", "MinCH", "MinCO2", "MinO2", "MinNOx", "MinTax",
    "MinLambda", "MaxCO", "MaxCH", "MaxCO2", "MaxO2", "MaxNOx", "MaxTax", "MaxLambda" };
const double Stored[14]
    = { 0.46, 1235, 14.24, 0.83, 124, 812, 1.0, 0.12, 12350, 14.88, 0.99, 2345, 2520, 0.99 };

class EmissionEndToEnd : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (SimProcess::executablePath().isEmpty())
            GTEST_SKIP() << "zelmor-sim not built";
        ASSERT_TRUE(folder.isValid());
        programDir = folder.path() + QLatin1Char('/');
        setProgramFolder(programDir);
        db.open(programDir);

        sim = std::make_unique<SimProcess>(QStringList { "--warmup", "0" });
        ASSERT_TRUE(sim->isReady()) << qPrintable(sim->errorString());
        ASSERT_TRUE(sim->send("proctime 1500"));
        ASSERT_TRUE(sim->send("hold on"));
        steer(MinSpeedSteering);

        thread.setAutoReadAfterZero(true);
        ASSERT_EQ(thread.ConnectPort(sim->linkPath()), TOpros_ZMX::Connected);
        thread.RequestOperation(4, 1, 0);

        selectCar = new TFormSelectCar(&db, &page);
        reports = new TFormReports(&db, &page);
        test = std::make_unique<EmissionTest>(page.c, state, thread, &page);
        test->setDatabase(&db);
        test->setDialogs(selectCar, reports);
        test->setGasGraph(&graph);
        QObject::connect(
            page.c.btnZero, &QAbstractButton::clicked, test.get(), &EmissionTest::btnZeroClick);
        QObject::connect(page.c.btnMinRatio, &QAbstractButton::clicked, test.get(),
            &EmissionTest::btnMinRatioClick);
        QObject::connect(page.c.btnMaxRatio, &QAbstractButton::clicked, test.get(),
            &EmissionTest::btnMaxRatioClick);
        QObject::connect(
            page.c.btnReport, &QAbstractButton::clicked, test.get(), &EmissionTest::btnReportClick);
        page.show();

        timer.setInterval(TickMs);
        QObject::connect(&timer, &QTimer::timeout, [this] { tick(); });
        timer.start();
    }

    void TearDown() override
    {
        timer.stop();
        setProgramFolder(QString());
    }

    void steer(const QStringList &lines)
    {
        for (const QString &line : lines)
            ASSERT_TRUE(sim->send(line)) << qPrintable(line + ": " + sim->lastReply());
    }

    // The operation timer's part for the test: warm-up flag, link check,
    // and the branches by the kind of the last answer.
    void tick()
    {
        const ZmxSnapshot s = thread.snapshot();
        last = s;
        if (s.DataKind == 2) {
            state.WarmedUp = true;
            stale = s.RecordCount == lastRecordCount ? stale + 1 : 0;
            if (stale > MaxStaleTicks) {
                stale = 0;
                test->onLinkLost();
                return;
            }
            lastRecordCount = s.RecordCount;
            test->onReadingsTick(s, stale == 0);
        } else if (s.DataKind == 4) {
            test->onProcedureTick(s);
        } else {
            test->onOtherTick();
        }
    }

    bool waitFor(const std::function<bool()> &condition, int timeoutMs = StepTimeoutMs)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (!condition()) {
            if (deadline.hasExpired())
                return false;
            QTest::qWait(20);
        }
        return true;
    }

    QTemporaryDir folder;
    QString programDir;
    ZelmorDatabase db;
    std::unique_ptr<SimProcess> sim;
    TOpros_ZMX thread { 1000 };
    MeasuringPage page;
    TFormSelectCar *selectCar = nullptr;
    TFormReports *reports = nullptr;
    GASE_GRAPH graph;
    TestState state;
    std::unique_ptr<EmissionTest> test;
    QTimer timer;
    ZmxSnapshot last;
    int lastRecordCount = -1;
    int stale = 0;
};

TEST_F(EmissionEndToEnd, WholeTestStoresTheMeansTheInstrumentMeasured)
{
    ASSERT_TRUE(waitFor([&] { return state.WarmedUp; })) << "no readings from the simulator";

    // Choose the model and type the number in lower case, Cyrillic and Latin.
    ModalScript choose;
    choose.press(QMessageBox::Yes).then([&](QWidget *w) {
        auto *dialog = qobject_cast<TFormSelectCar *>(w);
        ASSERT_NE(dialog, nullptr);
        dialog->cboxModel->setCurrentIndex(CatalystRow);
        emit dialog->cboxModel->activated(CatalystRow);
        typeText(dialog->edGosNom, QStringLiteral("ку777x50"));
        dialog->btnOK->click();
    });
    test->NStartDiagnoseClick();
    ASSERT_TRUE(choose.done());
    EXPECT_EQ(page.c.edGosNum->text(), QStringLiteral("КУ777X50"));
    const int tested = state.ModelIndex;

    // F1 until the instrument has finished its zero correction.
    page.c.btnZero->click();
    EXPECT_EQ(state.OperationState, TestOperation::ZeroCorrection);
    ASSERT_TRUE(waitFor([&] { return state.ZeroDone; })) << qPrintable(last.StatusText);
    EXPECT_TRUE(page.c.OKZero->isVisible());
    ASSERT_TRUE(waitFor([&] { return last.DataKind == 2; })) << "readings resume by themselves";

    // F2 at minimum speed.
    page.c.btnMinRatio->click();
    ASSERT_EQ(state.OperationState, TestOperation::MinSpeed);
    ASSERT_TRUE(waitFor([&] { return state.MinSpeedDone; }));
    EXPECT_EQ(page.c.MainProgress->value(), 10);

    // F3 once the engine is up and its readings arrive.
    steer(RaisedSpeedSteering);
    ASSERT_TRUE(waitFor([&] { return last.DataKind == 2 && last.LastResult.tax == 2520; }));
    QTest::qWait(2 * TickMs);
    page.c.btnMaxRatio->click();
    ASSERT_EQ(state.OperationState, TestOperation::RaisedSpeed);
    ASSERT_TRUE(waitFor([&] { return state.RaisedSpeedDone; }));

    // F4: the browser opens on the stored row.
    ModalScript browse;
    browse.then([&](QWidget *w) {
        auto *browser = qobject_cast<TFormReports *>(w);
        ASSERT_NE(browser, nullptr);
        EXPECT_EQ(browser->labModel->text(), QStringLiteral("Легковой, нейтрализатор"));
        EXPECT_EQ(browser->labGosNum->text(), QStringLiteral("КУ777X50"));
        EXPECT_DOUBLE_EQ(numberIn(browser->measuredEdits[0][0]->text()), 812);
        EXPECT_DOUBLE_EQ(numberIn(browser->measuredEdits[1][3]->text()), 12350);
        EXPECT_FALSE(browser->limitEdits[0][2]->text().isEmpty());
        browser->close();
    });
    page.c.btnReport->click();
    ASSERT_TRUE(browse.done());

    QSqlQuery q(db.connection());
    ASSERT_TRUE(q.exec(QStringLiteral("SELECT * FROM \"reports.db\"")));
    ASSERT_TRUE(q.next());
    const QSqlRecord row = q.record();
    EXPECT_FALSE(q.next()) << "one row per test";
    EXPECT_EQ(row.value(QStringLiteral("Model")).toInt(), tested);
    EXPECT_EQ(row.value(QStringLiteral("GovNumber")).toString(), QStringLiteral("КУ777X50"));
    EXPECT_EQ(row.value(QStringLiteral("Date")).toDate(), QDate::currentDate());
    EXPECT_EQ(row.value(QStringLiteral("ZMNum")).toInt(), -1);
    for (int i = 0; i < 14; ++i)
        EXPECT_NEAR(row.value(QLatin1String(Fields[i])).toDouble(), Stored[i], 1e-9) << Fields[i];
}

TEST_F(EmissionEndToEnd, SilentInstrumentAbandonsTheSpeedStep)
{
    ASSERT_TRUE(waitFor([&] { return state.WarmedUp; }));
    state.VehicleSelected = true;
    state.ZeroDone = true;
    page.c.btnMinRatio->click();
    ASSERT_TRUE(waitFor([&] { return state.SampleCount >= 2; }));

    ASSERT_TRUE(sim->send("fault silent on"));
    ASSERT_TRUE(waitFor([&] { return state.OperationState == TestOperation::Live; }));
    EXPECT_EQ(state.SampleCount, 0);
    EXPECT_FALSE(state.MinSpeedDone);
    EXPECT_FALSE(StepButtonLook::isRunning(page.c.btnMinRatio));
    EXPECT_EQ(page.c.MainProgress->value(), 0);
}

} // namespace
