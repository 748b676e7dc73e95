// A whole emission test in the program's own main window against the
// instrument simulator: the polling thread on a real pseudo-terminal, the
// operation timer, the vehicle selection and report browser, a real database
// file in a temporary program folder, the function keys F1 … F4.

#include "app/DiagnosePage.h"
#include "app/EmissionProcedureView.h"
#include "app/MainMenu.h"
#include "app/ProgramWindows.h"
#include "app/TFormMain.h"
#include "database/ZelmorDatabase.h"
#include "database/ui/TFormReports.h"
#include "database/ui/TFormSelectCar.h"
#include "device/TOpros_ZMX.h"
#include "graphs/GASE_GRAPH.h"
#include "tests/app/emission_support.h"
#include "tests/app/emission_window_fixture.h"
#include "tests/support/SimProcess.h"

#include <QComboBox>
#include <QSqlQuery>
#include <QSqlRecord>

#include <gtest/gtest.h>

using namespace emission;

namespace {

constexpr int SerialNumber = 4321;
const int ChosenRow = 2; // the third model of the shipped list

// The engine held at minimum and at raised speed; the display factor of CH is
// not 1, so a stored CH that carried it would show.
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

class EmissionEndToEnd : public MainWindowOnSimulator
{
protected:
    void SetUp() override
    {
        if (SimProcess::executablePath().isEmpty())
            GTEST_SKIP() << "zelmor-sim not built";
        ASSERT_NO_FATAL_FAILURE(startSimulator(SerialNumber));
        steer(MinSpeedSteering);
        ASSERT_NO_FATAL_FAILURE(makeProgramFolder());
        ASSERT_NO_FATAL_FAILURE(startProgram());
        page = main->diagnosePage();
        ASSERT_TRUE(main->startupErrors().isEmpty())
            << qPrintable(main->startupErrors().join('\n'));
        ASSERT_TRUE(waitFor([&] { return main->state().WarmedUp; })) << "no readings";
    }

    DiagnosePage *page = nullptr;
};

TEST_F(EmissionEndToEnd, WholeTestStoresTheMeansTheInstrumentMeasured)
{
    TestState &state = main->state();
    EXPECT_EQ(state.readingsPerStep(), 10);

    QString selectedName;
    // Choose the model and type the number in lower case, Cyrillic and Latin.
    ModalScript choose;
    choose.press(QMessageBox::Yes).then([&](QWidget *w) {
        auto *dialog = qobject_cast<TFormSelectCar *>(w);
        ASSERT_NE(dialog, nullptr);
        dialog->cboxModel->setCurrentIndex(ChosenRow);
        selectedName = dialog->cboxModel->currentText();
        emit dialog->cboxModel->activated(ChosenRow);
        typeText(dialog->edGosNom, QStringLiteral("ку777x50"));
        dialog->btnOK->click();
    });
    main->menu()->NStartDiagnose->trigger();
    ASSERT_TRUE(choose.done());
    EXPECT_EQ(main->edGosNum()->text(), QStringLiteral("КУ777X50"));
    const int tested = state.ModelIndex;
    ASSERT_GT(tested, 0);
    const ModelRecord model = main->database().modelByIndex(tested);
    EXPECT_EQ(main->edModel()->text(), model.Name);
    EXPECT_EQ(model.Name, selectedName);

    // F1 until the instrument has finished its zero correction.
    pressKey(Qt::Key_F1);
    EXPECT_EQ(state.OperationState, TestOperation::ZeroCorrection);
    ASSERT_TRUE(waitFor([&] { return state.ZeroDone; }));
    EXPECT_TRUE(page->OKZero->isVisible());
    // The thread resumes readings by itself.
    ASSERT_TRUE(waitFor([&] { return main->opros().snapshot().DataKind == DataKindResult; }));

    // F2 at minimum speed: ten new records.
    pressKey(Qt::Key_F2);
    ASSERT_EQ(state.OperationState, TestOperation::MinSpeed);
    ASSERT_TRUE(waitFor([&] { return state.MinSpeedDone; }));
    EXPECT_TRUE(page->OKMinRatio->isVisible());

    // F3 once the engine is up and its readings arrive.
    steer(RaisedSpeedSteering);
    ASSERT_TRUE(waitFor([&] {
        const ZmxSnapshot s = main->opros().snapshot();
        return s.DataKind == DataKindResult && s.LastResult.tax == 2520;
    }));
    // The window shows the raised speed: its operation timer has taken it.
    ASSERT_TRUE(waitFor([&] { return main->gasGraph()->Values[5] == 2520; }));
    pressKey(Qt::Key_F3);
    ASSERT_EQ(state.OperationState, TestOperation::RaisedSpeed);
    ASSERT_TRUE(waitFor([&] { return state.RaisedSpeedDone; }));

    // F4: the browser opens on the stored row, beside its model's limits.
    ModalScript browse;
    browse.then([&](QWidget *w) {
        auto *browser = qobject_cast<TFormReports *>(w);
        ASSERT_NE(browser, nullptr);
        EXPECT_EQ(browser->labModel->text(), model.Name);
        EXPECT_EQ(browser->labGosNum->text(), QStringLiteral("КУ777X50"));
        EXPECT_DOUBLE_EQ(numberIn(browser->measuredEdits[0][0]->text()), 812);
        EXPECT_DOUBLE_EQ(numberIn(browser->measuredEdits[0][3]->text()), 1235);
        EXPECT_DOUBLE_EQ(numberIn(browser->measuredEdits[1][3]->text()), 12350);
        EXPECT_DOUBLE_EQ(numberIn(browser->measuredEdits[1][7]->text()), 0.99);
        EXPECT_DOUBLE_EQ(numberIn(browser->limitEdits[0][2]->text()), model.limits.MinCO);
        EXPECT_DOUBLE_EQ(numberIn(browser->limitEdits[1][0]->text()), model.limits.MaxTax);
        browser->close();
    });
    pressKey(Qt::Key_F4);
    ASSERT_TRUE(waitFor([&] { return browse.done(); }, 5000));
    EXPECT_EQ(browse.unexpected, 0);

    QSqlQuery q(main->database().connection());
    ASSERT_TRUE(q.exec(QStringLiteral("SELECT * FROM \"reports.db\"")));
    ASSERT_TRUE(q.next());
    const QSqlRecord row = q.record();
    EXPECT_FALSE(q.next()) << "one row per test";
    EXPECT_EQ(row.value(QStringLiteral("Model")).toInt(), tested);
    EXPECT_EQ(row.value(QStringLiteral("GovNumber")).toString(), QStringLiteral("КУ777X50"));
    EXPECT_EQ(row.value(QStringLiteral("Date")).toDate(), QDate::currentDate());
    EXPECT_EQ(row.value(QStringLiteral("ZMNum")).toInt(), SerialNumber);
    for (int i = 0; i < 14; ++i)
        EXPECT_NEAR(row.value(QLatin1String(Fields[i])).toDouble(), Stored[i], 1e-9) << Fields[i];
    // Stored with what it was judged by and where: the options as they stand.
    EXPECT_EQ(row.value(QStringLiteral("ModelName")).toString(), model.Name);
    EXPECT_DOUBLE_EQ(row.value(QStringLiteral("LimMinCO")).toDouble(), model.limits.MinCO);
    EXPECT_EQ(row.value(QStringLiteral("Place")).toString(), QStringLiteral("НПФ \"Лумарис\""));

    EXPECT_EQ(state.OperationState, TestOperation::ReportSaved);
    EXPECT_TRUE(state.ReportDone);
    EXPECT_FALSE(state.VehicleSelected);
}

TEST_F(EmissionEndToEnd, SilentInstrumentAbandonsTheSpeedStep)
{
    TestState &state = main->state();
    state.VehicleSelected = true;
    state.ZeroDone = true;
    pressKey(Qt::Key_F2);
    ASSERT_EQ(state.OperationState, TestOperation::MinSpeed);
    ASSERT_TRUE(waitFor([&] { return state.SampleCount >= 2; }));

    ASSERT_TRUE(sim->send("fault silent on"));
    ASSERT_TRUE(waitFor([&] { return state.OperationState == TestOperation::Live; }));
    EXPECT_EQ(main->labZMStatus()->text(), QStringLiteral("Нет связи!"));
    EXPECT_EQ(state.SampleCount, 0);
    EXPECT_FALSE(state.MinSpeedDone);
    EXPECT_FALSE(StepButtonLook::isRunning(page->btnMinRatio));
    EXPECT_EQ(page->MainProgress->value(), 0);
}

} // namespace
