#include "tools/sim/Instrument.h"

#include "device/LittleEndian.h"
#include "tools/sim/PtyPort.h"
#include "tools/sim/SimLink.h"

#include <cmath>
#include <cstdio>

namespace {

constexpr int FastSpeed = 38400;
// A barometer reading outside this range (mm Hg) is a typing error: refused.
constexpr double LowestPressureMmHg = 400.0;
constexpr double HighestPressureMmHg = 1000.0;
constexpr int MsPerSecond = 1000;
constexpr int CoefficientCount = ConstantsRecord::RestSize / 4;

} // namespace

Instrument::Instrument(const Settings &settings, PtyPort &port, SimLink &link, int64_t nowMs)
    : m_port(port)
    , m_link(link)
    , m_model(settings.seed)
    , m_speed(settings.speed)
    , m_startMs(nowMs)
{
    m_port.setTransmitSpeed(m_speed);
    // The cell starts clean: its drift counts from now, not from the
    // machine's start (which the monotonic clock counts from).
    m_model.zeroCorrected(nowMs);
    m_constants.serialNumber = settings.serialNumber;
    m_constants.firmwareVersion = settings.firmwareVersion;
    // Calibration coefficients near one, as a fresh instrument carries them.
    for (int i = 0; i < CoefficientCount; ++i)
        LittleEndian::writeF32(
            m_constants.rest.data() + 4 * i, 1.0f + 0.01f * static_cast<float>(i));
    for (int i = 0; i < SplineVectorSize / 2; ++i)
        LittleEndian::writeU16(m_spline.data() + 2 * i, static_cast<uint16_t>(i * 1000));
    startWarmup(settings.warmupSeconds, nowMs);
}

void Instrument::log(const std::string &text)
{
    if (m_log)
        m_log(text);
}

void Instrument::startWarmup(int seconds, int64_t nowMs)
{
    // The record that says "finished" goes out once after a count-down, also
    // when a running one is cut short; an instrument started warm sends none.
    const bool wasWarmingUp = warmupSecondsLeft(nowMs) > 0 || !m_warmupEndReported;
    m_warmupTotal = seconds;
    m_warmupEndMs = nowMs + static_cast<int64_t>(seconds) * MsPerSecond;
    m_warmupEndReported = seconds <= 0 && !wasWarmingUp;
}

int Instrument::warmupSecondsLeft(int64_t nowMs) const
{
    if (nowMs >= m_warmupEndMs)
        return 0;
    return static_cast<int>((m_warmupEndMs - nowMs + MsPerSecond - 1) / MsPerSecond);
}

void Instrument::accept(int64_t nowMs)
{
    m_link.sendAck(nowMs);
}

void Instrument::refuse(int64_t nowMs, const std::string &why)
{
    log("refused: " + why);
    m_link.sendNak(nowMs);
}

void Instrument::answer(const uint8_t *bytes, int length, int64_t nowMs)
{
    m_link.sendFrame(std::vector<uint8_t>(bytes, bytes + length), nowMs);
}

void Instrument::handleFrame(const std::vector<uint8_t> &data, int64_t nowMs)
{
    if (data.size() < 2) {
        refuse(nowMs, "no command code");
        return;
    }
    const int code = LittleEndian::readU16(data.data());
    const int expected = commandOutLength(code);
    if (expected == 0) {
        refuse(nowMs, "unknown command " + std::to_string(code));
        return;
    }
    if (static_cast<int>(data.size()) != expected) {
        refuse(nowMs,
            std::string(commandName(code)) + " with " + std::to_string(data.size())
                + " bytes instead of " + std::to_string(expected));
        return;
    }
    if (m_procedures.running()) {
        // Busy: the refusal comes with the packet that says what it is doing.
        refuse(nowMs, std::string("busy with ") + ProcedureRunner::kindName(m_procedures.kind()));
        uint8_t packet[ProgressPacket::Size];
        m_procedures.progress(nowMs).encode(packet);
        m_link.sendFrame(std::vector<uint8_t>(packet, packet + ProgressPacket::Size), nowMs,
            SimLink::FrameKind::Progress);
        return;
    }
    if (m_refuseAll) {
        refuse(nowMs, "told to refuse everything");
        return;
    }

    const uint8_t *payload = data.data() + PacketPayloadOffset;
    const uint16_t word = data.size() >= 4 ? LittleEndian::readU16(payload) : 0;
    switch (code) {
    case ZMX_Dummy:
    case ZMX_reset:
        accept(nowMs);
        if (code == ZMX_reset) {
            // A restart: the operating time begins again and the last reset is remembered.
            m_startMs = nowMs;
            m_resetStatus = static_cast<int16_t>(word == 0 ? 1 : 2);
            log("reset with password " + std::to_string(word));
        }
        break;
    case ZMX_set_flow:
    case ZMX_set_clear:
        accept(nowMs);
        m_model.setCleanAir(code == ZMX_set_clear);
        break;
    case ZMX_set_zero:
        accept(nowMs);
        startProcedure(ProcedureRunner::Zero, 0, nowMs);
        break;
    case ZMX_get_result:
        accept(nowMs);
        answerResult(nowMs);
        break;
    case ZMX_get_constant: {
        accept(nowMs);
        uint8_t bytes[ConstantsRecord::Size];
        m_constants.encode(bytes);
        answer(bytes, ConstantsRecord::Size, nowMs);
        break;
    }
    case ZMX_set_constant:
        accept(nowMs);
        m_constants = ConstantsRecord::decode(payload);
        log("constants set: serial " + std::to_string(m_constants.serialNumber) + ", firmware "
            + m_constants.firmwareText());
        break;
    case ZMX_set_port_param:
        accept(nowMs);
        m_networkNumber = word;
        m_speedCode = LittleEndian::readU16(payload + 2);
        break;
    case ZMX_get_s_vector:
        accept(nowMs);
        answer(m_spline.data(), SplineVectorSize, nowMs);
        break;
    case ZMX_set_s_vector:
        accept(nowMs);
        std::copy(payload, payload + SplineVectorSize, m_spline.begin());
        break;
    case ZMX_pressure: {
        const double mmHg = LittleEndian::readF64(payload);
        if (!std::isfinite(mmHg) || mmHg < LowestPressureMmHg || mmHg > HighestPressureMmHg) {
            refuse(nowMs, "implausible reference pressure");
            return;
        }
        accept(nowMs);
        startProcedure(ProcedureRunner::Pressure, mmHg, nowMs);
        break;
    }
    case ZMX_Shift_O2:
        accept(nowMs);
        startProcedure(ProcedureRunner::ShiftO2, 0, nowMs);
        break;
    case ZMX_Ku_O2:
        accept(nowMs);
        startProcedure(ProcedureRunner::KuO2, static_cast<int16_t>(word), nowMs);
        break;
    case ZMX_get_Term_Ratio: {
        accept(nowMs);
        uint8_t bytes[TermRatioRecord::Size];
        m_model.termRatio(nowMs).encode(bytes);
        answer(bytes, TermRatioRecord::Size, nowMs);
        break;
    }
    case ZMX_Baud38400:
        if (word != SpeedSwitchWord) {
            refuse(nowMs, "speed switch without its word 0x3840");
            return;
        }
        accept(nowMs);
        // The acknowledgement still leaves at the old speed.
        m_switchPending = m_speed != FastSpeed;
        break;
    case ZMX_get_Drift_Info: {
        accept(nowMs);
        uint8_t bytes[DriftInfoRecord::Size];
        m_model.driftInfo(nowMs).encode(bytes);
        answer(bytes, DriftInfoRecord::Size, nowMs);
        break;
    }
    case ZMX_Press_Key:
        accept(nowMs);
        pressKey(word, nowMs);
        break;
    case ZMX_Vrefm_par:
        accept(nowMs);
        startProcedure(ProcedureRunner::Stretch, 0, nowMs);
        break;
    default:
        refuse(nowMs, "unhandled command");
        break;
    }
}

void Instrument::answerResult(int64_t nowMs)
{
    if (m_nextDrift) {
        m_nextDrift = false;
        uint8_t bytes[DriftInfoRecord::Size];
        m_model.driftInfo(nowMs).encode(bytes);
        answer(bytes, DriftInfoRecord::Size, nowMs);
        return;
    }
    const int left = warmupSecondsLeft(nowMs);
    if (left > 0 || !m_warmupEndReported) {
        m_warmupEndReported = left == 0;
        uint8_t bytes[WarmUpRecord::Size];
        m_model.warmUp(left, m_warmupTotal).encode(bytes);
        answer(bytes, WarmUpRecord::Size, nowMs);
        return;
    }
    ResultRecord r = m_model.result(nowMs, tickMs(nowMs));
    r.reset_status = m_resetStatus;
    uint8_t bytes[ResultRecord::Size];
    r.encode(bytes);
    answer(bytes, ResultRecord::Size, nowMs);
}

void Instrument::startProcedure(ProcedureRunner::Kind kind, double argument, int64_t nowMs)
{
    log(std::string("procedure ") + ProcedureRunner::kindName(kind) + " started");
    m_procedures.start(kind, nowMs, argument, m_model.level(GasModel::Pressure, nowMs));
}

void Instrument::startZero(int64_t nowMs)
{
    if (!m_procedures.running())
        startProcedure(ProcedureRunner::Zero, 0, nowMs);
}

void Instrument::pressKey(uint16_t key, int64_t nowMs)
{
    m_lastKey = key;
    log("key " + std::to_string(key));
    switch (key) {
    case ZmxKeyCompressor:
        m_compressorOn = !m_compressorOn;
        break;
    case ZmxKeyPropane: {
        // Switches the hydrocarbon display between propane and hexane.
        const bool propane = m_model.level(GasModel::PrEkv, nowMs) < 1.0;
        m_model.setLevel(GasModel::PrEkv, propane ? 1.0 : 0.52);
        break;
    }
    case ZmxKeyFullZero:
    case ZmxKeyShortZero:
        startZero(nowMs);
        break;
    default:
        break;
    }
}

void Instrument::advance(int64_t nowMs)
{
    std::optional<ProcedureRunner::Outcome> ended;
    if (auto step = m_procedures.advance(nowMs, ended)) {
        uint8_t packet[ProgressPacket::Size];
        step->encode(packet);
        m_link.sendFrame(std::vector<uint8_t>(packet, packet + ProgressPacket::Size), nowMs,
            SimLink::FrameKind::Progress);
    }
    if (ended) {
        log(std::string("procedure ") + ProcedureRunner::kindName(ended->kind)
            + (ended->failed ? " failed" : " ended") + ": ["
            + hexBytes(ended->answer.data(), ended->answer.size()) + "]");
        if (ended->kind == ProcedureRunner::Zero && !ended->failed)
            m_model.zeroCorrected(nowMs);
        if (ended->kind == ProcedureRunner::Pressure)
            m_model.calibratePressure(ended->pressurePa);
        m_link.sendFrame(ended->answer, nowMs, SimLink::FrameKind::Final);
    }
    if (m_switchPending && m_link.tokensSent() && m_port.transmitIdle()) {
        m_switchPending = false;
        m_speed = FastSpeed;
        m_port.setTransmitSpeed(m_speed);
        log("line speed now " + std::to_string(m_speed));
    }
}

std::string Instrument::describe(int64_t nowMs) const
{
    char text[512];
    std::snprintf(text, sizeof text,
        "speed=%d warmup=%d procedure=%s rpm=%d hold=%s flow=%s refuse=%s serial=%u "
        "firmware=0x%04x shift_o2=%d ku_o2=%d last_key=%u compressor=%s tick_ms=%u",
        m_speed, warmupSecondsLeft(nowMs), ProcedureRunner::kindName(m_procedures.kind()),
        m_model.rpm(), m_model.hold() ? "on" : "off", m_model.cleanAir() ? "air" : "sample",
        m_refuseAll ? "on" : "off", m_constants.serialNumber, m_constants.firmwareVersion,
        m_procedures.shiftO2(), m_procedures.gainO2(), m_lastKey, m_compressorOn ? "on" : "off",
        tickMs(nowMs));
    return text;
}
