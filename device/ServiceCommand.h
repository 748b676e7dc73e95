#pragma once

// What the service command panel does with a command it is about to send:
// which parameter fields it offers for it and how the typed parameters are
// packed behind the command code. Free of widgets, so the packing rules are
// tested without a window and the panel only shows them.

#include "device/Records.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <array>

// The parameter fields of one command as the panel offers them.
struct ServiceCommandFields
{
    static constexpr int InputCount = 4;

    // Names and proposed values of the four inputs; "---" and "" when unused.
    std::array<QString, InputCount> inputNames;
    std::array<QString, InputCount> inputValues;
    // Name of the first result ("---" when the command has none shown).
    QString resultName;
    // Queries are proposed for repeated sending.
    bool repeat = false;
};

// Fields for the command `code` (0..18). `o2Shift` is the last O2 offset
// coefficient (-1 while unknown), proposed as the argument of ZMX_Ku_O2.
ServiceCommandFields serviceCommandFields(int code, qint16 o2Shift);

// A command ready for the polling thread: its code and the payload that goes
// behind it (from packet offset 2). An empty payload leaves the buffer's bytes
// as they are.
struct ServiceCommandRequest
{
    ZmxCommand code = ZMX_Dummy;
    QByteArray payload;
};

// What the panel has at hand for the commands that write the instrument's own
// data back: the constants and the spline read from it in this connection
// (nullptr where nothing was read).
struct ServiceCommandData
{
    const ConstantsRecord *constants = nullptr;
    const SplineVector *spline = nullptr;
};

// The service password the reset command proposes.
constexpr quint16 DefaultResetPassword = 47205;
// Atmospheric pressure proposed for the pressure-sensor calibration, mm Hg.
constexpr int DefaultPressureMmHg = 760;

// Packs the typed parameters of command `code`: integers for the argument
// word (ZMX_set_flow, ZMX_set_clear, ZMX_set_zero, ZMX_Ku_O2, ZMX_reset, the
// key code of ZMX_Press_Key), two numbers truncated toward zero for
// ZMX_set_port_param, a float64 for ZMX_pressure (decimal separator of the
// format settings). A number outside 16 bits keeps its low 16 bits.
//
// None of the commands sends leftovers of an earlier answer: the speed switch
// always carries its word 0x3840, ZMX_set_constant the constants read from
// the instrument, ZMX_set_s_vector the spline file named in the first input
// or, with that input empty, the spline read from the instrument. Without
// them the command is refused with the reason.
// Throws ConversionError ("'x' is not a valid integer value" / "... floating
// point value"), IoError (a spline file that cannot be used) or ZelmorError.
ServiceCommandRequest packServiceCommand(int code,
    const std::array<QString, ServiceCommandFields::InputCount> &inputs,
    const ServiceCommandData &data);

// The low 16 bits of a number truncated toward zero (0 for infinities and NaN).
quint16 low16Bits(double value);
