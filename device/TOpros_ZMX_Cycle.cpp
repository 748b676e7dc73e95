// The polling cycle of TOpros_ZMX: send the current command, read its answer,
// store and publish what came.

#include "device/TOpros_ZMX.h"

#include "device/MsClock.h"
#include "device/PacketExchange.h"
#include "device/SeriesFileWriter.h"
#include "device/ZmxSeries.h"

namespace {

// An unplugged adapter leaves a dead port behind; it is reopened no more
// often than this while the exchanges keep failing.
constexpr uint32_t ReopenIntervalMs = 1000;

QString linkErrorText(int count)
{
    return QStringLiteral("Ошибка связи (") + QString::number(count) + QLatin1Char(')');
}

} // namespace

int TOpros_ZMX::sendPacket(int code)
{
    const int status = m_link->SendPacket(code);
    if (status == LinkStatus::IoError || status == LinkStatus::NoPort)
        m_sawIoError = true;
    return status;
}

int TOpros_ZMX::receiveAnswer()
{
    const int status = m_link->ReceiveAnswer();
    if (status == LinkStatus::IoError || status == LinkStatus::NoPort)
        m_sawIoError = true;
    return status;
}

void TOpros_ZMX::reopenPortIfDead()
{
    if (!m_sawIoError || m_portName.isEmpty())
        return;
    const uint32_t now = MsClock::now();
    if (m_lastReopenMs != 0 && MsClock::elapsed(m_lastReopenMs, now) < ReopenIntervalMs)
        return;
    m_lastReopenMs = now == 0 ? 1 : now;
    m_sawIoError = false;
    // The instrument stays at the speed it was switched to; a replugged
    // adapter only needs its port opened and set up again.
    if (m_link->OpenPort(m_portName.toStdString()))
        m_link->InitPort(PacketExchange::LineSpeedFast);
}

int TOpros_ZMX::nextRecordIndexLocked()
{
    // A full series starts again from its first entry rather than writing
    // past its end.
    if (m_pub.RecordCount >= m_capacity || m_pub.RecordCount < 0)
        m_pub.RecordCount = 0;
    return m_pub.RecordCount;
}

void TOpros_ZMX::runCycle()
{
    int procedureActive;
    int code;
    {
        std::lock_guard lock(m_mutex);
        procedureActive = m_pub.ProcedureActive;
        code = m_pub.CommandIndex;
    }
    if (procedureActive == 1)
        RunProcedure();
    else
        sendCycleCommand(code);

    std::lock_guard lock(m_mutex);
    if (m_pub.ProcedureActive == 0 && m_pub.RepeatFlag == 0)
        m_pub.RunFlag = false;
}

void TOpros_ZMX::sendCycleCommand(int code)
{
    publish([](ZmxSnapshot &p) { p.LinkState = 1; });
    const int status = sendPacket(code);
    if (status == LinkStatus::Ok) {
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
            m_zeroFinishedMark = false;
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
            readQueryAnswer();
            break;
        case ZMX_get_Term_Ratio:
            readTermRatio();
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
    if (receiveAnswer() == LinkStatus::Ok) {
        if (m_link->answerCount() == ProgressPacket::Size)
            publish([](ZmxSnapshot &p) { p.ProcedureActive = 1; });
        return;
    }
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
    if (receiveAnswer() != LinkStatus::Ok) {
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

void TOpros_ZMX::readQueryAnswer()
{
    if (!receiveQueryAnswer())
        return;
    const int count = m_link->answerCount();
    const uint8_t *buffer = m_link->buffer();
    int index = -1;
    int kind;
    {
        // Record, kind, count and status go out together.
        std::lock_guard lock(m_mutex);
        countAnswerLocked(count);
        if (count != 0)
            index = nextRecordIndexLocked();
        if (count == DriftInfoRecord::Size) {
            m_pub.StatusText = QStringLiteral("Получение Drift_Info...");
            m_pub.StatusSeverity = StatusInfo;
            m_pub.DataKind = DataKindDrift;
            m_series->storeDrift(index, DriftInfoRecord::decode(buffer));
        } else if (count == WarmUpRecord::Size) {
            const WarmUpRecord record = WarmUpRecord::decode(buffer);
            m_pub.StatusText = QStringLiteral("Идёт прогрев прибора...");
            m_pub.StatusSeverity = StatusInfo;
            m_pub.DataKind = DataKindWarmUp;
            m_series->storeWarmUp(index, record);
            m_pub.LastWarmUp = record;
            m_warmUpSeen = true;
            if (record.finished() && !m_warmUpDoneShown) {
                // The instrument's own spelling, Latin "a" included.
                m_pub.StatusText
                    = QStringLiteral("Прогев з") + QLatin1Char('a') + QStringLiteral("вершён.");
                m_warmUpDoneShown = true;
            }
        } else if (count == ResultRecord::Size) {
            const ResultRecord record = ResultRecord::decode(buffer);
            m_pub.StatusText = QStringLiteral("Приём показаний прибора...");
            m_pub.StatusSeverity = StatusInfo;
            m_pub.DataKind = DataKindResult;
            m_series->storeResult(index, record);
            m_pub.LastResult = record;
            m_pub.NewResult = true;
        }
        if (count != 0)
            m_pub.RecordCount = index + 1;
        kind = m_pub.DataKind;
    }
    // An answer of another size still writes the files of the last kind, read
    // with that kind's layout.
    if (index >= 0)
        m_files->WriteSeriesFiles(kind, buffer, index);
}

void TOpros_ZMX::readTermRatio()
{
    if (!receiveQueryAnswer())
        return;
    const int count = m_link->answerCount();
    std::lock_guard lock(m_mutex);
    countAnswerLocked(count);
    m_pub.DataKind = DataKindTermRatio;
    m_pub.StatusText = QStringLiteral("Приём Term_Ratio...");
    m_pub.StatusSeverity = StatusInfo;
    // The record is stored whole and no files are written for it.
    if (count != 0) {
        const int index = nextRecordIndexLocked();
        m_series->storeTermRatio(index, TermRatioRecord::decode(m_link->buffer()));
        m_pub.RecordCount = index + 1;
    } else if (m_pub.RecordCount < m_capacity) {
        m_series->storeTermRatio(m_pub.RecordCount, TermRatioRecord::decode(m_link->buffer()));
    }
}
