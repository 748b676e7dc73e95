// The command table and the program-status names: the instrument's words.

#include "device/Records.h"

namespace {

struct CommandRow
{
    const char *name;
    int32_t outLength;
};

// Indexed by command code; lengths are whole out packets, code included.
constexpr std::array<CommandRow, CommandCount> Commands { {
    { "ZMX_Dummy", 2 },
    { "ZMX_set_flow", 4 },
    { "ZMX_set_clear", 4 },
    { "ZMX_set_zero", 4 },
    { "ZMX_get_result", 2 },
    { "ZMX_get_constant", 2 },
    { "ZMX_set_constant", 2 + ConstantsRecord::Size },
    { "ZMX_set_port_param", 6 },
    { "ZMX_get_s_vector", 2 },
    { "ZMX_set_s_vector", 2 + SplineVectorSize },
    { "ZMX_pressure", 10 },
    { "ZMX_Shift_O2", 4 },
    { "ZMX_Ku_O2", 4 },
    { "ZMX_get_Term_Ratio", 2 },
    { "ZMX_reset", 4 },
    { "ZMX_Baud38400", 4 },
    { "ZMX_get_Drift_Info", 2 },
    { "ZMX_Press_Key", 4 },
    { "ZMX_Vrefm_par", 2 },
} };

constexpr std::array<const char *, ProgramStatusCount> ProgramStatusNames {
    "ZMXprg_zero_pas1",
    "ZMXprg_zero_aru",
    "ZMXprg_zero_pas2",
    "ZMXprg_zero_end",
    "ZMXprg_pres_pas1",
    "ZMXprg_shift_O2",
    "ZMXprg_ku_O2",
    "ZMXprg_zero_err1",
    "ZMXprg_zero_err2",
    "ZMXprg_term_err1",
    "ZMXprg_term_err2",
    "ZMXlow_flow_err",
};

bool validCommand(int code)
{
    return code >= 0 && code < CommandCount;
}

} // namespace

const char *commandName(int code)
{
    return validCommand(code) ? Commands[code].name : "";
}

int commandCode(std::string_view name)
{
    for (int code = 0; code < CommandCount; ++code) {
        if (name == Commands[code].name)
            return code;
    }
    return -1;
}

int commandOutLength(int code)
{
    return validCommand(code) ? Commands[code].outLength : 0;
}

const std::array<int32_t, CommandTableSize> &commandOutLengthTable()
{
    static const auto table = [] {
        std::array<int32_t, CommandTableSize> lengths {};
        for (int code = 0; code < CommandCount; ++code)
            lengths[code] = Commands[code].outLength;
        return lengths;
    }();
    return table;
}

const char *programStatusName(int code)
{
    return code >= 0 && code < ProgramStatusCount ? ProgramStatusNames[code] : "";
}

const std::array<const char *, ProgramStatusTableSize> &programStatusNameTable()
{
    static const auto table = [] {
        std::array<const char *, ProgramStatusTableSize> names {};
        names.fill("");
        for (int code = 0; code < ProgramStatusCount; ++code)
            names[code] = ProgramStatusNames[code];
        return names;
    }();
    return table;
}
