// The emission test from the vehicle selection to the stored report, with
// the real dialogs and a real database file in a temporary program folder;
// the instrument is fed by hand.

#include "app/DiagnosePage.h"
#include "app/EmissionProcedureView.h"
#include "app/SecondaryPages.h"
#include "app/TFormAboutZM.h"
#include "common/FormatSettings.h"
#include "common/ProgramFolder.h"
#include "database/TableCursor.h"
#include "database/ZelmorDatabase.h"
#include "database/ui/TFormReports.h"
#include "database/ui/TFormSelectCar.h"
#include "device/ui/TFrConnect.h"
#include "graphs/GASE_GRAPH.h"
#include "tests/app/emission_support.h"
#include "widgets/MessageBoxes.h"

#include <QComboBox>
#include <QLabel>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTabWidget>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace emission;

namespace {

using Reading = std::array<float, 7>;

// Held steady by the engine at each speed: CO, CH, CO2, O2, NOx, speed, lambda.
const Reading MinReading { 0.4567f, 1234.56f, 14.237f, 0.8312f, 123.6f, 812, 1.034f };
const Reading RaisedReading { 0.1234f, 12345.6f, 14.876f, 0.987f, 2345.4f, 2520, 0.987f };
// What the report row holds for them, rounded as stored.
const double MinStored[7] = { 0.46, 1235, 14.24, 0.83, 124, 812, 1.0 };
const double RaisedStored[7] = { 0.12, 12350, 14.88, 0.99, 2345, 2520, 0.99 };
const char *const MinFields[7]
    = { "MinCO", "MinCH", "MinCO2", "MinO2", "MinNOx", "MinTax", "MinLambda" };
const char *const MaxFields[7]
    = { "MaxCO", "MaxCH", "MaxCO2", "MaxO2", "MaxNOx", "MaxTax", "MaxLambda" };

const int ChosenRow = 2; // the third model of the shipped list

class EmissionReport : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        programDir = folder.path() + QLatin1Char('/');
        setProgramFolder(programDir);
        db.open(programDir);
        selectCar = new TFormSelectCar(&db, &page);
        reports = new TFormReports(&db, &page);
        page.show();
        test = std::make_unique<EmissionProcedureView>(page.c, state, device, &page);
        test->setDatabase(&db);
        test->setDialogs(selectCar, reports);
        test->setGasGraph(&graph);
        state.WarmedUp = true;
        state.InstrumentNumber = 4321;
    }
    void TearDown() override { setProgramFolder(QString()); }

    // "Диагностика выхлопа", Yes, then the model and the typed number.
    void chooseVehicle(int row, const QString &typed)
    {
        ModalScript script;
        script.press(QMessageBox::Yes).then([&](QWidget *w) {
            auto *dialog = qobject_cast<TFormSelectCar *>(w);
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(state.OperationState, TestOperation::Blank);
            dialog->cboxModel->setCurrentIndex(row);
            emit dialog->cboxModel->activated(row);
            typeText(dialog->edGosNom, typed);
            dialog->btnOK->click();
        });
        test->NStartDiagnoseClick();
        ASSERT_TRUE(script.done());
        ASSERT_EQ(script.unexpected, 0);
    }

    int feedStep(const Reading &reading)
    {
        int records = 0;
        const TestOperation step = state.OperationState;
        while (state.OperationState == step && records < 20) {
            ++records;
            test->onReadingsTick(readingsSnapshot(reading, ++recordCount), true);
        }
        return records;
    }

    // F1 to its end, F2 and F3 with the engine held at the two readings.
    void runSteps()
    {
        test->btnZeroClick();
        device.zeroFinished = true;
        test->onOtherTick();
        ASSERT_TRUE(state.ZeroDone);
        test->btnMinRatioClick();
        ASSERT_EQ(feedStep(MinReading), 10);
        test->btnMaxRatioClick();
        ASSERT_EQ(feedStep(RaisedReading), 10);
        ASSERT_TRUE(state.RaisedSpeedDone);
    }

    int reportCount()
    {
        QSqlQuery q(db.connection());
        q.exec(QStringLiteral("SELECT count(*) FROM \"reports.db\""));
        return q.next() ? q.value(0).toInt() : -1;
    }

    QSqlRecord lastReport()
    {
        QSqlQuery q(db.connection());
        q.exec(QStringLiteral("SELECT * FROM \"reports.db\" ORDER BY \"Index\" DESC LIMIT 1"));
        return q.next() ? q.record() : QSqlRecord();
    }

    int modelIndexAt(int row)
    {
        QSqlQuery q(db.connection());
        q.exec(QStringLiteral("SELECT \"Index\" FROM \"models.DB\" ORDER BY \"Index\""));
        for (int i = 0; q.next(); ++i)
            if (i == row)
                return q.value(0).toInt();
        return -1;
    }

    void expectStoredMeans(const QSqlRecord &row)
    {
        for (int i = 0; i < 7; ++i) {
            EXPECT_NEAR(row.value(QLatin1String(MinFields[i])).toDouble(), MinStored[i], 1e-9)
                << MinFields[i];
            EXPECT_NEAR(row.value(QLatin1String(MaxFields[i])).toDouble(), RaisedStored[i], 1e-9)
                << MaxFields[i];
        }
    }

    QTemporaryDir folder;
    QString programDir;
    ZelmorDatabase db;
    MeasuringPage page;
    TFormSelectCar *selectCar = nullptr;
    TFormReports *reports = nullptr;
    GASE_GRAPH graph;
    TestState state;
    FakeDevice device;
    std::unique_ptr<EmissionProcedureView> test;
    int recordCount = 0;
};

TEST_F(EmissionReport, SelectionStartsANewTestForTheChosenModel)
{
    state.ZeroDone = state.MinSpeedDone = state.RaisedSpeedDone = state.ReportDone = true;
    state.TestMeans.fill(7);
    page.c.OKZero->show();

    chooseVehicle(ChosenRow, QStringLiteral("ав123x77"));

    EXPECT_EQ(page.c.edGosNum->text(), QStringLiteral("АВ123X77"));
    EXPECT_EQ(state.ModelIndex, modelIndexAt(ChosenRow));
    const ModelRecord model = db.modelByIndex(state.ModelIndex);
    const ModelLimits &l = model.limits;
    EXPECT_EQ(page.c.edModel->text(), model.Name);
    EXPECT_EQ(state.OperationState, TestOperation::Live);
    EXPECT_TRUE(state.VehicleSelected);
    EXPECT_FALSE(state.ZeroDone || state.MinSpeedDone || state.RaisedSpeedDone || state.ReportDone);
    for (float mean : state.TestMeans)
        EXPECT_EQ(mean, 0);
    EXPECT_FALSE(page.c.OKZero->isVisible());
    // The model's limits and windows are in the gas graph.
    EXPECT_FLOAT_EQ(graph.MinLimits[GASE_GRAPH::CO], float(l.MinCO));
    EXPECT_FLOAT_EQ(graph.MinLimits[GASE_GRAPH::CH], float(l.MinCH));
    EXPECT_FLOAT_EQ(graph.MaxLimits[GASE_GRAPH::CH], float(l.MaxCH));
    EXPECT_FLOAT_EQ(graph.RangeLow[GASE_GRAPH::EngineSpeed], float(l.MinTax - l.MinTaxD));
    EXPECT_FLOAT_EQ(graph.RangeHigh[GASE_GRAPH::EngineSpeed], float(l.MinTax + l.MinTaxD));
    EXPECT_FLOAT_EQ(graph.RangeLow[GASE_GRAPH::Lambda], float(0.5 * l.MinLambda));
    EXPECT_FLOAT_EQ(graph.RangeHigh[GASE_GRAPH::Lambda], float(1.5 * l.MinLambda));
}

TEST_F(EmissionReport, StoresTheRoundedMeansOfTheTestedModelAndOpensTheBrowserOnThem)
{
    chooseVehicle(ChosenRow, QStringLiteral("ав123x77"));
    const int tested = modelIndexAt(ChosenRow);
    const ModelRecord model = db.modelByIndex(tested);
    runSteps();
    // The operator looks at another model in between.
    db.tbModels()->setCurrentRow(5);

    ModalScript script;
    script.then([&](QWidget *w) {
        auto *browser = qobject_cast<TFormReports *>(w);
        ASSERT_NE(browser, nullptr);
        EXPECT_EQ(browser->labModel->text(), model.Name);
        EXPECT_EQ(browser->labGosNum->text(), QStringLiteral("АВ123X77"));
        EXPECT_DOUBLE_EQ(numberIn(browser->measuredEdits[0][2]->text()), 0.46); // MinCO
        EXPECT_DOUBLE_EQ(numberIn(browser->measuredEdits[1][3]->text()), 12350); // MaxCH
        EXPECT_DOUBLE_EQ(numberIn(browser->measuredEdits[1][7]->text()), 0.99); // MaxLambda
        EXPECT_DOUBLE_EQ(numberIn(browser->limitEdits[0][2]->text()), model.limits.MinCO);
        EXPECT_DOUBLE_EQ(numberIn(browser->limitEdits[1][0]->text()), model.limits.MaxTax);
        EXPECT_EQ(state.OperationState, TestOperation::ReportSaved);
        browser->close();
    });
    test->btnReportClick();
    ASSERT_TRUE(script.done());

    ASSERT_EQ(reportCount(), 1);
    const QSqlRecord row = lastReport();
    EXPECT_EQ(row.value(QStringLiteral("Model")).toInt(), tested);
    EXPECT_EQ(row.value(QStringLiteral("GovNumber")).toString(), QStringLiteral("АВ123X77"));
    EXPECT_EQ(row.value(QStringLiteral("Date")).toDate(), QDate::currentDate());
    EXPECT_EQ(row.value(QStringLiteral("ZMNum")).toInt(), 4321);
    expectStoredMeans(row);
    EXPECT_EQ(test->storedReportIndex(), row.value(QStringLiteral("Index")).toInt());
    EXPECT_EQ(FormatSettings::current().dateSeparator, QLatin1Char('-'));

    // The test is over: a new one needs a vehicle again.
    EXPECT_TRUE(state.ReportDone);
    EXPECT_FALSE(
        state.VehicleSelected || state.ZeroDone || state.MinSpeedDone || state.RaisedSpeedDone);
    EXPECT_EQ(state.OperationState, TestOperation::ReportSaved);
    EXPECT_EQ(page.c.MainProgress->value(), 0);
    for (QWidget *mark : { page.c.OKZero, page.c.OKMinRatio, page.c.OKMaxRatio })
        EXPECT_FALSE(mark->isVisible());

    // F4 again only opens the browser.
    ModalScript again;
    again.then([](QWidget *w) { w->close(); });
    test->btnReportClick();
    EXPECT_EQ(again.windows, QStringList { QStringLiteral("FormReports") });
    EXPECT_EQ(reportCount(), 1);
}

TEST_F(EmissionReport, FailedStoreLeavesTheTestAsItWasAndARetryStoresTheRightValuesOnce)
{
    chooseVehicle(ChosenRow, QStringLiteral("ab1"));
    runSteps();

    // Another program holds the database locked.
    const QString lockName = QStringLiteral("emission-lock");
    {
        QSqlDatabase locker = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), lockName);
        locker.setDatabaseName(ZelmorDatabase::databasePath(programDir));
        ASSERT_TRUE(locker.open());
        QSqlQuery lock(locker);
        ASSERT_TRUE(lock.exec(QStringLiteral("BEGIN EXCLUSIVE")));

        ModalScript script;
        script.press(QMessageBox::Ok);
        test->btnReportClick();
        ASSERT_EQ(script.boxes.size(), 1u);
        EXPECT_EQ(script.boxes[0].title, QStringLiteral("Сообщение"));
        EXPECT_EQ(script.windows.size(), 1) << "no browser after a failed store";
        EXPECT_EQ(script.unexpected, 0);

        EXPECT_FALSE(state.ReportDone);
        EXPECT_TRUE(
            state.VehicleSelected && state.ZeroDone && state.MinSpeedDone && state.RaisedSpeedDone);
        EXPECT_EQ(state.OperationState, TestOperation::Live);
        for (float mean : state.TestMeans)
            EXPECT_EQ(mean, 0);
        EXPECT_TRUE(page.c.OKMaxRatio->isVisible());

        ASSERT_TRUE(lock.exec(QStringLiteral("ROLLBACK")));
        locker.close();
    }
    QSqlDatabase::removeDatabase(lockName);
    EXPECT_EQ(reportCount(), 0);

    ModalScript retry;
    retry.then([](QWidget *w) { w->close(); });
    test->btnReportClick();
    EXPECT_EQ(retry.windows, QStringList { QStringLiteral("FormReports") });
    ASSERT_EQ(reportCount(), 1);
    expectStoredMeans(lastReport());
    EXPECT_TRUE(state.ReportDone);
}

TEST_F(EmissionReport, CancelledSelectionLeavesTheStoredTestAndNeedsAVehicleForNewSteps)
{
    chooseVehicle(ChosenRow, QStringLiteral("x1"));
    runSteps();
    {
        ModalScript script;
        script.then([](QWidget *w) { w->close(); });
        test->btnReportClick();
    }
    ASSERT_EQ(reportCount(), 1);

    // "No" at the question: no dialog at all.
    {
        ModalScript script;
        script.press(QMessageBox::No);
        test->NStartDiagnoseClick();
        ASSERT_EQ(script.boxes.size(), 1u);
        EXPECT_EQ(script.boxes[0].text,
            QStringLiteral("Вы действительно хотите начать новое измерение?"));
        EXPECT_EQ(script.boxes[0].icon, QMessageBox::Information);
        EXPECT_EQ(script.boxes[0].buttons, QMessageBox::Yes | QMessageBox::No);
        EXPECT_EQ(script.windows.size(), 1);
    }
    // "Yes", then "Отмена" in the selection.
    {
        ModalScript script;
        script.press(QMessageBox::Yes).then([](QWidget *w) {
            qobject_cast<TFormSelectCar *>(w)->btnCancel->click();
        });
        test->NStartDiagnoseClick();
        EXPECT_TRUE(script.done());
    }
    EXPECT_FALSE(state.VehicleSelected);
    EXPECT_TRUE(state.ReportDone);
    EXPECT_EQ(state.OperationState, TestOperation::Live);
    EXPECT_EQ(page.c.edGosNum->text(), QStringLiteral("X1"));

    // F4 shows the stored result again; F2 asks for a vehicle.
    {
        ModalScript script;
        script.then([](QWidget *w) { w->close(); }).press(QMessageBox::Ok);
        test->btnReportClick();
        test->btnMinRatioClick();
        EXPECT_EQ(script.windows.first(), QStringLiteral("FormReports"));
        ASSERT_EQ(script.boxes.size(), 1u);
        EXPECT_TRUE(script.boxes[0].text.startsWith(QStringLiteral("Выберите автомобиль")));
    }
    EXPECT_EQ(reportCount(), 1);
}

TEST_F(EmissionReport, CancelledSelectionLetsTheRunningTestGoOnAndANewVehicleClearsThePage)
{
    chooseVehicle(ChosenRow, QStringLiteral("a1"));
    test->btnZeroClick();
    device.zeroFinished = true;
    test->onOtherTick();
    test->btnMinRatioClick();
    for (int i = 0; i < 3; ++i)
        test->onReadingsTick(readingsSnapshot(MinReading, ++recordCount), true);
    ASSERT_EQ(page.c.MainProgress->value(), 3);

    {
        ModalScript script;
        script.press(QMessageBox::Yes).then([](QWidget *w) {
            qobject_cast<TFormSelectCar *>(w)->btnCancel->click();
        });
        test->NStartDiagnoseClick();
        ASSERT_TRUE(script.done());
    }
    // The page and the test are as they were: the step goes on.
    EXPECT_TRUE(state.VehicleSelected);
    EXPECT_EQ(state.OperationState, TestOperation::MinSpeed);
    EXPECT_TRUE(StepButtonLook::isRunning(page.c.btnMinRatio));
    EXPECT_TRUE(page.c.OKZero->isVisible());
    EXPECT_EQ(page.c.edGosNum->text(), QStringLiteral("A1"));
    EXPECT_EQ(feedStep(MinReading), 7) << "the three readings before still count";
    ASSERT_TRUE(state.MinSpeedDone);
    {
        ModalScript script;
        test->btnMaxRatioClick();
        EXPECT_TRUE(script.boxes.empty()) << "F3 does not ask for the vehicle on the screen";
    }
    ASSERT_EQ(state.OperationState, TestOperation::RaisedSpeed);
    test->onReadingsTick(readingsSnapshot(RaisedReading, ++recordCount), true);

    // A new vehicle chosen mid-step: nothing of the previous test stays lit.
    const int recordResets = device.recordCountResets;
    chooseVehicle(0, QStringLiteral("b2"));
    EXPECT_EQ(device.recordCountResets, recordResets + 1);
    EXPECT_EQ(state.OperationState, TestOperation::Live);
    EXPECT_FALSE(state.ZeroDone || state.MinSpeedDone || state.RaisedSpeedDone);
    EXPECT_EQ(page.c.edGosNum->text(), QStringLiteral("B2"));
    for (QWidget *mark : { page.c.OKZero, page.c.OKMinRatio, page.c.OKMaxRatio })
        EXPECT_FALSE(mark->isVisible());
    for (QAbstractButton *button : { page.c.btnZero, page.c.btnMinRatio, page.c.btnMaxRatio })
        EXPECT_FALSE(StepButtonLook::isRunning(button));
    EXPECT_EQ(page.c.MainProgress->value(), 0);
}

TEST_F(EmissionReport, NewVehicleDropsReadingsOfAnUnfinishedStep)
{
    chooseVehicle(ChosenRow, QStringLiteral("a1"));
    test->btnZeroClick();
    device.zeroFinished = true;
    test->onOtherTick();
    test->btnMinRatioClick();
    for (int i = 0; i < 6; ++i)
        test->onReadingsTick(readingsSnapshot({ 9, 9, 9, 9, 9, 9, 9 }, ++recordCount), true);

    chooseVehicle(0, QStringLiteral("b2"));
    EXPECT_EQ(state.SampleCount, 0);
    EXPECT_EQ(state.OperationState, TestOperation::Live);
    EXPECT_FALSE(StepButtonLook::isRunning(page.c.btnMinRatio));
    EXPECT_EQ(state.ModelIndex, modelIndexAt(0));

    runSteps();
    ModalScript script;
    script.then([](QWidget *w) { w->close(); });
    test->btnReportClick();
    ASSERT_EQ(reportCount(), 1);
    const QSqlRecord row = lastReport();
    expectStoredMeans(row);
    EXPECT_EQ(row.value(QStringLiteral("Model")).toInt(), modelIndexAt(0));
    EXPECT_EQ(row.value(QStringLiteral("GovNumber")).toString(), QStringLiteral("B2"));
}

// What the operator typed, or what names a port, shows as typed wherever a
// label or box shows it: "<b>x</b>" is not bold, "<img src=...>" loads no file.
// (The measuring page shows the vehicle in line edits, which never read markup.)
TEST_F(EmissionReport, TypedDataShowsAsTypedNeverAsMarkup)
{
    const QString model = QStringLiteral("<img src=%1x.png>").arg(programDir);
    const QString number = QStringLiteral("<B>X</B>");
    const QString port = QStringLiteral("Порт <b>/dev/ttyUSB0</b> занят");
    QSqlQuery rename(db.connection());
    rename.prepare(QStringLiteral("UPDATE \"models.DB\" SET \"Name\" = ? WHERE \"Index\" = ?"));
    rename.addBindValue(model);
    rename.addBindValue(modelIndexAt(ChosenRow));
    ASSERT_TRUE(rename.exec());
    TestResult stored;
    stored.modelIndex = modelIndexAt(ChosenRow);
    stored.govNumber = number;
    reports->prepareShow(db.StoreTestResult(stored));

    TFormAboutZM about;
    about.setLinkState(port);
    QTabWidget tabs;
    auto *diagnose = new DiagnosePage;
    auto *pages = new SecondaryPages(&tabs, diagnose);
    diagnose->labZMStatus->setText(port);
    pages->labDStatus->setText(port);
    TFrConnect link;
    link.showPortError(port);
    Qt::TextFormat boxFormat = Qt::AutoText;
    QString boxText;
    ModalScript box;
    box.then([&](QWidget *w) {
        auto *b = qobject_cast<QMessageBox *>(w);
        ASSERT_NE(b, nullptr);
        boxFormat = b->textFormat();
        boxText = b->text();
        b->close();
    });
    MessageBoxes::warning(nullptr, number);

    const struct
    {
        const char *where;
        QString shown;
        Qt::TextFormat format;
        QString typed;
    } rows[] = {
        { "browser: model", reports->labModel->text(), reports->labModel->textFormat(), model },
        { "browser: registration number", reports->labGosNum->text(),
            reports->labGosNum->textFormat(), number },
        { "instrument box: link", about.labComStatus->text(), about.labComStatus->textFormat(),
            port },
        { "measuring page: status", diagnose->labZMStatus->text(),
            diagnose->labZMStatus->textFormat(), port },
        { "research page: status", pages->labDStatus->text(), pages->labDStatus->textFormat(),
            port },
        { "link panel: port problem", link.labPortError->text(), link.labPortError->textFormat(),
            port },
        { "link panel: port state", link.labPortStatus->text(), link.labPortStatus->textFormat(),
            link.labPortStatus->text() },
        { "message box", boxText, boxFormat, number },
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.where);
        EXPECT_EQ(row.shown, row.typed);
        EXPECT_EQ(row.format, Qt::PlainText);
    }
}

} // namespace
