// The polling cycle of TOpros_ZMX: send the current command, read its answer,
// store and publish what came. While the instrument runs a procedure the
// cycle hands over to the ProcedureFollower.

#include "device/TOpros_ZMX.h"

#include "device/PacketExchange.h"
#include "device/SeriesFileWriter.h"
#include "device/ZmxSeries.h"

#include <algorithm>

namespace {

QString linkErrorText(int count)
{
    return QStringLiteral("Ошибка связи (") + QString::number(count) + QLatin1Char(')');
}

} // namespace

int TOpros_ZMX::nextRecordIndexLocked()
{
    // A full series starts again from its first entry rather than writing
    // past its end.
    if (m_pub.RecordCount >= m_capacity || m_pub.RecordCount < 0)
        m_pub.RecordCount = 0;
    return m_pub.RecordCount;
}

uint32_t TOpros_ZMX::runCycle()
{
    if (watchPort()) {
        int procedureActive;
        int code;
        {
            std::lock_guard lock(m_mutex);
            procedureActive = m_pub.ProcedureActive;
            code = m_pub.CommandIndex;
        }
        if (procedureActive == 1) {
            switch (m_follower->step()) {
            case ProcedureFollower::StepResult::Answered:
            case ProcedureFollower::StepResult::ProbeAccepted:
                noteLinkUp();
                break;
            case ProcedureFollower::StepResult::ProbeRefused:
                noteLinkDown();
                break;
            case ProcedureFollower::StepResult::Silent:
            case ProcedureFollower::StepResult::Skipped:
                break;
            }
        } else {
            sendCycleCommand(code);
            rereadConstantsIfDue(code);
        }
    }

    const uint32_t stale = m_link->staleFrames();
    const uint32_t newStale = stale >= m_staleSeen ? stale - m_staleSeen : stale;
    m_staleSeen = stale;

    {
        std::lock_guard lock(m_mutex);
        m_pub.StaleFrameCount += int(newStale);
        // Only a procedure being followed keeps a one-shot request cycling;
        // one lost with the link (-1) does not make the command repeat.
        if (m_pub.ProcedureActive != 1 && m_pub.RepeatFlag == 0)
            m_pub.RunFlag = false;
    }
    // While the port is looked for, the next cycle comes with the next try.
    return m_portRetry.active() ? m_portRetry.msUntilDue() : uint32_t(CyclePauseMs);
}

void TOpros_ZMX::sendCycleCommand(int code)
{
    publish([](ZmxSnapshot &p) { p.LinkState = 1; });
    const int status = m_link->SendPacket(code);
    if (status == LinkStatus::Ok) {
        noteLinkUp();
        publish([](ZmxSnapshot &p) {
            p.LinkState = 2;
            ++p.SendOkCount;
        });
        switch (code) {
        case ZMX_Dummy:
            SetStatus(QStringLiteral("Прибор подключен."));
            break;
        case ZMX_set_flow:
            SetStatus(QStringLiteral("Продувка кюветы пробой."));
            break;
        case ZMX_set_clear:
            SetStatus(QStringLiteral("Продувка кюветы чистым воздухом."));
            break;
        case ZMX_Press_Key:
            SetStatus(QStringLiteral("Успешное нажатие."));
            break;
        case ZMX_set_zero: {
            std::lock_guard lock(m_mutex);
            m_pub.StatusText = QStringLiteral("Коррекция нуля.");
            m_pub.StatusSeverity = StatusInfo;
            m_pub.ProcedureActive = 1;
            // A mark left from an earlier zero correction must not end this one.
            m_marks = ProcedureMarks();
            break;
        }
        case ZMX_pressure:
        case ZMX_Shift_O2:
        case ZMX_Ku_O2:
        case ZMX_Vrefm_par:
            // The procedure step announces itself.
            publish([](ZmxSnapshot &p) { p.ProcedureActive = 1; });
            break;
        case ZMX_get_result:
        case ZMX_get_Drift_Info:
            readQueryAnswer(code);
            break;
        case ZMX_get_Term_Ratio:
            readTermRatio();
            break;
        case ZMX_get_s_vector:
            readSpline();
            break;
        default:
            break;
        }
        return;
    }

    if (quitting())
        return;
    // A refused command draws a progress packet when the instrument is busy
    // with a procedure it started by itself; follow that procedure.
    if (m_link->ReceiveAnswer() == LinkStatus::Ok) {
        noteLinkUp();
        if (classifyAnswer(code, m_link->answerCount()) == AnswerKind::Progress)
            publish([](ZmxSnapshot &p) { p.ProcedureActive = 1; });
        return;
    }
    noteLinkDown();
    std::lock_guard lock(m_mutex);
    m_pub.StatusText = linkErrorText(m_pub.LinkErrorCount);
    m_pub.StatusSeverity = StatusError;
    m_pub.LinkState = 3;
    ++m_pub.LinkErrorCount;
}

bool TOpros_ZMX::receiveQueryAnswer()
{
    publish([](ZmxSnapshot &p) { p.LinkState = 4; });
    if (quitting())
        return false;
    if (m_link->ReceiveAnswer() != LinkStatus::Ok) {
        publish([](ZmxSnapshot &p) {
            p.LinkState = 6;
            ++p.RecvErrCount;
        });
        return false;
    }
    return true;
}

void TOpros_ZMX::countAnswerLocked(int count)
{
    m_pub.LastAnswerLength = count;
    ++m_pub.RecvOkCount;
    if (count != 0)
        ++m_pub.NonEmptyAnswerCount;
    m_pub.LinkState = 5;
}

void TOpros_ZMX::readQueryAnswer(int code)
{
    if (!receiveQueryAnswer())
        return;
    const int count = m_link->answerCount();

    const uint8_t *buffer = m_link->buffer();
    const AnswerKind answer = classifyAnswer(code, count);
    // Only an answer of a record's length is a record: the bytes of any
    // other are partly what the buffer held before.
    const bool record = answer == AnswerKind::DriftInfo || answer == AnswerKind::WarmUp
        || answer == AnswerKind::Result;
    bool warmUp = false;
    int index = -1;
    int kind;
    {
        // Record, kind, count and status go out together.
        std::lock_guard lock(m_mutex);
        countAnswerLocked(count);
        if (record)
            index = nextRecordIndexLocked();
        else if (count != 0)
            ++m_pub.DamagedAnswerCount;
        switch (answer) {
        case AnswerKind::DriftInfo:
            m_pub.StatusText = QStringLiteral("Получение Drift_Info...");
            m_pub.StatusSeverity = StatusInfo;
            m_pub.DataKind = dataKindOf(answer);
            m_series->storeDrift(index, DriftInfoRecord::decode(buffer));
            break;
        case AnswerKind::WarmUp: {
            const WarmUpRecord record = WarmUpRecord::decode(buffer);
            m_pub.StatusText = QStringLiteral("Идёт прогрев прибора...");
            m_pub.StatusSeverity = StatusInfo;
            m_pub.DataKind = dataKindOf(answer);
            m_series->storeWarmUp(index, record);
            m_pub.LastWarmUp = record;
            warmUp = true;
            if (record.finished() && !m_warmUpDoneShown) {
                // The instrument's own spelling, Latin "a" included.
                m_pub.StatusText
                    = QStringLiteral("Прогев з") + QLatin1Char('a') + QStringLiteral("вершён.");
                m_warmUpDoneShown = true;
            }
            break;
        }
        case AnswerKind::Result: {
            const ResultRecord record = ResultRecord::decode(buffer);
            m_pub.StatusText = QStringLiteral("Приём показаний прибора...");
            m_pub.StatusSeverity = StatusInfo;
            m_pub.DataKind = dataKindOf(answer);
            m_series->storeResult(index, record);
            m_pub.LastResult = record;
            m_pub.NewResult = true;
            break;
        }
        default:
            // Empty, progress and odd sizes are stored nowhere.
            break;
        }
        if (record)
            m_pub.RecordCount = index + 1;
        kind = m_pub.DataKind;
    }
    if (warmUp)
        m_follower->noteWarmUp();
    if (record)
        m_files->WriteSeriesFiles(kind, buffer, index);
}

void TOpros_ZMX::readTermRatio()
{
    if (!receiveQueryAnswer())
        return;
    const int count = m_link->answerCount();
    std::lock_guard lock(m_mutex);
    countAnswerLocked(count);
    m_pub.DataKind = dataKindOf(AnswerKind::TermRatio);
    m_pub.StatusText = QStringLiteral("Приём Term_Ratio...");
    m_pub.StatusSeverity = StatusInfo;
    // No files are written for it. An answer of another length is no
    // record: its bytes are partly what the buffer held before.
    if (count != 0 && count != TermRatioRecord::Size) {
        ++m_pub.DamagedAnswerCount;
    } else if (count != 0) {
        const int index = nextRecordIndexLocked();
        m_series->storeTermRatio(index, TermRatioRecord::decode(m_link->buffer()));
        m_pub.RecordCount = index + 1;
    } else if (m_pub.RecordCount < m_capacity) {
        m_series->storeTermRatio(m_pub.RecordCount, TermRatioRecord::decode(m_link->buffer()));
    }
}

void TOpros_ZMX::readSpline()
{
    if (!receiveQueryAnswer())
        return;
    const int count = m_link->answerCount();
    std::lock_guard lock(m_mutex);
    countAnswerLocked(count);
    // Kept for the service panel, which may write it back with
    // ZMX_set_s_vector; an answer of another length is no spline.
    if (count == SplineVectorSize) {
        std::copy_n(m_link->buffer(), SplineVectorSize, m_pub.Spline.begin());
        m_pub.SplineRead = true;
        m_pub.StatusText = QStringLiteral("Сплайн считан.");
        m_pub.StatusSeverity = StatusInfo;
    } else {
        ++m_pub.DamagedAnswerCount;
        m_pub.StatusText
            = QStringLiteral("Сплайн не считан: ответ прибора длиной %1 вместо %2 байт.")
                  .arg(count)
                  .arg(SplineVectorSize);
        m_pub.StatusSeverity = StatusError;
    }
}
