#include "window_support.h"

#include "app/DiagnosePage.h"
#include "app/DiscoveryPage.h"
#include "app/MainMenu.h"
#include "app/ProgramWindows.h"
#include "app/SecondaryPages.h"
#include "app/TFormAboutProg.h"
#include "app/TFormAboutZM.h"
#include "app/TFormMain.h"
#include "app/ZelmorApplication.h"
#include "common/ZelmorError.h"
#include "config/ui/TFormOptions.h"
#include "device/ui/TFrConnect.h"
#include "graphs/TGraphBox.h"
#include "graphs/ui/TfrGraph.h"
#include "graphs/ui/TfrGraphG.h"
#include "report/ui/ReportPage.h"
#include <QPrintPreviewWidget>

#include <QComboBox>
#include <QElapsedTimer>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <csignal>
#include <gtest/gtest.h>

namespace {

const QString MissingPort = QStringLiteral("/nonexistent/ttyZelmor");
constexpr int StartupTimeoutMs = 20000;

// Starts the program's windows the way the process does and waits for the
// start-up of the main window to end.
bool startProgram(ProgramWindows &windows)
{
    windows.FormMain()->show();
    return QTest::qWaitFor(
        [&] { return windows.FormMain()->isStartupFinished(); }, StartupTimeoutMs);
}

} // namespace

TEST(MainWindowStartup, WithoutAnInstrumentTheMeasuringPageShowsTheFailedConnect)
{
    TestProgramFolder folder(MissingPort);
    ModalAnswerer answerer;
    ProgramWindows windows;
    TFormMain *main = windows.FormMain();
    ASSERT_TRUE(startProgram(windows));

    EXPECT_EQ(main->windowTitle(), QStringLiteral("Zelmor"));
    EXPECT_EQ(main->size(), QSize(1024, 768));
    EXPECT_EQ(main->minimumSize(), main->maximumSize());
    EXPECT_FALSE(main->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(main->tabs()->currentWidget()->objectName(), QStringLiteral("tabDiagnose"));
    EXPECT_FALSE(main->tabs()->tabBar()->isVisible());

    const TFormMain::Dialogs &d = main->dialogs();
    // The port does not exist: the box says so.
    EXPECT_EQ(d.FormAboutZM->labComStatus->text(),
        QStringLiteral("Нет связи с прибором: порт не найден."));
    for (QLabel *unknown :
        { d.FormAboutZM->labZMModel, d.FormAboutZM->labZMNumber, d.FormAboutZM->labFirmware })
        EXPECT_EQ(unknown->text(), QStringLiteral("-1"));
    EXPECT_EQ(d.FormAboutProg->labProgVersion->text(), QStringLiteral("1.0"));
    EXPECT_EQ(main->connectModule()->labPortStatus->text(), QStringLiteral("НЕТ"));
    EXPECT_EQ(main->state().InstrumentNumber, -1);

    // The status line carries the thread's word on the link (the blink may hide it).
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            const QString status = main->labZMStatus()->text();
            return status.startsWith(QStringLiteral("Нет связи"))
                || status.startsWith(QStringLiteral("Ошибка связи"));
        },
        5000))
        << qPrintable(main->labZMStatus()->text());

    EXPECT_EQ(main->pages()->grData->item(0, 0)->text(), QStringLiteral("Время, мс"));
    EXPECT_EQ(main->pages()->grData->item(0, 5)->text(), QStringLiteral("NOx, ppm"));
    EXPECT_TRUE(main->startupErrors().isEmpty()) << qPrintable(main->startupErrors().join('\n'));
    EXPECT_TRUE(answerer.boxes.isEmpty());
    main->close();
}

TEST(MainWindowStartup, FirstStartCreatesTheDatabaseOnceAndEveryRunEndsWithExit)
{
    TestProgramFolder folder(MissingPort);
    {
        ProgramWindows windows;
        ASSERT_TRUE(startProgram(windows));
        windows.FormMain()->close();
    }
    // The link says once per run why the port could not be used.
    const QString portError = "port error: port not found (" + MissingPort + ")";
    EXPECT_EQ(folder.logTexts(),
        (QStringList { "start zelmor", "alias zelmor created", portError, "exit zelmor" }));
    {
        ProgramWindows windows;
        ASSERT_TRUE(startProgram(windows));
        EXPECT_TRUE(windows.FormMain()->database().isOpen());
        windows.FormMain()->close();
    }
    EXPECT_EQ(folder.logTexts(),
        (QStringList { "start zelmor", "alias zelmor created", portError, "exit zelmor",
            "start zelmor", portError, "exit zelmor" }));
    // The database file lost since: a new one, and the operator is told where.
    ASSERT_TRUE(QDir(folder.path() + QStringLiteral("db")).removeRecursively());
    {
        ProgramWindows windows;
        ModalAnswerer answerer;
        ASSERT_TRUE(startProgram(windows));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !answerer.boxes.isEmpty(); }, 5000));
        EXPECT_TRUE(
            answerer.boxes.first().text.startsWith(QStringLiteral("База данных не найдена")))
            << qPrintable(answerer.boxes.first().text);
        EXPECT_TRUE(answerer.boxes.first().text.contains(QStringLiteral("db/zelmor.sqlite")));
        windows.FormMain()->close();
    }
}

TEST(MainWindowStartup, AFailedStepStillConnectsAndIsReportedAfterStartUp)
{
    TestProgramFolder folder(MissingPort);
    QDir(folder.path()).mkpath(QStringLiteral("db"));
    QFile broken(folder.path() + QStringLiteral("db/zelmor.sqlite"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write(QByteArray(4096, 'x'));
    broken.close();

    ProgramWindows windows;
    TFormMain *main = windows.FormMain();
    bool boxBeforeStartupEnded = false;
    ModalAnswerer answerer([&](const ModalAnswerer::Box &) {
        if (!main->isStartupFinished())
            boxBeforeStartupEnded = true;
    });
    ASSERT_TRUE(startProgram(windows));

    ASSERT_EQ(main->startupErrors().size(), 1);
    // The steps after the database ran: the connect, the graph, the data table.
    EXPECT_EQ(main->dialogs().FormAboutZM->labComStatus->text(),
        QStringLiteral("Нет связи с прибором: порт не найден."));
    EXPECT_FALSE(main->pages()->grData->item(0, 0)->text().isEmpty());

    ASSERT_TRUE(QTest::qWaitFor([&] { return !answerer.boxes.isEmpty(); }, 5000));
    EXPECT_FALSE(boxBeforeStartupEnded);
    EXPECT_EQ(answerer.boxes.first().title, QStringLiteral("Сообщение"));
    EXPECT_EQ(answerer.boxes.first().text, main->startupErrors().first());

    // What needs the database says so when it is asked for.
    main->menu()->NStartDiagnose->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return answerer.boxes.size() == 2; }, 3000));
    EXPECT_EQ(answerer.boxes.last().text,
        QStringLiteral("База данных недоступна.\n") + main->startupErrors().first());

    // The file that is not a database is left as it was.
    EXPECT_EQ(QFileInfo(broken.fileName()).size(), 4096);
    main->close();
    EXPECT_EQ(folder.logTexts().last(), QStringLiteral("exit zelmor"));
}

// Settings files that are not ours to read (a link to a device, a file of
// megabytes): the program starts on the defaults, names each file it did not
// read and leaves them as they are.
TEST(MainWindowStartup, SettingsFilesThatAreNotSettingsAreNamedAndTheDefaultsHold)
{
    TestProgramFolder folder(MissingPort);
    const QString settings = folder.path() + QStringLiteral("conf/zelmor.ini");
    const QString linkFile = folder.path() + QStringLiteral("conf/zme.ini");
    ASSERT_TRUE(QFile::remove(settings));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), settings));
    QFile large(linkFile);
    ASSERT_TRUE(large.open(QIODevice::WriteOnly));
    large.write("[Port]\r\nCOM=1\r\n; " + QByteArray(2 << 20, 'x'));
    large.close();

    ModalAnswerer answerer;
    ProgramWindows windows;
    TFormMain *main = windows.FormMain();
    ASSERT_TRUE(startProgram(windows));
    const QStringList errors = main->startupErrors();
    ASSERT_EQ(errors.size(), 2) << qPrintable(errors.join('\n'));
    EXPECT_TRUE(errors[0].contains(linkFile)) << qPrintable(errors[0]);
    EXPECT_TRUE(errors[1].contains(settings)) << qPrintable(errors[1]);
    EXPECT_EQ(main->dialogs().FormOptions->cboxPortName->currentText(), QStringLiteral("COM1"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return answerer.boxes.size() == 2; }, 5000));
    main->close();
    EXPECT_TRUE(QFileInfo(settings).isSymLink());
    EXPECT_GT(QFileInfo(linkFile).size(), 2 << 20);
}

TEST(MainWindowStartup, AMissingReportTemplateIsReportedAfterStartUpWhileTheRestRuns)
{
    TestProgramFolder folder(MissingPort, TestProgramFolder::Template::Missing);
    ASSERT_FALSE(folder.hasReportTemplate());
    ProgramWindows windows;
    TFormMain *main = windows.FormMain();
    ModalAnswerer answerer;
    ASSERT_TRUE(startProgram(windows));

    ASSERT_EQ(main->startupErrors().size(), 1);
    EXPECT_TRUE(main->startupErrors().first().contains(QStringLiteral("report.frf")))
        << qPrintable(main->startupErrors().first());
    // The steps after the template ran: settings, connect, graphs, data header.
    EXPECT_EQ(main->dialogs().FormAboutZM->labComStatus->text(),
        QStringLiteral("Нет связи с прибором: порт не найден."));
    EXPECT_NE(main->discovery()->chart(), nullptr);
    EXPECT_EQ(main->pages()->grData->item(0, 0)->text(), QStringLiteral("Время, мс"));
    // The preview stands on its page all the same, empty.
    ASSERT_NE(main->report()->ReportPreview, nullptr);
    EXPECT_TRUE(main->pages()->TabSheet1->isAncestorOf(main->report()->ReportPreview));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !answerer.boxes.isEmpty(); }, 5000));
    EXPECT_EQ(answerer.boxes.first().text, main->startupErrors().first());
    main->close();
}

TEST(MainWindowPages, SevenPagesReachedWithCtrlTabOnly)
{
    TestProgramFolder folder(MissingPort);
    ProgramWindows windows;
    TFormMain *main = windows.FormMain();
    ASSERT_TRUE(startProgram(windows));

    const QStringList names { "tabSelectCar", "TabSheet2", "sys", "TabSheet1", "tabDiagnose",
        "tabDiscovery", "TabSheet3" };
    const QStringList captions { "test1", "test2", "sys", "report", "Diag", "Disco", "TabSheet3" };
    ASSERT_EQ(main->tabs()->count(), 7);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(main->tabs()->widget(i)->objectName(), names[i]);
        EXPECT_EQ(main->tabs()->tabText(i), captions[i]);
    }

    main->activateWindow();
    QLineEdit *focus = main->edModel();
    focus->setFocus();
    QTest::keyClick(focus, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(main->tabs()->currentIndex(), 5);
    main->pages()->labDStatus->parentWidget()->setFocus();
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : main->tabs(),
        Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(main->tabs()->currentIndex(), 4);
    main->close();
}

// Ctrl+Tab leaves every page, also when the focus is in a control that uses
// Tab itself (the grid of the data page).
TEST(MainWindowPages, CtrlTabLeavesEveryPageWhateverHasTheFocus)
{
    TestProgramFolder folder(MissingPort);
    ProgramWindows windows;
    TFormMain *main = windows.FormMain();
    ASSERT_TRUE(startProgram(windows));
    main->activateWindow();
    QTabWidget *tabs = main->tabs();
    for (int page = 0; page < tabs->count(); ++page) {
        tabs->setCurrentIndex(page);
        QWidget *focus = tabs->currentWidget();
        if (page == 6)
            focus = main->pages()->grData;
        focus->setFocus();
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : focus,
            Qt::Key_Tab, Qt::ControlModifier);
        EXPECT_EQ(tabs->currentIndex(), (page + 1) % tabs->count()) << page;
    }
    tabs->setCurrentIndex(6);
    main->pages()->grData->setFocus();
    QTest::keyClick(
        main->pages()->grData, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(tabs->currentIndex(), 5);
    main->close();
}

// Texts fit their controls at the laid-out sizes: a caption does not run into
// its value, a button shows its whole caption.
TEST(MainWindowPages, CaptionsFitTheirControls)
{
    TestProgramFolder folder(MissingPort);
    DiagnosePage page;
    page.show();
    for (const QString &name :
        { QStringLiteral("Время работы:"), QStringLiteral("Время прогрева:") }) {
        page.labTimeName->setText(name);
        const int textRight = page.labTimeName->x() + page.labTimeName->sizeHint().width();
        constexpr int Gap = 6;
        EXPECT_LE(textRight + Gap, page.labWorkTime->x()) << qPrintable(name);
        EXPECT_LE(page.labTimeName->sizeHint().width(), page.labTimeName->width())
            << qPrintable(name);
    }
    page.labWorkTime->setText(QStringLiteral("00:00:00"));
    EXPECT_LE(page.labWorkTime->sizeHint().width(), page.labWorkTime->width());

    TFormOptions options(nullptr, folder.path() + QStringLiteral("/conf/zelmor.ini"));
    options.show();
    for (QPushButton *button : { options.btnOK, options.btnCancel }) {
        EXPECT_LE(button->sizeHint().width(), button->width()) << qPrintable(button->text());
        const QRect placed(button->mapTo(&options, QPoint(0, 0)), button->size());
        EXPECT_TRUE(options.rect().contains(placed)) << qPrintable(button->text());
    }
    const QByteArray shots = qgetenv("ZELMOR_LAYOUT_SHOTS");
    if (!shots.isEmpty()) {
        page.grab().save(QString::fromLocal8Bit(shots) + QStringLiteral("/diagnose.png"));
        options.grab().save(QString::fromLocal8Bit(shots) + QStringLiteral("/options.png"));
    }
}

TEST(MainWindowPages, FunctionKeysRunTheStepsThroughTheHiddenMenu)
{
    TestProgramFolder folder(MissingPort);
    ProgramWindows windows;
    TFormMain *main = windows.FormMain();
    ASSERT_TRUE(startProgram(windows));
    ModalAnswerer answerer;

    for (QAction *menu : main->menuBar()->actions())
        EXPECT_NE(menu->text(), QStringLiteral("Mode"));
    main->activateWindow();
    QTest::keyClick(main, Qt::Key_F4);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !answerer.boxes.isEmpty(); }, 3000));
    EXPECT_EQ(answerer.boxes.first().text,
        QStringLiteral("Измерения не завершены. Вывод отчета невозможен."));
    main->close();
}

TEST(MainWindowPages, MeasuringPageKeepsItsNamesAndCaptions)
{
    TestProgramFolder folder(MissingPort);
    ProgramWindows windows;
    TFormMain *main = windows.FormMain();
    DiagnosePage *page = main->diagnosePage();

    EXPECT_EQ(page->btnZero->text(), QStringLiteral("F1 - Кор. нуля        "));
    EXPECT_EQ(page->btnMinRatio->text(), QStringLiteral("F2 - Мин. обороты  "));
    EXPECT_EQ(page->btnMaxRatio->text(), QStringLiteral("F3 - Пов. обороты   "));
    EXPECT_EQ(page->btnReport->text(), QStringLiteral("F4 - Отчёт            "));
    for (QWidget *hidden :
        std::initializer_list<QWidget *> { page->OKZero, page->OKMinRatio, page->OKMaxRatio,
            page->OKReport, page->edOK, page->edD, page->edReal, page->Button3, page->panPropan })
        EXPECT_TRUE(hidden->isHidden()) << qPrintable(hidden->objectName());

    // Every caption names its field for keyboard users and screen readers.
    struct Buddy
    {
        const char *caption;
        QWidget *field;
    };
    for (Buddy b : { Buddy { "Модель:", page->edModel }, Buddy { "Гос. номер:", page->edGosNum },
             Buddy { "Давление, Hg:", page->labPressure }, Buddy { "Тф, С:", page->labTermF },
             Buddy { "Тк, С:", page->labTermQ }, Buddy { "прогресс операции:", page->MainProgress },
             Buddy { "Статус:", page->labZMStatus } }) {
        bool found = false;
        for (QLabel *label : page->findChildren<QLabel *>())
            if (label->text() == QString::fromUtf8(b.caption) && label->buddy() == b.field)
                found = true;
        EXPECT_TRUE(found) << b.caption;
    }
    // What the operator reads lies inside the page the window shows.
    main->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return main->isStartupFinished(); }, 20000));
    const QRect area = page->rect();
    std::vector<QWidget *> shown { page->labTax, page->labTm, page->labLambda, page->labLambda3,
        page->labZMStatus, page->GroupZelmor };
    shown.insert(shown.end(), page->frGraph.begin(), page->frGraph.end());
    shown.insert(shown.end(), page->frGraphG.begin(), page->frGraphG.end());
    for (QWidget *w : shown) {
        const QRect placed(w->mapTo(page, QPoint(0, 0)), w->size());
        EXPECT_TRUE(area.contains(placed)) << qPrintable(w->objectName());
    }
    main->close();
}

TEST(ExceptionDisplay, ShowsOurMessageOrTheLibrarysText)
{
    struct Case
    {
        std::exception_ptr error;
        QString expected;
    };
    const Case cases[] = {
        { std::make_exception_ptr(ZelmorError(QStringLiteral("Таблица недоступна"))),
            QStringLiteral("Таблица недоступна") },
        { std::make_exception_ptr(std::runtime_error("disk full")), QStringLiteral("disk full") },
    };
    for (const Case &c : cases)
        EXPECT_EQ(ZelmorApplication::messageOf(c.error), c.expected);
}

#ifdef ZELMOR_APP_BINARY
namespace {

// Starts the real program offscreen in `folder` and waits until it has
// written its start line.
void startProgram(QProcess &program, const TestProgramFolder &folder)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("ZELMOR_PROGRAM_DIR"), folder.path());
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(ZELMOR_APP_BINARY), {});
    ASSERT_TRUE(program.waitForStarted(5000));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return folder.logTexts().contains(QStringLiteral("start zelmor")); }, 15000));
    QTest::qWait(300);
}

} // namespace

// The program ends in order when the system asks it to stop.
TEST(ProgramProcess, StopSignalsEndTheProgramWithItsExitLine)
{
    for (int stopSignal : { SIGTERM, SIGINT }) {
        TestProgramFolder folder(MissingPort);
        QProcess program;
        ASSERT_NO_FATAL_FAILURE(startProgram(program, folder));
        ::kill(pid_t(program.processId()), stopSignal);
        ASSERT_TRUE(program.waitForFinished(15000)) << stopSignal;
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << stopSignal;
        EXPECT_EQ(program.exitCode(), 0);
        ASSERT_FALSE(folder.logTexts().isEmpty());
        EXPECT_EQ(folder.logTexts().last(), QStringLiteral("exit zelmor")) << stopSignal;
    }
}

// Further stop requests while the program shuts down change nothing: it still
// ends normally, once, with its exit line.
TEST(ProgramProcess, RepeatedStopSignalsDuringShutdownChangeNothing)
{
    for (int stopSignal : { SIGTERM, SIGINT }) {
        TestProgramFolder folder(MissingPort);
        QProcess program;
        ASSERT_NO_FATAL_FAILURE(startProgram(program, folder));
        const pid_t pid = pid_t(program.processId());
        ::kill(pid, stopSignal);
        // Keep asking until the process is gone, so requests land in every
        // stage of the shutdown.
        QElapsedTimer waited;
        waited.start();
        while (!program.waitForFinished(1) && waited.elapsed() < 15000)
            ::kill(pid, stopSignal);
        ASSERT_EQ(program.state(), QProcess::NotRunning) << stopSignal;
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << stopSignal;
        EXPECT_EQ(program.exitCode(), 0) << stopSignal;
        EXPECT_EQ(folder.logTexts().count(QStringLiteral("exit zelmor")), 1) << stopSignal;
        EXPECT_EQ(folder.logTexts().last(), QStringLiteral("exit zelmor")) << stopSignal;
    }
}
#endif
