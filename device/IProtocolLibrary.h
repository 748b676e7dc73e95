#pragma once

// The four operations of the protocol library, behind an interface so that the
// packet exchange's retry loops can be tested against a scripted double. The
// program itself always uses ProtocolLibrary.

#include <cstdint>

class Transport;

// Status values of data_out / data_in.
struct LinkStatus
{
    static constexpr int32_t Nothing = 0; // nothing within the wait
    static constexpr int32_t NoPort = 1; // no port, or the port is not configured
    static constexpr int32_t IoError = 2; // the system reported a read or write error
    static constexpr int32_t Ok = 15; // accepted / answer received
    static constexpr int32_t Refused = 21; // NAK
};

class IProtocolLibrary
{
public:
    virtual ~IProtocolLibrary() = default;

    // Keeps the open port; no input or output. nullptr forgets the port.
    virtual void SetCommPort(Transport *port) = 0;
    // Configures the kept port raw 8N1 at `speed`; discards pending data and
    // any kept frame. 1 = configured, 0 = no usable port or setting refused.
    virtual uint8_t InitCommPort(int32_t speed, int32_t reserved1, int32_t reserved2) = 0;
    // Sends one frame and waits up to waitTicks × 10 ms for the token.
    virtual int32_t data_out(
        const uint8_t *packet, uint16_t length, int32_t waitTicks, int32_t transmissions)
        = 0;
    // Hands over a kept frame or waits up to 100 ms for one; ACKs it.
    virtual int32_t data_in(uint8_t *buffer, uint16_t capacity, uint16_t *count, uint16_t *second)
        = 0;
    // Discards the port's pending data in both directions and the kept frame;
    // false when the system refuses.
    virtual bool purge() = 0;
    // Frames dropped because they were there before a packet went out: late
    // answers to earlier commands, never the answer to the packet sent.
    virtual uint32_t staleFrames() const { return 0; }
};
