#include "device/LittleEndian.h"
#include "device/Records.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <vector>

using namespace LittleEndian;

namespace {

struct CommandCase
{
    int code;
    const char *name;
    int length;
};

const CommandCase Commands[] = {
    { 0, "ZMX_Dummy", 2 },
    { 1, "ZMX_set_flow", 4 },
    { 2, "ZMX_set_clear", 4 },
    { 3, "ZMX_set_zero", 4 },
    { 4, "ZMX_get_result", 2 },
    { 5, "ZMX_get_constant", 2 },
    { 6, "ZMX_set_constant", 126 },
    { 7, "ZMX_set_port_param", 6 },
    { 8, "ZMX_get_s_vector", 2 },
    { 9, "ZMX_set_s_vector", 132 },
    { 10, "ZMX_pressure", 10 },
    { 11, "ZMX_Shift_O2", 4 },
    { 12, "ZMX_Ku_O2", 4 },
    { 13, "ZMX_get_Term_Ratio", 2 },
    { 14, "ZMX_reset", 4 },
    { 15, "ZMX_Baud38400", 4 },
    { 16, "ZMX_get_Drift_Info", 2 },
    { 17, "ZMX_Press_Key", 4 },
    { 18, "ZMX_Vrefm_par", 2 },
};

std::vector<uint8_t> randomBytes(size_t n, unsigned seed)
{
    std::mt19937 gen(seed);
    std::vector<uint8_t> bytes(n);
    for (auto &b : bytes)
        b = static_cast<uint8_t>(gen());
    return bytes;
}

} // namespace

TEST(CommandTable, NamesAndLengthsByCode)
{
    for (const CommandCase &c : Commands) {
        SCOPED_TRACE(c.name);
        EXPECT_STREQ(commandName(c.code), c.name);
        EXPECT_EQ(commandCode(c.name), c.code);
        EXPECT_EQ(commandOutLength(c.code), c.length);
        EXPECT_EQ(commandOutLengthTable()[c.code], c.length);
    }
}

TEST(CommandTable, UnknownCodesAndNamesAreEmpty)
{
    for (int code : { -1, 19, 20, 1000 }) {
        EXPECT_STREQ(commandName(code), "");
        EXPECT_EQ(commandOutLength(code), 0);
    }
    EXPECT_EQ(commandOutLengthTable()[19], 0);
    EXPECT_EQ(commandCode("ZMX_dummy"), -1);
    EXPECT_EQ(commandCode(""), -1);
}

TEST(ProgramStatus, NamesByCode)
{
    const char *names[]
        = { "ZMXprg_zero_pas1", "ZMXprg_zero_aru", "ZMXprg_zero_pas2", "ZMXprg_zero_end",
              "ZMXprg_pres_pas1", "ZMXprg_shift_O2", "ZMXprg_ku_O2", "ZMXprg_zero_err1",
              "ZMXprg_zero_err2", "ZMXprg_term_err1", "ZMXprg_term_err2", "ZMXlow_flow_err" };
    for (int code = 0; code < 12; ++code)
        EXPECT_STREQ(programStatusName(code), names[code]);
    EXPECT_STREQ(programStatusName(12), "");
    EXPECT_STREQ(programStatusNameTable()[19], "");
    EXPECT_EQ(ZMXprg_zero_end, 3);
}

TEST(WarmUpRecord, DecodesFieldsAndSignedTemperatures)
{
    std::array<uint8_t, WarmUpRecord::Size> b {};
    writeU16(&b[0], 754);
    writeU16(&b[2], 1);
    writeU16(&b[4], 0xFFFF);
    writeU16(&b[6], 2);
    writeU16(&b[8], 3);
    writeU16(&b[10], 4);
    b[12] = 0xF6; // -10 °C
    b[13] = 0x7F;
    const WarmUpRecord r = WarmUpRecord::decode(b.data());
    EXPECT_EQ(r.warmUpSeconds, 754);
    EXPECT_TRUE(r.finished());
    EXPECT_EQ(r.fp_nado, 0xFFFF);
    EXPECT_EQ(r.fp_Res, 2);
    EXPECT_EQ(r.fp_duty, 3);
    EXPECT_EQ(r.qu_duty, 4);
    EXPECT_EQ(r.term_f, -10);
    EXPECT_EQ(r.term_q, 127);

    writeU16(&b[2], 2); // only the value 1 means finished
    EXPECT_FALSE(WarmUpRecord::decode(b.data()).finished());
}

TEST(ResultRecord, DecodesEveryFieldAtItsOffset)
{
    std::array<uint8_t, ResultRecord::Size> b {};
    const float gases[] = { 1.25f, 345.0f, 14.5f, 0.75f, 120.0f };
    for (int g = 0; g < 5; ++g) {
        writeF32(&b[4 * g], gases[g]);
        writeF64(&b[20 + 16 * g], 100.0 + g);
        writeF64(&b[28 + 16 * g], -200.0 - g);
    }
    b[100] = 0xAA;
    b[115] = 0xBB;
    writeI16(&b[116], -300);
    writeF32(&b[118], 101325.0f);
    writeF32(&b[122], 0.52f);
    writeF32(&b[126], 1.02f);
    writeU16(&b[130], 65000);
    writeU32(&b[132], 0x80000001u);
    writeI16(&b[136], -2);
    writeU16(&b[138], 40000);
    b[140] = 0x80; // -128
    b[141] = 25;
    b[142] = 0xFF; // -1
    b[143] = 0x5A;

    const ResultRecord r = ResultRecord::decode(b.data());
    EXPECT_EQ(r.gaseCO, 1.25f);
    EXPECT_EQ(r.gaseCH, 345.0f);
    EXPECT_EQ(r.gaseCO2, 14.5f);
    EXPECT_EQ(r.gaseO2, 0.75f);
    EXPECT_EQ(r.gaseNOx, 120.0f);
    const double prer[] = { r.prer_CO, r.prer_CH, r.prer_CO2, r.prer_O2, r.prer_NOx };
    const double prez[] = { r.prez_CO, r.prez_CH, r.prez_CO2, r.prez_O2, r.prez_NOx };
    for (int g = 0; g < 5; ++g) {
        EXPECT_EQ(prer[g], 100.0 + g) << g;
        EXPECT_EQ(prez[g], -200.0 - g) << g;
    }
    EXPECT_EQ(r.reserved[0], 0xAA);
    EXPECT_EQ(r.reserved[15], 0xBB);
    EXPECT_EQ(r.delta, -300);
    EXPECT_EQ(r.paskal, 101325.0f);
    EXPECT_EQ(r.pr_ekv, 0.52f);
    EXPECT_EQ(r.lyambda, 1.02f);
    EXPECT_EQ(r.tax, 65000);
    EXPECT_EQ(r.tick_ms, 0x80000001u);
    EXPECT_EQ(r.reset_status, -2);
    EXPECT_EQ(r.t_tick, 40000);
    EXPECT_EQ(r.term_f, -128);
    EXPECT_EQ(r.term_q, 25);
    EXPECT_EQ(r.term_m, -1);
    EXPECT_EQ(r.spare, 0x5A);
}

TEST(DriftInfoRecord, DecodesTenFloatsInOrder)
{
    std::array<uint8_t, DriftInfoRecord::Size> b {};
    for (int i = 0; i < 10; ++i)
        writeF32(&b[4 * i], 0.5f * static_cast<float>(i + 1));
    const DriftInfoRecord r = DriftInfoRecord::decode(b.data());
    EXPECT_EQ(r.DI_gaseCO, 0.5f);
    EXPECT_EQ(r.DI_gaseNOx, 2.5f);
    EXPECT_EQ(r.DI_driftCO, 3.0f);
    EXPECT_EQ(r.DI_driftNOx, 5.0f);
}

TEST(TermRatioRecord, OverlappingViewsReadTheSameBytes)
{
    std::array<uint8_t, TermRatioRecord::Size> b {};
    writeF32(&b[0], 1.5f);
    writeF32(&b[4], -2.0f);
    writeF32(&b[8], 3.0f);
    b[12] = 0xEC; // -20
    b[13] = 30;
    const TermRatioRecord r = TermRatioRecord::decode(b.data());
    EXPECT_EQ(r.CO(), 1.5f);
    EXPECT_EQ(r.CH(), -2.0f);
    EXPECT_EQ(r.CO2(), 3.0f);
    EXPECT_EQ(r.fp_nado(), readU16(&b[4]));
    EXPECT_EQ(r.fp_Res(), readU16(&b[6]));
    EXPECT_EQ(r.fp_duty(), readU16(&b[8]));
    EXPECT_EQ(r.qu_duty(), readU16(&b[10]));
    EXPECT_EQ(r.term_f(), -20);
    EXPECT_EQ(r.term_q(), 30);
}

TEST(ConstantsRecord, SerialNumberAndFirmwareText)
{
    std::array<uint8_t, ConstantsRecord::Size> b {};
    writeU16(&b[0], 51234);
    writeU16(&b[2], 0x0105);
    b[123] = 0x77;
    const ConstantsRecord r = ConstantsRecord::decode(b.data());
    EXPECT_EQ(r.serialNumber, 51234);
    EXPECT_EQ(r.firmwareText(), "1.05");
    EXPECT_EQ(r.rest.back(), 0x77);

    const std::pair<uint16_t, const char *> versions[] = { { 0x0102, "1.02" }, { 0x1a05, "1a.05" },
        { 0x0000, "0.00" }, { 0x0a0f, "a.0f" }, { 0xFFFF, "ff.ff" } };
    for (const auto &[word, text] : versions)
        EXPECT_EQ(ConstantsRecord::formatFirmware(word), text) << std::hex << word;
}

template <typename Record> void expectByteRoundTrip(unsigned seed)
{
    const std::vector<uint8_t> in = randomBytes(Record::Size, seed);
    std::vector<uint8_t> out(Record::Size, 0xCC);
    Record::decode(in.data()).encode(out.data());
    EXPECT_EQ(in, out) << "record of " << Record::Size << " bytes, seed " << seed;
}

TEST(Records, EncodeOfDecodeGivesTheSameBytes)
{
    for (unsigned seed = 1; seed <= 20; ++seed) {
        expectByteRoundTrip<WarmUpRecord>(seed);
        expectByteRoundTrip<ResultRecord>(seed);
        expectByteRoundTrip<DriftInfoRecord>(seed);
        expectByteRoundTrip<TermRatioRecord>(seed);
        expectByteRoundTrip<ConstantsRecord>(seed);
        expectByteRoundTrip<ProgressPacket>(seed);
    }
}

TEST(Records, DecodeOfEncodeGivesTheSameFields)
{
    ResultRecord r;
    r.gaseCO = 0.1f;
    r.prez_NOx = 1e300;
    r.delta = -1;
    r.tick_ms = 4000000000u;
    r.term_m = -40;
    std::array<uint8_t, ResultRecord::Size> b {};
    r.encode(b.data());
    EXPECT_EQ(ResultRecord::decode(b.data()), r);

    WarmUpRecord w;
    w.warmUpSeconds = 600;
    w.term_q = -5;
    std::array<uint8_t, WarmUpRecord::Size> wb {};
    w.encode(wb.data());
    EXPECT_EQ(WarmUpRecord::decode(wb.data()), w);
}

TEST(FinalAnswers, DecodeProcedureResults)
{
    std::array<uint8_t, 8> b {};
    writeF64(b.data(), 101.325);
    EXPECT_EQ(decodePressureAnswer(b.data()), 101.325);
    writeI16(b.data(), -1234);
    writeI16(b.data() + 2, 0x7777); // the second word is not part of the coefficient
    EXPECT_EQ(decodeO2Answer(b.data()), -1234);
    writeI32(b.data(), -70000);
    EXPECT_EQ(decodeStretchAnswer(b.data()), -70000);
    const uint8_t progress[] = { ZMXprg_zero_end, 200 };
    EXPECT_EQ(ProgressPacket::decode(progress), (ProgressPacket { 3, 200 }));
}

TEST(AnswerClassification, ByCommandAndLength)
{
    struct Case
    {
        int code;
        int count;
        AnswerKind kind;
    };
    const Case cases[] = {
        { ZMX_get_result, 14, AnswerKind::WarmUp },
        { ZMX_get_result, 144, AnswerKind::Result },
        { ZMX_get_result, 40, AnswerKind::DriftInfo }, // drift info also answers get_result
        { ZMX_get_Drift_Info, 40, AnswerKind::DriftInfo },
        { ZMX_get_Drift_Info, 144, AnswerKind::Result },
        { ZMX_get_Drift_Info, 14, AnswerKind::WarmUp },
        { ZMX_get_result, 0, AnswerKind::Empty },
        { ZMX_get_result, 2, AnswerKind::Progress },
        { ZMX_set_zero, 2, AnswerKind::Progress },
        { ZMX_get_result, 22, AnswerKind::Raw },
        { ZMX_get_result, 124, AnswerKind::Raw },
        { ZMX_get_result, 143, AnswerKind::Raw },
        { ZMX_get_result, 642, AnswerKind::Raw },
        { ZMX_get_Term_Ratio, 22, AnswerKind::TermRatio },
        { ZMX_get_Term_Ratio, 14, AnswerKind::Raw },
        { ZMX_get_constant, 124, AnswerKind::Constants },
        { ZMX_get_constant, 100, AnswerKind::Raw },
        { ZMX_pressure, 8, AnswerKind::Raw },
        { ZMX_Dummy, 0, AnswerKind::Empty },
    };
    for (const Case &c : cases)
        EXPECT_EQ(classifyAnswer(c.code, c.count), c.kind) << c.code << " / " << c.count;

    EXPECT_EQ(dataKindOf(AnswerKind::WarmUp), DataKindWarmUp);
    EXPECT_EQ(dataKindOf(AnswerKind::Result), DataKindResult);
    EXPECT_EQ(dataKindOf(AnswerKind::TermRatio), DataKindTermRatio);
    EXPECT_EQ(dataKindOf(AnswerKind::Progress), DataKindProgress);
    EXPECT_EQ(dataKindOf(AnswerKind::DriftInfo), DataKindDrift);
    EXPECT_EQ(dataKindOf(AnswerKind::Raw), DataKindNone);
}

TEST(VariableTable, NamesRangesAndFieldsFitTheirRecords)
{
    const auto &table = variableTable();
    ASSERT_EQ(table.size(), 51u);
    const std::pair<int, const char *> names[] = {
        { 0, "fp_nado" },
        { 5, "term_q" },
        { 6, "CO" },
        { 8, "CO2" },
        { 9, "fp_nado" },
        { 14, "term_q" },
        { 15, "gaseCO" },
        { 19, "gaseNOx" },
        { 20, "prer_CO" },
        { 24, "prer_NOx" },
        { 25, "prez_CO" },
        { 29, "prez_NOx" },
        { 30, "delta" },
        { 33, "lyambda" },
        { 34, "tax" },
        { 35, "tick_ms" },
        { 37, "t_tick" },
        { 38, "term_f" },
        { 40, "term_m" },
        { 41, "DI_gaseCO" },
        { 50, "DI_driftNOx" },
    };
    for (const auto &[index, name] : names)
        EXPECT_STREQ(table[index].name, name) << index;

    const auto sizeOf = [](FieldType t) {
        switch (t) {
        case FieldType::Int8:
            return 1;
        case FieldType::Int16:
        case FieldType::UInt16:
            return 2;
        case FieldType::UInt32:
        case FieldType::Float32:
            return 4;
        case FieldType::Float64:
            return 8;
        }
        return 0;
    };
    const std::pair<DataKindCode, int> kinds[]
        = { { DataKindWarmUp, WarmUpRecord::Size }, { DataKindTermRatio, TermRatioRecord::Size },
              { DataKindResult, ResultRecord::Size }, { DataKindDrift, DriftInfoRecord::Size } };
    int covered = 0;
    for (const auto &[kind, size] : kinds) {
        const VariableRange range = variableRange(kind);
        for (int i = range.first; i <= range.last; ++i) {
            EXPECT_EQ(table[i].source, kind) << i;
            EXPECT_LE(table[i].offset + sizeOf(table[i].type), size) << i;
            ++covered;
        }
    }
    EXPECT_EQ(covered, 51);
    EXPECT_TRUE(variableRange(DataKindNone).empty());
    EXPECT_TRUE(variableRange(DataKindProgress).empty());
}

TEST(VariableTable, ConvertsEachTypeToFloat32)
{
    std::array<uint8_t, PacketBufferSize> buf {};
    writeF64(&buf[20], 0.1); // prer_CO: rounded, not truncated
    writeF64(&buf[92], -1e300); // prez_NOx: beyond float range
    writeI16(&buf[116], -300); // delta
    writeU16(&buf[130], 65535); // tax
    writeU32(&buf[132], 3000000000u); // tick_ms stays positive
    buf[142] = 0xD8; // term_m -40
    writeF32(&buf[0], 0.1f);

    EXPECT_EQ(variableValue(20, buf.data()), 0.1f);
    EXPECT_TRUE(std::isinf(variableValue(29, buf.data())));
    EXPECT_LT(variableValue(29, buf.data()), 0.0f);
    EXPECT_EQ(variableValue(30, buf.data()), -300.0f);
    EXPECT_EQ(variableValue(34, buf.data()), 65535.0f);
    EXPECT_EQ(variableValue(35, buf.data()), 3000000000.0f);
    EXPECT_EQ(variableValue(40, buf.data()), -40.0f);
    EXPECT_EQ(variableValue(15, buf.data()), 0.1f);

    // Beyond 2^24 the float32 loses the last digits.
    writeU32(&buf[132], 16777217u);
    EXPECT_EQ(variableValue(35, buf.data()), 16777216.0f);

    // Term ratio: bytes 4..7 are both "CH" and fp_nado/fp_Res.
    writeF32(&buf[4], 2.0f);
    EXPECT_EQ(variableValue(7, buf.data()), 2.0f);
    EXPECT_EQ(variableValue(9, buf.data()), static_cast<float>(readU16(&buf[4])));
    EXPECT_EQ(variableValue(10, buf.data()), static_cast<float>(readU16(&buf[6])));

    EXPECT_EQ(variableValue(-1, buf.data()), 0.0f);
    EXPECT_EQ(variableValue(51, buf.data()), 0.0f);
}
