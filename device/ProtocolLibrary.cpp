#include "device/ProtocolLibrary.h"

#include "device/FrameCodec.h"
#include "device/MsClock.h"
#include "device/Transport.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint16_t SecondWordMask = 0xFFFF;
// One read takes at most this many bytes; a whole frame fits.
constexpr size_t ReadChunk = FrameCodec::MaxFrameLength;

} // namespace

ProtocolLibrary::ProtocolLibrary(Clock clock)
    : clock_(clock ? std::move(clock) : Clock(&MsClock::now))
{ }

void ProtocolLibrary::SetCommPort(Transport *port)
{
    port_ = port;
    configured_ = false;
    forgetInput();
}

uint8_t ProtocolLibrary::InitCommPort(int32_t speed, int32_t, int32_t)
{
    configured_ = false;
    forgetInput();
    damaged_ = 0;
    stale_ = 0;
    if (port_ == nullptr || !port_->isOpen())
        return 0;
    if (!port_->configure(speed))
        return 0;
    // Whatever was said at the old speed is noise now.
    if (!port_->purge())
        return 0;
    configured_ = true;
    return 1;
}

bool ProtocolLibrary::usable() const
{
    return port_ != nullptr && configured_ && port_->isOpen();
}

void ProtocolLibrary::forgetInput()
{
    parser_.reset();
    pending_.clear();
    pendingPos_ = 0;
    units_.clear();
    unitPos_ = 0;
    hasKept_ = false;
    kept_.clear();
    staleInParser_ = false;
    listened_ = false;
}

bool ProtocolLibrary::purge()
{
    forgetInput();
    if (port_ == nullptr || !port_->isOpen())
        return false;
    return port_->purge();
}

bool ProtocolLibrary::sendToken(const std::array<uint8_t, 2> &token)
{
    return port_->write(token.data(), token.size(), WriteTimeoutMs) == Transport::IoResult::Ok;
}

int32_t ProtocolLibrary::statusOf(Pump pump) const
{
    switch (pump) {
    case Pump::NotOpen:
        return LinkStatus::NoPort;
    case Pump::IoError:
        return LinkStatus::IoError;
    case Pump::Unit:
    case Pump::Timeout:
        break;
    }
    return LinkStatus::Nothing;
}

ProtocolLibrary::Pump ProtocolLibrary::nextUnit(uint32_t deadline, LinkUnit &unit)
{
    for (;;) {
        while (unitPos_ < units_.size()) {
            unit = std::move(units_[unitPos_++]);
            if (unit.kind == LinkUnit::Frame && staleInParser_) {
                staleInParser_ = false;
                if (!dropStale())
                    return Pump::IoError;
                continue;
            }
            if (unit.kind != LinkUnit::Damaged)
                return Pump::Unit;
            staleInParser_ = false;
            ++damaged_;
            // The sender repeats a frame we NAK; one we did not see end is
            // given up on by the sender's own time-out.
            if (unit.endSeen && !sendToken(FrameCodec::NakToken))
                return Pump::IoError;
        }
        units_.clear();
        unitPos_ = 0;

        // Feed what is already read one byte at a time, so that bytes after a
        // completed unit stay for the next call.
        if (pendingPos_ < pending_.size()) {
            while (pendingPos_ < pending_.size() && units_.empty())
                parser_.feed(pending_[pendingPos_++], pendingMs_, units_);
            continue;
        }

        // A frame still arriving when the last wait ended (a procedure step's
        // receive window closing, then the cycle's pause) goes on where it
        // stopped: the time nobody listened is no gap between its bytes.
        const uint32_t start = clock_();
        if (listened_)
            parser_.skipUnheard(MsClock::elapsed(listenedUntilMs_, start));
        uint8_t chunk[ReadChunk];
        size_t received = 0;
        const Transport::IoResult read
            = port_->read(chunk, sizeof chunk, MsClock::remaining(deadline, start), received);
        listenedUntilMs_ = clock_();
        listened_ = true;
        switch (read) {
        case Transport::IoResult::Ok:
            pending_.assign(chunk, chunk + received);
            pendingPos_ = 0;
            pendingMs_ = listenedUntilMs_;
            break;
        case Transport::IoResult::Timeout:
            return Pump::Timeout;
        case Transport::IoResult::NotOpen:
            return Pump::NotOpen;
        case Transport::IoResult::Error:
            return Pump::IoError;
        }
    }
}

void ProtocolLibrary::keep(std::vector<uint8_t> &&frame)
{
    // Kept unacknowledged for the next data_in; a newer one replaces it.
    kept_ = std::move(frame);
    hasKept_ = true;
}

bool ProtocolLibrary::dropStale()
{
    ++stale_;
    return sendToken(FrameCodec::AckToken);
}

int32_t ProtocolLibrary::dropWaitingUnits()
{
    if (hasKept_) {
        hasKept_ = false;
        kept_.clear();
        if (!dropStale())
            return LinkStatus::IoError;
    }
    LinkUnit unit;
    for (;;) {
        const Pump pump = nextUnit(clock_(), unit);
        if (pump == Pump::Timeout)
            break;
        if (pump != Pump::Unit)
            return statusOf(pump);
        if (unit.kind == LinkUnit::Frame && !dropStale())
            return LinkStatus::IoError;
    }
    staleInParser_ = parser_.inFrame();
    return LinkStatus::Ok;
}

int32_t ProtocolLibrary::data_out(
    const uint8_t *packet, uint16_t length, int32_t waitTicks, int32_t transmissions)
{
    if (!usable())
        return LinkStatus::NoPort;
    if (length > FrameCodec::MaxDataLength || (packet == nullptr && length > 0))
        return LinkStatus::Nothing;

    uint8_t frame[FrameCodec::MaxFrameLength];
    const size_t frameLength = FrameCodec::encodeFrame(packet, length, frame);
    const uint32_t waitMs = static_cast<uint32_t>(std::max(waitTicks, 0)) * WaitTickMs;
    bool refused = false;

    for (int32_t attempt = 0; attempt < std::max(transmissions, 1); ++attempt) {
        // What is already waiting answers an earlier packet, never this one:
        // taking it would shift every later answer by one.
        const int32_t early = dropWaitingUnits();
        if (early != LinkStatus::Ok)
            return early;

        switch (port_->write(frame, frameLength, WriteTimeoutMs)) {
        case Transport::IoResult::Ok:
            break;
        case Transport::IoResult::Timeout:
            return LinkStatus::Nothing;
        case Transport::IoResult::NotOpen:
            return LinkStatus::NoPort;
        case Transport::IoResult::Error:
            return LinkStatus::IoError;
        }
        if (port_->drain() != Transport::IoResult::Ok)
            return LinkStatus::IoError;

        // The wait starts once the frame has left; a NAK does not end it, an
        // ACK does.
        const uint32_t deadline = clock_() + waitMs;
        LinkUnit unit;
        for (;;) {
            const Pump pump = nextUnit(deadline, unit);
            if (pump == Pump::Timeout)
                break;
            if (pump != Pump::Unit)
                return statusOf(pump);
            if (unit.kind == LinkUnit::Ack)
                return LinkStatus::Ok;
            if (unit.kind == LinkUnit::Nak) {
                refused = true;
            } else if (unit.kind == LinkUnit::Frame) {
                keep(std::move(unit.data));
            }
        }
    }
    return refused ? LinkStatus::Refused : LinkStatus::Nothing;
}

int32_t ProtocolLibrary::data_in(
    uint8_t *buffer, uint16_t capacity, uint16_t *count, uint16_t *second)
{
    const auto report = [&](int32_t status) {
        if (second != nullptr)
            *second = static_cast<uint16_t>(damaged_ & SecondWordMask);
        return status;
    };
    if (!usable())
        return report(LinkStatus::NoPort);

    std::vector<uint8_t> data;
    if (hasKept_) {
        data = std::move(kept_);
        kept_.clear();
        hasKept_ = false;
    } else {
        const uint32_t deadline = clock_() + ReceiveWaitMs;
        LinkUnit unit;
        for (;;) {
            const Pump pump = nextUnit(deadline, unit);
            if (pump != Pump::Unit)
                return report(statusOf(pump));
            // Tokens here answer nothing of ours any more; only a frame counts.
            if (unit.kind == LinkUnit::Frame) {
                data = std::move(unit.data);
                break;
            }
        }
    }

    const size_t taken = std::min<size_t>(data.size(), buffer != nullptr ? capacity : 0);
    if (taken > 0)
        std::memcpy(buffer, data.data(), taken);
    if (count != nullptr)
        *count = static_cast<uint16_t>(taken);
    if (!sendToken(FrameCodec::AckToken))
        return report(LinkStatus::IoError);
    return report(LinkStatus::Ok);
}
