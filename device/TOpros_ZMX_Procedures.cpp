// Connecting, reading the constants and following the instrument's
// procedures (zero correction and the calibrations).

#include "device/TOpros_ZMX.h"

#include "common/NumberText.h"
#include "device/LittleEndian.h"
#include "device/PacketExchange.h"

#include <cstring>

namespace {

constexpr int ZeroProgressMax = 200;
constexpr int PressureProgressMax = 200;
constexpr int O2ProgressMax = 159;
// Steps without any answer before the link is probed.
constexpr int ReceiveFailureLimit = 10;
constexpr int FlowPacketLength = 4;
constexpr int DummyPacketLength = 2;

} // namespace

int TOpros_ZMX::ConnectPort(const QString &portName)
{
    acquireLink();
    m_link->ClosePort();
    m_portName.clear();
    SetStatus(QStringLiteral("Подключение..."));

    // A port that cannot be opened shows up as a library that cannot be set
    // up.
    m_link->OpenPort(portName.toStdString());
    int result = NotConnected;
    if (m_link->InitPort(PacketExchange::LineSpeedFast) && m_link->PingDevice()) {
        SetStatus(QStringLiteral("Zelmor подключен. Порт ") + portName
            + QStringLiteral(", скорость 38400"));
        result = Connected;
    } else if (m_link->InitPort(PacketExchange::LineSpeedSlow) && m_link->PingDevice()
        && m_link->SwitchTo38400() && m_link->InitPort(PacketExchange::LineSpeedFast)) {
        result = Connected;
    }
    if (result == Connected) {
        m_portName = portName;
        m_sawIoError = false;
    } else {
        SetStatus(QStringLiteral("Нет связи с Zelmor."), StatusError);
        m_link->ClosePort();
    }
    releaseLink();
    return result;
}

int TOpros_ZMX::ReadConstants()
{
    acquireLink();
    SetStatus(QStringLiteral("Чтение констант..."));
    int result;
    if (m_link->SendPacket(ZMX_get_constant) != LinkStatus::Ok) {
        SetStatus(QStringLiteral("Прибор не принимает команду"), StatusError);
        result = CommandRefused;
    } else if (m_link->ReceiveAnswer() != LinkStatus::Ok) {
        SetStatus(QStringLiteral("Не удалось установить связь с прибором"), StatusError);
        result = NoAnswer;
    } else {
        // The whole record is taken from the buffer, even after a short answer.
        const ConstantsRecord constants = ConstantsRecord::decode(m_link->buffer());
        publish([&](ZmxSnapshot &p) {
            p.Constants = constants;
            p.SerialNumber = constants.serialNumber;
            p.FirmwareVersion = constants.firmwareVersion;
        });
        SetStatus(QStringLiteral("Константы считаны."));
        result = ConstantsRead;
    }
    publish([result](ZmxSnapshot &p) { p.ConstantsResult = result; });
    releaseLink();
    return result;
}

void TOpros_ZMX::RunProcedure()
{
    publish([](ZmxSnapshot &p) {
        p.LinkState = 0;
        p.DataKind = DataKindProgress;
    });
    if (quitting())
        return;

    if (receiveAnswer() == LinkStatus::Ok) {
        const int count = m_link->answerCount();
        const uint8_t *buffer = m_link->buffer();
        int code;
        {
            std::lock_guard lock(m_mutex);
            m_pub.ReceiveFailures = 0;
            m_pub.ProcedureStatus = buffer[0];
            m_pub.ProcedureStep = buffer[1];
            code = m_pub.CommandIndex;
        }
        switch (code) {
        case ZMX_set_zero:
        case ZMX_get_result:
            publish([](ZmxSnapshot &p) { p.ProcedureMax = ZeroProgressMax; });
            followZeroCorrection(count, buffer[0]);
            break;
        case ZMX_pressure:
            publish([](ZmxSnapshot &p) { p.ProcedureMax = PressureProgressMax; });
            SetStatus(QStringLiteral("Калибровка датчика давления..."));
            if (count == PressureAnswerSize) {
                const double value = decodePressureAnswer(buffer);
                publish([](ZmxSnapshot &p) { p.ProcedureActive = 0; });
                SetStatus(
                    QStringLiteral("Калибровка датчика давления завершена. ") + generalText(value));
            }
            break;
        case ZMX_Shift_O2:
        case ZMX_Ku_O2: {
            const bool shift = code == ZMX_Shift_O2;
            publish([](ZmxSnapshot &p) { p.ProcedureMax = O2ProgressMax; });
            SetStatus(shift ? QStringLiteral("Калибровка коэф. смещения канала кислорода...")
                            : QStringLiteral("Калибровка коэф. усиления канала кислорода..."));
            if (count == O2AnswerSize) {
                const qint16 value = decodeO2Answer(buffer);
                std::lock_guard lock(m_mutex);
                (shift ? m_pub.O2Shift : m_pub.O2Gain) = value;
                m_pub.ProcedureActive = 0;
                m_pub.StatusText
                    = (shift ? QStringLiteral(
                           "Калибровка коэф. смещения канала кислорода завершена.")
                             : QStringLiteral(
                                 "Калибровка коэф. усиления канала кислорода завершена."))
                    + QString::number(value);
                m_pub.StatusSeverity = StatusInfo;
            }
            break;
        }
        case ZMX_Vrefm_par:
            SetStatus(QStringLiteral("Калибровка к-та растяжки сигнала..."));
            if (count == StretchAnswerSize) {
                const qint32 value = decodeStretchAnswer(buffer);
                publish([](ZmxSnapshot &p) { p.ProcedureActive = 0; });
                SetStatus(QStringLiteral("Калибровка к-та растяжки сигнала завершена. ")
                    + QString::number(value));
            }
            break;
        default:
            break;
        }
    } else {
        publish([](ZmxSnapshot &p) { ++p.ReceiveFailures; });
    }

    bool silent;
    {
        std::lock_guard lock(m_mutex);
        silent = m_pub.ReceiveFailures > ReceiveFailureLimit;
    }
    if (silent && !quitting())
        probeLostProcedure();
}

void TOpros_ZMX::followZeroCorrection(int count, uint8_t status)
{
    if (count != ProgressPacket::Size)
        return;
    SetStatus(QStringLiteral("Корр. нуля..."));
    if (status != ZMXprg_zero_end)
        return;

    bool afterWarmUp;
    {
        std::lock_guard lock(m_mutex);
        m_pub.ProcedureActive = 0;
        m_pub.StatusText = QStringLiteral("Корр. нуля завершена");
        m_pub.StatusSeverity = StatusInfo;
        // Kept until the main window takes it: the thread may be back to
        // readings before the window's next look.
        m_zeroFinishedMark = true;
        if (m_pub.AutoReadAfterZero) {
            m_pub.RepeatFlag = 1;
            m_pub.CommandIndex = ZMX_get_result;
        }
        afterWarmUp = std::exchange(m_warmUpSeen, false);
        if (afterWarmUp)
            m_pub.RecordCount = 0;
    }
    if (!afterWarmUp)
        return;
    // The first zero correction after warm-up switches the sample flow back;
    // whether the instrument takes it decides nothing.
    uint8_t *buffer = m_link->buffer();
    LittleEndian::writeU16(buffer, ZMX_set_flow);
    LittleEndian::writeU16(buffer + PacketPayloadOffset, 0);
    m_link->SendRaw(FlowPacketLength);
    SetStatus(QStringLiteral("Прогрев завершен."));
}

void TOpros_ZMX::probeLostProcedure()
{
    // Eleven silent steps: ask whether the instrument is still there. The
    // probe goes out raw so that the requested command stays current.
    LittleEndian::writeU16(m_link->buffer(), ZMX_Dummy);
    if (m_link->SendRaw(DummyPacketLength) == LinkStatus::Ok) {
        publish([](ZmxSnapshot &p) { p.ProcedureActive = 0; });
        return;
    }
    std::lock_guard lock(m_mutex);
    m_pub.ProcedureActive = -1;
    m_pub.StatusText = QStringLiteral("Ошибка: нет связи с прибором.");
    m_pub.StatusSeverity = StatusError;
    m_pub.RunFlag = false;
}
