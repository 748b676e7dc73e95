#pragma once

// The instrument's vocabulary: commands, program-status codes, key codes and
// the records it answers with. Every record is a little-endian byte layout,
// recognised by its length; the structs below hold the decoded fields and can
// write them back (the simulator plays the instrument with encode()).
// Free of Qt: the simulator and the fuzzers use it as it is.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

// One buffer carries the out packet and the answer.
constexpr int PacketBufferSize = 642;

// ---------------------------------------------------------------- commands

enum ZmxCommand : int32_t {
    ZMX_Dummy = 0,
    ZMX_set_flow = 1,
    ZMX_set_clear = 2,
    ZMX_set_zero = 3,
    ZMX_get_result = 4,
    ZMX_get_constant = 5,
    ZMX_set_constant = 6,
    ZMX_set_port_param = 7,
    ZMX_get_s_vector = 8,
    ZMX_set_s_vector = 9,
    ZMX_pressure = 10,
    ZMX_Shift_O2 = 11,
    ZMX_Ku_O2 = 12,
    ZMX_get_Term_Ratio = 13,
    ZMX_reset = 14,
    ZMX_Baud38400 = 15,
    ZMX_get_Drift_Info = 16,
    ZMX_Press_Key = 17,
    ZMX_Vrefm_par = 18,
};

constexpr int CommandCount = 19;
// The length table keeps one spare slot after the last command.
constexpr int CommandTableSize = 20;
// The speed switch carries the digits of the speed read as hex, not 38400.
constexpr uint16_t Baud38400Argument = 0x3840;
// Offset of the argument word / payload in an out packet.
constexpr int PacketPayloadOffset = 2;

// Name of a command code 0..18; "" for any other code.
const char *commandName(int code);
// Code of a command name; -1 when the name is unknown.
int commandCode(std::string_view name);
// Whole out packet length (code included) for 0..18; 0 for any other code.
int commandOutLength(int code);
// The 20-slot length table as the packet exchange keeps it (slot 19 is 0).
const std::array<int32_t, CommandTableSize> &commandOutLengthTable();

// ----------------------------------------------------- program-status codes

enum ZmxProgramStatus : uint8_t {
    ZMXprg_zero_pas1 = 0,
    ZMXprg_zero_aru = 1,
    ZMXprg_zero_pas2 = 2,
    ZMXprg_zero_end = 3,
    ZMXprg_pres_pas1 = 4,
    ZMXprg_shift_O2 = 5,
    ZMXprg_ku_O2 = 6,
    ZMXprg_zero_err1 = 7,
    ZMXprg_zero_err2 = 8,
    ZMXprg_term_err1 = 9,
    ZMXprg_term_err2 = 10,
    ZMXlow_flow_err = 11,
};

constexpr int ProgramStatusCount = 12;
constexpr int ProgramStatusTableSize = 20;

// Name of a program-status code 0..11; "" for any other code.
const char *programStatusName(int code);
const std::array<const char *, ProgramStatusTableSize> &programStatusNameTable();

// ------------------------------------------------------ instrument keys

// Key codes for ZMX_Press_Key.
enum ZmxKey : uint16_t {
    ZmxKeyCompressor = 1,
    ZmxKeyFullZero = 2,
    ZmxKeyPropane = 4,
    ZmxKeyFreeze = 9,
    ZmxKeyShortZero = 10,
};

// ------------------------------------------------------------- records

// Kind of the last answer as the polling thread publishes it (its DataKind).
enum DataKindCode : int32_t {
    DataKindNone = 0,
    DataKindWarmUp = 1,
    DataKindResult = 2,
    DataKindTermRatio = 3,
    DataKindProgress = 4,
    DataKindDrift = 5,
};

struct WarmUpRecord
{
    static constexpr int Size = 14;

    uint16_t warmUpSeconds = 0; // offset 0
    uint16_t warmUpFinished = 0; // offset 2, 1 = finished
    uint16_t fp_nado = 0;
    uint16_t fp_Res = 0;
    uint16_t fp_duty = 0;
    uint16_t qu_duty = 0;
    int8_t term_f = 0;
    int8_t term_q = 0;

    bool finished() const { return warmUpFinished == 1; }
    static WarmUpRecord decode(const uint8_t *bytes);
    void encode(uint8_t *bytes) const;
    bool operator==(const WarmUpRecord &) const = default;
};

struct ResultRecord
{
    static constexpr int Size = 144;
    static constexpr int ReservedOffset = 100;
    static constexpr int ReservedSize = 16;

    float gaseCO = 0; // %
    float gaseCH = 0; // ppm, shown multiplied by pr_ekv
    float gaseCO2 = 0; // %
    float gaseO2 = 0; // %
    float gaseNOx = 0; // ppm
    // Per-gas pairs at 20 + 16·g (prer) and 28 + 16·g (prez).
    double prer_CO = 0, prez_CO = 0;
    double prer_CH = 0, prez_CH = 0;
    double prer_CO2 = 0, prez_CO2 = 0;
    double prer_O2 = 0, prez_O2 = 0;
    double prer_NOx = 0, prez_NOx = 0;
    std::array<uint8_t, ReservedSize> reserved {}; // bytes 100..115, passed through
    int16_t delta = 0;
    float paskal = 0; // Pa
    float pr_ekv = 0;
    float lyambda = 0;
    uint16_t tax = 0; // rpm
    uint32_t tick_ms = 0;
    int16_t reset_status = 0;
    uint16_t t_tick = 0;
    int8_t term_f = 0;
    int8_t term_q = 0;
    int8_t term_m = 0;
    uint8_t spare = 0; // byte 143, passed through

    static ResultRecord decode(const uint8_t *bytes);
    void encode(uint8_t *bytes) const;
    bool operator==(const ResultRecord &) const = default;
};

struct DriftInfoRecord
{
    static constexpr int Size = 40;

    float DI_gaseCO = 0, DI_gaseCH = 0, DI_gaseCO2 = 0, DI_gaseO2 = 0, DI_gaseNOx = 0;
    float DI_driftCO = 0, DI_driftCH = 0, DI_driftCO2 = 0, DI_driftO2 = 0, DI_driftNOx = 0;

    static DriftInfoRecord decode(const uint8_t *bytes);
    void encode(uint8_t *bytes) const;
    bool operator==(const DriftInfoRecord &) const = default;
};

// Stored whole; the accessors read the overlapping views the data files use.
struct TermRatioRecord
{
    static constexpr int Size = 22;

    std::array<uint8_t, Size> bytes {};

    float CO() const;
    float CH() const;
    float CO2() const;
    uint16_t fp_nado() const;
    uint16_t fp_Res() const;
    uint16_t fp_duty() const;
    uint16_t qu_duty() const;
    int8_t term_f() const;
    int8_t term_q() const;

    static TermRatioRecord decode(const uint8_t *bytes);
    void encode(uint8_t *out) const;
    bool operator==(const TermRatioRecord &) const = default;
};

struct ConstantsRecord
{
    static constexpr int Size = 124;
    static constexpr int RestSize = Size - 4;

    uint16_t serialNumber = 0;
    uint16_t firmwareVersion = 0; // high byte major, low byte minor
    std::array<uint8_t, RestSize> rest {}; // stored whole, not interpreted

    // "%x.%02x" of the version's high and low byte: 0x0105 → "1.05".
    std::string firmwareText() const { return formatFirmware(firmwareVersion); }
    static std::string formatFirmware(uint16_t version);

    static ConstantsRecord decode(const uint8_t *bytes);
    void encode(uint8_t *bytes) const;
    bool operator==(const ConstantsRecord &) const = default;
};

// The instrument's spline: the answer to ZMX_get_s_vector and the payload of
// ZMX_set_s_vector; passed through, never interpreted.
constexpr int SplineVectorSize = 130;
using SplineVector = std::array<uint8_t, SplineVectorSize>;

// The 2-byte answer the instrument gives while it runs a procedure.
struct ProgressPacket
{
    static constexpr int Size = 2;

    uint8_t status = 0; // a ZmxProgramStatus code
    uint8_t step = 0;

    static ProgressPacket decode(const uint8_t *bytes);
    void encode(uint8_t *bytes) const;
    bool operator==(const ProgressPacket &) const = default;
};

// Final answers of the calibration procedures.
constexpr int PressureAnswerSize = 8; // float64 result
constexpr int O2AnswerSize = 4; // first int16 is the new coefficient
constexpr int StretchAnswerSize = 4; // int32 result
double decodePressureAnswer(const uint8_t *bytes);
int16_t decodeO2Answer(const uint8_t *bytes);
int32_t decodeStretchAnswer(const uint8_t *bytes);

// ------------------------------------------------------ classification

enum class AnswerKind {
    Empty, // count 0
    Progress, // 2 bytes: a progress packet
    WarmUp,
    Result,
    DriftInfo,
    TermRatio,
    Constants,
    Raw, // any other count: kept as bytes only
};

// What an answer of `count` bytes to command `commandCode` is. The queries
// 4 and 16 select their record by length alone (a 40-byte answer to
// ZMX_get_result is drift information).
AnswerKind classifyAnswer(int commandCode, int count);
// The DataKind an answer kind publishes; DataKindNone for Empty and Raw.
DataKindCode dataKindOf(AnswerKind kind);

// ------------------------------------------------------- variable table

enum class FieldType { Int8, Int16, UInt16, UInt32, Float32, Float64 };

struct VariableInfo
{
    const char *name;
    DataKindCode source;
    int offset;
    FieldType type;
};

constexpr int VariableCount = 51;

const std::array<VariableInfo, VariableCount> &variableTable();
// Reads variable `index` (0..50) from a record's bytes and converts it to
// float32: float32 as is, float64 rounded, integers by value and signedness.
// `bytes` must hold at least the record of the variable's source kind; the
// 642-byte packet buffer always does. Returns 0 for an unknown index.
float variableValue(int index, const uint8_t *bytes);

// Index range of the variables a record kind writes to files; first > last
// (empty) for kinds without files (none, progress).
struct VariableRange
{
    int first;
    int last;
    bool empty() const { return first > last; }
};
VariableRange variableRange(DataKindCode kind);
