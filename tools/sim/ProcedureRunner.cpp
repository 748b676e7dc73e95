#include "tools/sim/ProcedureRunner.h"

#include "device/LittleEndian.h"

#include <algorithm>
#include <cmath>

namespace {

// The workstation shows zero correction and pressure calibration out of 200
// steps, both oxygen calibrations out of 159.
constexpr int ZeroSteps = 200;
constexpr int O2Steps = 159;
constexpr int StretchSteps = 100;
constexpr double PascalPerMmHg = 133.322368;

} // namespace

const char *ProcedureRunner::kindName(Kind kind)
{
    switch (kind) {
    case Zero:
        return "zero";
    case Pressure:
        return "pressure";
    case ShiftO2:
        return "shift_o2";
    case KuO2:
        return "ku_o2";
    case Stretch:
        return "stretch";
    default:
        return "none";
    }
}

void ProcedureRunner::start(Kind kind, int64_t nowMs, double argument, double measuredPressurePa)
{
    m_kind = kind;
    m_startMs = nowMs;
    m_lastStep = -1;
    m_argument = argument;
    m_measuredPa = measuredPressurePa;
}

uint8_t ProcedureRunner::stepAt(int64_t nowMs) const
{
    const int max = (m_kind == ShiftO2 || m_kind == KuO2) ? O2Steps
        : m_kind == Stretch                               ? StretchSteps
                                                          : ZeroSteps;
    const double share
        = std::clamp(double(nowMs - m_startMs) / std::max(1, m_durationMs), 0.0, 1.0);
    return static_cast<uint8_t>(std::lround(share * max));
}

uint8_t ProcedureRunner::statusAt(int64_t nowMs) const
{
    switch (m_kind) {
    case Zero: {
        // Three passes: the first zero, the gain adjustment, the second zero.
        const int64_t third = std::max(1, m_durationMs / 3);
        const int64_t elapsed = nowMs - m_startMs;
        if (elapsed < third)
            return ZMXprg_zero_pas1;
        if (elapsed < 2 * third)
            return ZMXprg_zero_aru;
        return ZMXprg_zero_pas2;
    }
    case Pressure:
        return ZMXprg_pres_pas1;
    case ShiftO2:
        return ZMXprg_shift_O2;
    case KuO2:
        return ZMXprg_ku_O2;
    case Stretch:
        // The stretch has no code of its own; it reports the gain pass.
        return ZMXprg_zero_aru;
    default:
        return ZMXprg_zero_end;
    }
}

ProgressPacket ProcedureRunner::progress(int64_t nowMs) const
{
    ProgressPacket p;
    p.status = statusAt(nowMs);
    p.step = stepAt(nowMs);
    return p;
}

std::optional<ProgressPacket> ProcedureRunner::advance(int64_t nowMs, std::optional<Outcome> &ended)
{
    ended.reset();
    if (m_kind == None)
        return std::nullopt;
    if (nowMs - m_startMs >= m_durationMs) {
        ended = finish();
        return std::nullopt;
    }
    const int step = static_cast<int>((nowMs - m_startMs) / StepIntervalMs);
    if (step == m_lastStep)
        return std::nullopt;
    m_lastStep = step;
    return progress(nowMs);
}

ProcedureRunner::Outcome ProcedureRunner::finish()
{
    Outcome out;
    out.kind = m_kind;
    switch (m_kind) {
    case Zero: {
        ProgressPacket end;
        end.status = m_zeroFails ? ZMXprg_zero_err1 : ZMXprg_zero_end;
        end.step = m_zeroFails ? ZeroSteps / 2 : ZeroSteps;
        out.failed = m_zeroFails;
        out.answer.resize(ProgressPacket::Size);
        end.encode(out.answer.data());
        break;
    }
    case Pressure: {
        // The reference is the pressure the operator read off a barometer, in
        // mm Hg; the answer is the sensor's new correction factor.
        const double referencePa = m_argument * PascalPerMmHg;
        const double factor = m_measuredPa > 0 ? referencePa / m_measuredPa : 1.0;
        out.pressurePa = referencePa;
        out.answer.resize(PressureAnswerSize);
        LittleEndian::writeF64(out.answer.data(), factor);
        break;
    }
    case ShiftO2:
        m_shiftO2 = static_cast<int16_t>(m_shiftO2 + 3);
        out.coefficient = m_shiftO2;
        out.answer.assign(O2AnswerSize, 0);
        LittleEndian::writeI16(out.answer.data(), m_shiftO2);
        break;
    case KuO2: {
        // The gain is worked out against the offset the workstation sent.
        const int16_t offset = static_cast<int16_t>(m_argument);
        m_gainO2 = static_cast<int16_t>(2048 + (offset - 112) / 2);
        out.coefficient = m_gainO2;
        out.answer.assign(O2AnswerSize, 0);
        LittleEndian::writeI16(out.answer.data(), m_gainO2);
        break;
    }
    case Stretch:
        m_stretch += 16;
        out.answer.resize(StretchAnswerSize);
        LittleEndian::writeI32(out.answer.data(), m_stretch);
        break;
    case None:
        break;
    }
    m_kind = None;
    return out;
}
