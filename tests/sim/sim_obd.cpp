// The simulated car's steering lines ("obd ..."), checked and answered
// without a process; what they do on the line is the OBD link's tests' part.

#include "tools/sim/ObdSimulator.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

std::vector<std::string> words(const std::string &line)
{
    std::istringstream in(line);
    std::vector<std::string> out;
    for (std::string w; in >> w;)
        out.push_back(w);
    return out;
}

TEST(SimObd, SteeringLinesAreCheckedAndAnswered)
{
    int rpm = 800;
    ObdSimulator obd(
        "", 38400, [&rpm] { return rpm; }, [](const std::string &) {}, [](const std::string &) {});
    const struct
    {
        const char *line;
        const char *reply; // prefix
    } rows[] = {
        { "obd coolant 95", "ok" },
        { "obd coolant 300", "error" },
        { "obd mil on", "ok" },
        { "obd codes P0420 c0035 U0100", "ok" },
        { "obd codes P0420 X0001", "error not a trouble code: X0001" },
        { "obd codes P4420", "error not a trouble code" },
        { "obd vin ZLM1SM0A1B2C34567", "ok" },
        { "obd vin SHORT", "error" },
        { "obd incomplete catalyst o2-heater", "ok" },
        { "obd incomplete catalyst turbo", "error unknown monitor turbo" },
        { "obd ignition diesel", "error" },
        { "obd protocol kline", "ok" },
        { "obd units 3", "error" },
        { "obd version ELM327 v1.0", "ok" },
        { "obd fault nodata on", "ok" },
        { "obd fault search 5000", "ok" },
        { "obd fault reset -1", "error" },
        { "obd fault answer CAN ERROR", "ok" },
        { "obd fault smoke on", "error unknown obd fault" },
        { "obd fault off", "ok" },
        { "obd rpm 20000", "error" },
        { "obd rpm 1500", "ok" },
        { "obd rpm follow", "ok" },
        { "obd dance", "error unknown obd command" },
        { "obd status",
            "status obd plugged=0 client=0 opens=0 unplugs=0 speed=38400 client_speed=0 "
            "obd_version=ELM327_v1.0 obd_echo=on" },
    };
    for (const auto &row : rows)
        EXPECT_EQ(obd.steer(words(row.line)).rfind(row.reply, 0), 0u) << row.line;
    rpm = 2510;
    EXPECT_NE(obd.steer(words("obd status"))
                  .find("obd_rpm=2510 coolant=95 mil=on codes=3 vin=ZLM1SM0A1B2C34567 "
                        "ignition=spark protocol=kline units=1"),
        std::string::npos);
}

} // namespace
