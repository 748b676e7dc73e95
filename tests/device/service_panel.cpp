// The service command panel with real widgets, driving a real polling thread
// connected to the simulator; what the instrument received is read from the
// simulator's log.

#include "common/FormatSettings.h"
#include "common/ZelmorError.h"
#include "device/ServiceCommand.h"
#include "device/SplineFile.h"
#include "device/TOpros_ZMX.h"
#include "device/ui/LinkStateIcons.h"
#include "device/ui/TFrame_SendCommand.h"
#include "tests/support/SimProcess.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <functional>

namespace {

// Generous: a silent instrument costs two seconds per cycle.
constexpr int WaitMs = 15000;

bool waitUntil(const std::function<bool()> &ready, int timeoutMs = WaitMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!ready()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QTest::qWait(20);
    }
    return true;
}

int number(QLabel *label)
{
    return label->text().toInt();
}

// One frame the simulator received: its code and bytes after the code.
struct Received
{
    int code;
    QString payloadHex;
};

// A panel on a thread connected to a simulator that logs what it receives.
class ServicePanelTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_logPath = m_dir.filePath("sim.log");
        m_sim = std::make_unique<SimProcess>(QStringList { "--log", m_logPath });
        ASSERT_TRUE(m_sim->isReady()) << qPrintable(m_sim->errorString());
        ASSERT_TRUE(m_sim->send("proctime 400"));
        m_opros = std::make_unique<TOpros_ZMX>(1000);
        ASSERT_EQ(m_opros->ConnectPort(m_sim->linkPath()), TOpros_ZMX::Connected);
        ASSERT_EQ(m_opros->ReadConstants(), TOpros_ZMX::ConstantsRead);
        m_panel = std::make_unique<TFrame_SendCommand>();
        m_panel->setOpros(m_opros.get());
        m_saved = FormatSettings::current();
        FormatSettings::setDecimalSeparator(QLatin1Char(','));
    }
    void TearDown() override
    {
        FormatSettings::setCurrent(m_saved);
        m_panel.reset();
        m_opros.reset();
    }

    // Every frame the simulator has received so far, in order.
    QList<Received> received() const
    {
        QFile file(m_logPath);
        QList<Received> frames;
        if (!file.open(QIODevice::ReadOnly))
            return frames;
        static const QRegularExpression frame(
            QStringLiteral(R"(rx frame len=\d+ code=(\d+) \S+ \[([0-9a-f ]*)( \.\.\.)?\])"));
        for (const QByteArray &line : file.readAll().split('\n')) {
            const auto m = frame.match(QString::fromLatin1(line));
            if (m.hasMatch())
                frames.append({ m.captured(1).toInt(), m.captured(2).mid(6) });
        }
        return frames;
    }

    void choose(int code)
    {
        m_panel->cbCommands->setCurrentIndex(code);
        ASSERT_EQ(m_panel->cbCommands->currentIndex(), code);
    }

    // Clicks "старт" for a single command and waits until the thread has sent
    // it and is idle again (a procedure it started included). Returns the
    // frames the simulator received meanwhile.
    QList<Received> sendOnce(int code)
    {
        const int before = received().size();
        const ZmxSnapshot start = m_opros->snapshot();
        const int sendsBefore = start.SendOkCount + start.LinkErrorCount;
        m_panel->cbRepeat->setChecked(false);
        QTest::mouseClick(m_panel->btnStart, Qt::LeftButton);
        // A single command stays single: once the thread sleeps again,
        // nothing more follows it on the line.
        EXPECT_TRUE(waitUntil([&] {
            const ZmxSnapshot s = m_opros->snapshot();
            return s.SendOkCount + s.LinkErrorCount > sendsBefore && s.Suspended
                && s.ProcedureActive == 0;
        })) << commandName(code);
        return received().mid(before);
    }

    QTemporaryDir m_dir;
    QString m_logPath;
    std::unique_ptr<SimProcess> m_sim;
    std::unique_ptr<TOpros_ZMX> m_opros;
    std::unique_ptr<TFrame_SendCommand> m_panel;
    FormatSettings m_saved;
};

TEST_F(ServicePanelTest, EveryCommandReachesTheInstrumentOnceWithItsParameters)
{
    // Typed values replace the proposed ones where given.
    const struct
    {
        int code;
        QStringList typed;
        QString payload; // hex after the code; nullptr: not checked
    } cases[] = {
        { ZMX_Dummy, {}, "" },
        { ZMX_set_flow, {}, "00 00" },
        { ZMX_set_clear, { "70000" }, "70 11" }, // 16-bit overflow keeps the low bits
        { ZMX_set_flow, { "2" }, "02 00" },
        { ZMX_set_zero, {}, "00 00" },
        { ZMX_get_result, {}, "" },
        { ZMX_get_constant, {}, "" },
        { ZMX_set_constant, {}, QString() },
        { ZMX_set_port_param, { "10,9", "3" }, "0a 00 03 00" },
        { ZMX_get_s_vector, {}, "" },
        { ZMX_set_s_vector, {}, QString() }, // the spline just read goes back
        { ZMX_pressure, {}, "00 00 00 00 00 c0 87 40" }, // 760.0 as float64
        { ZMX_Shift_O2, {}, QString() },
        { ZMX_Ku_O2, {}, QString() },
        { ZMX_get_Term_Ratio, {}, "" },
        { ZMX_reset, {}, "65 b8" }, // 47205
        { ZMX_Baud38400, {}, "40 38" },
        { ZMX_get_Drift_Info, {}, "" },
        { ZMX_Press_Key, { "4" }, "04 00" },
        { ZMX_Vrefm_par, {}, "" },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(commandName(c.code));
        choose(c.code);
        for (int i = 0; i < c.typed.size(); ++i)
            m_panel->edIN[i]->setText(c.typed[i]);
        const QList<Received> frames = sendOnce(c.code);
        ASSERT_EQ(frames.size(), 1);
        EXPECT_EQ(frames[0].code, c.code);
        if (!c.payload.isNull()) {
            EXPECT_EQ(frames[0].payloadHex, c.payload);
        }
        if (c.code == ZMX_set_constant) {
            // The instrument gets back the constants it gave: serial 1234 = 0x04d2.
            EXPECT_TRUE(frames[0].payloadHex.startsWith("d2 04 05 01"))
                << qPrintable(frames[0].payloadHex);
        }
        if (c.code == ZMX_set_s_vector) {
            EXPECT_TRUE(frames[0].payloadHex.startsWith("00 00 e8 03 d0 07"))
                << qPrintable(frames[0].payloadHex);
        }
        if (c.code == ZMX_Shift_O2) {
            ASSERT_TRUE(waitUntil([&] { return m_panel->labOUT11->text() != "-1"; }));
            EXPECT_EQ(m_panel->labOUT11->text().toInt(), m_opros->snapshot().O2Shift);
        }
        if (c.code == ZMX_Ku_O2) {
            // The offset just calibrated was proposed and sent.
            const qint16 shift = m_opros->snapshot().O2Shift;
            EXPECT_NE(shift, -1);
            QByteArray word(2, '\0');
            word[0] = char(quint16(shift) & 0xff);
            word[1] = char(quint16(shift) >> 8);
            EXPECT_EQ(frames[0].payloadHex, QString::fromLatin1(word.toHex(' ')));
            ASSERT_TRUE(waitUntil([&] { return m_panel->labOUT11->text() != "-1"; }));
        }
    }
    // The reset reached the instrument with its password.
    QFile log(m_logPath);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readAll().contains("reset with password 47205"));
    // The four queries the cycle reads were answered and counted; the last
    // answer was the 40 bytes of drift information.
    EXPECT_TRUE(waitUntil([&] { return number(m_panel->labInOK) == 4; }));
    EXPECT_EQ(m_panel->labOUT13->text(), "40");
    EXPECT_EQ(number(m_panel->labOUT14), 4);
    EXPECT_EQ(number(m_panel->labOutErr), 0);
}

TEST_F(ServicePanelTest, ParameterThatCannotBeUsedSendsNothing)
{
    const struct
    {
        int code;
        bool repeat;
        const char *text;
        const char *message;
    } cases[] = {
        { ZMX_set_flow, false, "abc", "'abc' is not a valid integer value" },
        { ZMX_pressure, true, "seven", "'seven' is not a valid floating point value" },
        // No spline was read in this connection and no file is named.
        { ZMX_set_s_vector, false, "",
            "Сплайн не считан из прибора (--ZMX_get_s_vector) и не выбран файл сплайна: "
            "записывать в прибор нечего." },
    };
    for (const auto &c : cases) {
        choose(c.code);
        m_panel->edIN[0]->setText(QString::fromLatin1(c.text));
        m_panel->cbRepeat->setChecked(c.repeat);
        const int before = received().size();
        try {
            m_panel->btnStartClick();
            ADD_FAILURE() << "started with " << c.text;
        } catch (const ZelmorError &e) {
            EXPECT_EQ(e.message(), QString::fromUtf8(c.message));
        }
        // The panel stays idle and the line quiet.
        EXPECT_EQ(m_panel->btnStart->text(), "старт");
        EXPECT_TRUE(m_panel->cbCommands->isEnabled());
        QTest::qWait(500);
        EXPECT_EQ(received().size(), before);
        EXPECT_FALSE(m_opros->snapshot().RunFlag);
    }
}

TEST_F(ServicePanelTest, RepeatedCommandRunsUntilStopped)
{
    choose(ZMX_get_result);
    EXPECT_TRUE(m_panel->cbRepeat->isChecked()); // queries are proposed repeated
    QTest::mouseClick(m_panel->btnStart, Qt::LeftButton);
    EXPECT_EQ(m_panel->btnStart->text(), "Стоп");
    EXPECT_FALSE(m_panel->cbCommands->isEnabled());
    EXPECT_FALSE(m_panel->cbRepeat->isEnabled());

    ASSERT_TRUE(
        waitUntil([&] { return number(m_panel->labOutOK) >= 3 && number(m_panel->labInOK) >= 3; }));
    EXPECT_EQ(m_panel->labOUT13->text(), "144");
    EXPECT_GE(number(m_panel->labOUT14), 3);
    EXPECT_EQ(m_panel->shownLinkState(), 5);
    EXPECT_EQ(m_panel->labOUTinfo->text(), "n/a");
    EXPECT_EQ(m_panel->labOUTcnt->text(), "n/a");
    EXPECT_EQ(m_panel->progrPrgCnt->value(), 0);

    QTest::mouseClick(m_panel->btnStart, Qt::LeftButton);
    EXPECT_EQ(m_panel->btnStart->text(), "Старт");
    EXPECT_TRUE(m_panel->cbCommands->isEnabled());
    EXPECT_TRUE(m_panel->cbRepeat->isEnabled());
    ASSERT_TRUE(waitUntil([&] { return m_opros->snapshot().Suspended; }));
    const int frames = received().size();
    QTest::qWait(1000);
    EXPECT_EQ(received().size(), frames) << "still sending after Стоп";
}

TEST_F(ServicePanelTest, MainWindowRequestsGoThroughThePanelAndItsStop)
{
    EXPECT_EQ(m_panel->RequestOperation(ZMX_get_result, 1, 0), 0);
    ASSERT_TRUE(waitUntil([&] { return number(m_panel->labInOK) >= 2; }));
    // The view is the service staff's own: a request leaves it alone.
    EXPECT_EQ(m_panel->btnStart->text(), "старт");
    // While the main window's request repeats, a click stops it.
    m_panel->btnStartClick();
    EXPECT_EQ(m_panel->btnStart->text(), "Старт");
    ASSERT_TRUE(waitUntil([&] { return !m_opros->snapshot().RunFlag; }));

    EXPECT_EQ(m_panel->RequestOperation(ZMX_Press_Key, 0, ZmxKeyCompressor), 0);
    ASSERT_TRUE(waitUntil([&] {
        const QList<Received> r = received();
        return !r.isEmpty() && r.last().code == ZMX_Press_Key;
    }));
    EXPECT_EQ(received().last().payloadHex, "01 00");
}

TEST_F(ServicePanelTest, ProcedureProgressIsShownWhileItRuns)
{
    ASSERT_TRUE(m_sim->send("proctime 4000"));
    choose(ZMX_pressure);
    m_panel->cbRepeat->setChecked(false);
    QTest::mouseClick(m_panel->btnStart, Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return m_panel->labOUTcnt->text().toInt() > 0; }));
    EXPECT_EQ(m_panel->progrPrgCnt->maximum(), 200);
    EXPECT_GT(m_panel->progrPrgCnt->value(), 0);
    EXPECT_EQ(m_panel->labOUTinfo->text(), "ZMXprg_pres_pas1");
    ASSERT_TRUE(waitUntil([&] { return m_panel->labOUTcnt->text() == "n/a"; }));
    EXPECT_EQ(m_panel->progrPrgCnt->value(), 0);
    EXPECT_TRUE(
        m_opros->snapshot().StatusText.startsWith("Калибровка датчика давления завершена. "));
}

TEST_F(ServicePanelTest, SilentInstrumentCountsLinkErrors)
{
    ASSERT_TRUE(m_sim->send("fault silent on"));
    choose(ZMX_Dummy);
    ASSERT_TRUE(m_panel->cbRepeat->isChecked());
    m_panel->btnStartClick();
    ASSERT_TRUE(waitUntil([&] { return number(m_panel->labOutErr) >= 2; }, 3 * WaitMs));
    EXPECT_EQ(number(m_panel->labOutOK), 0);
    EXPECT_EQ(number(m_panel->labInOK), 0);
    EXPECT_EQ(number(m_panel->labInErr), 0);
    EXPECT_EQ(number(m_panel->labInLate), 0);
    EXPECT_EQ(m_panel->shownLinkState() == 3 || m_panel->shownLinkState() == 1, true);
    EXPECT_TRUE(m_opros->snapshot().StatusText.startsWith("Ошибка связи ("));

    // An answer that never comes after an accepted query is a missed answer.
    ASSERT_TRUE(m_sim->send("fault silent off"));
    ASSERT_TRUE(m_sim->send("fault late 3000"));
    m_panel->StopCommand();
    choose(ZMX_get_result);
    m_panel->StartCommand();
    ASSERT_TRUE(waitUntil([&] { return number(m_panel->labInErr) >= 1; }, 3 * WaitMs));
    EXPECT_GE(number(m_panel->labOutOK), 1);
    m_panel->StopCommand();
}

TEST_F(ServicePanelTest, LateFramesDroppedAreCounted)
{
    EXPECT_EQ(number(m_panel->labInLate), 0);
    // The constants answer is not read by the cycle: it is still there when
    // the readings command goes out, and dropped as a late frame.
    m_opros->RequestOperation(ZMX_get_constant, 1, 0);
    m_opros->RequestOperation(ZMX_get_result, 1, 0);
    ASSERT_TRUE(waitUntil([&] { return number(m_panel->labInLate) >= 1; }, 3 * WaitMs));
    m_opros->StopCycle();
    ASSERT_TRUE(waitUntil([&] { return m_opros->snapshot().Suspended; }));
    // The panel's next tick shows the final count.
    EXPECT_TRUE(waitUntil(
        [&] { return number(m_panel->labInLate) == m_opros->snapshot().StaleFrameCount; }));
}

TEST_F(ServicePanelTest, SplineReadIsSavedToAFileAndWrittenBackFromIt)
{
    const QString path = m_dir.filePath("instrument.spl");
    m_panel->setFileChooser([&](QWidget *, bool) { return path; });
    choose(ZMX_get_s_vector);
    EXPECT_FALSE(m_panel->btnSplineFile->isHidden());
    EXPECT_TRUE(m_panel->edIN[1]->isHidden());
    EXPECT_THROW(m_panel->btnSplineFileClick(), ZelmorError) << "nothing read yet";
    // On a loaded machine the answer may miss its window; the file and the
    // write-back are what this test is about, so the read may be asked again.
    for (int attempt = 0; attempt < 3 && !m_opros->snapshot().SplineRead; ++attempt)
        sendOnce(ZMX_get_s_vector);
    ASSERT_TRUE(m_opros->snapshot().SplineRead) << qPrintable(m_opros->snapshot().StatusText);
    QTest::mouseClick(m_panel->btnSplineFile, Qt::LeftButton);
    EXPECT_EQ(readSplineFile(path), m_opros->snapshot().Spline);

    // A new connect forgets the spline read; the file still serves.
    ASSERT_EQ(m_opros->ConnectPort(m_sim->linkPath()), TOpros_ZMX::Connected);
    EXPECT_FALSE(m_opros->snapshot().SplineRead);
    choose(ZMX_set_s_vector);
    QTest::mouseClick(m_panel->btnSplineFile, Qt::LeftButton);
    EXPECT_EQ(m_panel->edIN[0]->text(), path);
    const QList<Received> frames = sendOnce(ZMX_set_s_vector);
    ASSERT_EQ(frames.size(), 1);
    EXPECT_TRUE(frames[0].payloadHex.startsWith("00 00 e8 03 d0 07"))
        << qPrintable(frames[0].payloadHex);
}

TEST(ServicePanelView, ControlsStandWhereServiceStaffExpectThem)
{
    TFrame_SendCommand panel;
    EXPECT_EQ(panel.size(), QSize(674, 179));
    EXPECT_EQ(panel.objectName(), "SendCommand");
    ASSERT_EQ(panel.cbCommands->count(), 19);
    EXPECT_EQ(panel.cbCommands->itemText(0), "ZMX_Dummy");
    EXPECT_EQ(panel.cbCommands->itemText(5), "--ZMX_get_constant");
    EXPECT_EQ(panel.cbCommands->itemText(9), "--ZMX_set_s_vector");
    EXPECT_EQ(panel.cbCommands->itemText(10), "ZMX_pressure");
    EXPECT_EQ(panel.cbCommands->itemText(15), "--ZMX_Baud38400");
    EXPECT_EQ(panel.cbCommands->itemText(18), "ZMX_Vrefm_par");
    EXPECT_FALSE(panel.cbCommands->isEditable());
    EXPECT_EQ(panel.btnStart->geometry(), QRect(96, 72, 65, 25));
    EXPECT_EQ(panel.btnStart->text(), "старт");
    EXPECT_EQ(panel.PaintBox1->geometry(), QRect(171, 74, 20, 20));
    EXPECT_EQ(panel.progrPrgCnt->geometry(), QRect(440, 150, 217, 11));
    EXPECT_EQ(panel.progrPrgCnt->maximum(), 200);
    EXPECT_EQ(panel.Timer1->interval(), 100);
    EXPECT_TRUE(panel.Timer1->isActive());
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(panel.edIN[i]->geometry().topLeft(), QPoint(336, 40 + 24 * i));
        EXPECT_EQ(panel.edIN[i]->width(), 81);
        EXPECT_EQ(panel.labIN[i]->buddy(), panel.edIN[i]);
    }
    for (const char *name : { "cbCommands", "cbRepeat", "btnStart", "PaintBox1", "labOutOK",
             "labOutErr", "labInOK", "labInErr", "labInLate", "labIN1", "labIN4", "edIN1", "edIN4",
             "labOUT1", "labOUT14", "labOUTinfo", "labOUTcnt", "progrPrgCnt", "labStatusText" })
        EXPECT_TRUE(panel.findChild<QWidget *>(name)) << name;

    // Choosing a command prepares its fields; labOUT3 keeps its name.
    panel.cbCommands->setCurrentIndex(ZMX_reset);
    EXPECT_EQ(panel.labIN[0]->text(), "Пароль:");
    EXPECT_EQ(panel.edIN[0]->text(), "47205");
    EXPECT_FALSE(panel.cbRepeat->isChecked());
    panel.cbCommands->setCurrentIndex(ZMX_get_Drift_Info);
    EXPECT_EQ(panel.labIN[0]->text(), "---");
    EXPECT_EQ(panel.edIN[0]->text(), "");
    EXPECT_TRUE(panel.cbRepeat->isChecked());
    EXPECT_EQ(panel.labOUT3->text(), "Получено байт:");
    // Without a thread the Ku_O2 offset is unknown and nothing is proposed.
    panel.cbCommands->setCurrentIndex(ZMX_Ku_O2);
    EXPECT_EQ(panel.edIN[0]->text(), "");
}

TEST(ServicePanelView, LinkStateIconsAreSevenDistinctPictures)
{
    QList<QImage> images;
    for (int state = 0; state < LinkStateIcons::Count; ++state) {
        const QImage image = LinkStateIcons::icon(state).toImage();
        EXPECT_EQ(image.size(), QSize(20, 20));
        for (const QImage &other : images)
            EXPECT_NE(image, other) << state;
        images.append(image);
    }
    const QString dir = qEnvironmentVariable("ZELMOR_SCREENSHOT_DIR");
    if (!dir.isEmpty()) {
        QImage strip(LinkStateIcons::Count * 24, 20, QImage::Format_ARGB32);
        strip.fill(Qt::white);
        QPainter p(&strip);
        for (int state = 0; state < LinkStateIcons::Count; ++state)
            p.drawImage(state * 24, 0, images[state]);
        p.end();
        EXPECT_TRUE(strip.scaled(strip.size() * 4).save(QDir(dir).filePath("link-states.png")));
    }
}

TEST(ServicePanelView, PlacedIntoTheServiceAreaInsteadOfItsPlaceholder)
{
    QWidget area;
    auto *layout = new QVBoxLayout(&area);
    QPointer<QLabel> placeholder = new QLabel("Панель команд", &area);
    layout->addWidget(placeholder);
    TFrame_SendCommand *panel = TFrame_SendCommand::placeInto(&area, nullptr);
    ASSERT_TRUE(panel);
    EXPECT_EQ(panel->parentWidget(), &area);
    EXPECT_EQ(layout->count(), 1);
    EXPECT_EQ(layout->itemAt(0)->widget(), panel);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(placeholder.isNull());
    // Without a thread a click sends nothing and throws nothing.
    panel->cbCommands->setCurrentIndex(ZMX_Dummy);
    EXPECT_NO_THROW(panel->btnStartClick());
}

} // namespace
