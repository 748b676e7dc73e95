// Calibration procedures against the simulator: their final messages and
// coefficients.

#include "device/LittleEndian.h"
#include "device/TOpros_ZMX.h"
#include "tests/device/opros_support.h"

#include <gtest/gtest.h>

using namespace opros_test;

namespace {

constexpr int Long = 15000;

struct Calibration
{
    const char *name;
    ZmxCommand code;
    QByteArray payload;
    const char *running;
    QString finished; // expected final message
    int progressMax; // -1: left as it was
};

QByteArray pressurePayload(double mmHg)
{
    QByteArray bytes(8, '\0');
    LittleEndian::writeF64(reinterpret_cast<uint8_t *>(bytes.data()), mmHg);
    return bytes;
}

TEST(OprosCalibrations, EachEndsWithItsMessageAndResult)
{
    OPROS_START_SIM(sim);
    TOpros_ZMX opros;
    ASSERT_EQ(opros.ConnectPort(sim.linkPath()), TOpros_ZMX::Connected);
    ASSERT_TRUE(sim.send("proctime 1000"));
    ASSERT_TRUE(sim.send("hold on"));

    const QString shift = sim.status("shift_o2");
    ASSERT_FALSE(shift.isEmpty());
    const Calibration cases[] = {
        { "O2 offset", ZMX_Shift_O2, QByteArray(2, '\0'),
            "Калибровка коэф. смещения канала кислорода...",
            "Калибровка коэф. смещения канала кислорода завершена.", 159 },
        { "O2 gain", ZMX_Ku_O2, QByteArray(2, '\0'),
            "Калибровка коэф. усиления канала кислорода...",
            "Калибровка коэф. усиления канала кислорода завершена.", 159 },
        { "signal stretch", ZMX_Vrefm_par, QByteArray(), "Калибровка к-та растяжки сигнала...",
            "Калибровка к-та растяжки сигнала завершена. ", 159 },
        { "pressure", ZMX_pressure, pressurePayload(760), "Калибровка датчика давления...",
            "Калибровка датчика давления завершена. ", 200 },
    };
    for (const Calibration &c : cases) {
        SCOPED_TRACE(c.name);
        opros.RequestCommand(c.code, 0, c.payload);
        bool runningShown = false;
        ZmxSnapshot s;
        ASSERT_TRUE(waitFor(
            opros,
            [&](const ZmxSnapshot &s) {
                runningShown |= s.StatusText == QString::fromUtf8(c.running);
                return s.StatusText.startsWith(c.finished) && !s.RunFlag;
            },
            Long, &s))
            << qPrintable(s.StatusText);
        EXPECT_TRUE(runningShown);
        EXPECT_EQ(s.ProcedureActive, 0);
        EXPECT_EQ(s.DataKind, DataKindProgress);
        // The stretch calibration leaves the progress maximum of the one before.
        EXPECT_EQ(s.ProcedureMax, c.progressMax);
        const QString result = s.StatusText.mid(c.finished.size());
        EXPECT_FALSE(result.isEmpty());
        if (c.code == ZMX_Shift_O2) {
            EXPECT_EQ(QString::number(s.O2Shift), result);
            EXPECT_EQ(sim.status("shift_o2"), result);
        } else if (c.code == ZMX_Ku_O2) {
            EXPECT_EQ(QString::number(s.O2Gain), result);
        } else if (c.code == ZMX_Vrefm_par) {
            bool ok = false;
            result.toInt(&ok);
            EXPECT_TRUE(ok) << qPrintable(result);
        }
    }
}

TEST(OprosCalibrations, FinalAnswerStillArrivingWhenAStepsWindowClosesIsTaken)
{
    OPROS_START_SIM(sim);
    TOpros_ZMX opros;
    ASSERT_EQ(opros.ConnectPort(sim.linkPath()), TOpros_ZMX::Connected);
    ASSERT_TRUE(sim.send("proctime 1000"));
    // The answer trickles in across the end of one step's receive window; the
    // next step, after the cycle's pause, must finish it.
    ASSERT_TRUE(sim.send("fault split-final on"));
    opros.RequestCommand(ZMX_pressure, 0, pressurePayload(760));
    ZmxSnapshot s;
    EXPECT_TRUE(waitFor(
        opros,
        [](const ZmxSnapshot &s) {
            return s.StatusText.startsWith("Калибровка датчика давления завершена. ");
        },
        Long, &s))
        << qPrintable(s.StatusText);
    EXPECT_EQ(sim.status("tx_given_up"), "0");
}

} // namespace
