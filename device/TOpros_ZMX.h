#pragma once

#include "device/LinkLog.h"
#include "device/MonotonicCondition.h"
#include "device/PortRetry.h"
#include "device/ProcedureFollower.h"
#include "device/Records.h"
#include "device/ZmxSnapshot.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>
#include <QtGlobal>

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class LinkConnector;
class PacketExchange;
class SeriesFileWriter;
class ZmxSeries;

// The one worker thread of the program and the only owner of the instrument
// link. The user interface asks for operations (RequestOperation) and reads
// what the thread publishes through snapshot(); it never exchanges packets
// itself. Connecting and reading the constants borrow the link from the
// thread: they wait until its running cycle has ended and keep it suspended
// while they talk to the instrument.
//
// The thread keeps the loop, the request queue, the lock and the published
// snapshot; the readings cycle is its own. Following a procedure is the
// ProcedureFollower's job, establishing the link the LinkConnector's.
class TOpros_ZMX
{
public:
    static constexpr int SeriesCapacity = 100000;
    static constexpr int CyclePauseMs = 200;
    static constexpr int StatusInfo = 0;
    static constexpr int StatusError = 1;
    // Results of ConnectPort.
    static constexpr int Connected = 0;
    static constexpr int NotConnected = -1;
    // Results of ReadConstants.
    static constexpr int ConstantsRead = 0;
    static constexpr int CommandRefused = -1;
    static constexpr int NoAnswer = -2;
    static constexpr int WrongAnswer = -4; // an answer that is not the constants

    // Created suspended: nothing is sent before the first request.
    // seriesCapacity is the length of each of the four record series (tests
    // use a short one).
    explicit TOpros_ZMX(int seriesCapacity = SeriesCapacity);
    // The same over a given packet exchange (tests: a scripted library).
    explicit TOpros_ZMX(std::unique_ptr<PacketExchange> link, int seriesCapacity = SeriesCapacity);
    // Stops the cycle, wakes the thread and joins it; the wait is bounded by
    // one exchange with the instrument.
    ~TOpros_ZMX();

    TOpros_ZMX(const TOpros_ZMX &) = delete;
    TOpros_ZMX &operator=(const TOpros_ZMX &) = delete;

    // After a finished zero correction go on with repeated ZMX_get_result.
    void setAutoReadAfterZero(bool on);

    // RunFlag := false and forget requests not yet taken up; the running
    // cycle completes, then the thread suspends.
    void StopCycle();
    // Queues the command with its argument word; the thread takes it up at
    // its next cycle boundary (after the running cycle, or at once when it is
    // suspended). Never blocks. Returns 0.
    int RequestOperation(ZmxCommand code, int repeat, quint16 argument);
    // The same with a whole payload (offset 2 on) for the service panel's raw
    // commands; the link indicator goes back to 0 when it is taken up.
    int RequestCommand(ZmxCommand code, int repeat, const QByteArray &payload);
    // Starts the record series again from index 0 before the next record is
    // stored (start of a research run).
    void requestRecordCountReset();

    // Replaces StatusText as a whole.
    void SetStatus(const QString &text, int severity = StatusInfo);

    // Opens the port by name ("/dev/ttyUSB0", "ttyUSB0", "COM1", a
    // pseudo-terminal path) and establishes the link at 38400 bit/s, falling
    // back to 1200 bit/s and switching the instrument up. Blocks the caller for
    // up to about three seconds plus the end of a running cycle: call it off
    // the user interface thread. Leaves the cycle stopped. 0 or -1.
    //
    // A port that cannot be opened publishes why in PortError / PortState.
    // The thread then keeps trying it every quarter second while it cycles
    // (the connect sequence always asks for readings afterwards) and, once
    // the port is free, connects and reads the constants by itself. A port
    // that dies under a working link (an unplugged adapter) is looked for
    // the same way and reopened as soon as it is back.
    int ConnectPort(const QString &portName);
    // Reads the instrument's constants (serial number, firmware version). Stops
    // the cycle and does not restart it; blocks like ConnectPort (up to about
    // two seconds). 0 read, -1 refused, -2 no answer, -4 an answer that is
    // not the constants (only 124 bytes are).
    int ReadConstants();

    // A consistent copy of everything published.
    ZmxSnapshot snapshot() const;
    // True once after each zero correction that ended well, until taken;
    // cleared when a new zero correction is accepted.
    bool takeZeroCorrectionFinished();
    // True once after each zero correction the instrument ended with an
    // error, until taken; `errorText` gets the message (also in StatusText).
    // Cleared when a new zero correction is accepted. Readings go on by
    // themselves as after a good end.
    bool takeZeroCorrectionFailed(QString *errorText = nullptr);
    // Returns and clears NewResult; with a record pointer also hands over the
    // LastResult that went with it.
    bool takeNewResult(ResultRecord *record = nullptr);
    // Copies up to `count` entries of ResultSeries from index `first` (only
    // entries below RecordCount).
    std::vector<ResultRecord> resultSeries(int first, int count) const;
    int seriesCapacity() const { return m_capacity; }

    // The program-status name table the thread keeps (20 slots, unused ones
    // empty).
    static QString programStatusNameAt(int code);

private:
    struct Request
    {
        int code = 0;
        int repeat = 0;
        bool wholePayload = false;
        QByteArray payload; // offset 2 on
    };

    // Thread body and cycle. A cycle returns how long to pause after it.
    void Execute();
    uint32_t runCycle();
    void sendCycleCommand(int code);
    void readQueryAnswer(int code);
    void readTermRatio();
    void readSpline();
    // Receives the answer to a query; false (and the failure published) when none came.
    bool receiveQueryAnswer();
    // The receive counters and LinkState of an answer that came; m_mutex held.
    void countAnswerLocked(int count);
    int nextRecordIndexLocked();
    // Queues a request for the thread; the oldest goes when the queue is full.
    void enqueueRequest(Request request);
    bool takeRequestLocked();
    bool mayRunLocked() const;
    bool quitting() const;

    // Link borrowing by ConnectPort and ReadConstants.
    void acquireLink();
    void releaseLink();

    // The port between cycles: a dead one is reopened, one that could not be
    // opened is tried again (both paced by m_portRetry). False when there is
    // still no port to talk through.
    bool watchPort();
    void reopenDeadPort();
    void retryPort();
    void publishConstants(int result, const ConstantsRecord &constants);
    // After a readings answer: constants that could not be read at connect
    // are asked for again, paced by m_constantsRetry.
    void rereadConstantsIfDue(int code);
    // PortError / PortState and the log after an open or a failed exchange.
    void notePortState(PortProblem problem, const QString &port);
    void noteLinkUp();
    void noteLinkDown();

    template <typename F> void publish(F &&change)
    {
        std::lock_guard lock(m_mutex);
        change(m_pub);
    }

    const int m_capacity;

    mutable std::mutex m_mutex;
    MonotonicCondition m_wake; // the thread waits here when suspended
    MonotonicCondition m_idle; // borrowers wait here for the cycle's end

    // Guarded by m_mutex.
    ZmxSnapshot m_pub;
    ProcedureMarks m_marks;
    std::deque<Request> m_pending;
    bool m_quit = false;
    bool m_finished = false;
    bool m_inCycle = false;
    bool m_linkBorrowed = false;
    int m_linkWanted = 0;
    bool m_resetRequested = false;
    bool m_warmUpDoneShown = false;
    std::unique_ptr<ZmxSeries> m_series;

    // Used only by whoever holds the link (the thread during its cycles, a
    // borrower in between).
    std::unique_ptr<PacketExchange> m_link;
    std::unique_ptr<LinkConnector> m_connector;
    std::unique_ptr<ProcedureFollower> m_follower;
    std::unique_ptr<SeriesFileWriter> m_files;
    LinkLog m_linkLog;
    QString m_portName; // of the last successful connect; empty otherwise
    // The port looked for: one that could not be opened at the last connect
    // (m_retryConnects: connected fully once it opens), or the port of a
    // working link that died (only reopened).
    PortRetry m_portRetry;
    bool m_retryConnects = false;
    QDeadlineTimer m_constantsRetry; // expired: the next chance may read them
    uint32_t m_staleSeen = 0; // the library's stale-frame count at the last look

    std::thread m_thread;
};
