#include "device/PacketExchange.h"

#include "device/LittleEndian.h"
#include "device/MsClock.h"
#include "device/ProtocolLibrary.h"
#include "device/SerialTransport.h"

#include <thread>
#include <utility>

namespace {

// A library that fails at once for want of a port would otherwise spin the
// retry loop flat out for a whole second.
constexpr auto NoPortPause = std::chrono::milliseconds(10);

// Whether to go on after a failed call: a port that died (an unplugged
// adapter) does not come back by asking again, only by reopening it, so the
// loop ends at once; without a port it goes on at a calm pace.
bool retryAfter(int32_t status, bool &portFailed)
{
    if (status == LinkStatus::IoError) {
        portFailed = true;
        return false;
    }
    if (status == LinkStatus::NoPort) {
        portFailed = true;
        std::this_thread::sleep_for(NoPortPause);
    }
    return true;
}

} // namespace

PacketExchange::PacketExchange()
    : PacketExchange(
        std::make_unique<SerialTransport>(), std::make_unique<ProtocolLibrary>(), &MsClock::now)
{ }

PacketExchange::PacketExchange(
    std::unique_ptr<Transport> transport, std::unique_ptr<IProtocolLibrary> library, Clock clock)
    : transport_(std::move(transport))
    , library_(std::move(library))
    , clock_(std::move(clock))
    , outLengths_(commandOutLengthTable())
{ }

PacketExchange::~PacketExchange()
{
    library_->SetCommPort(nullptr);
    transport_->close();
}

bool PacketExchange::OpenPort(const std::string &name)
{
    library_->SetCommPort(nullptr);
    transport_->close();
    if (!transport_->open(name))
        return false;
    library_->SetCommPort(transport_.get());
    return true;
}

bool PacketExchange::InitPort(int speed)
{
    return library_->InitCommPort(speed, 0, 0) != 0;
}

bool PacketExchange::isPortOpen() const
{
    return transport_->isOpen();
}

std::string PacketExchange::portError() const
{
    return transport_->errorString();
}

PortProblem PacketExchange::portProblem() const
{
    return transport_->problem();
}

bool PacketExchange::takePortFailure()
{
    return std::exchange(portFailed_, false);
}

void PacketExchange::setArgument(uint16_t argument)
{
    LittleEndian::writeU16(buffer_.data() + PacketPayloadOffset, argument);
}

int32_t PacketExchange::sendWithRetry(int length)
{
    lastSendStatus_ = LinkStatus::Nothing;
    const uint32_t deadline = clock_() + RetryWindowMs;
    // Compared by signed difference: a plain `<` would send nothing for a
    // second each time the 32-bit tick wraps (every 49.7 days).
    while (MsClock::before(clock_(), deadline) && lastSendStatus_ != LinkStatus::Ok) {
        lastSendStatus_ = library_->data_out(
            buffer_.data(), static_cast<uint16_t>(length), SendWaitTicks, SendTransmissions);
        if (!retryAfter(lastSendStatus_, portFailed_))
            break;
    }
    return lastSendStatus_;
}

int32_t PacketExchange::SendPacket(int code)
{
    const int length = code >= 0 && code < CommandTableSize ? outLengths_[code] : 0;
    LittleEndian::writeU16(buffer_.data(), static_cast<uint16_t>(code));
    commandIndex_ = code;
    return sendWithRetry(length);
}

int32_t PacketExchange::SendRaw(int length)
{
    return sendWithRetry(length);
}

int32_t PacketExchange::ReceiveAnswer()
{
    lastReceiveStatus_ = LinkStatus::Nothing;
    const uint32_t deadline = clock_() + RetryWindowMs;
    while (MsClock::before(clock_(), deadline) && lastReceiveStatus_ != LinkStatus::Ok) {
        lastReceiveStatus_ = library_->data_in(
            buffer_.data(), PacketBufferSize, &answerCount_, &secondAnswerWord_);
        if (!retryAfter(lastReceiveStatus_, portFailed_))
            break;
    }
    return lastReceiveStatus_;
}

bool PacketExchange::PingDevice()
{
    return SendPacket(ZMX_Dummy) == LinkStatus::Ok;
}

bool PacketExchange::SwitchTo38400()
{
    setArgument(Baud38400Argument);
    return SendPacket(ZMX_Baud38400) == LinkStatus::Ok;
}

int32_t PacketExchange::PurgePort()
{
    return library_->purge() ? 0 : -1;
}

int32_t PacketExchange::ClosePort()
{
    if (transport_->isOpen())
        transport_->close();
    return 0;
}
