#pragma once

// The OBD-II answers the workstation asks for, read from the control units'
// messages (ElmAnswer): engine speed, coolant temperature, supported PIDs,
// the monitor status, the stored trouble codes and the VIN. Each returns
// nothing when no message answers its request or the answer is malformed;
// where several control units answer, their answers are put together as an
// inspection reads them (the lamp is on if any unit commands it, codes from
// all units).

#include "device/obd/ElmAnswer.h"
#include "device/obd/ObdMonitor.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace obd {

// Requests as the adapter takes them (hex text, no spaces).
constexpr const char *RequestSupportedPids = "0100";
constexpr const char *RequestMonitorStatus = "0101";
constexpr const char *RequestCoolant = "0105";
constexpr const char *RequestEngineSpeed = "010C";
constexpr const char *RequestStoredCodes = "03";
constexpr const char *RequestVin = "0902";

// Engine speed in rpm (mode 01 PID 0C: (256 A + B) / 4).
std::optional<double> engineSpeed(const std::vector<ObdMessage> &messages);
// Coolant temperature in °C (mode 01 PID 05: A - 40).
std::optional<int> coolantTemperature(const std::vector<ObdMessage> &messages);
// PIDs 01..20 of mode 01 the vehicle supports (PID 00), bit 31 = PID 01;
// every control unit's list together.
std::optional<uint32_t> supportedPids(const std::vector<ObdMessage> &messages);
bool pidSupported(uint32_t supported, int pid);
// Mode 01 PID 01 of every unit that answered, put together.
std::optional<ObdMonitorStatus> monitorStatus(const std::vector<ObdMessage> &messages);
// Mode 03: the stored codes ("P0420"), each once, in the order they came.
// CAN answers carry their count first; older protocols send three codes per
// message, padded with zeros.
std::optional<std::vector<std::string>> storedCodes(const std::vector<ObdMessage> &messages);
// Mode 09 PID 02: the 17 characters of the VIN; an empty text when the
// vehicle sends only padding (no VIN programmed).
std::optional<std::string> vehicleIdentification(const std::vector<ObdMessage> &messages);

// One code from its two bytes: the top two bits give the letter (P, C, B,
// U), then four digits ("P0420" from 04 20, "U0100" from C1 00).
std::string troubleCodeText(uint8_t high, uint8_t low);
// The two bytes of a code text; false when it is no code ("P0420" is).
bool troubleCodeBytes(const std::string &text, uint8_t &high, uint8_t &low);

// The protocol the adapter found, from its ATDPN answer ("A6" or "6"):
// 1..12 (hex digit 1..C); 0 when unknown.
int protocolNumber(const std::string &describeProtocolNumber);
// Its standard name ("ISO 15765-4 CAN (11 bit ID, 500 kbaud)"); empty when unknown.
std::string protocolName(int number);

} // namespace obd
