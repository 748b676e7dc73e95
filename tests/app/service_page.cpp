// The service page "sys" with the command panel placed the way the main
// window places it, connected to the simulator. With ZELMOR_SCREENSHOT_DIR set
// the page is saved there as service-page.png.

#include "app/SecondaryPages.h"
#include "device/TOpros_ZMX.h"
#include "device/ui/TFrConnect.h"
#include "device/ui/TFrame_SendCommand.h"
#include "tests/support/SimProcess.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

namespace {

TEST(ServicePage, PanelTakesThePlaceholdersPlaceAndShowsTheLink)
{
    SimProcess sim;
    ASSERT_TRUE(sim.isReady()) << qPrintable(sim.errorString());
    TOpros_ZMX opros(1000);
    ASSERT_EQ(opros.ConnectPort(sim.linkPath()), TOpros_ZMX::Connected);

    QTabWidget tabs;
    tabs.resize(1010, 400);
    QWidget diagnose;
    SecondaryPages pages(&tabs, &diagnose);
    TFrame_SendCommand *panel = TFrame_SendCommand::placeInto(pages.SendCommandArea, &opros);
    auto *connect = new TFrConnect(pages.ConnectModuleArea);
    connect->setOpros(&opros);
    pages.ConnectModuleArea->layout()->addWidget(connect);
    tabs.setCurrentWidget(pages.sys);
    tabs.show();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    // Only the panel is left in the area, whole and visible.
    EXPECT_EQ(
        pages.SendCommandArea->findChildren<QLabel *>(QString(), Qt::FindDirectChildrenOnly).size(),
        0);
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(
        panel->size(), QSize(TFrame_SendCommand::FrameWidth, TFrame_SendCommand::FrameHeight));

    panel->cbCommands->setCurrentIndex(ZMX_get_result);
    QTest::mouseClick(panel->btnStart, Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return panel->labInOK->text().toInt() >= 5; }, 20000))
        << qPrintable(panel->labInOK->text());
    EXPECT_EQ(panel->btnStart->text(), "Стоп");

    const QString dir = qEnvironmentVariable("ZELMOR_SCREENSHOT_DIR");
    if (!dir.isEmpty()) {
        EXPECT_TRUE(tabs.grab().save(QDir(dir).filePath("service-page.png")));
    }
    panel->StopCommand();
}

} // namespace
