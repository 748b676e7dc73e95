#include "tools/sim/SimLink.h"

#include "device/FrameCodec.h"
#include "device/Records.h"
#include "tools/sim/PtyPort.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr int GarbageMinBytes = 2;
constexpr int GarbageMaxBytes = 8;
constexpr int GarbageMinGapMs = 100;
constexpr int GarbageMaxGapMs = 400;
constexpr int BitsPerByte = 10;
// Frame bytes from here on are DATA or CRC: damaging them gives a frame the
// receiver refuses, not one that swallows the line waiting for its length.
constexpr size_t FirstDamageableByte = 3;

// Line noise never looks like the start of a unit.
bool startsUnit(uint8_t b)
{
    return b == FrameCodec::StartByte || b == FrameCodec::AckByte || b == FrameCodec::NakByte;
}

const char *damageName(LinkUnit::Damage d)
{
    switch (d) {
    case LinkUnit::TooLong:
        return "too long";
    case LinkUnit::BadCrc:
        return "bad CRC";
    case LinkUnit::Gap:
        return "gap";
    default:
        return "?";
    }
}

} // namespace

std::string hexBytes(const uint8_t *bytes, size_t length, size_t max)
{
    std::string text;
    char part[4];
    for (size_t i = 0; i < length && i < max; ++i) {
        std::snprintf(part, sizeof part, i ? " %02x" : "%02x", bytes[i]);
        text += part;
    }
    if (length > max)
        text += " ...";
    return text;
}

SimLink::SimLink(PtyPort &port, uint32_t seed)
    : m_port(port)
    , m_random(seed ^ 0x5a5a5a5au)
{ }

void SimLink::log(const std::string &text)
{
    if (m_log)
        m_log(text);
}

void SimLink::receive(
    const uint8_t *bytes, int length, int64_t nowMs, std::vector<std::vector<uint8_t>> &frames)
{
    std::vector<LinkUnit> units;
    m_parser.feed(bytes, static_cast<size_t>(length), static_cast<uint32_t>(nowMs), units);
    for (LinkUnit &unit : units) {
        switch (unit.kind) {
        case LinkUnit::Frame: {
            ++m_counters.framesReceived;
            std::string text = "rx frame len=" + std::to_string(unit.data.size());
            if (unit.data.size() >= 2) {
                const int code = unit.data[0] | (unit.data[1] << 8);
                const char *name = commandName(code);
                text += " code=" + std::to_string(code) + " " + (*name ? name : "(unknown)");
            }
            log(text + " [" + hexBytes(unit.data.data(), unit.data.size()) + "]");
            if (!m_faults.silent)
                frames.push_back(std::move(unit.data));
            break;
        }
        case LinkUnit::Ack:
            ++m_counters.acksReceived;
            log("rx ACK");
            if (m_inFlight.active && !m_faults.silent) {
                m_inFlight.active = false;
                m_lastAckMs = nowMs;
            }
            break;
        case LinkUnit::Nak:
            ++m_counters.naksReceived;
            log("rx NAK");
            if (m_inFlight.active && !m_faults.silent) {
                if (m_inFlight.resends < MaxResends) {
                    ++m_inFlight.resends;
                    ++m_counters.resends;
                    transmit(nowMs);
                } else {
                    ++m_counters.givenUp;
                    m_inFlight.active = false;
                    log("frame given up after " + std::to_string(MaxResends) + " resends");
                }
            }
            break;
        case LinkUnit::Damaged:
            ++m_counters.damagedReceived;
            log(std::string("rx damaged frame (") + damageName(unit.damage) + ")"
                + (unit.endSeen ? ", refused" : ""));
            if (unit.endSeen && !m_faults.silent)
                sendNak(nowMs);
            break;
        }
    }
}

void SimLink::receiveNoise(int length, int speed)
{
    ++m_counters.noiseChunks;
    m_parser.reset();
    log("rx " + std::to_string(length) + " bytes at " + std::to_string(speed)
        + " bit/s: noise at the instrument's speed " + std::to_string(m_port.transmitSpeed()));
}

void SimLink::queueToken(const uint8_t *token, int64_t nowMs)
{
    if (m_faults.silent)
        return;
    m_scheduled.push_back({ nowMs + m_faults.tokenDelayMs, Scheduled::Token, FrameKind::Answer,
        std::vector<uint8_t>(token, token + 2) });
}

void SimLink::sendAck(int64_t nowMs)
{
    queueToken(FrameCodec::AckToken.data(), nowMs);
}

void SimLink::sendNak(int64_t nowMs)
{
    queueToken(FrameCodec::NakToken.data(), nowMs);
}

void SimLink::sendFrame(std::vector<uint8_t> data, int64_t nowMs, FrameKind kind)
{
    if (m_faults.silent)
        return;
    m_scheduled.push_back(
        { nowMs + m_faults.answerDelayMs, Scheduled::Frame, kind, std::move(data) });
}

bool SimLink::heldBack(int64_t nowMs) const
{
    return m_faults.splitFinal && !m_frames.empty() && m_frameKinds.front() == FrameKind::Final
        && nowMs < m_lastAckMs + SplitFinalStartMs;
}

void SimLink::transmit(int64_t nowMs, bool trickle)
{
    std::vector<uint8_t> frame
        = FrameCodec::encodeFrame(m_inFlight.data.data(), m_inFlight.data.size());
    std::uniform_real_distribution<double> dice(0.0, 1.0);
    if (m_faults.corruptShare > 0 && dice(m_random) < m_faults.corruptShare
        && frame.size() > FirstDamageableByte) {
        std::uniform_int_distribution<size_t> where(FirstDamageableByte, frame.size() - 1);
        frame[where(m_random)] ^= 0x10;
        ++m_counters.corrupted;
    }
    log("tx frame len=" + std::to_string(m_inFlight.data.size())
        + (m_inFlight.resends ? " (resend " + std::to_string(m_inFlight.resends) + ")" : "")
        + (trickle ? " (trickling)" : "") + " ["
        + hexBytes(m_inFlight.data.data(), m_inFlight.data.size()) + "]");
    // The give-up time counts from when the last byte has left.
    const int speed = std::max(1, m_port.transmitSpeed());
    int64_t lastByteMs = nowMs;
    if (trickle) {
        m_port.queue({ frame.front() });
        for (size_t i = 1; i < frame.size(); ++i) {
            lastByteMs = nowMs + static_cast<int64_t>(i) * SplitDripMs;
            m_scheduled.push_back({ lastByteMs, Scheduled::Bytes, FrameKind::Final, { frame[i] } });
        }
        frame.resize(1);
    } else {
        m_port.queue(frame);
    }
    m_inFlight.sentMs
        = lastByteMs + static_cast<int64_t>(frame.size()) * BitsPerByte * 1000 / speed;
}

void SimLink::tick(int64_t nowMs)
{
    if (m_faults.silent) {
        m_scheduled.clear();
        m_frames.clear();
        m_frameKinds.clear();
        m_inFlight.active = false;
        return;
    }
    // Release what is due, in the order it was decided; a late answer does
    // not hold up the tokens decided after it.
    for (auto it = m_scheduled.begin(); it != m_scheduled.end();) {
        if (it->dueMs > nowMs) {
            ++it;
            continue;
        }
        Scheduled s = std::move(*it);
        it = m_scheduled.erase(it);
        if (s.kind == Scheduled::Token) {
            log(s.bytes[0] == FrameCodec::AckByte ? "tx ACK" : "tx NAK");
            m_port.queue(s.bytes);
            continue;
        }
        if (s.kind == Scheduled::Bytes) {
            m_port.queue(s.bytes);
            continue;
        }
        if (s.frame == FrameKind::Progress && !m_frameKinds.empty()
            && m_frameKinds.back() == FrameKind::Progress) {
            m_frames.back() = std::move(s.bytes);
            continue;
        }
        m_frames.push_back(std::move(s.bytes));
        m_frameKinds.push_back(s.frame);
    }

    if (m_inFlight.active && nowMs - m_inFlight.sentMs >= GiveUpMs) {
        ++m_counters.givenUp;
        m_inFlight.active = false;
        log("frame given up: no token within " + std::to_string(GiveUpMs) + " ms");
    }
    if (!m_inFlight.active && !m_frames.empty() && !heldBack(nowMs)) {
        const bool trickle = m_faults.splitFinal && m_frameKinds.front() == FrameKind::Final;
        m_inFlight.active = true;
        m_inFlight.data = std::move(m_frames.front());
        m_inFlight.resends = 0;
        m_frames.pop_front();
        m_frameKinds.pop_front();
        ++m_counters.framesSent;
        transmit(nowMs, trickle);
    }

    if (m_faults.garbage && m_port.transmitIdle() && nowMs >= m_nextGarbageMs) {
        std::uniform_int_distribution<int> count(GarbageMinBytes, GarbageMaxBytes);
        std::uniform_int_distribution<int> byte(0, 255);
        std::vector<uint8_t> noise;
        for (int n = count(m_random); n > 0; --n) {
            uint8_t b;
            do
                b = static_cast<uint8_t>(byte(m_random));
            while (startsUnit(b));
            noise.push_back(b);
        }
        m_port.queue(noise);
        std::uniform_int_distribution<int> gap(GarbageMinGapMs, GarbageMaxGapMs);
        m_nextGarbageMs = nowMs + gap(m_random);
    }
}

bool SimLink::tokensSent() const
{
    return std::none_of(m_scheduled.begin(), m_scheduled.end(),
        [](const Scheduled &s) { return s.kind == Scheduled::Token; });
}

bool SimLink::idle() const
{
    return m_scheduled.empty() && m_frames.empty() && !m_inFlight.active && m_port.transmitIdle();
}

void SimLink::reset()
{
    m_parser.reset();
    m_scheduled.clear();
    m_frames.clear();
    m_frameKinds.clear();
    m_inFlight.active = false;
    m_port.discardOutput();
}

int64_t SimLink::nextDueMs(int64_t nowMs) const
{
    int64_t due = nowMs + 1000;
    for (const Scheduled &s : m_scheduled)
        due = std::min(due, s.dueMs);
    if (m_inFlight.active)
        due = std::min(due, m_inFlight.sentMs + GiveUpMs);
    else if (heldBack(nowMs))
        due = std::min(due, m_lastAckMs + SplitFinalStartMs);
    if (m_faults.garbage)
        due = std::min(due, m_nextGarbageMs);
    return std::max(due, nowMs);
}
