#include "device/TOpros_ZMX.h"

#include "common/FormatSettings.h"
#include "device/LinkConnector.h"
#include "device/PacketExchange.h"
#include "device/SeriesFileWriter.h"
#include "device/ZmxSeries.h"

#include <QDebug>

#include <algorithm>
#include <chrono>
#include <cstring>

namespace {

// Requests waiting for the thread beyond this are dropped, oldest first: the
// operator cannot mean a longer backlog of commands.
constexpr size_t MaxPendingRequests = 16;
// Every exchange ends within about a second, so the thread is gone well
// before this.
constexpr std::chrono::milliseconds ShutdownWait(5000);

} // namespace

TOpros_ZMX::TOpros_ZMX(int seriesCapacity)
    : TOpros_ZMX(std::make_unique<PacketExchange>(), seriesCapacity)
{ }

TOpros_ZMX::TOpros_ZMX(std::unique_ptr<PacketExchange> link, int seriesCapacity)
    : m_capacity(std::max(seriesCapacity, 1))
    , m_series(std::make_unique<ZmxSeries>(m_capacity))
    , m_link(std::move(link))
    , m_files(std::make_unique<SeriesFileWriter>())
{
    m_connector = std::make_unique<LinkConnector>(
        *m_link, [this](const QString &text, int severity) { SetStatus(text, severity); });
    m_follower = std::make_unique<ProcedureFollower>(
        *m_link,
        [this](const ProcedureFollower::Change &change) {
            std::lock_guard lock(m_mutex);
            change(m_pub, m_marks);
        },
        [this] { return quitting(); });

    // Short dates print like 2008-05-12 from here on, until someone sets
    // other separators.
    FormatSettings::setDateSeparator(QLatin1Char('-'));
    FormatSettings::setTimeSeparator(QLatin1Char('-'));
    FormatSettings::setShortDateFormat(QStringLiteral("yyyy/mm/dd"));

    m_thread = std::thread([this] { Execute(); });
}

TOpros_ZMX::~TOpros_ZMX()
{
    {
        std::unique_lock lock(m_mutex);
        m_quit = true;
        m_pub.RunFlag = false;
        m_pending.clear();
        m_wake.notifyAll();
        if (!m_idle.waitFor(lock, ShutdownWait, [this] { return m_finished; }))
            qWarning("polling thread: still in an exchange at shutdown");
    }
    m_thread.join();
    m_link->ClosePort();
}

void TOpros_ZMX::setAutoReadAfterZero(bool on)
{
    publish([on](ZmxSnapshot &p) { p.AutoReadAfterZero = on; });
}

void TOpros_ZMX::StopCycle()
{
    std::lock_guard lock(m_mutex);
    m_pub.RunFlag = false;
    m_pending.clear();
}

int TOpros_ZMX::RequestOperation(ZmxCommand code, int repeat, quint16 argument)
{
    QByteArray payload(2, '\0');
    payload[0] = char(argument & 0xff);
    payload[1] = char(argument >> 8);
    enqueueRequest({ code, repeat, false, payload });
    return 0;
}

int TOpros_ZMX::RequestCommand(ZmxCommand code, int repeat, const QByteArray &payload)
{
    enqueueRequest({ code, repeat, true, payload.left(PacketBufferSize - PacketPayloadOffset) });
    return 0;
}

void TOpros_ZMX::enqueueRequest(Request request)
{
    std::lock_guard lock(m_mutex);
    if (m_pending.size() >= MaxPendingRequests)
        m_pending.pop_front();
    m_pending.push_back(std::move(request));
    m_wake.notifyAll();
}

void TOpros_ZMX::requestRecordCountReset()
{
    std::lock_guard lock(m_mutex);
    // Between cycles nobody else moves RecordCount; inside one, the thread
    // resets it before it stores the next record.
    if (m_inCycle)
        m_resetRequested = true;
    else
        m_pub.RecordCount = 0;
}

void TOpros_ZMX::SetStatus(const QString &text, int severity)
{
    publish([&](ZmxSnapshot &p) {
        p.StatusText = text;
        p.StatusSeverity = severity;
    });
}

ZmxSnapshot TOpros_ZMX::snapshot() const
{
    std::lock_guard lock(m_mutex);
    ZmxSnapshot copy = m_pub;
    copy.Suspended = !m_inCycle;
    const int newest = m_pub.RecordCount - 1;
    copy.HasNewestResult = newest >= 0 && newest < m_capacity;
    if (copy.HasNewestResult)
        copy.NewestResult = m_series->result(newest);
    return copy;
}

bool TOpros_ZMX::takeZeroCorrectionFinished()
{
    std::lock_guard lock(m_mutex);
    return std::exchange(m_marks.zeroFinished, false);
}

bool TOpros_ZMX::takeZeroCorrectionFailed(QString *errorText)
{
    std::lock_guard lock(m_mutex);
    if (!std::exchange(m_marks.zeroFailed, false))
        return false;
    if (errorText)
        *errorText = m_marks.zeroError;
    return true;
}

bool TOpros_ZMX::takeNewResult(ResultRecord *record)
{
    std::lock_guard lock(m_mutex);
    const bool fresh = std::exchange(m_pub.NewResult, false);
    if (fresh && record)
        *record = m_pub.LastResult;
    return fresh;
}

std::vector<ResultRecord> TOpros_ZMX::resultSeries(int first, int count) const
{
    std::lock_guard lock(m_mutex);
    const int end = std::min({ m_pub.RecordCount, m_capacity, first + std::max(count, 0) });
    std::vector<ResultRecord> out;
    for (int i = std::max(first, 0); i < end; ++i)
        out.push_back(m_series->result(i));
    return out;
}

QString TOpros_ZMX::programStatusNameAt(int code)
{
    const auto &table = programStatusNameTable();
    if (code < 0 || code >= int(table.size()) || !table[code])
        return QString();
    return QString::fromLatin1(table[code]);
}

// ------------------------------------------------------------ thread body

bool TOpros_ZMX::mayRunLocked() const
{
    return !m_linkBorrowed && m_linkWanted == 0 && (m_pub.RunFlag || !m_pending.empty());
}

bool TOpros_ZMX::quitting() const
{
    std::lock_guard lock(m_mutex);
    return m_quit;
}

bool TOpros_ZMX::takeRequestLocked()
{
    if (m_pending.empty())
        return false;
    const Request request = std::move(m_pending.front());
    m_pending.pop_front();
    m_pub.CommandIndex = request.code;
    m_pub.RepeatFlag = request.repeat;
    m_pub.RunFlag = true;
    // A procedure lost with the link is not waited for any longer: the new
    // request is carried out as asked (a one-shot command goes out once).
    if (m_pub.ProcedureActive == -1)
        m_pub.ProcedureActive = 0;
    // The thread owns the buffer between cycles, so the payload goes in here.
    std::memcpy(m_link->buffer() + PacketPayloadOffset, request.payload.constData(),
        size_t(request.payload.size()));
    if (request.wholePayload)
        m_pub.LinkState = 0;
    return true;
}

void TOpros_ZMX::Execute()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        // A request that comes while we get here finds the lock held until
        // wait() releases it, so no wake-up is lost.
        m_wake.wait(lock, [this] { return m_quit || mayRunLocked(); });
        if (m_quit)
            break;
        m_inCycle = true;
        lock.unlock();
        m_link->PurgePort();
        lock.lock();
        while (!m_quit && m_linkWanted == 0) {
            takeRequestLocked();
            if (m_resetRequested) {
                m_pub.RecordCount = 0;
                m_resetRequested = false;
            }
            if (!m_pub.RunFlag)
                break;
            lock.unlock();
            const uint32_t pauseMs = runCycle();
            lock.lock();
            // The pause gives way only to shutdown and to a connect that waits
            // for the link.
            m_wake.waitFor(lock, std::chrono::milliseconds(pauseMs),
                [this] { return m_quit || m_linkWanted > 0; });
        }
        m_inCycle = false;
        m_idle.notifyAll();
    }
    m_finished = true;
    m_idle.notifyAll();
}

// ---------------------------------------------------------- link borrowing

void TOpros_ZMX::acquireLink()
{
    std::unique_lock lock(m_mutex);
    m_pub.RunFlag = false;
    m_pending.clear();
    ++m_linkWanted;
    m_wake.notifyAll();
    m_idle.wait(lock, [this] { return !m_inCycle && !m_linkBorrowed; });
    --m_linkWanted;
    m_linkBorrowed = true;
}

void TOpros_ZMX::releaseLink()
{
    std::lock_guard lock(m_mutex);
    m_pub.CommandIndex = m_link->commandIndex();
    m_linkBorrowed = false;
    m_wake.notifyAll();
    m_idle.notifyAll();
}
