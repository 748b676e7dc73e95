// The link panel TFrConnect: its controls, "conf/zme.ini" and the connect
// button against the simulator.

#include "common/ProgramFolder.h"
#include "config/IniFile.h"
#include "config/LinkPanelIni.h"
#include "device/SerialPortList.h"
#include "device/TOpros_ZMX.h"
#include "device/ui/TFrConnect.h"
#include "tests/support/SimProcess.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

// A program folder of the test's own, with an optional conf/zme.ini.
class FrameTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        QDir(m_dir.path()).mkpath("conf");
        setProgramFolder(m_dir.path() + '/');
    }
    void TearDown() override { setProgramFolder(QString()); }

    void writeIni(const QString &key, const QString &value)
    {
        IniFile(m_dir.filePath("conf/zme.ini")).writeString("Port", key, value);
    }

    QTemporaryDir m_dir;
};

TEST_F(FrameTest, ControlsStandWhereTheOperatorExpectsThem)
{
    TFrConnect frame;
    EXPECT_EQ(frame.size(), QSize(210, 314));
    EXPECT_EQ(frame.GroupBox1->title(), "Параметры связи");
    EXPECT_EQ(frame.GroupBox1->geometry(), QRect(0, 0, 209, 281));
    EXPECT_EQ(frame.btnInitPort->text(), "Подключиться");
    EXPECT_EQ(frame.btnInitPort->geometry(), QRect(40, 224, 121, 25));
    EXPECT_EQ(frame.cbFastSpeed->text(), "Скорость 1200 -> 38400");
    EXPECT_EQ(frame.cbFastSpeed->checkState(), Qt::Checked);
    EXPECT_EQ(frame.cbSpeed->count(), 8);
    EXPECT_EQ(frame.cbSpeed->itemText(5), "38400");
    EXPECT_TRUE(frame.cbPort->isEditable());
    EXPECT_EQ(frame.labPortStatus->text(), "---");
    EXPECT_EQ(frame.labZMStatus->text(), "---");
    EXPECT_TRUE(frame.labZMStatus->font().bold());
    EXPECT_EQ(frame.ConnectResult, -1);

    const struct
    {
        QLabel *label;
        const char *text;
        QWidget *buddy;
    } labels[]
        = { { frame.Label1, "Порт:", frame.cbPort }, { frame.Label2, "Скорость:", frame.cbSpeed },
              { frame.Label3, "Порт захвачен:", frame.labPortStatus },
              { frame.Label4, "Zelmor на связи:", frame.labZMStatus } };
    for (const auto &l : labels) {
        EXPECT_EQ(l.label->text(), QString::fromUtf8(l.text));
        EXPECT_EQ(l.label->buddy(), l.buddy) << l.text;
    }
    for (const char *name :
        { "cbPort", "cbSpeed", "cbFastSpeed", "labPortStatus", "labZMStatus", "btnInitPort" })
        EXPECT_TRUE(frame.findChild<QWidget *>(name)) << name;
    // The port list is this system's serial ports.
    EXPECT_EQ(frame.cbPort->count(), systemSerialPorts().size());
}

TEST_F(FrameTest, IniSelectsEntriesAndFallsBackToDefaults)
{
    const struct
    {
        const char *com, *speed, *fast;
        int speedIndex;
        Qt::CheckState check;
    } cases[] = {
        { "0", "2", "2", 2, Qt::PartiallyChecked }, { "0", "0", "0", 0, Qt::Unchecked },
        { "99", "99", "1", -1, Qt::Checked }, // beyond the lists: nothing selected
        { "x", "1,5", "??", 0, Qt::Checked }, // not integers: defaults
    };
    for (const auto &c : cases) {
        writeIni("COM", c.com);
        writeIni("speed", c.speed);
        writeIni("38400", c.fast);
        TFrConnect frame;
        const LinkPanelChoice choice = LinkPanelIni().read();
        frame.applyChoice(choice.portIndex, choice.speedIndex, choice.fastSpeed);
        EXPECT_EQ(frame.cbSpeed->currentIndex(), c.speedIndex) << c.speed;
        EXPECT_EQ(frame.cbFastSpeed->checkState(), c.check) << c.fast;
        if (QString(c.com) == "99") {
            EXPECT_EQ(frame.cbPort->currentIndex(), -1);
        }
    }
}

TEST_F(FrameTest, ConnectButtonConnectsToATypedPathWhileTheWindowStaysAlive)
{
    SimProcess sim;
    ASSERT_TRUE(sim.isReady()) << qPrintable(sim.errorString());
    TOpros_ZMX opros;
    TFrConnect frame;
    frame.setOpros(&opros);

    frame.cbPort->setEditText(sim.linkPath());
    frame.btnInitPortClick();
    EXPECT_EQ(frame.ConnectResult, 0);
    EXPECT_EQ(frame.labPortStatus->text(), "ДА");
    EXPECT_EQ(frame.labZMStatus->text(), "ДА");
    EXPECT_TRUE(frame.btnInitPort->isEnabled());
    EXPECT_FALSE(opros.snapshot().RunFlag) << "the button alone leaves the cycle stopped";

    // A silent instrument: the attempt takes seconds, and meanwhile the timers
    // run and the button stays disabled.
    ASSERT_TRUE(sim.send("fault silent on"));
    int ticks = 0;
    bool enabledDuring = false;
    bool labelsReset = true;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        ++ticks;
        enabledDuring |= frame.btnInitPort->isEnabled();
        labelsReset &= frame.labZMStatus->text() == "---" && frame.ConnectResult == -1;
    });
    timer.start(50);
    frame.btnInitPortClick();
    timer.stop();
    EXPECT_GT(ticks, 10);
    EXPECT_FALSE(enabledDuring);
    EXPECT_TRUE(labelsReset);
    EXPECT_EQ(frame.ConnectResult, -1);
    EXPECT_EQ(frame.labPortStatus->text(), "НЕТ");
    EXPECT_EQ(frame.labZMStatus->text(), "НЕТ");
    EXPECT_EQ(opros.snapshot().StatusText, "Нет связи с Zelmor.");
}

TEST_F(FrameTest, WithoutThreadOrPortTheAnswerIsNo)
{
    TFrConnect frame;
    frame.cbPort->setEditText(m_dir.filePath("no-such-tty"));
    frame.btnInitPortClick();
    EXPECT_EQ(frame.ConnectResult, -1);
    EXPECT_EQ(frame.labZMStatus->text(), "НЕТ");

    TOpros_ZMX opros;
    frame.setOpros(&opros);
    frame.btnInitPortClick();
    EXPECT_EQ(frame.ConnectResult, -1);
    EXPECT_EQ(frame.labPortStatus->text(), "НЕТ");
}

} // namespace
