#pragma once

// A serial port (or pseudo-terminal) through POSIX termios. Opened
// non-blocking and locked with flock so that a second program (or a second
// connect) cannot share the port; waits use select() with a time limit.

#include "device/Transport.h"

class SerialTransport : public Transport
{
public:
    SerialTransport() = default;
    ~SerialTransport() override;
    SerialTransport(const SerialTransport &) = delete;
    SerialTransport &operator=(const SerialTransport &) = delete;

    // The device path of a port name: a name with "/" is used as typed, "COMn"
    // means /dev/ttyS(n-1), any other bare name gets "/dev/" in front.
    static std::string devicePath(const std::string &name);

    bool open(const std::string &name) override;
    void close() override;
    bool isOpen() const override { return fd_ >= 0; }
    bool configure(int baud) override;
    IoResult write(const uint8_t *data, size_t length, uint32_t timeoutMs) override;
    IoResult read(uint8_t *data, size_t capacity, uint32_t timeoutMs, size_t &received) override;
    IoResult drain() override;
    bool purge() override;
    std::string errorString() const override { return error_; }
    PortProblem problem() const override { return problem_; }

    int fd() const { return fd_; }

private:
    IoResult fail(const char *what);
    bool failOpen(int fd, PortProblem problem, const std::string &text);

    int fd_ = -1;
    std::string error_;
    PortProblem problem_ = PortProblem::None;
};
