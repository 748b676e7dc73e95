#include "tools/sim/SimOptions.h"

#include <cerrno>
#include <cstdlib>
#include <string_view>

namespace {

bool parseUnsigned(const std::string &text, unsigned long max, unsigned long &value)
{
    if (text.empty())
        return false;
    char *end = nullptr;
    errno = 0;
    const unsigned long parsed = std::strtoul(text.c_str(), &end, 0);
    if (errno != 0 || *end != '\0' || parsed > max || text[0] == '-')
        return false;
    value = parsed;
    return true;
}

} // namespace

bool SimOptions::parse(int argc, char **argv, std::string &error)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            showHelp = true;
            return true;
        }
        if (arg == "--no-pacing") {
            paceOutput = false;
            continue;
        }
        if (arg == "--quit-on-eof") {
            quitOnEof = true;
            continue;
        }
        if (i + 1 >= argc) {
            error = "missing value after " + std::string(arg);
            return false;
        }
        const std::string value = argv[++i];
        unsigned long number = 0;
        if (arg == "--link") {
            linkPath = value;
        } else if (arg == "--speed") {
            if (value != "38400" && value != "1200") {
                error = "--speed must be 38400 or 1200";
                return false;
            }
            speed = std::stoi(value);
        } else if (arg == "--warmup") {
            if (!parseUnsigned(value, 65535, number)) {
                error = "--warmup needs seconds 0..65535";
                return false;
            }
            warmupSeconds = static_cast<int>(number);
        } else if (arg == "--serial") {
            if (!parseUnsigned(value, 65535, number)) {
                error = "--serial needs a number 0..65535";
                return false;
            }
            serialNumber = static_cast<uint16_t>(number);
        } else if (arg == "--firmware") {
            if (!parseUnsigned(value, 0xFFFF, number)) {
                error = "--firmware needs a word such as 0x0105";
                return false;
            }
            firmwareVersion = static_cast<uint16_t>(number);
        } else if (arg == "--seed") {
            if (!parseUnsigned(value, 0xFFFFFFFFul, number)) {
                error = "--seed needs an unsigned number";
                return false;
            }
            seed = static_cast<uint32_t>(number);
        } else if (arg == "--control") {
            controlPath = value;
        } else if (arg == "--obd") {
            obdLinkPath = value;
        } else if (arg == "--obd-speed") {
            if (value != "38400" && value != "9600") {
                error = "--obd-speed must be 38400 or 9600";
                return false;
            }
            obdSpeed = std::stoi(value);
        } else if (arg == "--log") {
            logPath = value;
            logEnabled = true;
        } else {
            error = "unknown argument " + std::string(arg);
            return false;
        }
    }
    return true;
}

std::string SimOptions::helpText()
{
    return R"(zelmor-sim: plays the five-gas analyser on a pseudo-terminal.

Usage: zelmor-sim [options]
  --link PATH        make a symbolic link to the pseudo-terminal's slave at PATH
  --speed 38400|1200 line speed the instrument listens at first (38400);
                     ZMX_Baud38400 switches it to 38400
  --warmup SECONDS   warm-up count-down before readings (0: readings at once)
  --serial N         serial number in the constants record (1234)
  --firmware 0xHHLL  firmware version word (0x0105 reads 1.05)
  --seed N           seed of the value noise and of the fault dice (1)
  --control PATH     poll PATH for steering lines; lines appended later are run too
  --log FILE         log every unit received to FILE (turns logging on)
  --no-pacing        write frames at once instead of at the line's byte rate
  --quit-on-eof      end when standard input closes (otherwise it plays on)
  --obd PATH         also play a car with an ELM327-compatible OBD adapter on a
                     second pseudo-terminal, linked at PATH
  --obd-speed 38400|9600  the adapter's line speed (38400)
  -h, --help         this text

Steering, one command per line on standard input or in the control file:
  rpm N                      engine speed (idle 800)
  gas NAME VALUE             NAME: CO CH CO2 O2 NOx lambda pressure (Pa)
                             tf tq tm (temperatures, C) pr_ekv
  hold on|off                values exactly as set, no noise, no drift
  warmup N                   start a warm-up of N seconds now (0 ends it)
  zero                       start a zero correction by itself (as its key does)
  proctime MS                length of a procedure (zero correction 3000)
  next drift                 answer the next ZMX_get_result with drift information
  fault silent on|off        neither acknowledge nor answer anything
  fault refuse on|off        refuse (NAK) every command
  fault garbage on|off       send bursts of line noise between units
  fault corrupt FRACTION     damage this share of the frames sent (0..1)
  fault late MS              send answers MS milliseconds late
  fault lateack MS           send ACK/NAK tokens MS milliseconds late
  fault zero-error on|off    zero corrections end with ZMXprg_zero_err1
  fault off                  clear every fault
  hangup                     drop the line (the client sees an I/O error); a new
                             pseudo-terminal takes its place behind --link
  log on|off                 log what was received (stderr or --log FILE)
  status                     print one line "status key=value ..." on stdout
  obd coolant C              the car (with --obd): coolant temperature -40..215
  obd rpm N|follow           the engine speed the car reports apart from the
                             instrument's (0..16383); follow: the instrument's again
  obd mil on|off             malfunction indicator lamp
  obd codes CODE...|none     stored trouble codes (P0420 C0035 ...)
  obd vin TEXT|none          the VIN (17 characters)
  obd incomplete KEY...|none monitors not yet ready: catalyst evap secondary-air
                             o2 o2-heater egr misfire fuel components nmhc nox
                             boost exhaust-sensor pm-filter egr-vvt
  obd ignition spark|compression
  obd protocol can|kline     ISO 15765-4 CAN or ISO 9141-2
  obd units 1|2              control units answering (a second one: gearbox)
  obd version TEXT           what ATZ and ATI answer (ELM327 v1.5; below v1.3 ATS0 is refused)
  obd fault nodata on|off    the car answers nothing (NO DATA, UNABLE TO CONNECT)
  obd fault search MS        the protocol search takes MS (300)
  obd fault reset MS         ATZ takes MS (300)
  obd fault echo on|off      the echo stays on whatever ATE0 says
  obd fault silent on|off    the adapter answers nothing at all
  obd fault answer TEXT|off  every vehicle request is answered with TEXT (CAN ERROR, ?)
  obd fault off              clear the adapter's faults
  obd unplug / obd plug      pull the adapter out (its line and link go) and back in
  obd status                 "status obd key=value ..."
  quit                       end the simulator

Standard output carries "ready SLAVE" once the line is up (again after a
hangup), "obd-ready SLAVE" once the adapter's line is up (again after
"obd plug"), "status ..." answers and "ok"/"error ..." for each steering line.
)";
}
