#pragma once

// A byte pipe to the instrument. The real serial port, the simulator's
// pseudo-terminal and a test double all sit behind this interface.

#include <cstddef>
#include <cstdint>
#include <string>

// Why a port cannot be used: it could not be opened, or it stopped working.
enum class PortProblem {
    None,
    NoName, // no port name given
    NotFound, // no such device
    NoAccess, // the system denies access
    InUse, // another program (or another connect) holds it
    NotSerial, // a file, folder or other device that is no serial port
    OpenFailed, // refused for another reason
    Lost, // an open port failed: the device hung up or reports I/O errors
};

class Transport
{
public:
    enum class IoResult {
        Ok, // done (read: at least one byte)
        Timeout, // nothing within the time allowed
        NotOpen, // no port, or the port is not usable
        Error, // the system reported an error: the device is gone or broken
    };

    virtual ~Transport() = default;

    // Opens the named port for exclusive use; false (with errorString()) when
    // it does not exist, is taken or refuses.
    virtual bool open(const std::string &name) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Raw 8N1, no flow control, at `baud` bit/s; false when refused.
    virtual bool configure(int baud) = 0;
    // Writes all bytes, waiting at most `timeoutMs` for room in the port.
    virtual IoResult write(const uint8_t *data, size_t length, uint32_t timeoutMs) = 0;
    // Reads what is there, waiting at most `timeoutMs` for the first byte;
    // `received` gets the count (0 unless Ok).
    virtual IoResult read(uint8_t *data, size_t capacity, uint32_t timeoutMs, size_t &received) = 0;
    // Waits until written bytes have left the port.
    virtual IoResult drain() = 0;
    // Discards pending input and output; false when the system refuses.
    virtual bool purge() = 0;
    // Text of the last failure, for logs and status lines.
    virtual std::string errorString() const = 0;
    // What the last failure means for the operator; None while the port works.
    virtual PortProblem problem() const { return PortProblem::None; }
};
