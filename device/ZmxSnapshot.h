#pragma once

#include "device/Records.h"
#include "device/Transport.h"

#include <QString>
#include <QtGlobal>

// Everything the polling thread publishes, copied out in one piece under the
// thread's lock: a record always comes with its kind and count, and the
// status text is whole.
struct ZmxSnapshot
{
    // ConstantsResult before any ReadConstants().
    static constexpr int ConstantsNotRead = -3;

    QString StatusText;
    int StatusSeverity = 0; // 0 information, 1 error

    int DataKind = DataKindNone;
    int RecordCount = 0;
    ResultRecord LastResult;
    bool NewResult = false;
    WarmUpRecord LastWarmUp;
    // ResultSeries[RecordCount - 1]; HasNewestResult is false while
    // RecordCount is 0.
    bool HasNewestResult = false;
    ResultRecord NewestResult;

    int LinkState = 0;
    int SendOkCount = 0;
    int LinkErrorCount = 0;
    int RecvOkCount = 0;
    int RecvErrCount = 0;
    int NonEmptyAnswerCount = 0;
    int LastAnswerLength = 0;
    // Late frames dropped: they were there before a command went out, so they
    // answer an earlier one (counted since start).
    int StaleFrameCount = 0;
    // Answers of no record's length to a query the cycle reads (readings or
    // drift: not 14, 144 or 40 bytes and not empty; the spline: not 130):
    // skipped, neither stored nor written.
    int DamagedAnswerCount = 0;

    // Why the port cannot be used, for the operator ("порт занят другой
    // программой", "порт не найден", "это не последовательный порт", ...);
    // empty while the port is fine. PortState is the same as a code.
    QString PortError;
    PortProblem PortState = PortProblem::None;

    int ProcedureActive = 0;
    quint16 ProcedureStatus = 0;
    quint16 ProcedureStep = 0;
    int ProcedureMax = 0;
    int ReceiveFailures = 0;
    qint16 O2Shift = -1;
    qint16 O2Gain = -1;

    int CommandIndex = 0;
    bool RunFlag = false;
    // The thread sleeps until the next request: no cycle runs and none
    // pauses (RunFlag may already be clear while the last cycle ends).
    bool Suspended = true;
    int RepeatFlag = 0;
    bool AutoReadAfterZero = false;

    // Outcome of the last ReadConstants() since the last ConnectPort(): 0
    // read, -1 refused, -2 no answer, -4 an answer that is not the constants.
    // Constants and SerialNumber hold what was read only after 0.
    int ConstantsResult = ConstantsNotRead;
    ConstantsRecord Constants;
    quint16 SerialNumber = 0;
    quint16 FirmwareVersion = 0; // "%x.%02x" of its high and low byte

    // The instrument's spline as its last 130-byte answer to ZMX_get_s_vector
    // gave it since the last ConnectPort(); SplineRead is false until then.
    bool SplineRead = false;
    SplineVector Spline {};
};
