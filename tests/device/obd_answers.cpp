// What ELM327-compatible adapters print, taken apart: one table of
// transcripts, each fed whole and byte by byte, read as the command it
// answers (rpm, coolant, PIDs, monitors, codes, VIN, AT answers); and the
// stored form of a diagnosis, read back or refused.

#include "device/obd/ElmAnswer.h"
#include "device/obd/ObdDecode.h"
#include "device/obd/VehicleDiagnosis.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string keys(ObdMonitorSet set)
{
    std::string text;
    for (const ObdMonitorInfo &info : obdMonitors())
        if (set.contains(info.monitor))
            text += (text.empty() ? "" : ",") + std::string(info.key);
    return text;
}

template <typename T> std::string orNone(const std::optional<T> &v, std::string (*show)(const T &))
{
    return v ? show(*v) : "none";
}

// The value a command's answer carries, as text.
std::string valueOf(const std::string &command, const ElmAnswer &answer)
{
    if (answer.outcome != ElmOutcome::Ok)
        return answer.remark;
    if (command.rfind("AT", 0) == 0) {
        std::string text;
        for (const std::string &line : answer.lines)
            text += (text.empty() ? "" : "|") + line;
        if (command == "ATDPN")
            text += " protocol=" + std::to_string(obd::protocolNumber(answer.lines.front()));
        return text;
    }
    std::vector<ObdMessage> messages;
    std::string why;
    if (!elmMessages(answer.lines, messages, why))
        return "garbled: " + why;
    if (command == "010C")
        return "rpm=" + orNone<double>(obd::engineSpeed(messages), [](const double &v) {
            return std::to_string(int(v * 100)) + "/100";
        });
    if (command == "0105")
        return "coolant=" + orNone<int>(obd::coolantTemperature(messages), [](const int &v) {
            return std::to_string(v);
        });
    if (command == "0100")
        return "pids=" + orNone<uint32_t>(obd::supportedPids(messages), [](const uint32_t &v) {
            char text[9];
            std::snprintf(text, sizeof text, "%08X", v);
            return std::string(text);
        });
    if (command == "0101")
        return orNone<ObdMonitorStatus>(
            obd::monitorStatus(messages), [](const ObdMonitorStatus &s) {
                ObdMonitorSet ready;
                for (const ObdMonitorInfo &info : obdMonitors())
                    if (s.ready(info.monitor))
                        ready.insert(info.monitor);
                return std::string("mil=") + (s.milOn ? "on" : "off")
                    + " count=" + std::to_string(s.codeCount)
                    + (s.compressionIgnition ? " compression" : " spark") + " ready=" + keys(ready)
                    + " incomplete=" + keys(s.incomplete);
            });
    if (command == "03")
        return "codes="
            + orNone<std::vector<std::string>>(obd::storedCodes(messages), [](const auto &codes) {
                  std::string text;
                  for (const std::string &c : codes)
                      text += (text.empty() ? "" : ",") + c;
                  return text;
              });
    if (command == "0902")
        return "vin="
            + orNone<std::string>(
                obd::vehicleIdentification(messages), [](const std::string &v) { return v; });
    return "?";
}

struct Transcript
{
    const char *command;
    std::string received; // up to and with the prompt
    ElmOutcome outcome;
    std::string value;
};

const Transcript Transcripts[] = {
    // The adapter itself: a reset with its echo and a clone's noise, an old version, the settings.
    { "ATZ", std::string("ATZ\r\r\r\xFC\0ELM327 v1.5\r\r>", 22), ElmOutcome::Ok, "ELM327 v1.5" },
    { "ATZ", "\r\n\r\nELM327 v1.0\r\n\r\n>", ElmOutcome::Ok, "ELM327 v1.0" },
    { "ATE0", "ATE0\rOK\r\r>", ElmOutcome::Ok, "OK" },
    { "ATS0", "?\r\r>", ElmOutcome::Unknown, "?" },
    { "ATDPN", "A6\r\r>", ElmOutcome::Ok, "A6 protocol=6" },
    { "ATDPN", "3\r\r>", ElmOutcome::Ok, "3 protocol=3" },
    // Engine speed and coolant: echo, spaces or none, line feeds, a search, a K-line waking up.
    { "010C", "010C\r41 0C 1A F8\r\r>", ElmOutcome::Ok, "rpm=172600/100" },
    { "010C", "410C1AF9\r\n\r\n>", ElmOutcome::Ok, "rpm=172625/100" },
    { "010C", "SEARCHING...\r410C0FA0\r\r>", ElmOutcome::Ok, "rpm=100000/100" },
    { "010C", "BUS INIT: ...OK\r41 0C 0B B8\r\r>", ElmOutcome::Ok, "rpm=75000/100" },
    { "010C", "41 0C 1A\r\r>", ElmOutcome::Ok, "rpm=none" },
    { "0105", "41 05 7B\r\r>", ElmOutcome::Ok, "coolant=83" },
    { "0105", "410500\r\r>", ElmOutcome::Ok, "coolant=-40" },
    // Two control units answer; their lists go together.
    { "0100", "41 00 BE 3E B8 10\r41 00 80 00 00 01\r\r>", ElmOutcome::Ok, "pids=BE3EB811" },
    // Monitor status: a petrol engine with the lamp on, a diesel, two units.
    { "0101", "41 01 82 07 E5 01\r\r>", ElmOutcome::Ok,
        "mil=on count=2 spark ready=misfire,fuel,components,evap,o2,o2-heater,egr "
        "incomplete=catalyst" },
    { "0101", "4101001FEB40\r\r>", ElmOutcome::Ok,
        "mil=off count=0 compression ready=fuel,components,nmhc,nox,boost,exhaust-sensor,egr-vvt "
        "incomplete=misfire,pm-filter" },
    { "0101", "41 01 01 07 09 08\r41 01 81 04 00 00\r\r>", ElmOutcome::Ok,
        "mil=on count=2 spark ready=misfire,fuel,components,catalyst incomplete=secondary-air" },
    // Stored codes: CAN with its count, a multi-frame answer padded at its end
    // with all four letter groups, the older protocols' three per message.
    { "03", "43 01 04 20\r\r>", ElmOutcome::Ok, "codes=P0420" },
    { "03", "4300\r\r>", ElmOutcome::Ok, "codes=" },
    { "03", "00A\r0: 43 04 04 20 41 23\r1: 81 23 C1 00 00 00 00\r\r>", ElmOutcome::Ok,
        "codes=P0420,C0123,B0123,U0100" },
    { "03", "43 01 33 02 01 00 00\r43 04 20 00 00 00 00\r\r>", ElmOutcome::Ok,
        "codes=P0133,P0201,P0420" },
    { "03", "NO DATA\r\r>", ElmOutcome::NoData, "NO DATA" },
    // The VIN: CAN frames with spaces and echo, without spaces, the older
    // protocols' numbered messages, a unit with none programmed, a refusal.
    { "0902",
        "0902\r014\r0: 49 02 01 31 44 34\r1: 47 50 30 30 52 35 35\r2: 42 31 32 33 34 35 36\r\r>",
        ElmOutcome::Ok, "vin=1D4GP00R55B123456" },
    { "0902", "014\r0:490201314434\r1:47503030523535\r2:42313233343536\r\r>", ElmOutcome::Ok,
        "vin=1D4GP00R55B123456" },
    { "0902",
        "49 02 02 44 34 47 50\r49 02 01 00 00 00 31\r49 02 03 30 30 52 35\r49 02 04 35 42 31 32\r"
        "49 02 05 33 34 35 36\r\r>",
        ElmOutcome::Ok, "vin=1D4GP00R55B123456" },
    { "0902", "014\r0: 49 02 01 00 00 00\r1: 00 00 00 00 00 00 00\r2: 00 00 00 00 00 00 00\r\r>",
        ElmOutcome::Ok, "vin=" },
    { "0902", "7F 09 12\r\r>", ElmOutcome::Ok, "vin=none" },
    // Frames that do not add up.
    { "0902", "014\r0: 49 02 01 31 44 34\r1: 47 50 30 30 52 35 35\r\r>", ElmOutcome::Ok,
        "garbled: multi-frame answer cut short" },
    { "0902", "014\r0: 49 02 01 31 44 34\r2: 47 50 30 30 52 35 35\r\r>", ElmOutcome::Ok,
        "garbled: frame out of order: 2: 47 50 30 30 52 35 35" },
    { "03", "1: 43 01 04 20\r\r>", ElmOutcome::Ok,
        "garbled: frame without its byte count: 1: 43 01 04 20" },
    { "010C", "41 0C ZZ 00\r\r>", ElmOutcome::Ok, "garbled: not hex data: 41 0C ZZ 00" },
    // The adapter's words instead of data.
    { "010C", "010C\rNO DATA\r\r>", ElmOutcome::NoData, "NO DATA" },
    { "0100", "SEARCHING...\rUNABLE TO CONNECT\r\r>", ElmOutcome::UnableToConnect,
        "UNABLE TO CONNECT" },
    { "0100", "SEARCHING...UNABLE TO CONNECT\r\r>", ElmOutcome::UnableToConnect,
        "UNABLE TO CONNECT" },
    { "0100", "BUS INIT: ...ERROR\r\r>", ElmOutcome::BusInitError, "BUS INIT: ...ERROR" },
    { "010C", "CAN ERROR\r\r>", ElmOutcome::CanError, "CAN ERROR" },
    { "010C", "STOPPED\r\r>", ElmOutcome::Stopped, "STOPPED" },
    { "010C", "?\r\r>", ElmOutcome::Unknown, "?" },
    { "010C", "BUFFER FULL\r\r>", ElmOutcome::BusError, "BUFFER FULL" },
    { "010C", "ERR94\r\r>", ElmOutcome::BusError, "ERR94" },
    { "010C", "41 0C 1A F8 <DATA ERROR\r\r>", ElmOutcome::BusError, "41 0C 1A F8 <DATA ERROR" },
};

TEST(ObdAnswers, TranscriptsDecodeWholeAndByteByByte)
{
    for (const Transcript &t : Transcripts) {
        SCOPED_TRACE(std::string(t.command) + " <- " + t.received);
        const auto *bytes = reinterpret_cast<const uint8_t *>(t.received.data());
        ElmReader whole;
        ASSERT_TRUE(whole.feed(bytes, t.received.size()));
        ElmReader split;
        for (size_t i = 0; i < t.received.size(); ++i)
            EXPECT_EQ(split.feed(bytes + i, 1), i + 1 == t.received.size());
        EXPECT_EQ(split.text(), whole.text());

        const ElmAnswer answer = parseElmAnswer(whole.text(), t.command);
        EXPECT_EQ(answer.outcome, t.outcome);
        EXPECT_EQ(valueOf(t.command, answer), t.value);
    }
}

TEST(ObdAnswers, ReaderWaitsForThePromptAndTellsASearch)
{
    ElmReader reader;
    const std::string part = "SEARCHING...\r";
    EXPECT_FALSE(reader.feed(reinterpret_cast<const uint8_t *>(part.data()), part.size()));
    EXPECT_TRUE(reader.searching());
    const std::string rest = "41 00 BE 3E B8 11\r\r>41";
    EXPECT_TRUE(reader.feed(reinterpret_cast<const uint8_t *>(rest.data()), rest.size()));
    EXPECT_EQ(reader.text(), "SEARCHING...\r41 00 BE 3E B8 11\r\r"); // nothing after the prompt
}

// ------------------------------------------------------ stored diagnosis

VehicleDiagnosis readDiagnosis()
{
    VehicleDiagnosis d;
    d.result = VehicleDiagnosis::Result::Read;
    d.status = obdMonitorStatusFromBytes(0x82, 0x07, 0x25, 0x01);
    d.codesRead = true;
    d.codes = QStringList { QStringLiteral("P0420"), QStringLiteral("U0100") };
    d.vin = QStringLiteral("1D4GP00R55B123456");
    return d;
}

TEST(ObdDiagnosis, StoredTextComesBackOrIsRefused)
{
    VehicleDiagnosis failed;
    failed.result = VehicleDiagnosis::Result::Failed;
    failed.failure = QStringLiteral("автомобиль не отвечает (NO DATA)");
    for (const VehicleDiagnosis &d : { readDiagnosis(), failed, VehicleDiagnosis {} })
        EXPECT_EQ(VehicleDiagnosis::fromJson(d.toJson()), d) << d.toJson().constData();

    const QByteArray good = readDiagnosis().toJson();
    const struct
    {
        const char *from;
        const char *to;
    } damage[] = {
        { "\"obd\":1", "\"obd\":2" }, // a format this program does not know
        { "\"catalyst\"", "\"pm-filter\"" }, // a diesel monitor on a petrol engine
        { "\"catalyst\"", "\"turbo\"" },
        { "\"incomplete\"", "\"maybe\"" },
        { "P0420", "P9420" },
        { "P0420", "p0420" },
        { "\"codeCount\":2", "\"codeCount\":300" },
        { "\"mil\":true", "\"mil\":\"yes\"" },
        { "1D4GP00R55B123456", "1d4gp00r55b123456" },
        { "\"codes\":[", "\"codes\":{\"x\":[" },
        { "{", "[" },
    };
    for (const auto &d : damage) {
        QByteArray bad = good;
        bad.replace(d.from, d.to);
        ASSERT_NE(bad, good) << d.from;
        EXPECT_FALSE(VehicleDiagnosis::fromJson(bad).has_value()) << bad.constData();
    }
}

TEST(ObdDiagnosis, SummaryIsWhatTheProtocolPrints)
{
    EXPECT_EQ(readDiagnosis().summary(),
        QStringLiteral("индикатор неисправности включён; готовность: пропуски воспламенения ✓, "
                       "топливная система ✓, компоненты ✓, катализатор ✗, "
                       "система улавливания паров топлива ✓, кислородный датчик ✓; "
                       "коды неисправностей: P0420, U0100; VIN 1D4GP00R55B123456"));
    VehicleDiagnosis none;
    EXPECT_EQ(none.summary(), QStringLiteral("не проводилась"));
}

} // namespace
