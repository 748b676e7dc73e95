#pragma once

// The packet exchange with the instrument: one 642-byte buffer for the out
// packet and the answer, the port, and the small bounded operations built on
// the protocol library (send one command, receive one answer, probe, switch
// the line speed, purge, close). Each send or receive retries for at most one
// second; a port that died (library status 2) ends it at once.
//
// Thread rule: an instance is used by one thread at a time and carries no
// lock. The user interface thread uses it during the connection sequence,
// while the polling cycle is stopped; the polling thread uses it otherwise.

#include "device/IProtocolLibrary.h"
#include "device/Records.h"
#include "device/Transport.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class PacketExchange
{
public:
    using Clock = std::function<uint32_t()>;

    // Send and receive retry for this long.
    static constexpr uint32_t RetryWindowMs = 1000;
    // Third and fourth arguments of data_out: 10 × 10 ms wait, one transmission.
    static constexpr int32_t SendWaitTicks = 10;
    static constexpr int32_t SendTransmissions = 1;
    static constexpr int LineSpeedFast = 38400;
    static constexpr int LineSpeedSlow = 1200;

    // The real serial port, protocol library and millisecond clock.
    PacketExchange();
    // For tests: any transport, library and clock. The library is handed the
    // transport by OpenPort.
    PacketExchange(std::unique_ptr<Transport> transport, std::unique_ptr<IProtocolLibrary> library,
        Clock clock);
    ~PacketExchange();
    PacketExchange(const PacketExchange &) = delete;
    PacketExchange &operator=(const PacketExchange &) = delete;

    // Closes a port left open, opens `name` (see SerialTransport::devicePath)
    // for exclusive use and hands it to the library. False when the port does
    // not exist or is taken; portError() tells why.
    bool OpenPort(const std::string &name);
    // Configures the open port at `speed` bit/s (InitCommPort); true on success.
    bool InitPort(int speed);
    bool isPortOpen() const;
    std::string portError() const;
    // What the last port failure means (open refused, device gone); None
    // while the port works.
    PortProblem portProblem() const;
    // True once after a send or receive met a dead or missing port (library
    // status 1 or 2); cleared by the call.
    bool takePortFailure();
    // Late frames the library dropped since the port was set up.
    uint32_t staleFrames() const { return library_->staleFrames(); }

    // Writes `code` at offset 0 and into CommandIndex, then sends the command's
    // out length from the buffer. Returns the last library status; 15 = sent.
    int32_t SendPacket(int code);
    // Receives one answer into the buffer. Returns the last status; 15 = answer
    // present, answerCount() bytes long.
    int32_t ReceiveAnswer();
    // SendPacket(ZMX_Dummy) accepted.
    bool PingDevice();
    // ZMX_Baud38400 with its word 0x3840 accepted.
    bool SwitchTo38400();
    // Discards pending port data both ways (and the library's kept frame):
    // 0, or -1 when refused.
    int32_t PurgePort();
    // Closes the port when one is open; always 0.
    int32_t ClosePort();

    // Sends `length` bytes of the buffer as they stand, with the retry loop,
    // without touching CommandIndex (the flow command after warm-up).
    int32_t SendRaw(int length);

    uint8_t *buffer() { return buffer_.data(); }
    const uint8_t *buffer() const { return buffer_.data(); }
    // The argument word at offset 2, written before a send that carries one.
    void setArgument(uint16_t argument);

    int32_t commandIndex() const { return commandIndex_; }
    int32_t lastSendStatus() const { return lastSendStatus_; }
    int32_t lastReceiveStatus() const { return lastReceiveStatus_; }
    uint16_t answerCount() const { return answerCount_; }
    uint16_t secondAnswerWord() const { return secondAnswerWord_; }

    IProtocolLibrary &library() { return *library_; }
    Transport &transport() { return *transport_; }

private:
    int32_t sendWithRetry(int length);

    std::unique_ptr<Transport> transport_;
    std::unique_ptr<IProtocolLibrary> library_;
    Clock clock_;
    std::array<uint8_t, PacketBufferSize> buffer_ {};
    std::array<int32_t, CommandTableSize> outLengths_ {};
    int32_t commandIndex_ = 0;
    int32_t lastSendStatus_ = 0;
    int32_t lastReceiveStatus_ = 0;
    uint16_t answerCount_ = 0;
    uint16_t secondAnswerWord_ = 0;
    bool portFailed_ = false;
};
