#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

// The instrument's end of the line: the master side of a pseudo-terminal.
// The workstation opens the slave (through the symbolic link) as if it were
// a serial port. The port survives clients that come and go: while no client
// has the slave open the master reports a hang-up and reads fail with EIO,
// so the port is then only watched, not read, and what the instrument says
// is dropped.
class PtyPort
{
public:
    PtyPort() = default;
    ~PtyPort();
    PtyPort(const PtyPort &) = delete;
    PtyPort &operator=(const PtyPort &) = delete;

    // Opens a new pseudo-terminal and points `linkPath` (if not empty) at its
    // slave. Closes the previous one first. Returns false with `error` set.
    bool open(const std::string &linkPath, int listenSpeed, std::string &error);
    // Closes the master: a client that holds the slave gets I/O errors.
    void close();
    // Removes the symbolic link (at exit).
    void removeLink();

    bool isOpen() const { return m_master >= 0; }
    int fd() const { return m_master; }
    const std::string &slavePath() const { return m_slavePath; }

    // True while some client has the slave open.
    bool clientPresent();
    // Reads what arrived; returns the byte count (0 when nothing). Sets
    // `speed` to the speed the client has set on its side of the line.
    int read(uint8_t *buffer, int capacity, int &speed);
    // Speed the client has set on the slave (0 when it cannot be read).
    int clientSpeed() const;

    // The instrument's transmitter. Bytes queue and leave at `speed` bits per
    // second (10 bits per byte) when pacing is on. A client listening at
    // another speed receives noise instead.
    void setTransmitSpeed(int speed) { m_transmitSpeed = speed; }
    int transmitSpeed() const { return m_transmitSpeed; }
    void setPacing(bool on) { m_pacing = on; }
    void queue(const std::vector<uint8_t> &bytes);
    // Writes the bytes that are due by `nowUs`.
    void pump(int64_t nowUs);
    bool transmitIdle() const { return m_out.empty(); }
    // Drops what a client wrote that was not read yet.
    void discardInput();
    // Drops what has not left yet (the client went away).
    void discardOutput() { m_out.clear(); }

private:
    void setRaw(int speed);

    int m_master = -1;
    std::string m_slavePath;
    std::string m_linkPath;
    int m_transmitSpeed = 38400;
    bool m_pacing = true;
    std::deque<uint8_t> m_out;
    int64_t m_nextByteUs = 0;
};

// speed_t to bit/s and back, for the speeds a serial port offers.
int speedFromTermios(unsigned code);
unsigned termiosFromSpeed(int speed);
