// The variable name table of the data files: which record field each of the
// 51 variables reads, and its value converted to float32.

#include "device/Records.h"

#include "device/LittleEndian.h"
#include "device/RecordLayouts.h"

using namespace LittleEndian;
using namespace ResultLayout;

namespace {

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

} // namespace

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
