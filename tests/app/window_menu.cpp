// The main window's menu on the whole program: the items and their states, the
// mode commands with their pages, help, exit, and the commands that reach the
// instrument (through the service panel) against the simulator, whose log
// shows what the instrument received.

#include "window_support.h"

#include "app/DiagnosePage.h"
#include "app/DiscoveryPage.h"
#include "app/EmissionProcedureView.h"
#include "app/MainMenu.h"
#include "app/MenuCommands.h"
#include "app/ProgramWindows.h"
#include "app/SecondaryPages.h"
#include "app/TFormAboutZM.h"
#include "app/TFormMain.h"
#include "app/TestState.h"
#include "common/ProgramFolder.h"
#include "config/ui/TFormDiap.h"
#include "database/TestResult.h"
#include "database/ZelmorDatabase.h"
#include "database/ui/TFormReports.h"
#include "device/TOpros_ZMX.h"
#include "device/ui/TFrame_SendCommand.h"
#include "graphs/GASE_GRAPH.h"
#include "graphs/TGraphBox.h"
#include "report/ui/ReportPage.h"
#include "tests/support/SimProcess.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPrintPreviewWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>

namespace {

const QString MissingPort = QStringLiteral("/nonexistent/ttyZelmor");
constexpr int StartupTimeoutMs = 20000;
constexpr int ReadingTimeoutMs = 8000;

bool startProgram(ProgramWindows &windows)
{
    windows.FormMain()->show();
    return QTest::qWaitFor(
        [&] { return windows.FormMain()->isStartupFinished(); }, StartupTimeoutMs);
}

QAction *item(TFormMain *main, const char *name)
{
    return main->findChild<QAction *>(QString::fromLatin1(name));
}

QString currentPage(TFormMain *main)
{
    return main->tabs()->currentWidget()->objectName();
}

// Lines of the simulator's log that end with `text`.
int logLinesEndingWith(const QString &logPath, const QString &text)
{
    QFile log(logPath);
    if (!log.open(QIODevice::ReadOnly))
        return 0;
    int count = 0;
    for (const QByteArray &line : log.readAll().split('\n'))
        if (QString::fromUtf8(line).trimmed().endsWith(text))
            ++count;
    return count;
}

// The end of the simulator's log, for a failure's message.
QString logTail(const QString &logPath, int lines = 40)
{
    QFile log(logPath);
    if (!log.open(QIODevice::ReadOnly))
        return QString();
    const QStringList all = QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'));
    return all.mid(std::max(0, int(all.size()) - lines)).join(QLatin1Char('\n'));
}

// The program against the simulator, which logs what it receives.
struct ProgramWithInstrument
{
    explicit ProgramWithInstrument(QStringList simOptions = {})
        : sim(simOptions << QStringLiteral("--warmup") << QStringLiteral("0")
                         << QStringLiteral("--log") << logPath())
        , folder(sim.linkPath())
    { }

    static QString logPath()
    {
        static QTemporaryDir dir;
        return dir.filePath(QStringLiteral("sim.log"));
    }

    bool start()
    {
        main = windows.FormMain();
        return startProgram(windows)
            && QTest::qWaitFor([&] { return main->state().WarmedUp; }, 4 * ReadingTimeoutMs);
    }

    bool receptionRuns()
    {
        const int before = main->opros().snapshot().RecordCount;
        return QTest::qWaitFor(
            [&] {
                const int now = main->opros().snapshot().RecordCount;
                return now > before || now < before; // a new series counts too
            },
            ReadingTimeoutMs);
    }

    // `count` more readings records arrive: the polling cycles go on.
    bool cyclesFollow(int count)
    {
        const int before = main->opros().snapshot().RecordCount;
        return QTest::qWaitFor(
            [&] { return main->opros().snapshot().RecordCount >= before + count; },
            count * ReadingTimeoutMs);
    }

    SimProcess sim;
    TestProgramFolder folder;
    ModalAnswerer answerer;
    ProgramWindows windows;
    TFormMain *main = nullptr;
};

} // namespace

TEST(MainMenu, EveryItemHasItsCaptionAndState)
{
    TestProgramFolder folder(MissingPort);
    ModalAnswerer answerer;
    ProgramWindows windows;
    TFormMain *main = windows.FormMain();
    ASSERT_TRUE(startProgram(windows));

    struct Item
    {
        const char *name;
        const char *caption;
        bool enabled;
        bool visible;
    };
    const Item items[] = {
        { "NOpen", "Открыть...", true, true },
        { "NSaveAs", "Сохранить как...", true, true },
        { "NExit", "Выход", true, true },
        { "NStartDiagnose", "Диагностика выхлопа", true, true },
        { "NDannyePriem", "Восстановить связь", true, true },
        { "NDannyeStop", "Остановить прием", true, true },
        { "NVid", "Доп. параметры", false, false }, // a hidden action is never enabled
        { "NPropan", "Пропан", true, true },
        { "NGostLimits", "Границы ГОСТ", true, true },
        { "NDiscover", "Исследовательский", true, true },
        { "NDiagnose", "Диагностический", true, true },
        { "N5", "Модели автомобилей", true, true },
        { "NResults", "Результаты измерений", true, true },
        { "NDiapazon", "Дапазоны...", true, true },
        { "NOptions", "Общие...", true, true },
        { "N12", "Прием данных", false, true },
        { "N23", "Отладочный режим работы", false, true },
        { "N13", "Компрессор ", true, true },
        { "N22", "Полная коррекция нуля", false, true },
        { "N17", "Короткая коррекция нуля", false, true },
        { "N26", "Пропан / Гексан", false, true },
        { "N27", "Автокоррекция дрейфа", false, true },
        { "N28", "Отображение газов / отношений", false, true },
        { "N29", "Заморозка отображения", false, true },
        { "NHelp", "Справка", true, true },
        { "NZelmorInfo", "Zelmor", true, true },
        { "NAbout", "О программе", true, true },
    };
    for (const Item &expected : items) {
        QAction *action = item(main, expected.name);
        ASSERT_NE(action, nullptr) << expected.name;
        EXPECT_EQ(action->text(), QString::fromUtf8(expected.caption)) << expected.name;
        EXPECT_EQ(action->isEnabled(), expected.enabled) << expected.name;
        EXPECT_EQ(action->isVisible(), expected.visible) << expected.name;
    }
    QStringList titles;
    for (QAction *menu : main->menuBar()->actions())
        titles << menu->text();
    EXPECT_EQ(titles,
        (QStringList { "Файл", "Измерения", "Вид", "Режим", "База данных", "Настройки", "Команды",
            "Справка" }));
    EXPECT_TRUE(main->menu()->NGostLimits->isChecked());
    EXPECT_FALSE(main->menu()->NPropan->isChecked());
    main->close();
}

TEST(MainMenu, ModeCommandsSwitchPagesFileItemsAndTheRadioMark)
{
    TestProgramFolder folder(MissingPort);
    ModalAnswerer answerer;
    ProgramWindows windows;
    TFormMain *main = windows.FormMain();
    ASSERT_TRUE(startProgram(windows));
    MainMenu *m = main->menu();

    // No mode command has run: diagnostic page, its mark, file items enabled.
    EXPECT_EQ(currentPage(main), QStringLiteral("tabDiagnose"));
    EXPECT_TRUE(m->NDiagnose->isChecked());

    struct Step
    {
        QAction *command;
        const char *page;
        bool fileItems;
    };
    const Step steps[] = {
        { m->NDiagnose, "tabDiagnose", false },
        { m->NDiscover, "tabDiscovery", true },
        { m->NDiscover, "tabDiscovery", true },
        { m->NDiagnose, "tabDiagnose", false },
        { m->NDiscover, "tabDiscovery", true },
    };
    for (const Step &step : steps) {
        main->discovery()->btnStartDiscover->setText(QStringLiteral("Стоп"));
        step.command->trigger();
        const bool research = step.command == m->NDiscover;
        EXPECT_EQ(currentPage(main), QString::fromLatin1(step.page));
        EXPECT_EQ(m->NOpen->isEnabled(), step.fileItems);
        EXPECT_EQ(m->NSaveAs->isEnabled(), step.fileItems);
        EXPECT_EQ(m->NDiscover->isChecked(), research);
        EXPECT_EQ(m->NDiagnose->isChecked(), !research);
        // Leaving the research mode captions the hidden start button "Старт".
        EXPECT_EQ(main->discovery()->btnStartDiscover->text(),
            research ? QStringLiteral("Стоп") : QStringLiteral("Старт"));
        if (research) {
            EXPECT_EQ(main->discovery()->chart()->PointCount(), 0);
        }
    }

    // "Границы ГОСТ" switches the limit lines of the gas bars.
    m->NGostLimits->trigger();
    EXPECT_FALSE(m->NGostLimits->isChecked());
    EXPECT_FALSE(main->gasGraph()->ShowLimits);
    m->NGostLimits->trigger();
    EXPECT_TRUE(main->gasGraph()->ShowLimits);
    EXPECT_TRUE(answerer.boxes.isEmpty());
    main->close();
}

TEST(MainMenu, ManualOpensThroughTheViewerOrSaysWhyNotWithACode)
{
    struct Case
    {
        const char *what;
        QStringList files; // in the program folder
        QStringList accepted; // what the viewer opens
        QStringList tried; // what the program offers it, in order
        QString message; // empty: no box
    };
    const QString base = QStringLiteral("Невозможно открыть файл помощи. Код ошибки ");
    const QString doc = QStringLiteral("zm_manual.doc"), pdf = QStringLiteral("zm_manual.pdf");
    const Case cases[] = {
        { "document opened", { doc, pdf }, { doc, pdf }, { doc }, QString() },
        { "no viewer for the document, the PDF opens", { doc, pdf }, { pdf }, { doc, pdf },
            QString() },
        { "missing", {}, { doc, pdf }, {}, base + "2" },
        { "no viewer at all", { doc, pdf }, {}, { doc, pdf }, base + "31" },
        { "only the document, no viewer", { doc }, {}, { doc }, base + "31" },
    };
    for (const Case &c : cases) {
        TestProgramFolder folder(MissingPort);
        for (const QString &name : c.files) {
            QFile manual(folder.path() + name);
            ASSERT_TRUE(manual.open(QIODevice::WriteOnly));
        }
        ModalAnswerer answerer;
        ProgramWindows windows;
        TFormMain *main = windows.FormMain();
        ASSERT_TRUE(startProgram(windows));
        QStringList tried;
        main->commands()->setManualOpener([&](const QString &path) {
            EXPECT_TRUE(path.startsWith(folder.path())) << qPrintable(path);
            const QString name = QFileInfo(path).fileName();
            tried << name;
            return c.accepted.contains(name);
        });
        main->menu()->NHelp->trigger();
        EXPECT_EQ(tried, c.tried) << c.what;
        if (c.message.isEmpty()) {
            EXPECT_TRUE(answerer.boxes.isEmpty()) << c.what;
        } else {
            ASSERT_EQ(answerer.boxes.size(), 1) << c.what;
            EXPECT_EQ(answerer.boxes.first().title, QStringLiteral("Ошибка"));
            EXPECT_EQ(answerer.boxes.first().text, c.message);
        }
        main->close();
    }
}

TEST(MainMenu, ExitAnsweredNoKeepsRunningYesClosesWithTheExitLine)
{
    TestProgramFolder folder(MissingPort);
    ProgramWindows windows;
    TFormMain *main = windows.FormMain();
    ASSERT_TRUE(startProgram(windows));

    QString question;
    auto answerWith = [&](QMessageBox::StandardButton button) {
        QTimer::singleShot(50, [&, button] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            question = box->text();
            box->button(button)->click();
        });
    };

    answerWith(QMessageBox::No);
    main->menu()->NExit->trigger();
    EXPECT_EQ(question, QStringLiteral("Вы действительно хотите выйти из программы?"));
    EXPECT_TRUE(main->isVisible());
    EXPECT_NE(folder.logTexts().last(), QStringLiteral("exit zelmor"));
    // The timers still run: the status line keeps its blinking.
    EXPECT_TRUE(main->findChild<QTimer *>(QStringLiteral("TimerOperation"))->isActive());

    answerWith(QMessageBox::Yes);
    main->menu()->NExit->trigger();
    EXPECT_FALSE(main->isVisible());
    EXPECT_EQ(folder.logTexts().last(), QStringLiteral("exit zelmor"));
    EXPECT_EQ(main->gasGraph(), nullptr);
    EXPECT_EQ(main->discovery()->chart(), nullptr);
}

TEST(MainMenu, RangesDialogShowsTheGasGraphsLimitsAndAppliesThemEverywhere)
{
    TestProgramFolder folder(MissingPort);
    ModalAnswerer answerer;
    ProgramWindows windows;
    TFormMain *main = windows.FormMain();
    ASSERT_TRUE(startProgram(windows));
    TFormDiap *dialog = main->dialogs().FormDiap;
    GASE_GRAPH *graph = main->gasGraph();
    graph->RangeHigh[0] = 6;
    dialog->FormShow();
    EXPECT_EQ(dialog->edMaxCO->text().toDouble(), 6.0);

    dialog->edMaxCO->setText(QStringLiteral("7"));
    dialog->edMinNOx->setText(QStringLiteral("100"));
    dialog->btnAppendClick();
    EXPECT_FLOAT_EQ(graph->RangeHigh[0], 7);
    EXPECT_FLOAT_EQ(graph->RangeLow[4], 100);
    EXPECT_FLOAT_EQ(main->discovery()->chart()->ChannelMax[0], 7);
    EXPECT_FLOAT_EQ(main->discovery()->chart()->ChannelMin[4], 100);
    QFile ini(folder.path() + QStringLiteral("conf/zelmor.ini"));
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(ini.readAll());
    EXPECT_TRUE(text.contains(QStringLiteral("[Diapazone]"))) << qPrintable(text);

    // A refused entry changes nothing anywhere.
    dialog->edMinCO->setText(QStringLiteral("9"));
    dialog->btnAppendClick();
    EXPECT_FLOAT_EQ(graph->RangeHigh[0], 7);
    EXPECT_FLOAT_EQ(graph->RangeLow[0], main->discovery()->chart()->ChannelMin[0]);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !answerer.boxes.isEmpty(); }, 3000));
    main->close();
}

TEST(MainMenu, InstrumentBoxShowsTheWholeLinkText)
{
    TFormAboutZM box;
    const QString text = QStringLiteral("Zelmor подключен. Порт "
                                        "/tmp/a-rather-long-folder-name-of-the-link/ttyZM0");
    box.labComStatus->setText(text);
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    const QRect label = box.labComStatus->geometry();
    EXPECT_TRUE(box.rect().contains(label)) << label.width() << "x" << label.height();
    EXPECT_GE(label.height(), box.labComStatus->heightForWidth(label.width()));
    EXPECT_GE(label.width(),
        box.labComStatus->fontMetrics().horizontalAdvance(
            QStringLiteral("/tmp/a-rather-long-folder-name-of-the-link/ttyZM0")));
    EXPECT_EQ(box.windowTitle(), QStringLiteral("Состояние связи"));
    const QString dir = qEnvironmentVariable("ZELMOR_SCREENSHOT_DIR");
    if (!dir.isEmpty())
        box.grab().save(dir + QStringLiteral("/about-instrument-long.png"));
}

TEST(MainMenuReport, PreviewAfterStartUpAndPrintWithoutAPrinterSavesAPdf)
{
    TestProgramFolder folder(MissingPort);
    ModalAnswerer answerer;
    ProgramWindows windows;
    TFormMain *main = windows.FormMain();
    ASSERT_TRUE(startProgram(windows));
    ASSERT_TRUE(main->startupErrors().isEmpty()) << qPrintable(main->startupErrors().join('\n'));

    // The preview stands on the page "report", prepared and zoomed.
    QPrintPreviewWidget *preview = main->report()->ReportPreview;
    ASSERT_NE(preview, nullptr);
    EXPECT_TRUE(main->pages()->TabSheet1->isAncestorOf(preview));
    EXPECT_EQ(preview->pageCount(), 1);
    EXPECT_DOUBLE_EQ(preview->zoomFactor(), 0.87);
    // Button2 loads it again.
    main->pages()->Button2->click();
    EXPECT_EQ(preview->pageCount(), 1);

    TestResult result;
    result.modelIndex = main->database().CurrentModel().Index;
    result.govNumber = QStringLiteral("А123ВС77");
    result.means
        = { 0.6f, 150, 14.2f, 0.8f, 124, 812, 1.0f, 0.3f, 60, 14.6f, 0.5f, 0, 2810, 0.99f };
    main->database().StoreTestResult(result);

    main->report()->setInstalledPrinters([] { return QStringList(); });
    main->state().OperationState = TestOperation::Live;
    TFormReports *browser = main->dialogs().FormReports;
    browser->prepareShow();
    browser->show();
    browser->Button1->click();
    browser->hide();

    const QStringList pdfs = QDir(folder.path() + QStringLiteral("reports"))
                                 .entryList({ QStringLiteral("*.pdf") }, QDir::Files);
    ASSERT_EQ(pdfs.size(), 1);
    QFile pdf(folder.path() + QStringLiteral("reports/") + pdfs.first());
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    EXPECT_TRUE(pdf.read(5) == "%PDF-");
    // The operator is told where the report went (the browser, a modal window
    // itself, may be among the boxes seen).
    ASSERT_FALSE(answerer.boxes.isEmpty());
    EXPECT_TRUE(answerer.boxes.last().text.startsWith(QStringLiteral("Принтер не найден.")))
        << qPrintable(answerer.boxes.last().text);
    EXPECT_TRUE(answerer.boxes.last().text.contains(pdfs.first()));
    EXPECT_EQ(main->state().OperationState, TestOperation::Blank);
    EXPECT_EQ(folder.logTexts().last(), QStringLiteral("print report"));
    main->close();
}

TEST(MainMenuWithInstrument, PropaneTwiceTogglesTheIndicatorAndSendsTheKeyOncePerPress)
{
    ProgramWithInstrument p;
    ASSERT_TRUE(p.sim.isReady()) << qPrintable(p.sim.errorString());
    ASSERT_TRUE(p.start());
    MainMenu *m = p.main->menu();
    QFrame *indicator = p.main->diagnosePage()->panPropan;
    const QString key4 = QStringLiteral("key 4");
    const int before = logLinesEndingWith(ProgramWithInstrument::logPath(), key4);

    for (int press = 1; press <= 2; ++press) {
        m->NPropan->trigger();
        const bool on = press == 1;
        EXPECT_EQ(m->NPropan->isChecked(), on);
        EXPECT_EQ(indicator->isVisibleTo(p.main), on);
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                return logLinesEndingWith(ProgramWithInstrument::logPath(), key4) == before + press;
            },
            ReadingTimeoutMs))
            << press;
        EXPECT_TRUE(p.receptionRuns()) << press;
    }
    // A one-shot key is not repeated by the cycles that follow.
    EXPECT_TRUE(p.cyclesFollow(3));
    EXPECT_EQ(logLinesEndingWith(ProgramWithInstrument::logPath(), key4), before + 2);
    EXPECT_TRUE(p.answerer.boxes.isEmpty());
    p.main->close();
}

// The link goes while the instrument runs a procedure: the thread gives the
// procedure up. A key pressed from the menu afterwards reaches the instrument
// once, not again with every cycle, and reception resumes.
TEST(MainMenuWithInstrument, AKeyAfterALostProcedureIsSentOnce)
{
    ProgramWithInstrument p;
    ASSERT_TRUE(p.sim.isReady()) << qPrintable(p.sim.errorString());
    ASSERT_TRUE(p.start());
    ASSERT_TRUE(p.sim.send(QStringLiteral("proctime 8000")));
    ASSERT_TRUE(p.sim.send(QStringLiteral("zero")));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return p.main->opros().snapshot().ProcedureActive != 0; }, ReadingTimeoutMs));
    ASSERT_TRUE(p.sim.send(QStringLiteral("fault silent on")));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return p.main->opros().snapshot().StatusText
                == QStringLiteral("Ошибка: нет связи с прибором.");
        },
        4 * ReadingTimeoutMs));
    EXPECT_FALSE(p.main->opros().snapshot().RunFlag);
    ASSERT_TRUE(p.sim.send(QStringLiteral("fault off")));
    // The instrument refuses commands while its procedure runs: wait for its end.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return p.sim.status(QStringLiteral("procedure")) == QStringLiteral("none"); },
        20000));

    const QString key4 = QStringLiteral("key 4");
    const int before = logLinesEndingWith(ProgramWithInstrument::logPath(), key4);
    p.main->menu()->NPropan->trigger();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return logLinesEndingWith(ProgramWithInstrument::logPath(), key4) == before + 1; },
        ReadingTimeoutMs))
        << qPrintable(logTail(ProgramWithInstrument::logPath()));
    EXPECT_TRUE(p.receptionRuns());
    EXPECT_TRUE(p.cyclesFollow(3));
    EXPECT_EQ(logLinesEndingWith(ProgramWithInstrument::logPath(), key4), before + 1);
    p.main->close();
}

TEST(MainMenuWithInstrument, StopReceptionStopsThePollingAndRestoreLinkResumesIt)
{
    ProgramWithInstrument p;
    ASSERT_TRUE(p.sim.isReady()) << qPrintable(p.sim.errorString());
    ASSERT_TRUE(p.start());
    TFrame_SendCommand *panel = p.main->SendCommand();
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(p.main->pages()->sys->isAncestorOf(panel));

    // A repeating command of the panel is stopped as well. While the
    // window's reception runs, the panel's button stops it; the next press
    // starts the panel's own command.
    panel->cbCommands->setCurrentIndex(ZMX_get_result);
    panel->cbCommandsChange();
    panel->btnStart->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !p.main->opros().snapshot().RunFlag; }, 3000));
    panel->btnStart->click();
    EXPECT_EQ(panel->btnStart->text(), QStringLiteral("Стоп"));

    p.main->menu()->NDannyeStop->trigger();
    EXPECT_EQ(panel->btnStart->text(), QStringLiteral("Старт"));
    EXPECT_TRUE(panel->cbCommands->isEnabled());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !p.main->opros().snapshot().RunFlag; }, 3000));
    QTest::qWait(500);
    const int frozen = p.main->opros().snapshot().RecordCount;
    QTest::qWait(1500);
    EXPECT_EQ(p.main->opros().snapshot().RecordCount, frozen);

    p.main->menu()->NDannyePriem->trigger();
    EXPECT_TRUE(p.receptionRuns());

    // The compressor key goes once, then reception resumes.
    const QString key1 = QStringLiteral("key 1");
    const int before = logLinesEndingWith(ProgramWithInstrument::logPath(), key1);
    p.main->menu()->N13->trigger();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return logLinesEndingWith(ProgramWithInstrument::logPath(), key1) == before + 1; },
        ReadingTimeoutMs));
    EXPECT_TRUE(p.receptionRuns());
    p.main->close();
}

TEST(MainMenuWithInstrument, ServicePanelSendsACommandOverAndOver)
{
    ProgramWithInstrument p;
    ASSERT_TRUE(p.sim.isReady()) << qPrintable(p.sim.errorString());
    ASSERT_TRUE(p.start());
    TFrame_SendCommand *panel = p.main->SendCommand();
    p.main->tabs()->setCurrentWidget(p.main->pages()->sys);

    panel->cbCommands->setCurrentIndex(ZMX_Dummy);
    panel->cbCommandsChange();
    EXPECT_TRUE(panel->cbRepeat->isChecked());
    // The first press stops the window's reception, the second sends.
    panel->btnStart->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !p.main->opros().snapshot().RunFlag; }, 3000));
    const int sentBefore = p.main->opros().snapshot().SendOkCount;
    panel->btnStart->click();
    EXPECT_EQ(panel->btnStart->text(), QStringLiteral("Стоп"));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return panel->labOutOK->text().toInt() >= sentBefore + 5; }, ReadingTimeoutMs))
        << qPrintable(panel->labOutOK->text());
    panel->btnStart->click();
    EXPECT_EQ(panel->btnStart->text(), QStringLiteral("Старт"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !p.main->opros().snapshot().RunFlag; }, 3000));
    p.main->close();
}

TEST(MainMenuWithInstrument, ResearchRecordingStartedStoppedSavedAndReopenedFromTheMenu)
{
    ProgramWithInstrument p;
    ASSERT_TRUE(p.sim.isReady()) << qPrintable(p.sim.errorString());
    ASSERT_TRUE(p.start());
    ASSERT_TRUE(p.sim.send(QStringLiteral("gas CO 1.5")));
    MainMenu *m = p.main->menu();
    DiscoveryPage *research = p.main->discovery();
    const QString file = p.folder.path() + QStringLiteral("recording.zm");
    DiscoveryPage::FileDialogs dialogs;
    dialogs.saveFileName = [&](QWidget *, const QString &, const QString &) { return file; };
    dialogs.openFileName = [&](QWidget *, const QString &) { return file; };
    research->setFileDialogs(dialogs);

    m->NDiscover->trigger();
    EXPECT_EQ(currentPage(p.main), QStringLiteral("tabDiscovery"));
    research->btnDStart->click();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return research->chart()->PointCount() >= 3; }, 4 * ReadingTimeoutMs));
    research->btnDStop->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !p.main->opros().snapshot().RunFlag; }, 3000));
    QTest::qWait(1200); // a reading published before the stop may still be fed
    const int recorded = research->chart()->PointCount();
    EXPECT_NEAR(research->chart()->Point(0, recorded - 1), 1.5, 0.1);

    m->NSaveAs->trigger();
    ASSERT_TRUE(QFile::exists(file));
    EXPECT_TRUE(QTest::qWaitFor([&] { return research->isGridComplete(); }, ReadingTimeoutMs));

    // The chart starts afresh with the mode, then the file brings the curve back.
    m->NDiagnose->trigger();
    m->NDiscover->trigger();
    EXPECT_EQ(research->chart()->PointCount(), 0);
    m->NOpen->trigger();
    EXPECT_EQ(research->chart()->PointCount(), recorded);
    EXPECT_NEAR(research->chart()->Point(0, recorded - 1), 1.5, 0.1);
    EXPECT_TRUE(p.answerer.boxes.isEmpty());
    p.main->close();
}
