// The emission test with the vehicle's own computer: the program's main
// window against the instrument simulator and its simulated car (an ELM327
// adapter on a second pseudo-terminal). The car reports an engine speed of
// its own, apart from the instrument's, so the stored means tell where each
// came from. A missing or failing adapter costs the test nothing but the note.

#include "app/DiagnosePage.h"
#include "app/EmissionProcedureView.h"
#include "app/MainMenu.h"
#include "app/SecondaryPages.h"
#include "app/TFormMain.h"
#include "app/VehicleObd.h"
#include "config/ui/TFormOptions.h"
#include "database/ZelmorDatabase.h"
#include "database/ui/TFormReports.h"
#include "database/ui/TFormSelectCar.h"
#include "device/TOpros_ZMX.h"
#include "device/obd/ObdLink.h"
#include "device/ui/TFrObd.h"
#include "graphs/GASE_GRAPH.h"
#include "tests/app/emission_support.h"
#include "tests/app/emission_window_fixture.h"
#include "tests/report/report_pdf_text.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTabWidget>

#include <gtest/gtest.h>

using namespace emission;

namespace {

constexpr int SerialNumber = 5150;
constexpr int ObdOnlineTimeoutMs = 20000;

// The instrument's probe and the car disagree: the stored speeds show whose
// they are.
const QStringList MinSpeed = { "rpm 812", "obd rpm 760" };
const QStringList RaisedSpeed = { "rpm 2520", "obd rpm 2480" };

class EmissionWithObd : public MainWindowOnSimulator
{
protected:
    void SetUp() override
    {
        if (SimProcess::executablePath().isEmpty())
            GTEST_SKIP() << "zelmor-sim not built";
        obdPath = obdDir.filePath(QStringLiteral("obd-tty"));
        ASSERT_NO_FATAL_FAILURE(startSimulator(SerialNumber, { "--obd", obdPath }));
        ASSERT_FALSE(sim->waitForLine(QStringLiteral("obd-ready "), 5000).isEmpty());
        steer(MinSpeed);
    }

    // The program started with these lines added to its settings file.
    void startWith(const QByteArray &settings)
    {
        ASSERT_NO_FATAL_FAILURE(makeProgramFolder());
        QFile ini(programFolder->path() + QStringLiteral("conf/zelmor.ini"));
        ASSERT_TRUE(ini.open(QIODevice::Append));
        ini.write(settings);
        ini.close();
        ASSERT_NO_FATAL_FAILURE(startProgram());
        page = main->diagnosePage();
        ASSERT_TRUE(waitFor([&] { return main->state().WarmedUp; })) << "no readings";
        // Short steps: the sources, not the counting, are tested here.
        main->state().ReadingsPerStep = 3;
    }

    QByteArray adapterOn(const QString &port) const
    {
        return "[OBD]\r\nEnabled=1\r\nPort=" + port.toUtf8() + "\r\n";
    }

    bool waitOnline()
    {
        return waitFor(
            [&] { return main->obd().snapshot().state == ObdState::Online; }, ObdOnlineTimeoutMs);
    }

    void chooseVehicle()
    {
        ModalScript choose;
        choose.press(QMessageBox::Yes).then([&](QWidget *w) {
            auto *dialog = qobject_cast<TFormSelectCar *>(w);
            ASSERT_NE(dialog, nullptr);
            dialog->cboxModel->setCurrentIndex(2);
            emit dialog->cboxModel->activated(2);
            typeText(dialog->edGosNom, QStringLiteral("о101оо"));
            dialog->btnOK->click();
        });
        main->menu()->NStartDiagnose->trigger();
        ASSERT_TRUE(choose.done());
    }

    // F1 … F4 with the engine at minimum, then at raised speed; `between`
    // runs after the minimum-speed step. The report browser is closed.
    void runSteps(const std::function<void()> &between = {})
    {
        TestState &state = main->state();
        pressKey(Qt::Key_F1);
        ASSERT_TRUE(waitFor([&] { return state.ZeroDone; }));
        ASSERT_TRUE(waitFor([&] { return main->opros().snapshot().DataKind == DataKindResult; }));
        pressKey(Qt::Key_F2);
        ASSERT_TRUE(waitFor([&] { return state.MinSpeedDone; }));
        if (between)
            between();
        steer(RaisedSpeed);
        ASSERT_TRUE(waitFor([&] { return main->opros().snapshot().LastResult.tax == 2520; }));
        pressKey(Qt::Key_F3);
        ASSERT_TRUE(waitFor([&] { return state.RaisedSpeedDone; }));
        // The report browser opens on the stored result: its protocol is
        // saved as a PDF, as the operator's "PDF..." does.
        ModalScript browse;
        browse.then([&](QWidget *w) {
            if (auto *browser = qobject_cast<TFormReports *>(w)) {
                browserDiagnosis = browser->labObdDiagnosis->text();
                browser->setSaveFileDialog(
                    [&](QWidget *, const QString &) { return protocolPath(); });
                browser->btnPdf->click();
                if (const QString shots = qEnvironmentVariable("ZELMOR_SHOTS_DIR");
                    !shots.isEmpty()) {
                    static int shot = 0;
                    const QString name = shots + QStringLiteral("/ProtocolObd-%1").arg(++shot);
                    browser->grab().save(name + QStringLiteral(".png"));
                    QFile::remove(name + QStringLiteral(".pdf"));
                    QFile::copy(protocolPath(), name + QStringLiteral(".pdf"));
                }
            }
            w->close();
        });
        QFile::remove(protocolPath());
        pressKey(Qt::Key_F4);
        ASSERT_TRUE(waitFor([&] { return browse.done(); }, 5000));
        ASSERT_TRUE(state.ReportDone);
    }

    QString protocolPath() const { return obdDir.filePath(QStringLiteral("protocol.pdf")); }

    // The protocol's text as a reader of the PDF finds it, on one line.
    QString protocolText() const { return pdfText(protocolPath()).simplified(); }

    QSqlRecord storedRow()
    {
        QSqlQuery q(main->database().connection());
        EXPECT_TRUE(q.exec(QStringLiteral("SELECT * FROM \"reports.db\"")));
        EXPECT_TRUE(q.next());
        return q.record();
    }

    // Where the stored speeds came from and the stored diagnosis, in the
    // row's own columns.
    void expectStoredWith(const QString &source, const std::function<void(const QString &)> &json)
    {
        const QSqlRecord row = storedRow();
        ASSERT_GE(row.indexOf(QStringLiteral("SpeedSource")), 0);
        EXPECT_EQ(row.value(QStringLiteral("SpeedSource")).toString(), source);
        json(row.value(QStringLiteral("VehicleDiagnosis")).toString());
    }

    void saveShot(const QString &name)
    {
        const QString shots = qEnvironmentVariable("ZELMOR_SHOTS_DIR");
        if (shots.isEmpty())
            return;
        QTest::qWait(2 * OperationTicker::IntervalMs); // the graph drawn since the last change
        main->grab().save(shots + QLatin1Char('/') + name);
    }

    QTemporaryDir obdDir;
    QString obdPath;
    QString browserDiagnosis; // what the report browser showed after F4
    DiagnosePage *page = nullptr;
};

TEST_F(EmissionWithObd, AdapterChosenInTheOptionsGivesTheSpeedsAndTheDiagnosis)
{
    steer(
        { "obd mil on", "obd codes P0420", "obd incomplete evap", "obd coolant 91", "gas tm -60" });
    ASSERT_NO_FATAL_FAILURE(startWith(QByteArray()));
    // Without the adapter: the instrument's speed and Tm, no mark.
    ASSERT_TRUE(waitFor([&] { return main->gasGraph()->Values[GASE_GRAPH::EngineSpeed] == 812; }));
    EXPECT_FALSE(page->labTaxSource->isVisible());
    EXPECT_EQ(main->obdModule()->labObdState->text(), QStringLiteral("не используется"));

    // Chosen in the options: used at once.
    TFormOptions *options = main->dialogs().FormOptions;
    ASSERT_NE(options, nullptr);
    options->show();
    options->cbObdEnabled->setChecked(true);
    options->cboxObdPort->setEditText(obdPath);
    options->btnOK->click();
    ASSERT_FALSE(options->isVisible());
    ASSERT_TRUE(waitOnline()) << qPrintable(main->obd().snapshot().stateText());
    ASSERT_TRUE(waitFor([&] { return main->gasGraph()->Values[GASE_GRAPH::EngineSpeed] == 760; }));
    EXPECT_TRUE(page->labTaxSource->isVisible());
    ASSERT_TRUE(waitFor([&] { return main->gasGraph()->Values[GASE_GRAPH::Tm] == 91; }));
    EXPECT_TRUE(page->labTmSource->isVisible());
    // Judged as a coolant, not by the oil window.
    EXPECT_EQ(main->gasGraph()->RangeLow[GASE_GRAPH::Tm], VehicleObd::CoolantWindowLow);
    // The panel follows the link on a timer; on a loaded machine the link may
    // have had to find the adapter again since it first answered.
    EXPECT_TRUE(waitFor([&] {
        return main->obdModule()->labObdAdapter->text()
            == QStringLiteral("ELM327 v1.5, 38400 бит/с");
    })) << qPrintable(main->obdModule()->labObdAdapter->text());
    EXPECT_TRUE(waitFor([&] {
        return main->obdModule()->labObdProtocol->text().startsWith(QStringLiteral("ISO 15765-4"));
    })) << qPrintable(main->obdModule()->labObdProtocol->text());

    // The vehicle's diagnosis is read as soon as it is chosen.
    ASSERT_NO_FATAL_FAILURE(chooseVehicle());
    ASSERT_TRUE(waitFor(
        [&] { return main->emissionTest().diagnosis().phase() == TestDiagnosis::Phase::Done; }));
    const QString shown = page->labObdDiagnosis->text();
    EXPECT_EQ(shown,
        QStringLiteral("Индикатор неисправности: включён\nКоды: P0420\n"
                       "Не готовы: система улавливания паров топлива\nVIN: ZLM1SM0A1B2C34567"));
    EXPECT_TRUE(page->labObdDiagnosis->toolTip().contains(
        QStringLiteral("система улавливания паров топлива ✗")));
    saveShot(QStringLiteral("DiagnoseObd.png"));
    main->tabs()->setCurrentWidget(main->pages()->sys);
    saveShot(QStringLiteral("ServiceObd.png"));
    main->tabs()->setCurrentWidget(page);

    ASSERT_NO_FATAL_FAILURE(runSteps());
    const QSqlRecord row = storedRow();
    EXPECT_DOUBLE_EQ(row.value(QStringLiteral("MinTax")).toDouble(), 760);
    EXPECT_DOUBLE_EQ(row.value(QStringLiteral("MaxTax")).toDouble(), 2480);
    expectStoredWith(EmissionProcedure::speedFromObd(), [](const QString &json) {
        const auto d = VehicleDiagnosis::fromJson(json.toUtf8());
        ASSERT_TRUE(d) << qPrintable(json);
        EXPECT_TRUE(d->status.milOn);
        EXPECT_EQ(d->codes, QStringList { QStringLiteral("P0420") });
        EXPECT_EQ(d->vin, QStringLiteral("ZLM1SM0A1B2C34567"));
    });
    // The browser and the protocol say what the car said.
    const QString line = QStringLiteral("Бортовая диагностика: индикатор неисправности включён; "
                                        "готовность: ");
    EXPECT_TRUE(browserDiagnosis.startsWith(line)) << qPrintable(browserDiagnosis);
    EXPECT_TRUE(browserDiagnosis.endsWith(
        QStringLiteral("\nЧастота вращения: от бортового компьютера (OBD)")))
        << qPrintable(browserDiagnosis);
    const QString protocol = protocolText();
    for (const QString &expected : { line, QStringLiteral("катализатор ✓"),
             QStringLiteral("система улавливания паров топлива ✗"),
             QStringLiteral("коды неисправностей: P0420; VIN ZLM1SM0A1B2C34567") })
        EXPECT_TRUE(protocol.contains(expected)) << qPrintable(expected) << "\n"
                                                 << qPrintable(protocol);
}

// Whatever the adapter does, the test runs to its stored result; only the
// speeds' source and the diagnosis's note differ.
TEST_F(EmissionWithObd, AMissingOrFailingAdapterCostsNothingButTheNote)
{
    const struct
    {
        const char *name;
        QStringList steering; // for the car, before the program starts
        bool portMissing;
        bool unplugAfterMinSpeed;
        QString source;
        double minTax, maxTax;
        const char *pageNote; // start of the page's diagnosis text
    } rows[] = {
        { "nothing on the port", {}, true, false, EmissionProcedure::speedFromInstrument(), 812,
            2520, "Не удалась: порт адаптера OBD" },
        { "the car does not answer", { "obd fault nodata on" }, false, false,
            EmissionProcedure::speedFromInstrument(), 812, 2520, "Не удалась: автомобиль" },
        { "the adapter says nothing", { "obd fault silent on" }, false, false,
            EmissionProcedure::speedFromInstrument(), 812, 2520, "Не удалась: адаптер OBD" },
        { "the adapter pulled out after the minimum speed", {}, false, true,
            EmissionProcedure::speedMixed(), 760, 2520, "Индикатор неисправности: выключен" },
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        if (&row != &rows[0]) {
            ASSERT_NO_FATAL_FAILURE(SetUp());
        }
        steer(row.steering);
        const QString port
            = row.portMissing ? obdDir.filePath(QStringLiteral("no-adapter")) : obdPath;
        ASSERT_NO_FATAL_FAILURE(startWith(adapterOn(port)));
        if (row.unplugAfterMinSpeed) {
            ASSERT_TRUE(waitOnline());
        }
        ASSERT_NO_FATAL_FAILURE(chooseVehicle());
        ASSERT_TRUE(waitFor(
            [&] { return main->emissionTest().diagnosis().phase() == TestDiagnosis::Phase::Done; },
            30000));
        EXPECT_TRUE(page->labObdDiagnosis->text().startsWith(QString::fromUtf8(row.pageNote)))
            << qPrintable(page->labObdDiagnosis->text());
        // The page marks the car's speed on its next refresh.
        EXPECT_TRUE(waitFor(
            [&] { return page->labTaxSource->isVisible() == row.unplugAfterMinSpeed; }, 5000));

        ASSERT_NO_FATAL_FAILURE(runSteps([&] {
            if (row.unplugAfterMinSpeed) {
                ASSERT_TRUE(sim->send(QStringLiteral("obd unplug")));
            }
        }));
        const QSqlRecord stored = storedRow();
        EXPECT_DOUBLE_EQ(stored.value(QStringLiteral("MinTax")).toDouble(), row.minTax);
        EXPECT_DOUBLE_EQ(stored.value(QStringLiteral("MaxTax")).toDouble(), row.maxTax);
        const bool read = row.unplugAfterMinSpeed;
        expectStoredWith(row.source, [read](const QString &json) {
            const auto d = VehicleDiagnosis::fromJson(json.toUtf8());
            ASSERT_TRUE(d) << qPrintable(json);
            EXPECT_EQ(d->read(), read);
        });
        EXPECT_EQ(
            protocolText().contains(QStringLiteral("Бортовая диагностика: не проводилась")), !read)
            << qPrintable(protocolText());
        EXPECT_EQ(
            browserDiagnosis.startsWith(QStringLiteral("Бортовая диагностика: не проводилась")),
            !read)
            << qPrintable(browserDiagnosis);
        EXPECT_EQ(browserDiagnosis.contains(QStringLiteral("частично от бортового компьютера")),
            row.source == EmissionProcedure::speedMixed())
            << qPrintable(browserDiagnosis);
        if (!read)
            saveShot(QStringLiteral("DiagnoseObdFailed.png"));
        TearDown();
        main = nullptr;
        sim.reset();
    }
}

} // namespace
