#include "tools/sim/SimOptions.h"
#include "tools/sim/Simulator.h"

#include <cstdio>

int main(int argc, char **argv)
{
    SimOptions options;
    std::string error;
    if (!options.parse(argc, argv, error)) {
        std::fprintf(stderr, "zelmor-sim: %s\n(try --help)\n", error.c_str());
        return 2;
    }
    if (options.showHelp) {
        std::fputs(SimOptions::helpText().c_str(), stdout);
        return 0;
    }
    Simulator simulator(options);
    return simulator.run();
}
