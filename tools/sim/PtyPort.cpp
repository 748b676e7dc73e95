#include "tools/sim/PtyPort.h"

#include "tools/sim/SimClock.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr int BitsPerByte = 10; // start bit, 8 data bits, stop bit
// A client that does not read lets the kernel buffer fill; beyond this the
// instrument drops what it says rather than growing without bound.
constexpr size_t MaxQueuedBytes = 16384;
// Largest chunk handed to write() at once.
constexpr size_t WriteChunk = 512;

struct SpeedEntry
{
    speed_t code;
    int bits;
};

constexpr SpeedEntry SpeedTable[] = {
    { B50, 50 },
    { B75, 75 },
    { B110, 110 },
    { B134, 134 },
    { B150, 150 },
    { B200, 200 },
    { B300, 300 },
    { B600, 600 },
    { B1200, 1200 },
    { B1800, 1800 },
    { B2400, 2400 },
    { B4800, 4800 },
    { B9600, 9600 },
    { B19200, 19200 },
    { B38400, 38400 },
    { B57600, 57600 },
    { B115200, 115200 },
    { B230400, 230400 },
};

} // namespace

int speedFromTermios(unsigned code)
{
    for (const SpeedEntry &e : SpeedTable)
        if (e.code == code)
            return e.bits;
    return 0;
}

unsigned termiosFromSpeed(int speed)
{
    for (const SpeedEntry &e : SpeedTable)
        if (e.bits == speed)
            return e.code;
    return B0;
}

PtyPort::~PtyPort()
{
    close();
}

bool PtyPort::open(const std::string &linkPath, int listenSpeed, std::string &error)
{
    close();
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        error = std::string("cannot open a pseudo-terminal: ") + std::strerror(errno);
        if (master >= 0)
            ::close(master);
        return false;
    }
    const char *slave = ptsname(master);
    if (!slave) {
        error = std::string("no slave name: ") + std::strerror(errno);
        ::close(master);
        return false;
    }
    m_master = master;
    m_slavePath = slave;
    fcntl(m_master, F_SETFD, FD_CLOEXEC);

    // A raw line from the start: with the default cooked settings the slave
    // would echo what the instrument sends back to it before a client has
    // configured the port.
    setRaw(listenSpeed);

    // Opening and closing the slave once makes the master report a hang-up
    // until a real client opens it, so "no client yet" and "client gone" look
    // the same.
    const int probe = ::open(slave, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (probe >= 0)
        ::close(probe);

    m_out.clear();
    m_linkPath = linkPath;
    if (!linkPath.empty()) {
        // Replace the link in one step, so a client never finds it missing.
        const std::string temp = linkPath + ".new";
        ::unlink(temp.c_str());
        if (::symlink(slave, temp.c_str()) != 0 || ::rename(temp.c_str(), linkPath.c_str()) != 0) {
            error = "cannot make the link " + linkPath + ": " + std::strerror(errno);
            ::unlink(temp.c_str());
            close();
            return false;
        }
    }
    return true;
}

void PtyPort::setRaw(int speed)
{
    termios t {};
    if (tcgetattr(m_master, &t) != 0)
        return;
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    cfsetspeed(&t, termiosFromSpeed(speed));
    tcsetattr(m_master, TCSANOW, &t);
}

void PtyPort::close()
{
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
    m_out.clear();
}

void PtyPort::removeLink()
{
    if (!m_linkPath.empty())
        ::unlink(m_linkPath.c_str());
}

bool PtyPort::clientPresent()
{
    if (m_master < 0)
        return false;
    pollfd p { m_master, POLLIN, 0 };
    if (::poll(&p, 1, 0) < 0)
        return false;
    return (p.revents & POLLHUP) == 0;
}

int PtyPort::clientSpeed() const
{
    termios t {};
    // On the master this reads the settings the client made on the slave.
    if (m_master < 0 || tcgetattr(m_master, &t) != 0)
        return 0;
    return speedFromTermios(cfgetospeed(&t));
}

int PtyPort::read(uint8_t *buffer, int capacity, int &speed)
{
    speed = 0;
    if (m_master < 0)
        return 0;
    const ssize_t n = ::read(m_master, buffer, static_cast<size_t>(capacity));
    if (n <= 0)
        return 0; // EAGAIN, or EIO while no client has the slave open
    // Read the speed right after the bytes: the client sets it before it
    // writes, so this is the speed these bytes were sent at.
    speed = clientSpeed();
    return static_cast<int>(n);
}

void PtyPort::queue(const std::vector<uint8_t> &bytes)
{
    if (m_out.size() + bytes.size() > MaxQueuedBytes)
        return;
    if (m_out.empty()) {
        const int64_t now = monotonicMicros();
        if (m_nextByteUs < now)
            m_nextByteUs = now;
    }
    m_out.insert(m_out.end(), bytes.begin(), bytes.end());
}

void PtyPort::pump(int64_t nowUs)
{
    if (m_master < 0 || m_out.empty())
        return;
    const int speed = m_transmitSpeed > 0 ? m_transmitSpeed : 38400;
    const int64_t byteUs = BitsPerByte * 1000000LL / speed;
    size_t due = m_out.size();
    if (m_pacing) {
        if (nowUs < m_nextByteUs)
            return;
        due = static_cast<size_t>((nowUs - m_nextByteUs) / byteUs + 1);
        due = std::min(due, m_out.size());
    }
    due = std::min(due, WriteChunk);

    // A receiver set to another speed sees framing errors, not our bytes.
    const bool mismatch = clientSpeed() != m_transmitSpeed;
    std::vector<uint8_t> chunk(m_out.begin(), m_out.begin() + static_cast<long>(due));
    if (mismatch)
        std::fill(chunk.begin(), chunk.end(), uint8_t { 0 });
    const ssize_t n = ::write(m_master, chunk.data(), chunk.size());
    if (n < 0) {
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            m_out.clear();
        return;
    }
    m_out.erase(m_out.begin(), m_out.begin() + n);
    if (m_pacing)
        m_nextByteUs += n * byteUs;
}

void PtyPort::discardInput()
{
    if (m_master >= 0)
        tcflush(m_master, TCIFLUSH);
}
