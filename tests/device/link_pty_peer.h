#pragma once

// The instrument's end of a real pseudo-terminal pair, for tests and
// benchmarks of the link: the workstation opens slavePath() like a serial
// port, the test plays the instrument on the master.

#include "device/FrameCodec.h"
#include "device/FrameParser.h"
#include "device/MsClock.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/select.h>
#include <unistd.h>
#include <vector>

class PtyPeer
{
public:
    PtyPeer()
    {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ >= 0 && ::grantpt(master_) == 0 && ::unlockpt(master_) == 0) {
            const char *name = ::ptsname(master_);
            if (name != nullptr)
                slavePath_ = name;
        }
    }
    ~PtyPeer() { closeMaster(); }
    PtyPeer(const PtyPeer &) = delete;
    PtyPeer &operator=(const PtyPeer &) = delete;

    bool ok() const { return master_ >= 0 && !slavePath_.empty(); }
    const std::string &slavePath() const { return slavePath_; }
    int fd() const { return master_; }

    void closeMaster()
    {
        if (master_ >= 0)
            ::close(master_);
        master_ = -1;
    }

    void write(const std::vector<uint8_t> &bytes) const
    {
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
            if (n <= 0 && errno != EINTR && errno != EAGAIN)
                return;
            if (n > 0)
                done += static_cast<size_t>(n);
        }
    }
    void writeFrame(const std::vector<uint8_t> &data) const
    {
        write(FrameCodec::encodeFrame(data.data(), data.size()));
    }
    void ack() const { write({ FrameCodec::AckToken.begin(), FrameCodec::AckToken.end() }); }
    void nak() const { write({ FrameCodec::NakToken.begin(), FrameCodec::NakToken.end() }); }

    // Reads and parses until `count` units arrived or `timeoutMs` passed.
    std::vector<LinkUnit> readUnits(size_t count, uint32_t timeoutMs)
    {
        const uint32_t deadline = MsClock::now() + timeoutMs;
        while (units_.size() < count) {
            const uint32_t left = MsClock::remaining(deadline, MsClock::now());
            if (left == 0)
                break;
            fd_set set;
            FD_ZERO(&set);
            FD_SET(master_, &set);
            timeval tv { static_cast<time_t>(left / 1000),
                static_cast<suseconds_t>(left % 1000 * 1000) };
            if (::select(master_ + 1, &set, nullptr, nullptr, &tv) <= 0)
                continue;
            uint8_t chunk[1024];
            const ssize_t n = ::read(master_, chunk, sizeof chunk);
            if (n <= 0)
                break;
            parser_.feed(chunk, static_cast<size_t>(n), MsClock::now(), units_);
        }
        const size_t taken = std::min(count, units_.size());
        std::vector<LinkUnit> out(units_.begin(), units_.begin() + taken);
        units_.erase(units_.begin(), units_.begin() + taken);
        return out;
    }

private:
    int master_ = -1;
    std::string slavePath_;
    FrameParser parser_;
    std::vector<LinkUnit> units_;
};
