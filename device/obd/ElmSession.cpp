#include "device/obd/ElmSession.h"

#include "device/MsClock.h"
#include "device/obd/ObdDecode.h"

#include <algorithm>

namespace {

// Waits are cut into slices this long, so that giving up is quick.
constexpr uint32_t SliceMs = 50;
constexpr uint32_t WriteTimeoutMs = 500;
// Settling: a pause this long means the adapter has finished talking; it
// never takes longer than the limit.
constexpr uint32_t SettleQuietMs = 150;
constexpr uint32_t SettleLimitMs = 1000;
// "?" to the probe: what the line carried at another speed was left in the
// adapter's input and spoiled the command. The next one is clean.
constexpr int ProbeAttempts = 2;
constexpr size_t ReadChunk = 256;
constexpr const char *CommandEnd = "\r";

constexpr const char *Probe = "ATI";
constexpr const char *Reset = "ATZ";
constexpr const char *DescribeProtocol = "ATDPN";
// Echo off, line feeds off, spaces off, headers off, protocol automatic.
// The answers are read whatever the adapter made of these: an old version
// refuses "ATS0" and keeps its spaces.
constexpr const char *Settings[] = { "ATE0", "ATL0", "ATS0", "ATH0", "ATSP0" };
constexpr int LineSpeeds[] = { ElmSession::FastSpeed, ElmSession::SlowSpeed };

} // namespace

ElmSession::ElmSession(Transport &port, GiveUp giveUp, Clock clock)
    : m_port(port)
    , m_giveUp(std::move(giveUp))
    , m_clock(clock ? std::move(clock) : Clock(&MsClock::now))
{ }

ElmSession::Reply ElmSession::command(
    const std::string &command, uint32_t timeoutMs, uint32_t searchTimeoutMs)
{
    Reply reply;
    if (m_unsettled)
        settle();
    // Whatever is left on the line answers nothing we ask now.
    m_port.purge();
    const std::string line = command + CommandEnd;
    const Transport::IoResult written
        = m_port.write(reinterpret_cast<const uint8_t *>(line.data()), line.size(), WriteTimeoutMs);
    if (written != Transport::IoResult::Ok) {
        reply.result = written == Transport::IoResult::Timeout ? Result::Timeout : Result::PortLost;
        m_unsettled = true;
        return reply;
    }

    ElmReader reader;
    const uint32_t start = now();
    uint32_t deadline = start + timeoutMs;
    bool extended = false;
    uint8_t buffer[ReadChunk];
    for (;;) {
        if (m_giveUp && m_giveUp()) {
            reply.result = Result::GaveUp;
            break;
        }
        const uint32_t left = MsClock::remaining(deadline, now());
        if (left == 0) {
            reply.result = Result::Timeout;
            break;
        }
        size_t received = 0;
        const Transport::IoResult r
            = m_port.read(buffer, sizeof buffer, std::min(left, SliceMs), received);
        if (r == Transport::IoResult::Error || r == Transport::IoResult::NotOpen) {
            reply.result = Result::PortLost;
            break;
        }
        if (r != Transport::IoResult::Ok)
            continue;
        if (reader.feed(buffer, received)) {
            reply.result = Result::Answered;
            reply.answer = parseElmAnswer(reader.text(), command);
            return reply;
        }
        if (!extended && searchTimeoutMs > timeoutMs && reader.searching()) {
            extended = true;
            deadline = start + searchTimeoutMs;
        }
    }
    m_unsettled = true;
    return reply;
}

ElmSession::Request ElmSession::request(const std::string &command, uint32_t searchTimeoutMs)
{
    Request request;
    const Reply reply = this->command(command, RequestTimeoutMs, searchTimeoutMs);
    request.result = reply.result;
    if (!reply.answered())
        return request;
    request.outcome = reply.answer.outcome;
    request.remark = reply.answer.remark;
    if (request.outcome == ElmOutcome::Ok
        && !elmMessages(reply.answer.lines, request.messages, request.remark))
        request.outcome = ElmOutcome::Garbled;
    return request;
}

bool ElmSession::probe(std::string &version, Result &failure)
{
    for (int attempt = 0; attempt < ProbeAttempts; ++attempt) {
        const Reply reply = command(Probe, ProbeTimeoutMs);
        if (reply.result == Result::PortLost || reply.result == Result::GaveUp) {
            failure = reply.result;
            return false;
        }
        if (!reply.answered())
            return false;
        if (reply.answer.outcome == ElmOutcome::Ok && !reply.answer.lines.empty()) {
            version = reply.answer.lines.back();
            return true;
        }
    }
    return false;
}

ElmSession::Adapter ElmSession::initialize()
{
    Adapter adapter;
    for (const int speed : LineSpeeds) {
        if (!m_port.configure(speed))
            continue;
        m_unsettled = false;
        Result failure = Result::Timeout;
        if (probe(adapter.version, failure)) {
            adapter.lineSpeed = speed;
            break;
        }
        if (failure != Result::Timeout) {
            adapter.result = failure;
            return adapter;
        }
    }
    if (adapter.lineSpeed == 0) {
        adapter.failure = Probe;
        return adapter;
    }

    const Reply reset = command(Reset, ResetTimeoutMs);
    if (!reset.answered()) {
        adapter.result = reset.result;
        adapter.failure = Reset;
        return adapter;
    }
    // The reset text names the adapter; some clones print only the prompt.
    if (reset.answer.outcome == ElmOutcome::Ok && !reset.answer.lines.empty())
        adapter.version = reset.answer.lines.back();

    for (const char *setting : Settings) {
        const Reply reply = command(setting, SettingTimeoutMs);
        if (!reply.answered()) {
            adapter.result = reply.result;
            adapter.failure = setting;
            return adapter;
        }
        if (reply.answer.outcome != ElmOutcome::Ok)
            adapter.refused.push_back(setting);
    }
    adapter.result = Result::Answered;
    return adapter;
}

ElmSession::Vehicle ElmSession::findVehicle()
{
    Vehicle vehicle;
    vehicle.request = request(obd::RequestSupportedPids, SearchTimeoutMs);
    if (!vehicle.request.ok())
        return vehicle;
    const auto supported = obd::supportedPids(vehicle.request.messages);
    if (!supported) {
        vehicle.request.outcome = ElmOutcome::Garbled;
        vehicle.request.remark = "no answer to PID 00";
        return vehicle;
    }
    vehicle.supportedPids = *supported;
    const Reply protocol = command(DescribeProtocol, SettingTimeoutMs);
    if (protocol.answered() && protocol.answer.outcome == ElmOutcome::Ok
        && !protocol.answer.lines.empty())
        vehicle.protocolCode = protocol.answer.lines.front();
    else if (!protocol.answered())
        vehicle.request.result = protocol.result;
    return vehicle;
}

void ElmSession::settle()
{
    m_unsettled = false;
    const uint32_t limit = now() + SettleLimitMs;
    uint32_t quietUntil = now() + SettleQuietMs;
    uint8_t buffer[ReadChunk];
    for (;;) {
        if (m_giveUp && m_giveUp())
            return;
        const uint32_t t = now();
        const uint32_t left
            = std::min(MsClock::remaining(limit, t), MsClock::remaining(quietUntil, t));
        if (left == 0)
            return;
        size_t received = 0;
        const Transport::IoResult r
            = m_port.read(buffer, sizeof buffer, std::min(left, SliceMs), received);
        if (r == Transport::IoResult::Error || r == Transport::IoResult::NotOpen)
            return;
        if (r != Transport::IoResult::Ok)
            continue;
        // The prompt ends what the adapter had to say.
        if (std::find(buffer, buffer + received, uint8_t(ElmReader::Prompt)) != buffer + received)
            return;
        quietUntil = now() + SettleQuietMs;
    }
}
