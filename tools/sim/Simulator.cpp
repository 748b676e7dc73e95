#include "tools/sim/Simulator.h"

#include "tools/sim/SimClock.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <poll.h>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t g_stopSignal = 0;

void onStopSignal(int)
{
    g_stopSignal = 1;
}

int64_t nowMillis()
{
    return monotonicMicros() / MicrosPerMilli;
}

// How often the control file is looked at, and how often a port without a
// client is checked for one (the master cannot be waited on then: it reports
// a hang-up at once).
constexpr int64_t ControlPollMs = 100;
constexpr int ClientCheckMs = 5;
// While bytes wait to leave, wake often enough to pace them.
constexpr int PacingWakeMs = 1;
constexpr int IdleWakeMs = 20;
constexpr int ReadChunk = 1024;

void printLine(const std::string &text)
{
    std::fputs(text.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

} // namespace

Simulator::Simulator(const SimOptions &options)
    : m_options(options)
    , m_link(m_port, options.seed)
{
    m_startMs = nowMillis();
    Instrument::Settings s;
    s.speed = options.speed;
    s.warmupSeconds = options.warmupSeconds;
    s.serialNumber = options.serialNumber;
    s.firmwareVersion = options.firmwareVersion;
    s.seed = options.seed;
    m_instrument = std::make_unique<Instrument>(s, m_port, m_link, m_startMs);
    m_port.setPacing(options.paceOutput);

    auto logger = [this](const std::string &text) { log(text); };
    m_link.setLogger(logger);
    m_instrument->setLogger(logger);

    Steering::Hooks hooks;
    hooks.hangup = [this] { m_hangupRequested = true; };
    hooks.unplug = [this] { m_unplugRequested = true; };
    hooks.plug = [this] { m_plugRequested = true; };
    hooks.quit = [this] { m_quit = true; };
    hooks.setLogging = [this](bool on) { setLogging(on); };
    hooks.status = [this](int64_t nowMs) { return status(nowMs); };
    if (!options.obdLinkPath.empty()) {
        // The car's engine is the one the instrument measures.
        m_obd = std::make_unique<ObdSimulator>(
            options.obdLinkPath, options.obdSpeed, [this] { return m_instrument->model().rpm(); },
            printLine, logger);
        hooks.obd = [this](const std::vector<std::string> &words) { return m_obd->steer(words); };
    }
    m_steering = std::make_unique<Steering>(*m_instrument, m_link, hooks);

    if (!options.logPath.empty()) {
        m_logFile = std::fopen(options.logPath.c_str(), "a");
        if (!m_logFile)
            std::fprintf(stderr, "zelmor-sim: cannot open log %s, logging to stderr\n",
                options.logPath.c_str());
    }
    m_logging = options.logEnabled;
}

Simulator::~Simulator()
{
    if (m_logFile)
        std::fclose(m_logFile);
}

void Simulator::log(const std::string &text)
{
    if (!m_logging)
        return;
    FILE *out = m_logFile ? m_logFile : stderr;
    const int64_t ms = nowMillis() - m_startMs;
    std::fprintf(out, "[%7lld.%03lld] %s\n", static_cast<long long>(ms / 1000),
        static_cast<long long>(ms % 1000), text.c_str());
    std::fflush(out);
}

void Simulator::setLogging(bool on)
{
    m_logging = on;
}

std::string Simulator::status(int64_t nowMs)
{
    const SimLink::Counters &c = m_link.counters();
    const SimLink::Faults &f = m_link.faults();
    char text[512];
    std::snprintf(text, sizeof text,
        " client=%d opens=%llu hangups=%llu client_speed=%d rx_frames=%llu rx_damaged=%llu "
        "rx_ack=%llu rx_nak=%llu rx_noise=%llu tx_frames=%llu tx_resends=%llu tx_given_up=%llu "
        "tx_corrupted=%llu silent=%s garbage=%s corrupt=%g late=%d lateack=%d",
        m_clientPresent ? 1 : 0, static_cast<unsigned long long>(m_clientOpens),
        static_cast<unsigned long long>(m_hangups), m_port.clientSpeed(),
        static_cast<unsigned long long>(c.framesReceived),
        static_cast<unsigned long long>(c.damagedReceived),
        static_cast<unsigned long long>(c.acksReceived),
        static_cast<unsigned long long>(c.naksReceived),
        static_cast<unsigned long long>(c.noiseChunks),
        static_cast<unsigned long long>(c.framesSent), static_cast<unsigned long long>(c.resends),
        static_cast<unsigned long long>(c.givenUp), static_cast<unsigned long long>(c.corrupted),
        f.silent ? "on" : "off", f.garbage ? "on" : "off", f.corruptShare, f.answerDelayMs,
        f.tokenDelayMs);
    return m_instrument->describe(nowMs) + text;
}

bool Simulator::openLine(std::string &error)
{
    if (!m_port.open(m_options.linkPath, m_instrument->speed(), error))
        return false;
    m_clientPresent = false;
    m_link.reset();
    printLine("ready " + m_port.slavePath());
    log("line up on " + m_port.slavePath());
    return true;
}

void Simulator::hangup()
{
    m_hangupRequested = false;
    m_unplugged = false;
    ++m_hangups;
    log("hanging up " + m_port.slavePath());
    m_port.close();
    m_link.reset();
    std::string error;
    // A new line takes the old one's place behind the link; the client that
    // held the old one keeps getting I/O errors until it reopens.
    if (!openLine(error)) {
        std::fprintf(stderr, "zelmor-sim: %s\n", error.c_str());
        m_quit = true;
    }
}

void Simulator::unplug()
{
    m_unplugRequested = false;
    if (m_unplugged)
        return;
    m_unplugged = true;
    ++m_hangups;
    log("unplugged " + m_port.slavePath());
    // The device node goes with the adapter: the link too, so that the client
    // finds no port until the line is back.
    m_port.close();
    m_port.removeLink();
    m_link.reset();
}

void Simulator::plug()
{
    m_plugRequested = false;
    if (!m_unplugged)
        return;
    m_unplugged = false;
    std::string error;
    if (!openLine(error)) {
        std::fprintf(stderr, "zelmor-sim: %s\n", error.c_str());
        m_quit = true;
    }
}

void Simulator::readLine(int64_t nowMs)
{
    uint8_t buffer[ReadChunk];
    for (;;) {
        int speed = 0;
        const int n = m_port.read(buffer, sizeof buffer, speed);
        if (n <= 0)
            return;
        if (speed != m_instrument->speed()) {
            m_link.receiveNoise(n, speed);
            continue;
        }
        std::vector<std::vector<uint8_t>> frames;
        m_link.receive(buffer, n, nowMs, frames);
        for (const auto &frame : frames)
            m_instrument->handleFrame(frame, nowMs);
    }
}

void Simulator::handleSteering(const std::vector<std::string> &lines, int64_t nowMs)
{
    for (const std::string &line : lines) {
        log("steer: " + line);
        const std::string reply = m_steering->execute(line, nowMs);
        if (!reply.empty())
            printLine(reply);
        if (m_quit)
            return;
    }
}

int Simulator::pollTimeoutMs(int64_t nowMs) const
{
    if (!m_port.transmitIdle())
        return PacingWakeMs;
    int64_t timeout = std::min<int64_t>(IdleWakeMs, m_link.nextDueMs(nowMs) - nowMs);
    if (!m_clientPresent)
        timeout = std::min<int64_t>(timeout, ClientCheckMs);
    if (m_obd)
        timeout = std::min<int64_t>(timeout, m_obd->wakeInMs(nowMs));
    return static_cast<int>(std::max<int64_t>(0, timeout));
}

int Simulator::run()
{
    std::signal(SIGPIPE, SIG_IGN);
    struct sigaction sa
    {
    };
    sa.sa_handler = onStopSignal;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);

    std::string error;
    if (!openLine(error) || (m_obd && !m_obd->plug(error))) {
        std::fprintf(stderr, "zelmor-sim: %s\n", error.c_str());
        return 1;
    }

    while (!m_quit && !g_stopSignal) {
        int64_t nowMs = nowMillis();
        const bool present = m_port.clientPresent();
        if (present != m_clientPresent) {
            m_clientPresent = present;
            if (present)
                ++m_clientOpens;
            log(present ? "client opened the line" : "client closed the line");
            // What the departed client wrote and nobody read is not for the next one.
            if (!present)
                m_port.discardInput();
            // Whatever was under way belonged to the client that left.
            m_link.reset();
        }

        pollfd fds[3];
        int count = 0;
        int stdinIndex = -1;
        int portIndex = -1;
        int obdIndex = -1;
        if (m_stdinOpen) {
            stdinIndex = count;
            fds[count++] = { STDIN_FILENO, POLLIN, 0 };
        }
        if (m_clientPresent) {
            portIndex = count;
            fds[count++] = { m_port.fd(), POLLIN, 0 };
        }
        if (m_obd && m_obd->pollFd() >= 0) {
            obdIndex = count;
            fds[count++] = { m_obd->pollFd(), POLLIN, 0 };
        }
        const int ready = ::poll(fds, static_cast<nfds_t>(count), pollTimeoutMs(nowMs));
        if (ready < 0 && errno != EINTR)
            break;
        nowMs = nowMillis();

        if (ready > 0 && portIndex >= 0 && (fds[portIndex].revents & POLLIN))
            readLine(nowMs);
        if (ready > 0 && obdIndex >= 0 && (fds[obdIndex].revents & POLLIN))
            m_obd->readInput(nowMs);
        if (ready > 0 && stdinIndex >= 0 && fds[stdinIndex].revents) {
            char buffer[ReadChunk];
            const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
            if (n > 0) {
                std::vector<std::string> lines;
                m_stdin.feed(buffer, static_cast<size_t>(n), lines);
                handleSteering(lines, nowMs);
            } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                // Standard input closed: keep playing, steered by the file,
                // unless whoever started us wants us gone with it.
                m_stdinOpen = false;
                m_quit = m_options.quitOnEof;
            }
        }
        if (!m_options.controlPath.empty() && nowMs >= m_nextControlPollMs) {
            m_nextControlPollMs = nowMs + ControlPollMs;
            std::vector<std::string> lines;
            m_control.pollFile(m_options.controlPath, lines);
            handleSteering(lines, nowMs);
        }
        if (m_hangupRequested)
            hangup();
        if (m_unplugRequested)
            unplug();
        if (m_plugRequested)
            plug();

        m_instrument->advance(nowMs);
        if (m_clientPresent) {
            m_link.tick(nowMs);
            m_port.pump(monotonicMicros());
        } else {
            m_link.reset();
        }
        if (m_obd)
            m_obd->advance(nowMs);
    }
    log("quit");
    m_port.close();
    m_port.removeLink();
    if (m_obd && m_obd->plugged())
        m_obd->unplug();
    return 0;
}
