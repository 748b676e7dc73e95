// Makes the pictures of the operator's manual and the README: the running
// program in a program folder of its own, connected to the simulator, shown
// as the operator sees it. Run offscreen:
//
//   QT_QPA_PLATFORM=offscreen zelmor-screenshots docs/screenshots
//
// It takes about four minutes: the research page records three minutes of
// an engine run. The simulator also plays a car with an OBD-II adapter, which
// the program is given after the first picture.
#include "app/DiagnosePage.h"
#include "app/DiscoveryPage.h"
#include "app/EmissionProcedureView.h"
#include "app/MainMenu.h"
#include "app/ProgramWindows.h"
#include "app/SecondaryPages.h"
#include "app/TFormAboutProg.h"
#include "app/TFormAboutZM.h"
#include "app/TFormMain.h"
#include "app/TestState.h"
#include "app/VehicleObd.h"
#include "app/ZelmorApplication.h"
#include "common/FormatSettings.h"
#include "common/ProgramFolder.h"
#include "config/ui/TFormOptions.h"
#include "database/SelectedVehicle.h"
#include "database/TestResult.h"
#include "database/ZelmorDatabase.h"
#include "database/ui/TFormReports.h"
#include "device/Records.h"
#include "device/TOpros_ZMX.h"
#include "device/obd/ObdLink.h"
#include "device/ui/TFrame_SendCommand.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QProcess>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <functional>

namespace {

constexpr int StartTimeoutMs = 20000;
constexpr int ReplyTimeoutMs = 5000;

void pause(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool waitFor(const std::function<bool()> &done, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        pause(20);
    }
    return true;
}

// zelmor-sim on a pseudo-terminal behind a link in `folder`, and its car's
// OBD-II adapter on another, steered through its standard input; it ends
// when that closes.
class Simulator
{
public:
    Simulator(const QString &folder, const QStringList &options)
        : m_link(folder + QStringLiteral("/zelmor-tty"))
        , m_obdLink(folder + QStringLiteral("/obd-tty"))
    {
        m_process.start(QStringLiteral(ZELMOR_SIM_BINARY),
            QStringList(options) << QStringLiteral("--quit-on-eof") << QStringLiteral("--link")
                                 << m_link << QStringLiteral("--obd") << m_obdLink);
        // Both lines announce themselves, in either order.
        bool instrument = false, car = false;
        while (!(instrument && car)) {
            const QString line = readLine(StartTimeoutMs);
            if (line.isEmpty())
                return;
            instrument = instrument || line.startsWith(QLatin1String("ready "));
            car = car || line.startsWith(QLatin1String("obd-ready "));
        }
        m_ready = true;
    }
    ~Simulator()
    {
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(3000))
            m_process.kill();
        m_process.waitForFinished();
    }

    bool isReady() const { return m_ready; }
    QString link() const { return m_link; }
    QString obdLink() const { return m_obdLink; }

    bool send(const QString &line)
    {
        m_process.write(line.toUtf8() + '\n');
        return readLine(ReplyTimeoutMs) == QLatin1String("ok");
    }

private:
    QString readLine(int timeoutMs)
    {
        const QDeadlineTimer deadline(timeoutMs);
        while (!m_process.canReadLine()) {
            if (deadline.hasExpired() || !m_process.waitForReadyRead(int(deadline.remainingTime())))
                return QString();
        }
        return QString::fromUtf8(m_process.readLine()).trimmed();
    }

    QString m_link;
    QString m_obdLink;
    QProcess m_process;
    bool m_ready = false;
};

// A program folder as the program is installed: the settings naming the
// simulator's port and the report template; the program runs in it.
bool layOutProgramFolder(const QTemporaryDir &dir, const QString &port)
{
    const QString folder = dir.path() + QLatin1Char('/');
    QDir().mkpath(folder + QStringLiteral("conf"));
    QFile ini(folder + QStringLiteral("conf/zelmor.ini"));
    if (!ini.open(QIODevice::WriteOnly)
        || ini.write("[Connect]\r\nComName=" + port.toUtf8() + "\r\n") < 0)
        return false;
    ini.close();
    if (!QFile::copy(QStringLiteral(ZELMOR_SOURCE_DIR) + QStringLiteral("/report/conf/report.frf"),
            folder + QStringLiteral("conf/report.frf")))
        return false;
    setProgramFolder(folder);
    QDir::setCurrent(folder);
    // The device data files go nowhere: the folder has none of their folders.
    qputenv("ZELMOR_DATA_ROOT", dir.path().toUtf8());
    return true;
}

int fail(const char *why)
{
    std::fprintf(stderr, "zelmor-screenshots: %s\n", why);
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    ZelmorApplication app(argc, argv);
    // The pictures show numbers and dates as a Russian station shows them,
    // whatever the locale of the machine that makes them.
    FormatSettings::initFromLocale(QLocale(QLocale::Russian, QLocale::Russia));
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 2)
        return fail("usage: zelmor-screenshots OUTPUT-FOLDER");
    const QString output = QDir(arguments[1]).absolutePath();
    if (!QDir().mkpath(output))
        return fail("cannot make the output folder");
    bool saved = true;
    const auto save = [&](QWidget *widget, const char *name) {
        const QString path = output + QLatin1Char('/') + QLatin1String(name);
        if (!widget->grab().save(path)) {
            std::fprintf(stderr, "zelmor-screenshots: %s not saved\n", qPrintable(path));
            saved = false;
        }
    };

    QTemporaryDir simFolder, programFolder;
    Simulator sim(simFolder.path(),
        { QStringLiteral("--warmup"), QStringLiteral("0"), QStringLiteral("--serial"),
            QStringLiteral("1234") });
    if (!sim.isReady())
        return fail("the simulator did not start");
    if (!layOutProgramFolder(programFolder, sim.link()))
        return fail("cannot lay out the program folder");

    // Boxes the program may show (none are expected) are closed as Escape would.
    QTimer boxes;
    QObject::connect(&boxes, &QTimer::timeout, [] {
        if (QWidget *modal = QApplication::activeModalWidget())
            modal->close();
    });
    boxes.start(50);

    ProgramWindows windows;
    TFormMain *main = windows.FormMain();
    main->show();
    if (!waitFor(
            [&] { return main->isStartupFinished() && main->state().WarmedUp; }, StartTimeoutMs))
        return fail("the program did not start receiving readings");

    // The measuring page with a chosen vehicle, idling near its minimum speed.
    const ModelRecord model = main->database().CurrentModel();
    main->emissionTest().applySelectedVehicle(
        SelectedVehicle { model.Index, model.Name, QStringLiteral("А123ВС77"), model.limits });
    sim.send(QStringLiteral("rpm %1").arg(int(model.limits.MinTax) + 30));
    sim.send(QStringLiteral("gas tm 62"));
    pause(2500);
    main->diagnosePage()->labZMStatus->setVisible(true);
    save(main, "main-window.png");

    // The adapter chosen on the options page "OBD"; a car whose instrument
    // probe is not clipped on (its Tm missing) and whose catalyst has a code.
    TFormOptions *options = main->dialogs().FormOptions;
    options->show();
    options->listOptions->setCurrentRow(
        options->tabsOptions->indexOf(options->cboxObdPort->parentWidget()));
    options->cbObdEnabled->setChecked(true);
    // Pictured with the Bluetooth port an operator would choose; the
    // simulated car's own port is set before OK.
    options->cboxObdPort->setEditText(QStringLiteral("/dev/rfcomm0"));
    pause(300);
    save(options, "options-obd.png");
    options->cboxObdPort->setEditText(sim.obdLink());
    options->btnOK->click();
    for (const QString &line : { QStringLiteral("obd rpm %1").arg(int(model.limits.MinTax) + 12),
             QStringLiteral("obd codes P0420"), QStringLiteral("obd incomplete evap"),
             QStringLiteral("obd coolant 86"), QStringLiteral("gas tm -60") })
        sim.send(line);
    if (!waitFor([&] { return main->obd().snapshot().state == ObdState::Online; }, StartTimeoutMs))
        return fail("the simulated car did not answer");
    main->emissionTest().applySelectedVehicle(
        SelectedVehicle { model.Index, model.Name, QStringLiteral("А123ВС77"), model.limits });
    waitFor([&] { return main->emissionTest().diagnosis().phase() == TestDiagnosis::Phase::Done; },
        StartTimeoutMs);
    pause(1500);
    main->diagnosePage()->labZMStatus->setVisible(true);
    save(main, "main-window-obd.png");
    sim.send(QStringLiteral("gas tm 62"));

    // About three minutes of an engine run: idle, raised speed, idle again.
    main->menu()->NDiscover->trigger();
    main->discovery()->btnDStart->click();
    const char *steps[] = { "gas CO 0.8", "gas CH 300", "gas CO2 12.5", "gas O2 1.8", "gas NOx 250",
        "rpm 2500", "gas CO 2.2", "gas CH 700", "gas O2 0.9", "gas CO2 13.6", "gas NOx 900",
        "rpm 800", "gas CO 1.1", "gas CH 420", "gas O2 2.6", "gas CO2 12.0", "gas NOx 400" };
    for (const char *step : steps) {
        sim.send(QString::fromUtf8(step));
        pause(10000);
    }
    main->pages()->labDStatus->setVisible(true);
    save(main, "research-page.png");
    main->discovery()->btnDStop->click();
    main->menu()->NDiagnose->trigger();
    main->menu()->NDannyePriem->trigger();

    // A stored report in the browser and in the preview of the page "report".
    TestResult result;
    result.modelIndex = model.Index;
    result.govNumber = QStringLiteral("А123ВС77");
    result.instrumentNumber = 1234;
    result.means
        = { 0.42f, 96, 14.6f, 0.7f, 118, 820, 1.01f, 0.21f, 48, 14.8f, 0.5f, 95, 2540, 1.0f };
    // Measured with the car's computer: its speeds and the diagnosis read above.
    result.speedSource = QStringLiteral("OBD");
    result.vehicleDiagnosis = main->emissionTest().diagnosis().storedText();
    main->database().StoreTestResult(result);
    TFormReports *browser = main->dialogs().FormReports;
    browser->prepareShow();
    browser->setModal(false);
    browser->show();
    pause(300);
    save(browser, "report-browser.png");
    main->pages()->Button2->click();
    browser->hide();
    main->tabs()->setCurrentWidget(main->pages()->TabSheet1);
    pause(300);
    save(main, "report-preview.png");

    // The service page repeating ZMX_get_result: the first press stops the
    // window's reception, the second starts the panel's own command.
    main->tabs()->setCurrentWidget(main->pages()->sys);
    TFrame_SendCommand *panel = main->SendCommand();
    panel->cbCommands->setCurrentIndex(ZMX_get_result);
    panel->cbCommandsChange();
    panel->btnStart->click();
    pause(500);
    panel->btnStart->click();
    pause(3000);
    save(main, "service-page.png");
    panel->btnStart->click();

    TFormAboutZM *aboutZm = main->dialogs().FormAboutZM;
    aboutZm->show();
    pause(100);
    save(aboutZm, "about-instrument.png");
    aboutZm->hide();
    TFormAboutProg *aboutProg = main->dialogs().FormAboutProg;
    aboutProg->show();
    pause(100);
    save(aboutProg, "about-program.png");
    aboutProg->hide();
    main->close();
    return saved ? 0 : 1;
}
