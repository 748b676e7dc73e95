#pragma once

// A protocol library that plays back scripted results and records what was
// sent, and a transport that does nothing, for tests of the packet exchange
// and of everything built on it. Each call moves the test's clock on by
// `stepMs`. Needs no Qt and no test framework.

#include "device/IProtocolLibrary.h"
#include "device/Transport.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <deque>
#include <string>
#include <thread>
#include <vector>

class ScriptedLibrary : public IProtocolLibrary
{
public:
    using Bytes = std::vector<uint8_t>;

    struct Answer
    {
        int32_t status;
        Bytes data;
        uint16_t second = 0;
    };

    ScriptedLibrary(uint32_t &clock, uint32_t stepMs)
        : clock_(clock)
        , step_(stepMs)
    { }

    std::deque<int32_t> sendResults;
    int32_t sendDefault = LinkStatus::Refused;
    std::deque<Answer> answers;
    int32_t receiveDefault = LinkStatus::Nothing;
    std::vector<Bytes> sent;
    int receiveCalls = 0;
    bool purgeResult = true;
    uint8_t initResult = 1;
    std::vector<int32_t> initSpeeds;
    std::chrono::milliseconds callTime { 0 };

    void SetCommPort(Transport *) override { }
    uint8_t InitCommPort(int32_t speed, int32_t, int32_t) override
    {
        initSpeeds.push_back(speed);
        return initResult;
    }
    int32_t data_out(const uint8_t *packet, uint16_t length, int32_t, int32_t) override
    {
        pass();
        sent.emplace_back(packet, packet + length);
        if (sendResults.empty())
            return sendDefault;
        const int32_t s = sendResults.front();
        sendResults.pop_front();
        return s;
    }
    int32_t data_in(uint8_t *buffer, uint16_t, uint16_t *count, uint16_t *second) override
    {
        pass();
        ++receiveCalls;
        if (answers.empty())
            return receiveDefault;
        Answer a = answers.front();
        answers.pop_front();
        if (a.status == LinkStatus::Ok) {
            std::copy(a.data.begin(), a.data.end(), buffer);
            *count = static_cast<uint16_t>(a.data.size());
        }
        *second = a.second;
        return a.status;
    }
    bool purge() override { return purgeResult; }

private:
    void pass()
    {
        clock_ += step_;
        if (callTime.count() > 0)
            std::this_thread::sleep_for(callTime);
    }
    uint32_t &clock_;
    uint32_t step_;
};

// A transport that is never used for I/O: the scripted library needs none.
// It opens unless told why not.
class IdleTransport : public Transport
{
public:
    PortProblem refuseWith = PortProblem::None;

    bool open(const std::string &) override
    {
        open_ = refuseWith == PortProblem::None;
        return open_;
    }
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }
    bool configure(int) override { return true; }
    IoResult write(const uint8_t *, size_t, uint32_t) override { return IoResult::Ok; }
    IoResult read(uint8_t *, size_t, uint32_t, size_t &n) override
    {
        n = 0;
        return IoResult::Timeout;
    }
    IoResult drain() override { return IoResult::Ok; }
    bool purge() override { return true; }
    std::string errorString() const override { return open_ ? std::string() : "refused"; }
    PortProblem problem() const override { return open_ ? PortProblem::None : refuseWith; }

private:
    bool open_ = false;
};
