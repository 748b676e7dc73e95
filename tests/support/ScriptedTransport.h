#pragma once

// A port whose input arrives at scripted moments of a scripted clock, for the
// link's tests and fuzz targets. Needs no Qt and no test framework.

#include "device/Transport.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

class ScriptedTransport : public Transport
{
public:
    struct Arrival
    {
        uint32_t afterMs; // clock advance before these bytes arrive
        std::vector<uint8_t> bytes;
    };

    explicit ScriptedTransport(uint32_t &clock)
        : clock_(clock)
    { }

    std::deque<Arrival> arrivals;
    std::vector<uint8_t> written;

    bool open(const std::string &) override { return open_ = true; }
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }
    bool configure(int) override { return true; }
    IoResult write(const uint8_t *data, size_t length, uint32_t) override
    {
        written.insert(written.end(), data, data + length);
        return IoResult::Ok;
    }
    // Waits up to timeoutMs of the scripted clock for the next arrival; what
    // does not fit in the buffer stays for the next read.
    IoResult read(uint8_t *data, size_t capacity, uint32_t timeoutMs, size_t &received) override
    {
        received = 0;
        if (arrivals.empty() || arrivals.front().afterMs > timeoutMs) {
            clock_ += timeoutMs;
            if (!arrivals.empty())
                arrivals.front().afterMs -= timeoutMs;
            return IoResult::Timeout;
        }
        Arrival &a = arrivals.front();
        clock_ += a.afterMs;
        a.afterMs = 0;
        received = std::min(capacity, a.bytes.size());
        std::copy(a.bytes.begin(), a.bytes.begin() + received, data);
        a.bytes.erase(a.bytes.begin(), a.bytes.begin() + received);
        if (a.bytes.empty())
            arrivals.pop_front();
        return IoResult::Ok;
    }
    IoResult drain() override { return IoResult::Ok; }
    bool purge() override { return true; }
    std::string errorString() const override { return {}; }

private:
    uint32_t &clock_;
    bool open_ = false;
};
