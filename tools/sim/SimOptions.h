#pragma once

#include <cstdint>
#include <string>

// What the simulator is told on its command line.
struct SimOptions
{
    std::string linkPath; // symbolic link made to the pseudo-terminal's slave
    int speed = 38400; // the speed it listens at first: 38400 or 1200
    int warmupSeconds = 0; // warm-up count-down before readings
    uint16_t serialNumber = 1234;
    uint16_t firmwareVersion = 0x0105;
    uint32_t seed = 1;
    std::string controlPath; // control file polled for steering lines
    std::string logPath; // where received units are logged ("" = stderr)
    bool logEnabled = false;
    bool paceOutput = true; // let bytes leave at the line's speed
    bool quitOnEof = false; // end when standard input closes (its starter died)
    std::string obdLinkPath; // a simulated car's OBD adapter on a second line; none when empty
    int obdSpeed = 38400; // the adapter's line speed: 38400 or 9600
    bool showHelp = false;

    // Parses argv. On a bad argument returns false and sets `error`.
    bool parse(int argc, char **argv, std::string &error);
    static std::string helpText();
};
