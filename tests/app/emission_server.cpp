// A whole emission test in the program's own main window against the
// instrument simulator, the results kept on a database server that the test
// starts itself, reached as a lane reaches the station's server (its own
// role, TLS with the station's authority): the server goes away while F4 stores, the operator is
// told that the result is not stored, the server comes back and F4 stores the same test once, with
// the date and time of the first press.

#include "app/MainMenu.h"
#include "app/OperationTicker.h"
#include "app/ProgramWindows.h"
#include "app/TFormMain.h"
#include "config/DatabaseSettings.h"
#include "config/IniFile.h"
#include "database/DatabaseEngine.h"
#include "database/StationRoles.h"
#include "database/ZelmorDatabase.h"
#include "database/ui/TFormReports.h"
#include "database/ui/TFormSelectCar.h"
#include "device/TOpros_ZMX.h"
#include "graphs/GASE_GRAPH.h"
#include "tests/app/emission_support.h"
#include "tests/app/emission_window_fixture.h"
#include "tests/support/PgServer.h"
#include "tests/support/SimProcess.h"

#include <QComboBox>
#include <QFile>
#include <QSqlQuery>
#include <QSqlRecord>

#include <gtest/gtest.h>

using namespace emission;

namespace {

constexpr int SerialNumber = 5150;
const QString Database = QStringLiteral("lane_e2e");

class EmissionOnServer : public MainWindowOnSimulator
{
protected:
    void SetUp() override
    {
        if (SimProcess::executablePath().isEmpty())
            GTEST_SKIP() << "zelmor-sim not built";
        const QString started = server.start();
        ASSERT_TRUE(started.isEmpty()) << qPrintable(started);
        // The station's arrangement: the owner has prepared the database,
        // the lane logs in with its own role over TLS.
        const QString roles = server.createStationRoles(1);
        ASSERT_TRUE(roles.isEmpty()) << qPrintable(roles);
        qputenv("PGPASSFILE", QFile::encodeName(server.passwordFile()));
        const QString created = server.createDatabase(Database, QLatin1String(PgServer::OwnerRole));
        ASSERT_TRUE(created.isEmpty()) << qPrintable(created);
        DatabaseSettings settings;
        settings.driver = DatabaseSettings::Driver::Psql;
        settings.host = QLatin1String(PgServer::TcpHost);
        settings.port = server.port();
        settings.name = Database;
        settings.sslRootCert = server.rootCertificate();
        settings.user = QLatin1String(PgServer::OwnerRole);
        ASSERT_NO_THROW(StationRoles::initStation(settings, ReportChain::Context()));
        settings.user = PgServer::laneRole(1);

        ASSERT_NO_FATAL_FAILURE(startSimulator(SerialNumber));
        steer({ "rpm 805", "gas CO 0.41", "gas CH 210", "gas CO2 14.1", "gas O2 0.7", "gas NOx 95",
            "gas lambda 1.01", "gas pr_ekv 0.5" });

        // The lane's settings: the simulator's line and the server, as the
        // options page writes them.
        ASSERT_NO_FATAL_FAILURE(makeProgramFolder());
        IniFile ini(programFolder->path() + QStringLiteral("conf/zelmor.ini"));
        settings.write(ini);

        if (!serverUpAtStart()) {
            ASSERT_TRUE(server.stop().isEmpty());
        }
        // The start-up's error box, when the server is away.
        ModalScript startupBoxes;
        if (!serverUpAtStart())
            startupBoxes.press(QMessageBox::Ok);
        ASSERT_NO_FATAL_FAILURE(startProgram());
        if (serverUpAtStart()) {
            ASSERT_TRUE(main->startupErrors().isEmpty())
                << qPrintable(main->startupErrors().join('\n'));
            ASSERT_TRUE(DatabaseEngine::isServer(main->database().connection()));
        } else {
            ASSERT_TRUE(waitFor([&] { return startupBoxes.done(); }, 10000));
            ASSERT_EQ(startupBoxes.boxes.size(), 1u);
            startupText = startupBoxes.boxes[0].text;
            EXPECT_FALSE(main->database().isOpen());
        }
        // Measuring goes on whatever the database does.
        ASSERT_TRUE(waitFor([&] { return main->state().WarmedUp; })) << "no readings";
    }

    virtual bool serverUpAtStart() const { return true; }

    // Vehicle, F1, F2 and F3: the test waits for F4.
    void measure()
    {
        ModalScript choose;
        choose.press(QMessageBox::Yes).then([&](QWidget *w) {
            auto *dialog = qobject_cast<TFormSelectCar *>(w);
            ASSERT_NE(dialog, nullptr);
            dialog->cboxModel->setCurrentIndex(1);
            emit dialog->cboxModel->activated(1);
            typeText(dialog->edGosNom, QStringLiteral("ав123к77"));
            dialog->btnOK->click();
        });
        main->menu()->NStartDiagnose->trigger();
        ASSERT_TRUE(choose.done());
        TestState &state = main->state();
        pressKey(Qt::Key_F1);
        ASSERT_TRUE(waitFor([&] { return state.ZeroDone; }));
        ASSERT_TRUE(waitFor([&] { return main->opros().snapshot().DataKind == DataKindResult; }));
        pressKey(Qt::Key_F2);
        ASSERT_TRUE(waitFor([&] { return state.MinSpeedDone; }));
        steer({ "rpm 2480", "gas CO 0.15", "gas CH 120", "gas CO2 14.6", "gas NOx 300" });
        ASSERT_TRUE(waitFor([&] {
            const ZmxSnapshot s = main->opros().snapshot();
            return s.DataKind == DataKindResult && s.LastResult.tax == 2480;
        }));
        ASSERT_TRUE(waitFor([&] { return main->gasGraph()->Values[5] == 2480; }));
        pressKey(Qt::Key_F3);
        ASSERT_TRUE(waitFor([&] { return state.RaisedSpeedDone; }));
    }

    int rowsOnServer()
    {
        QString error;
        const QString out = server.psql(Database, "SELECT count(*) FROM \"reports.db\"", &error);
        EXPECT_TRUE(error.isEmpty()) << qPrintable(error);
        return out.trimmed().toInt();
    }

    PgServer server;
    QString startupText; // what the start-up said when the server was away
};

class EmissionServerAwayAtStart : public EmissionOnServer
{
protected:
    bool serverUpAtStart() const override { return false; }
};

TEST_F(EmissionOnServer, LostServerDuringF4KeepsTheTestAndStoresItOnceWhenBack)
{
    measure();
    if (HasFatalFailure())
        return;
    TestState &state = main->state();

    // F4 with the server gone: the operator learns why, the test stays.
    ASSERT_TRUE(server.stop().isEmpty());
    ModalScript refused;
    refused.press(QMessageBox::Ok);
    const QTime firstPress = QTime::currentTime().addSecs(-1);
    pressKey(Qt::Key_F4);
    ASSERT_TRUE(waitFor([&] { return refused.done(); }, 10000));
    const QTime afterFirstPress = QTime::currentTime().addSecs(1);
    ASSERT_EQ(refused.boxes.size(), 1u);
    EXPECT_TRUE(refused.boxes[0].text.startsWith(QStringLiteral("Результат не сохранён: ")))
        << qPrintable(refused.boxes[0].text);
    EXPECT_TRUE(refused.boxes[0].text.contains(QStringLiteral("F4")));
    EXPECT_FALSE(state.ReportDone);
    EXPECT_TRUE(state.MinSpeedDone && state.RaisedSpeedDone);

    // The server is back a little later, when a new time would show in the
    // stored row; F4 again stores the kept test.
    ASSERT_TRUE(waitFor([&] { return QTime::currentTime() > afterFirstPress.addSecs(1); }, 5000));
    ASSERT_TRUE(server.start().isEmpty()) << qPrintable(server.logTail());
    ModalScript browse;
    int shownIndex = 0;
    browse.then([&](QWidget *w) {
        auto *browser = qobject_cast<TFormReports *>(w);
        ASSERT_NE(browser, nullptr);
        EXPECT_EQ(browser->labGosNum->text(), QStringLiteral("АВ123К77"));
        shownIndex = browser->selectedReportIndex();
        browser->close();
    });
    pressKey(Qt::Key_F4);
    ASSERT_TRUE(waitFor([&] { return browse.done(); }, 10000));
    EXPECT_EQ(browse.unexpected, 0);
    EXPECT_TRUE(state.ReportDone);
    EXPECT_GT(shownIndex, 0);

    ASSERT_EQ(rowsOnServer(), 1);
    QSqlQuery q(main->database().connection());
    ASSERT_TRUE(q.exec(QStringLiteral(
        "SELECT \"Index\", \"Time\", \"ZMNum\", \"MinTax\", \"MaxTax\" FROM \"reports.db\"")));
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value(0).toInt(), shownIndex);
    const QTime stored = q.value(1).toTime();
    EXPECT_TRUE(stored >= firstPress && stored <= afterFirstPress)
        << "stored at " << qPrintable(stored.toString()) << ", first F4 at "
        << qPrintable(firstPress.addSecs(1).toString());
    EXPECT_EQ(q.value(2).toInt(), SerialNumber);
    EXPECT_NEAR(q.value(3).toDouble(), 805, 0.5);
    EXPECT_NEAR(q.value(4).toDouble(), 2480, 0.5);
}

TEST_F(EmissionServerAwayAtStart, TestStartsOnceTheServerIsBackAndStoresIntoIt)
{
    EXPECT_TRUE(startupText.contains(QStringLiteral("недоступен"))) << qPrintable(startupText);

    // Still away: the test cannot start and the operator is told why.
    ModalScript refused;
    refused.press(QMessageBox::Ok);
    main->menu()->NStartDiagnose->trigger();
    ASSERT_TRUE(waitFor([&] { return refused.done(); }, 10000));
    ASSERT_EQ(refused.boxes.size(), 1u);
    EXPECT_TRUE(refused.boxes[0].text.startsWith(QStringLiteral("База данных недоступна.")))
        << qPrintable(refused.boxes[0].text);
    EXPECT_FALSE(main->state().VehicleSelected);

    // Back: the menu reaches the tables, and the test stores into them.
    ASSERT_TRUE(server.start().isEmpty()) << qPrintable(server.logTail());
    measure();
    if (HasFatalFailure())
        return;
    EXPECT_TRUE(main->database().isOpen());
    ModalScript browse;
    browse.then([&](QWidget *w) {
        auto *browser = qobject_cast<TFormReports *>(w);
        ASSERT_NE(browser, nullptr);
        EXPECT_EQ(browser->labGosNum->text(), QStringLiteral("АВ123К77"));
        browser->close();
    });
    pressKey(Qt::Key_F4);
    ASSERT_TRUE(waitFor([&] { return browse.done(); }, 10000));
    EXPECT_EQ(browse.unexpected, 0);
    EXPECT_EQ(rowsOnServer(), 1);
}

} // namespace
