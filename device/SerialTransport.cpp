#include "device/SerialTransport.h"

#include "device/MsClock.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/select.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr const char *DevicePrefix = "/dev/";
constexpr const char *ComPrefix = "COM";
constexpr const char *ComDevice = "/dev/ttyS";

struct SpeedRow
{
    int baud;
    speed_t code;
};

constexpr SpeedRow Speeds[] = {
    { 1200, B1200 },
    { 2400, B2400 },
    { 4800, B4800 },
    { 9600, B9600 },
    { 19200, B19200 },
    { 38400, B38400 },
    { 57600, B57600 },
    { 115200, B115200 },
};

bool parseComNumber(const std::string &name, int &number)
{
    const size_t prefix = std::strlen(ComPrefix);
    if (name.size() <= prefix || name.size() > prefix + 3)
        return false;
    for (size_t i = 0; i < prefix; ++i) {
        if (std::toupper(static_cast<unsigned char>(name[i])) != ComPrefix[i])
            return false;
    }
    number = 0;
    for (size_t i = prefix; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9')
            return false;
        number = number * 10 + (name[i] - '0');
    }
    return number >= 1;
}

// Waits for the descriptor to become readable or writable; Ok, Timeout or Error.
Transport::IoResult waitFor(int fd, bool forWrite, uint32_t timeoutMs)
{
    const uint32_t deadline = MsClock::now() + timeoutMs;
    for (;;) {
        fd_set set;
        FD_ZERO(&set);
        FD_SET(fd, &set);
        const uint32_t left = MsClock::remaining(deadline, MsClock::now());
        timeval tv { static_cast<time_t>(left / 1000),
            static_cast<suseconds_t>(left % 1000 * 1000) };
        const int n
            = ::select(fd + 1, forWrite ? nullptr : &set, forWrite ? &set : nullptr, nullptr, &tv);
        if (n > 0)
            return Transport::IoResult::Ok;
        if (n == 0)
            return Transport::IoResult::Timeout;
        if (errno != EINTR)
            return Transport::IoResult::Error;
    }
}

PortProblem problemOfOpenError(int error)
{
    switch (error) {
    case ENOENT:
    case ENXIO:
    case ENODEV:
    case ENOTDIR:
        return PortProblem::NotFound;
    case EACCES:
    case EPERM:
    case EROFS:
        return PortProblem::NoAccess;
    case EBUSY:
        return PortProblem::InUse;
    case EISDIR:
        return PortProblem::NotSerial;
    default:
        return PortProblem::OpenFailed;
    }
}

} // namespace

SerialTransport::~SerialTransport()
{
    close();
}

std::string SerialTransport::devicePath(const std::string &name)
{
    if (name.find('/') != std::string::npos)
        return name;
    int number = 0;
    if (parseComNumber(name, number))
        return ComDevice + std::to_string(number - 1);
    return DevicePrefix + name;
}

bool SerialTransport::open(const std::string &name)
{
    close();
    error_.clear();
    problem_ = PortProblem::None;
    if (name.empty())
        return failOpen(-1, PortProblem::NoName, "no port name");
    const std::string path = devicePath(name);
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return failOpen(-1, problemOfOpenError(errno), path + ": " + std::strerror(errno));
    // flock rather than TIOCEXCL: the kernel's exclusive flag does not stop root.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK)
            return failOpen(fd, PortProblem::InUse, path + ": port is in use");
        return failOpen(fd, PortProblem::OpenFailed, path + ": " + std::strerror(errno));
    }
    termios tio {};
    if (::tcgetattr(fd, &tio) != 0) {
        return failOpen(fd, PortProblem::NotSerial,
            path + ": not a serial port (" + std::strerror(errno) + ")");
    }
    fd_ = fd;
    return true;
}

bool SerialTransport::failOpen(int fd, PortProblem problem, const std::string &text)
{
    if (fd >= 0)
        ::close(fd);
    problem_ = problem;
    error_ = text;
    return false;
}

void SerialTransport::close()
{
    if (fd_ >= 0) {
        ::close(fd_); // releases the flock too
        fd_ = -1;
    }
}

bool SerialTransport::configure(int baud)
{
    if (fd_ < 0) {
        error_ = "port not open";
        return false;
    }
    speed_t code = 0;
    bool known = false;
    for (const SpeedRow &row : Speeds) {
        if (row.baud == baud) {
            code = row.code;
            known = true;
        }
    }
    if (!known) {
        error_ = "unsupported speed " + std::to_string(baud);
        return false;
    }
    termios tio {};
    if (::tcgetattr(fd_, &tio) != 0) {
        fail("tcgetattr");
        return false;
    }
    ::cfmakeraw(&tio);
    tio.c_cflag &= ~(CSTOPB | PARENB | CRTSCTS | CSIZE);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    if (::cfsetispeed(&tio, code) != 0 || ::cfsetospeed(&tio, code) != 0
        || ::tcsetattr(fd_, TCSANOW, &tio) != 0) {
        fail("tcsetattr");
        return false;
    }
    return true;
}

Transport::IoResult SerialTransport::fail(const char *what)
{
    error_ = std::string(what) + ": " + std::strerror(errno);
    problem_ = PortProblem::Lost;
    return IoResult::Error;
}

Transport::IoResult SerialTransport::write(const uint8_t *data, size_t length, uint32_t timeoutMs)
{
    if (fd_ < 0)
        return IoResult::NotOpen;
    const uint32_t deadline = MsClock::now() + timeoutMs;
    size_t done = 0;
    while (done < length) {
        const ssize_t n = ::write(fd_, data + done, length - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return fail("write");
        const uint32_t left = MsClock::remaining(deadline, MsClock::now());
        if (left == 0)
            return IoResult::Timeout;
        const IoResult ready = waitFor(fd_, true, left);
        if (ready == IoResult::Error)
            return fail("select");
    }
    return IoResult::Ok;
}

Transport::IoResult SerialTransport::read(
    uint8_t *data, size_t capacity, uint32_t timeoutMs, size_t &received)
{
    received = 0;
    if (fd_ < 0)
        return IoResult::NotOpen;
    const uint32_t deadline = MsClock::now() + timeoutMs;
    for (;;) {
        // Wait first: a terminal set to return at once reads 0 both when it is
        // empty and when it hung up; after select() says "readable", 0 means
        // the other side is gone.
        const IoResult ready = waitFor(fd_, false, MsClock::remaining(deadline, MsClock::now()));
        if (ready == IoResult::Error)
            return fail("select");
        if (ready == IoResult::Timeout)
            return IoResult::Timeout;
        const ssize_t n = ::read(fd_, data, capacity);
        if (n > 0) {
            received = static_cast<size_t>(n);
            return IoResult::Ok;
        }
        if (n == 0) {
            error_ = "read: the device hung up";
            problem_ = PortProblem::Lost;
            return IoResult::Error;
        }
        if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK)
            return fail("read");
        if (MsClock::remaining(deadline, MsClock::now()) == 0)
            return IoResult::Timeout;
    }
}

Transport::IoResult SerialTransport::drain()
{
    if (fd_ < 0)
        return IoResult::NotOpen;
    while (::tcdrain(fd_) != 0) {
        if (errno != EINTR)
            return fail("tcdrain");
    }
    return IoResult::Ok;
}

bool SerialTransport::purge()
{
    if (fd_ < 0) {
        error_ = "port not open";
        return false;
    }
    if (::tcflush(fd_, TCIOFLUSH) != 0) {
        fail("tcflush");
        return false;
    }
    return true;
}
