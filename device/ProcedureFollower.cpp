#include "device/ProcedureFollower.h"

#include "common/NumberText.h"
#include "device/LittleEndian.h"
#include "device/PacketExchange.h"

namespace {

constexpr int FlowPacketLength = 4;
constexpr int DummyPacketLength = 2;
constexpr int StatusInfo = 0;
constexpr int StatusError = 1;

} // namespace

ProcedureFollower::ProcedureFollower(PacketExchange &link, Publisher publish, Quitting quitting)
    : m_link(link)
    , m_publish(std::move(publish))
    , m_quitting(std::move(quitting))
{ }

void ProcedureFollower::setStatus(const QString &text, int severity)
{
    m_publish([&](ZmxSnapshot &p, ProcedureMarks &) {
        p.StatusText = text;
        p.StatusSeverity = severity;
    });
}

QString ProcedureFollower::zeroErrorText(int programStatus)
{
    switch (programStatus) {
    case ZMXprg_zero_err1:
        return QStringLiteral("Ошибка коррекции нуля (1).");
    case ZMXprg_zero_err2:
        return QStringLiteral("Ошибка коррекции нуля (2).");
    case ZMXprg_term_err1:
        return QStringLiteral("Ошибка коррекции нуля: температура (1).");
    case ZMXprg_term_err2:
        return QStringLiteral("Ошибка коррекции нуля: температура (2).");
    case ZMXlow_flow_err:
        return QStringLiteral("Ошибка коррекции нуля: слабый поток газа.");
    default:
        return QString();
    }
}

bool ProcedureFollower::endsZeroCorrection(int programStatus)
{
    return programStatus == ZMXprg_zero_end || !zeroErrorText(programStatus).isEmpty();
}

ProcedureFollower::StepResult ProcedureFollower::step()
{
    m_publish([](ZmxSnapshot &p, ProcedureMarks &) {
        p.LinkState = 0;
        p.DataKind = DataKindProgress;
    });
    if (quitting())
        return StepResult::Skipped;

    if (m_link.ReceiveAnswer() == LinkStatus::Ok) {
        takeAnswer(m_link.buffer(), m_link.answerCount());
        return StepResult::Answered;
    }
    bool tooLong = false;
    m_publish([&](ZmxSnapshot &p, ProcedureMarks &) {
        ++p.ReceiveFailures;
        tooLong = p.ReceiveFailures > ReceiveFailureLimit;
    });
    if (!tooLong)
        return StepResult::Silent;
    if (quitting())
        return StepResult::Skipped;
    return probe();
}

void ProcedureFollower::takeAnswer(const uint8_t *bytes, int count)
{
    int code = 0;
    m_publish([&](ZmxSnapshot &p, ProcedureMarks &) {
        p.ReceiveFailures = 0;
        p.ProcedureStatus = bytes[0];
        p.ProcedureStep = bytes[1];
        code = p.CommandIndex;
    });

    switch (code) {
    case ZMX_set_zero:
    case ZMX_get_result:
        m_publish([](ZmxSnapshot &p, ProcedureMarks &) { p.ProcedureMax = ZeroProgressMax; });
        followZeroCorrection(count, bytes[0]);
        break;
    case ZMX_pressure:
        m_publish([](ZmxSnapshot &p, ProcedureMarks &) { p.ProcedureMax = PressureProgressMax; });
        setStatus(QStringLiteral("Калибровка датчика давления..."));
        if (count == PressureAnswerSize) {
            const QString text = QStringLiteral("Калибровка датчика давления завершена. ")
                + generalText(decodePressureAnswer(bytes));
            m_publish([&](ZmxSnapshot &p, ProcedureMarks &) {
                p.ProcedureActive = 0;
                p.StatusText = text;
                p.StatusSeverity = StatusInfo;
            });
        }
        break;
    case ZMX_Shift_O2:
    case ZMX_Ku_O2: {
        const bool shift = code == ZMX_Shift_O2;
        m_publish([](ZmxSnapshot &p, ProcedureMarks &) { p.ProcedureMax = O2ProgressMax; });
        setStatus(shift ? QStringLiteral("Калибровка коэф. смещения канала кислорода...")
                        : QStringLiteral("Калибровка коэф. усиления канала кислорода..."));
        if (count == O2AnswerSize) {
            const qint16 value = decodeO2Answer(bytes);
            const QString text
                = (shift ? QStringLiteral("Калибровка коэф. смещения канала кислорода завершена.")
                         : QStringLiteral("Калибровка коэф. усиления канала кислорода завершена."))
                + QString::number(value);
            m_publish([&](ZmxSnapshot &p, ProcedureMarks &) {
                (shift ? p.O2Shift : p.O2Gain) = value;
                p.ProcedureActive = 0;
                p.StatusText = text;
                p.StatusSeverity = StatusInfo;
            });
        }
        break;
    }
    case ZMX_Vrefm_par:
        setStatus(QStringLiteral("Калибровка к-та растяжки сигнала..."));
        if (count == StretchAnswerSize) {
            const QString text = QStringLiteral("Калибровка к-та растяжки сигнала завершена. ")
                + QString::number(decodeStretchAnswer(bytes));
            m_publish([&](ZmxSnapshot &p, ProcedureMarks &) {
                p.ProcedureActive = 0;
                p.StatusText = text;
                p.StatusSeverity = StatusInfo;
            });
        }
        break;
    default:
        break;
    }
}

void ProcedureFollower::followZeroCorrection(int count, uint8_t status)
{
    if (classifyAnswer(ZMX_set_zero, count) != AnswerKind::Progress)
        return;
    setStatus(QStringLiteral("Корр. нуля..."));
    if (endsZeroCorrection(status))
        endZeroCorrection(status);
}

void ProcedureFollower::endZeroCorrection(uint8_t status)
{
    const QString error = zeroErrorText(status);
    // Only a zero correction that succeeded ends the warm-up.
    const bool endsWarmUp = error.isEmpty() && m_warmUpSeen;
    m_publish([&](ZmxSnapshot &p, ProcedureMarks &marks) {
        p.ProcedureActive = 0;
        // Kept until the main window takes it: the thread may be back to
        // readings before the window's next look.
        if (error.isEmpty()) {
            p.StatusText = QStringLiteral("Корр. нуля завершена");
            p.StatusSeverity = StatusInfo;
            marks.zeroFinished = true;
        } else {
            p.StatusText = error;
            p.StatusSeverity = StatusError;
            marks.zeroFailed = true;
            marks.zeroError = error;
        }
        // Readings go on either way: a failed zero correction must not leave
        // the measuring page waiting for an end that already came.
        if (p.AutoReadAfterZero) {
            p.RepeatFlag = 1;
            p.CommandIndex = ZMX_get_result;
        }
        if (endsWarmUp)
            p.RecordCount = 0;
    });
    if (endsWarmUp)
        endWarmUp();
}

void ProcedureFollower::endWarmUp()
{
    m_warmUpSeen = false;
    // The first zero correction after warm-up switches the sample flow back;
    // whether the instrument takes it decides nothing. It goes out raw so that
    // the requested command stays current.
    uint8_t *buffer = m_link.buffer();
    LittleEndian::writeU16(buffer, ZMX_set_flow);
    LittleEndian::writeU16(buffer + PacketPayloadOffset, 0);
    m_link.SendRaw(FlowPacketLength);
    setStatus(QStringLiteral("Прогрев завершен."));
}

ProcedureFollower::StepResult ProcedureFollower::probe()
{
    // Eleven silent steps: ask whether the instrument is still there.
    LittleEndian::writeU16(m_link.buffer(), ZMX_Dummy);
    if (m_link.SendRaw(DummyPacketLength) == LinkStatus::Ok) {
        // Given up silently: the link is there. The count starts again, so
        // that the next procedure's first silent step does not probe at once.
        m_publish([](ZmxSnapshot &p, ProcedureMarks &) {
            p.ProcedureActive = 0;
            p.ReceiveFailures = 0;
        });
        return StepResult::ProbeAccepted;
    }
    m_publish([](ZmxSnapshot &p, ProcedureMarks &) {
        p.ProcedureActive = -1;
        p.StatusText = QStringLiteral("Ошибка: нет связи с прибором.");
        p.StatusSeverity = StatusError;
        p.RunFlag = false;
    });
    return StepResult::ProbeRefused;
}
