// What the link panel and the instrument box learn from the thread after a
// connect: the port's reason as it changes, and a taken port the thread got
// hold of later, with or without the instrument's constants.

#include "app/LinkWatch.h"
#include "device/PortProblem.h"
#include "device/TOpros_ZMX.h"

#include <gtest/gtest.h>

namespace {

ZmxSnapshot portSnapshot(PortProblem problem, int constantsResult = ZmxSnapshot::ConstantsNotRead)
{
    ZmxSnapshot s;
    s.PortState = problem;
    s.PortError = portProblemText(problem);
    s.ConstantsResult = constantsResult;
    s.SerialNumber = 2718;
    s.FirmwareVersion = 0x0203;
    return s;
}

const QString Port = QStringLiteral("/dev/ttyUSB0");

} // namespace

TEST(LinkWatch, FollowsTheReasonAndATakenPortUntilItConnects)
{
    const QString connected = LinkWatch::connectedText(Port);
    const QString taken = QStringLiteral("Нет связи с прибором: порт занят другой программой.");
    const QString silent = QStringLiteral("Нет связи с прибором.");
    const struct
    {
        const char *name;
        int result; // of the connect
        PortProblem atConnect;
        PortProblem later;
        int constantsLater;
        std::optional<QString> portError;
        std::optional<QString> linkText;
        bool connectedLater;
        bool instrument;
        int constantsAtConnect = TOpros_ZMX::ConstantsRead; // after a connect that worked
    } cases[] = {
        { "taken, still taken", TOpros_ZMX::NotConnected, PortProblem::InUse, PortProblem::InUse,
            ZmxSnapshot::ConstantsNotRead, std::nullopt, std::nullopt, false, false },
        { "taken, freed and read", TOpros_ZMX::NotConnected, PortProblem::InUse, PortProblem::None,
            TOpros_ZMX::ConstantsRead, QString(), connected, true, true },
        { "taken, freed, constants refused", TOpros_ZMX::NotConnected, PortProblem::InUse,
            PortProblem::None, TOpros_ZMX::CommandRefused, QString(), connected, true, false },
        { "taken, freed, instrument silent", TOpros_ZMX::NotConnected, PortProblem::InUse,
            PortProblem::None, ZmxSnapshot::ConstantsNotRead, QString(), silent, false, false },
        { "not found, then plugged in", TOpros_ZMX::NotConnected, PortProblem::NotFound,
            PortProblem::None, TOpros_ZMX::ConstantsRead, QString(), connected, true, true },
        { "silent instrument is not retried", TOpros_ZMX::NotConnected, PortProblem::None,
            PortProblem::None, TOpros_ZMX::NoAnswer, std::nullopt, std::nullopt, false, false },
        { "connected, adapter pulled", TOpros_ZMX::Connected, PortProblem::None, PortProblem::Lost,
            TOpros_ZMX::ConstantsRead, QStringLiteral("порт не отвечает: устройство отключено"),
            QStringLiteral("Нет связи с прибором: порт не отвечает: устройство отключено."), false,
            false },
        { "connected, stays fine", TOpros_ZMX::Connected, PortProblem::None, PortProblem::None,
            TOpros_ZMX::ConstantsRead, std::nullopt, std::nullopt, false, false },
        { "connected, constants lost, read while polling", TOpros_ZMX::Connected, PortProblem::None,
            PortProblem::None, TOpros_ZMX::ConstantsRead, std::nullopt, std::nullopt, false, true,
            TOpros_ZMX::NoAnswer },
        { "connected, constants lost, still missing", TOpros_ZMX::Connected, PortProblem::None,
            PortProblem::None, TOpros_ZMX::NoAnswer, std::nullopt, std::nullopt, false, false,
            TOpros_ZMX::NoAnswer },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        LinkWatch watch;
        watch.connectEnded(Port, c.result, portSnapshot(c.atConnect));
        if (c.result == TOpros_ZMX::Connected)
            watch.constantsReadAtConnect(c.constantsAtConnect);
        EXPECT_FALSE(watch.look(portSnapshot(c.atConnect)).any()) << "nothing new yet";
        const LinkWatch::Change change = watch.look(portSnapshot(c.later, c.constantsLater));
        EXPECT_EQ(change.portError, c.portError);
        EXPECT_EQ(change.linkText, c.linkText);
        EXPECT_EQ(change.connected, c.connectedLater);
        ASSERT_EQ(change.instrument.has_value(), c.instrument);
        if (c.instrument) {
            EXPECT_EQ(change.instrument->serialNumber, 2718);
            EXPECT_EQ(change.instrument->firmwareVersion, 0x0203);
        }
        EXPECT_FALSE(watch.look(portSnapshot(c.later, c.constantsLater)).any()) << "told once";
    }
    EXPECT_EQ(LinkWatch::noLinkText(portProblemText(PortProblem::InUse)), taken);
}
