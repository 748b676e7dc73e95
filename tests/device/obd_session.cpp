// The dialogue with the adapter on a scripted clock: which line speed,
// which version text, which settings refused, and that every wait ends
// where its limit says: a slow reset within its limit, one beyond it, a
// search that takes seconds, an adapter that answers nothing at all.

#include "device/obd/ElmSession.h"
#include "device/obd/ObdDecode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace {

// An adapter that answers each command from a script, at a line speed of
// its own, the pieces of an answer coming after the given delays.
class ScriptedAdapter : public Transport
{
public:
    struct Piece
    {
        uint32_t afterMs;
        std::string text;
    };
    struct Step
    {
        std::string command;
        std::vector<Piece> pieces;
    };

    ScriptedAdapter(uint32_t &clock, int speed, const std::vector<Step> &script)
        : m_clock(clock)
        , m_answersAt(speed)
    {
        for (const Step &s : script)
            m_script[s.command].push_back(s.pieces);
    }

    bool open(const std::string &) override { return true; }
    void close() override { }
    bool isOpen() const override { return true; }
    bool configure(int baud) override
    {
        m_speed = baud;
        return true;
    }
    IoResult write(const uint8_t *data, size_t length, uint32_t) override
    {
        for (size_t i = 0; i < length; ++i) {
            if (data[i] != '\r') {
                m_command += char(data[i]);
                continue;
            }
            auto &answers = m_script[m_command];
            if (m_speed == m_answersAt && !answers.empty()) {
                for (const Piece &p : answers.front())
                    m_pending.push_back({ m_clock + p.afterMs, p.text });
                std::stable_sort(m_pending.begin(), m_pending.end(),
                    [](const Piece &a, const Piece &b) { return a.afterMs < b.afterMs; });
                if (answers.size() > 1)
                    answers.erase(answers.begin());
            }
            m_command.clear();
        }
        return IoResult::Ok;
    }
    IoResult read(uint8_t *data, size_t capacity, uint32_t timeoutMs, size_t &received) override
    {
        received = 0;
        if (m_pending.empty() || m_pending.front().afterMs > m_clock + timeoutMs) {
            m_clock += timeoutMs;
            return IoResult::Timeout;
        }
        m_clock = std::max(m_clock, m_pending.front().afterMs);
        const std::string text = m_pending.front().text;
        m_pending.erase(m_pending.begin());
        received = std::min(capacity, text.size());
        std::copy(text.begin(), text.begin() + long(received), data);
        return IoResult::Ok;
    }
    IoResult drain() override { return IoResult::Ok; }
    // What has arrived is dropped; what the adapter says later is not.
    bool purge() override
    {
        std::erase_if(m_pending, [this](const Piece &p) { return p.afterMs <= m_clock; });
        return true;
    }
    std::string errorString() const override { return {}; }

private:
    uint32_t &m_clock;
    int m_answersAt;
    int m_speed = 0;
    std::string m_command;
    std::map<std::string, std::vector<std::vector<Piece>>> m_script;
    std::vector<Piece> m_pending; // afterMs holds the moment it arrives
};

using Step = ScriptedAdapter::Step;

const std::vector<Step> Settings = {
    { "ATE0", { { 5, "ATE0\rOK\r\r>" } } },
    { "ATL0", { { 5, "OK\r\r>" } } },
    { "ATS0", { { 5, "OK\r\r>" } } },
    { "ATH0", { { 5, "OK\r\r>" } } },
    { "ATSP0", { { 5, "OK\r\r>" } } },
};

std::vector<Step> adapter(std::vector<Step> steps, bool withSettings = true)
{
    if (withSettings)
        steps.insert(steps.end(), Settings.begin(), Settings.end());
    return steps;
}

std::string outcome(const ElmSession::Adapter &a)
{
    if (a.result != ElmSession::Result::Answered)
        return "failed at " + a.failure;
    std::string refused;
    for (const std::string &r : a.refused)
        refused += " " + r;
    return std::to_string(a.lineSpeed) + " " + a.version + refused;
}

TEST(ObdSession, AdapterIsFoundWithinItsLimits)
{
    const Step ati = { "ATI", { { 20, "ATI\rELM327 v1.5\r\r>" } } };
    const struct
    {
        const char *name;
        int speed;
        std::vector<Step> script;
        const char *expected;
        uint32_t withinMs; // the whole initialisation ends by then
    } rows[] = {
        { "plain", 38400, adapter({ ati, { "ATZ", { { 900, "ATZ\r\r\rELM327 v1.5\r\r>" } } } }),
            "38400 ELM327 v1.5", 1100 },
        { "slow clone reset", 38400,
            adapter({ ati, { "ATZ", { { 4500, "\r\rELM327 v2.1\r\r>" } } } }), "38400 ELM327 v2.1",
            4700 },
        { "reset beyond its limit", 38400,
            adapter({ ati, { "ATZ", { { 6000, "\r\rELM327 v1.5\r\r>" } } } }), "failed at ATZ",
            5100 },
        { "reset answers only its prompt", 38400, adapter({ ati, { "ATZ", { { 800, "\r\r>" } } } }),
            "38400 ELM327 v1.5", 1000 },
        { "adapter at 9600", 9600, adapter({ ati, { "ATZ", { { 800, "\r\rELM327 v1.5\r\r>" } } } }),
            "9600 ELM327 v1.5", 2000 },
        { "junk before the first probe", 38400,
            adapter({ { "ATI", { { 20, "?\r\r>" } } }, ati,
                { "ATZ", { { 800, "\r\rELM327 v1.5\r\r>" } } } }),
            "38400 ELM327 v1.5", 1100 },
        { "old version refuses ATS0", 38400,
            adapter({ { "ATS0", { { 5, "?\r\r>" } } }, ati,
                { "ATZ", { { 800, "\r\rELM327 v1.0\r\r>" } } } }),
            "38400 ELM327 v1.0 ATS0", 1100 },
        { "a setting never answered", 38400,
            adapter({ ati, { "ATZ", { { 800, "\r\rELM327 v1.5\r\r>" } } } }, false),
            "failed at ATE0", 2000 },
        { "nothing answers at either speed", 38400, {}, "failed at ATI", 2100 },
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        uint32_t clock = 1000;
        ScriptedAdapter port(clock, row.speed, row.script);
        ElmSession session(
            port, [] { return false; }, [&clock] { return clock; });
        EXPECT_EQ(outcome(session.initialize()), row.expected);
        EXPECT_LE(clock - 1000, row.withinMs);
    }
}

TEST(ObdSession, VehicleSearchWaitsLongerOnlyWhileTheAdapterSaysSo)
{
    const Step protocol = { "ATDPN", { { 5, "A6\r\r>" } } };
    const struct
    {
        const char *name;
        std::vector<Step> script;
        const char *expected;
    } rows[] = {
        { "search of eight seconds",
            { { "0100", { { 10, "SEARCHING...\r" }, { 8000, "41 00 BE 3E B8 11\r\r>" } } },
                protocol },
            "A6 BE3EB811" },
        { "no word of a search", { { "0100", { { 3000, "41 00 BE 3E B8 11\r\r>" } } } },
            "timeout" },
        { "search beyond its limit",
            { { "0100", { { 10, "SEARCHING...\r" }, { 16000, "41 00 BE 3E B8 11\r\r>" } } } },
            "timeout" },
        { "nothing to find",
            { { "0100", { { 10, "SEARCHING...\r" }, { 4000, "UNABLE TO CONNECT\r\r>" } } } },
            "UNABLE TO CONNECT" },
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        uint32_t clock = 0;
        ScriptedAdapter port(clock, 38400, row.script);
        port.configure(38400);
        ElmSession session(
            port, [] { return false; }, [&clock] { return clock; });
        const ElmSession::Vehicle v = session.findVehicle();
        char pids[9];
        std::snprintf(pids, sizeof pids, "%08X", v.supportedPids);
        EXPECT_EQ(v.request.result == ElmSession::Result::Timeout ? "timeout"
                : v.request.ok()                                  ? v.protocolCode + " " + pids
                                                                  : v.request.remark,
            row.expected);
        EXPECT_LE(clock, ElmSession::SearchTimeoutMs);
    }
}

TEST(ObdSession, LateAnswerIsNotTakenForTheNextOne)
{
    uint32_t clock = 0;
    ScriptedAdapter port(clock, 38400,
        { { "010C", { { 2500, "41 0C 1A F8\r\r>" } } }, { "0105", { { 20, "41 05 7B\r\r>" } } } });
    port.configure(38400);
    ElmSession session(
        port, [] { return false; }, [&clock] { return clock; });
    EXPECT_EQ(session.request("010C").result, ElmSession::Result::Timeout);
    const ElmSession::Request coolant = session.request("0105");
    ASSERT_TRUE(coolant.ok());
    EXPECT_EQ(obd::coolantTemperature(coolant.messages), 83);
    EXPECT_FALSE(obd::engineSpeed(coolant.messages).has_value());
}

} // namespace
