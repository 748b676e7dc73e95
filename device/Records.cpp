// Decoding and encoding the instrument's records, and telling an answer's
// kind by its length.

#include "device/Records.h"

#include "device/LittleEndian.h"
#include "device/RecordLayouts.h"

#include <cstdio>

using namespace LittleEndian;
using namespace ResultLayout;

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
