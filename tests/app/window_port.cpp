// Why the port failed, where the operator looks for the link: the link panel
// of the service page and the instrument box, at start-up and after the
// panel's button; and a port another program holds, connected once it is free.

#include "window_support.h"

#include "app/ProgramWindows.h"
#include "app/TFormAboutZM.h"
#include "app/TFormMain.h"
#include "device/SerialTransport.h"
#include "device/TOpros_ZMX.h"
#include "device/ui/TFrConnect.h"
#include "tests/support/SimProcess.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {
constexpr int StartupTimeoutMs = 20000;
constexpr int ConnectTimeoutMs = 15000;

struct BadPort
{
    const char *name;
    QString port;
    QString panelText;
    QString boxText;
};

std::vector<BadPort> badPorts(const QTemporaryDir &dir)
{
    const QString file = dir.filePath(QStringLiteral("plain-file"));
    QFile f(file);
    if (f.open(QIODevice::WriteOnly))
        f.write("not a port");
    const QString folder = dir.filePath(QStringLiteral("a-folder"));
    QDir().mkpath(folder);
    return {
        { "regular file", file, QStringLiteral("Это не последовательный порт"),
            QStringLiteral("Нет связи с прибором: это не последовательный порт.") },
        { "folder", folder, QStringLiteral("Это не последовательный порт"),
            QStringLiteral("Нет связи с прибором: это не последовательный порт.") },
        { "missing name", dir.filePath(QStringLiteral("no-such-tty")),
            QStringLiteral("Порт не найден"),
            QStringLiteral("Нет связи с прибором: порт не найден.") },
    };
}

} // namespace

TEST(MainWindowPort, TheReasonAPortFailedIsShownAtStartUp)
{
    QTemporaryDir dir;
    for (const BadPort &c : badPorts(dir)) {
        SCOPED_TRACE(c.name);
        TestProgramFolder folder(c.port);
        ModalAnswerer answerer;
        ProgramWindows windows;
        TFormMain *main = windows.FormMain();
        main->show();
        ASSERT_TRUE(QTest::qWaitFor([&] { return main->isStartupFinished(); }, StartupTimeoutMs));

        const TFrConnect *panel = main->connectModule();
        EXPECT_EQ(panel->labPortStatus->text(), QStringLiteral("НЕТ"));
        EXPECT_EQ(panel->labZMStatus->text(), QStringLiteral("НЕТ"));
        EXPECT_EQ(panel->labPortError->text(), c.panelText);
        const TFormAboutZM *about = main->dialogs().FormAboutZM;
        EXPECT_EQ(about->labComStatus->text(), c.boxText);
        EXPECT_EQ(about->labZMNumber->text(), QStringLiteral("-1"));
        const QByteArray shot = qgetenv("ZELMOR_SCREENSHOT_PORT");
        if (!shot.isEmpty()) {
            const_cast<TFrConnect *>(panel)->grab().save(
                QString::fromLocal8Bit(shot) + "-panel.png");
            main->dialogs().FormAboutZM->show();
            main->dialogs().FormAboutZM->grab().save(QString::fromLocal8Bit(shot) + "-box.png");
            main->dialogs().FormAboutZM->hide();
        }
        // Some ticks later nothing has taken it back.
        QTest::qWait(1200);
        EXPECT_EQ(panel->labPortError->text(), c.panelText);
        EXPECT_EQ(about->labComStatus->text(), c.boxText);
        main->close();
    }
}

TEST(MainWindowPort, ThePanelsButtonShowsTheReasonOfEachAttempt)
{
    QTemporaryDir dir;
    const std::vector<BadPort> cases = badPorts(dir);
    SimProcess sim({ QStringLiteral("--warmup"), QStringLiteral("0") });
    ASSERT_TRUE(sim.isReady()) << qPrintable(sim.errorString());
    TestProgramFolder folder(sim.linkPath());
    ModalAnswerer answerer;
    ProgramWindows windows;
    TFormMain *main = windows.FormMain();
    main->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return main->isStartupFinished(); }, StartupTimeoutMs));
    TFrConnect *panel = main->connectModule();
    ASSERT_EQ(panel->labZMStatus->text(), QStringLiteral("ДА"));
    EXPECT_TRUE(panel->labPortError->text().isEmpty());

    const auto attempt = [&](const QString &port) {
        panel->cbPort->setEditText(port);
        panel->btnInitPortClick();
    };
    for (const BadPort &c : cases) {
        SCOPED_TRACE(c.name);
        attempt(c.port);
        EXPECT_EQ(panel->ConnectResult, TOpros_ZMX::NotConnected);
        EXPECT_EQ(panel->labPortStatus->text(), QStringLiteral("НЕТ"));
        EXPECT_EQ(panel->labPortError->text(), c.panelText);
    }
    // The box follows the last reason too.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return main->dialogs().FormAboutZM->labComStatus->text() == cases.back().boxText; },
        ConnectTimeoutMs))
        << qPrintable(main->dialogs().FormAboutZM->labComStatus->text());

    // A good port clears the reason.
    attempt(sim.linkPath());
    EXPECT_EQ(panel->ConnectResult, TOpros_ZMX::Connected);
    EXPECT_EQ(panel->labZMStatus->text(), QStringLiteral("ДА"));
    EXPECT_TRUE(panel->labPortError->text().isEmpty()) << qPrintable(panel->labPortError->text());
    main->close();
}

// A second workstation that finds the port taken says so, and connects (with
// the instrument's identity in the box) once the first one lets go.
TEST(MainWindowPort, APortHeldByAnotherProgramConnectsOnceItIsFree)
{
    SimProcess sim({ QStringLiteral("--warmup"), QStringLiteral("0"), QStringLiteral("--serial"),
        QStringLiteral("2718"), QStringLiteral("--firmware"), QStringLiteral("0x0203") });
    ASSERT_TRUE(sim.isReady()) << qPrintable(sim.errorString());
    SerialTransport holder; // the first workstation
    ASSERT_TRUE(holder.open(sim.linkPath().toStdString()));

    TestProgramFolder folder(sim.linkPath());
    ModalAnswerer answerer;
    ProgramWindows windows;
    TFormMain *main = windows.FormMain();
    main->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return main->isStartupFinished(); }, StartupTimeoutMs));

    const TFrConnect *panel = main->connectModule();
    const TFormAboutZM *about = main->dialogs().FormAboutZM;
    EXPECT_EQ(panel->labZMStatus->text(), QStringLiteral("НЕТ"));
    EXPECT_EQ(panel->labPortError->text(), QStringLiteral("Порт занят другой программой"));
    EXPECT_EQ(about->labComStatus->text(),
        QStringLiteral("Нет связи с прибором: порт занят другой программой."));
    QTest::qWait(2500); // the thread tries again meanwhile, in vain
    EXPECT_EQ(panel->labZMStatus->text(), QStringLiteral("НЕТ"));
    EXPECT_EQ(about->labZMNumber->text(), QStringLiteral("-1"));

    holder.close();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return panel->labZMStatus->text() == QStringLiteral("ДА"); }, ConnectTimeoutMs));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return about->labZMNumber->text() == QStringLiteral("2718"); }, ConnectTimeoutMs));
    EXPECT_EQ(panel->labPortStatus->text(), QStringLiteral("ДА"));
    EXPECT_EQ(panel->ConnectResult, TOpros_ZMX::Connected);
    EXPECT_TRUE(panel->labPortError->text().isEmpty());
    EXPECT_EQ(about->labFirmware->text(), QStringLiteral("2.03"));
    EXPECT_EQ(about->labZMModel->text(), QStringLiteral("Zelmor"));
    EXPECT_EQ(about->labComStatus->text(),
        QStringLiteral("Zelmor подключен. Порт ") + sim.linkPath()
            + QStringLiteral(", скорость 38400"));
    EXPECT_EQ(main->state().InstrumentNumber, 2718);
    // Readings arrive.
    EXPECT_TRUE(QTest::qWaitFor([&] { return main->state().WarmedUp; }, ConnectTimeoutMs));
    main->close();
}
