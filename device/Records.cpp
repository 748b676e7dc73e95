#include "device/Records.h"

#include "device/LittleEndian.h"

#include <cstdio>

using namespace LittleEndian;

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

// Offsets inside ResultRecord.
constexpr int GasOffset = 0;
constexpr int PairOffset = 20;
constexpr int PairStride = 16;
constexpr int DeltaOffset = 116;
constexpr int PaskalOffset = 118;
constexpr int PrEkvOffset = 122;
constexpr int LyambdaOffset = 126;
constexpr int TaxOffset = 130;
constexpr int TickOffset = 132;
constexpr int ResetStatusOffset = 136;
constexpr int TTickOffset = 138;
constexpr int TermFOffset = 140;
constexpr int TermQOffset = 141;
constexpr int TermMOffset = 142;
constexpr int SpareOffset = 143;

using FT = FieldType;

constexpr std::array<VariableInfo, VariableCount> Variables { {
    // warm-up
    { "fp_nado", DataKindWarmUp, 4, FT::UInt16 },
    { "fp_Res", DataKindWarmUp, 6, FT::UInt16 },
    { "fp_duty", DataKindWarmUp, 8, FT::UInt16 },
    { "qu_duty", DataKindWarmUp, 10, FT::UInt16 },
    { "term_f", DataKindWarmUp, 12, FT::Int8 },
    { "term_q", DataKindWarmUp, 13, FT::Int8 },
    // term ratio: two overlapping readings of the same bytes
    { "CO", DataKindTermRatio, 0, FT::Float32 },
    { "CH", DataKindTermRatio, 4, FT::Float32 },
    { "CO2", DataKindTermRatio, 8, FT::Float32 },
    { "fp_nado", DataKindTermRatio, 4, FT::UInt16 },
    { "fp_Res", DataKindTermRatio, 6, FT::UInt16 },
    { "fp_duty", DataKindTermRatio, 8, FT::UInt16 },
    { "qu_duty", DataKindTermRatio, 10, FT::UInt16 },
    { "term_f", DataKindTermRatio, 12, FT::Int8 },
    { "term_q", DataKindTermRatio, 13, FT::Int8 },
    // readings
    { "gaseCO", DataKindResult, 0, FT::Float32 },
    { "gaseCH", DataKindResult, 4, FT::Float32 },
    { "gaseCO2", DataKindResult, 8, FT::Float32 },
    { "gaseO2", DataKindResult, 12, FT::Float32 },
    { "gaseNOx", DataKindResult, 16, FT::Float32 },
    { "prer_CO", DataKindResult, 20, FT::Float64 },
    { "prer_CH", DataKindResult, 36, FT::Float64 },
    { "prer_CO2", DataKindResult, 52, FT::Float64 },
    { "prer_O2", DataKindResult, 68, FT::Float64 },
    { "prer_NOx", DataKindResult, 84, FT::Float64 },
    { "prez_CO", DataKindResult, 28, FT::Float64 },
    { "prez_CH", DataKindResult, 44, FT::Float64 },
    { "prez_CO2", DataKindResult, 60, FT::Float64 },
    { "prez_O2", DataKindResult, 76, FT::Float64 },
    { "prez_NOx", DataKindResult, 92, FT::Float64 },
    { "delta", DataKindResult, DeltaOffset, FT::Int16 },
    { "paskal", DataKindResult, PaskalOffset, FT::Float32 },
    { "pr_ekv", DataKindResult, PrEkvOffset, FT::Float32 },
    { "lyambda", DataKindResult, LyambdaOffset, FT::Float32 },
    { "tax", DataKindResult, TaxOffset, FT::UInt16 },
    { "tick_ms", DataKindResult, TickOffset, FT::UInt32 },
    { "reset_status", DataKindResult, ResetStatusOffset, FT::Int16 },
    { "t_tick", DataKindResult, TTickOffset, FT::UInt16 },
    { "term_f", DataKindResult, TermFOffset, FT::Int8 },
    { "term_q", DataKindResult, TermQOffset, FT::Int8 },
    { "term_m", DataKindResult, TermMOffset, FT::Int8 },
    // drift information
    { "DI_gaseCO", DataKindDrift, 0, FT::Float32 },
    { "DI_gaseCH", DataKindDrift, 4, FT::Float32 },
    { "DI_gaseCO2", DataKindDrift, 8, FT::Float32 },
    { "DI_gaseO2", DataKindDrift, 12, FT::Float32 },
    { "DI_gaseNOx", DataKindDrift, 16, FT::Float32 },
    { "DI_driftCO", DataKindDrift, 20, FT::Float32 },
    { "DI_driftCH", DataKindDrift, 24, FT::Float32 },
    { "DI_driftCO2", DataKindDrift, 28, FT::Float32 },
    { "DI_driftO2", DataKindDrift, 32, FT::Float32 },
    { "DI_driftNOx", DataKindDrift, 36, FT::Float32 },
} };

bool validCommand(int code)
{
    return code >= 0 && code < CommandCount;
}

} // namespace

// ---------------------------------------------------------------- commands

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

// ------------------------------------------------------------- records

WarmUpRecord WarmUpRecord::decode(const uint8_t *bytes)
{
    WarmUpRecord r;
    r.warmUpSeconds = readU16(bytes + 0);
    r.warmUpFinished = readU16(bytes + 2);
    r.fp_nado = readU16(bytes + 4);
    r.fp_Res = readU16(bytes + 6);
    r.fp_duty = readU16(bytes + 8);
    r.qu_duty = readU16(bytes + 10);
    r.term_f = static_cast<int8_t>(bytes[12]);
    r.term_q = static_cast<int8_t>(bytes[13]);
    return r;
}

void WarmUpRecord::encode(uint8_t *bytes) const
{
    writeU16(bytes + 0, warmUpSeconds);
    writeU16(bytes + 2, warmUpFinished);
    writeU16(bytes + 4, fp_nado);
    writeU16(bytes + 6, fp_Res);
    writeU16(bytes + 8, fp_duty);
    writeU16(bytes + 10, qu_duty);
    bytes[12] = static_cast<uint8_t>(term_f);
    bytes[13] = static_cast<uint8_t>(term_q);
}

ResultRecord ResultRecord::decode(const uint8_t *bytes)
{
    ResultRecord r;
    float *gases[] = { &r.gaseCO, &r.gaseCH, &r.gaseCO2, &r.gaseO2, &r.gaseNOx };
    double *prer[] = { &r.prer_CO, &r.prer_CH, &r.prer_CO2, &r.prer_O2, &r.prer_NOx };
    double *prez[] = { &r.prez_CO, &r.prez_CH, &r.prez_CO2, &r.prez_O2, &r.prez_NOx };
    for (int g = 0; g < 5; ++g) {
        *gases[g] = readF32(bytes + GasOffset + 4 * g);
        *prer[g] = readF64(bytes + PairOffset + PairStride * g);
        *prez[g] = readF64(bytes + PairOffset + PairStride * g + 8);
    }
    for (int i = 0; i < ReservedSize; ++i)
        r.reserved[i] = bytes[ReservedOffset + i];
    r.delta = readI16(bytes + DeltaOffset);
    r.paskal = readF32(bytes + PaskalOffset);
    r.pr_ekv = readF32(bytes + PrEkvOffset);
    r.lyambda = readF32(bytes + LyambdaOffset);
    r.tax = readU16(bytes + TaxOffset);
    r.tick_ms = readU32(bytes + TickOffset);
    r.reset_status = readI16(bytes + ResetStatusOffset);
    r.t_tick = readU16(bytes + TTickOffset);
    r.term_f = static_cast<int8_t>(bytes[TermFOffset]);
    r.term_q = static_cast<int8_t>(bytes[TermQOffset]);
    r.term_m = static_cast<int8_t>(bytes[TermMOffset]);
    r.spare = bytes[SpareOffset];
    return r;
}

void ResultRecord::encode(uint8_t *bytes) const
{
    const float gases[] = { gaseCO, gaseCH, gaseCO2, gaseO2, gaseNOx };
    const double prer[] = { prer_CO, prer_CH, prer_CO2, prer_O2, prer_NOx };
    const double prez[] = { prez_CO, prez_CH, prez_CO2, prez_O2, prez_NOx };
    for (int g = 0; g < 5; ++g) {
        writeF32(bytes + GasOffset + 4 * g, gases[g]);
        writeF64(bytes + PairOffset + PairStride * g, prer[g]);
        writeF64(bytes + PairOffset + PairStride * g + 8, prez[g]);
    }
    for (int i = 0; i < ReservedSize; ++i)
        bytes[ReservedOffset + i] = reserved[i];
    writeI16(bytes + DeltaOffset, delta);
    writeF32(bytes + PaskalOffset, paskal);
    writeF32(bytes + PrEkvOffset, pr_ekv);
    writeF32(bytes + LyambdaOffset, lyambda);
    writeU16(bytes + TaxOffset, tax);
    writeU32(bytes + TickOffset, tick_ms);
    writeI16(bytes + ResetStatusOffset, reset_status);
    writeU16(bytes + TTickOffset, t_tick);
    bytes[TermFOffset] = static_cast<uint8_t>(term_f);
    bytes[TermQOffset] = static_cast<uint8_t>(term_q);
    bytes[TermMOffset] = static_cast<uint8_t>(term_m);
    bytes[SpareOffset] = spare;
}

DriftInfoRecord DriftInfoRecord::decode(const uint8_t *bytes)
{
    DriftInfoRecord r;
    float *fields[] = { &r.DI_gaseCO, &r.DI_gaseCH, &r.DI_gaseCO2, &r.DI_gaseO2, &r.DI_gaseNOx,
        &r.DI_driftCO, &r.DI_driftCH, &r.DI_driftCO2, &r.DI_driftO2, &r.DI_driftNOx };
    for (int i = 0; i < 10; ++i)
        *fields[i] = readF32(bytes + 4 * i);
    return r;
}

void DriftInfoRecord::encode(uint8_t *bytes) const
{
    const float fields[] = { DI_gaseCO, DI_gaseCH, DI_gaseCO2, DI_gaseO2, DI_gaseNOx, DI_driftCO,
        DI_driftCH, DI_driftCO2, DI_driftO2, DI_driftNOx };
    for (int i = 0; i < 10; ++i)
        writeF32(bytes + 4 * i, fields[i]);
}

float TermRatioRecord::CO() const
{
    return readF32(bytes.data() + 0);
}

float TermRatioRecord::CH() const
{
    return readF32(bytes.data() + 4);
}

float TermRatioRecord::CO2() const
{
    return readF32(bytes.data() + 8);
}

uint16_t TermRatioRecord::fp_nado() const
{
    return readU16(bytes.data() + 4);
}

uint16_t TermRatioRecord::fp_Res() const
{
    return readU16(bytes.data() + 6);
}

uint16_t TermRatioRecord::fp_duty() const
{
    return readU16(bytes.data() + 8);
}

uint16_t TermRatioRecord::qu_duty() const
{
    return readU16(bytes.data() + 10);
}

int8_t TermRatioRecord::term_f() const
{
    return static_cast<int8_t>(bytes[12]);
}

int8_t TermRatioRecord::term_q() const
{
    return static_cast<int8_t>(bytes[13]);
}

TermRatioRecord TermRatioRecord::decode(const uint8_t *in)
{
    TermRatioRecord r;
    for (int i = 0; i < Size; ++i)
        r.bytes[i] = in[i];
    return r;
}

void TermRatioRecord::encode(uint8_t *out) const
{
    for (int i = 0; i < Size; ++i)
        out[i] = bytes[i];
}

std::string ConstantsRecord::formatFirmware(uint16_t version)
{
    char text[16];
    std::snprintf(text, sizeof text, "%x.%02x", version >> 8, version & 0xFF);
    return text;
}

ConstantsRecord ConstantsRecord::decode(const uint8_t *bytes)
{
    ConstantsRecord r;
    r.serialNumber = readU16(bytes + 0);
    r.firmwareVersion = readU16(bytes + 2);
    for (int i = 0; i < RestSize; ++i)
        r.rest[i] = bytes[4 + i];
    return r;
}

void ConstantsRecord::encode(uint8_t *bytes) const
{
    writeU16(bytes + 0, serialNumber);
    writeU16(bytes + 2, firmwareVersion);
    for (int i = 0; i < RestSize; ++i)
        bytes[4 + i] = rest[i];
}

ProgressPacket ProgressPacket::decode(const uint8_t *bytes)
{
    return ProgressPacket { bytes[0], bytes[1] };
}

void ProgressPacket::encode(uint8_t *bytes) const
{
    bytes[0] = status;
    bytes[1] = step;
}

double decodePressureAnswer(const uint8_t *bytes)
{
    return readF64(bytes);
}

int16_t decodeO2Answer(const uint8_t *bytes)
{
    return readI16(bytes);
}

int32_t decodeStretchAnswer(const uint8_t *bytes)
{
    return readI32(bytes);
}

// ------------------------------------------------------ classification

AnswerKind classifyAnswer(int commandCode, int count)
{
    if (count == 0)
        return AnswerKind::Empty;
    if (commandCode == ZMX_get_result || commandCode == ZMX_get_Drift_Info) {
        switch (count) {
        case DriftInfoRecord::Size:
            return AnswerKind::DriftInfo;
        case WarmUpRecord::Size:
            return AnswerKind::WarmUp;
        case ResultRecord::Size:
            return AnswerKind::Result;
        default:
            break;
        }
    }
    if (commandCode == ZMX_get_Term_Ratio && count == TermRatioRecord::Size)
        return AnswerKind::TermRatio;
    if (commandCode == ZMX_get_constant && count == ConstantsRecord::Size)
        return AnswerKind::Constants;
    if (count == ProgressPacket::Size)
        return AnswerKind::Progress;
    return AnswerKind::Raw;
}

DataKindCode dataKindOf(AnswerKind kind)
{
    switch (kind) {
    case AnswerKind::Progress:
        return DataKindProgress;
    case AnswerKind::WarmUp:
        return DataKindWarmUp;
    case AnswerKind::Result:
        return DataKindResult;
    case AnswerKind::DriftInfo:
        return DataKindDrift;
    case AnswerKind::TermRatio:
        return DataKindTermRatio;
    case AnswerKind::Empty:
    case AnswerKind::Constants:
    case AnswerKind::Raw:
        break;
    }
    return DataKindNone;
}

// ------------------------------------------------------- variable table

const std::array<VariableInfo, VariableCount> &variableTable()
{
    return Variables;
}

float variableValue(int index, const uint8_t *bytes)
{
    if (index < 0 || index >= VariableCount)
        return 0.0f;
    const VariableInfo &v = Variables[index];
    const uint8_t *p = bytes + v.offset;
    switch (v.type) {
    case FieldType::Int8:
        return static_cast<float>(static_cast<int8_t>(p[0]));
    case FieldType::Int16:
        return static_cast<float>(readI16(p));
    case FieldType::UInt16:
        return static_cast<float>(readU16(p));
    case FieldType::UInt32:
        return static_cast<float>(readU32(p));
    case FieldType::Float32:
        return readF32(p);
    case FieldType::Float64:
        return static_cast<float>(readF64(p));
    }
    return 0.0f;
}

VariableRange variableRange(DataKindCode kind)
{
    switch (kind) {
    case DataKindWarmUp:
        return { 0, 5 };
    case DataKindTermRatio:
        return { 6, 14 };
    case DataKindResult:
        return { 15, 40 };
    case DataKindDrift:
        return { 41, 50 };
    case DataKindNone:
    case DataKindProgress:
        break;
    }
    return { 0, -1 };
}
