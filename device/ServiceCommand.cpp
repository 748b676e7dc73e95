#include "device/ServiceCommand.h"

#include "common/NumberText.h"
#include "common/ZelmorError.h"
#include "device/LittleEndian.h"
#include "device/SplineFile.h"

#include <cmath>

namespace {

const QString Unused = QStringLiteral("---");
constexpr double WordRange = 65536.0;

QByteArray wordPayload(quint16 word)
{
    QByteArray payload(2, '\0');
    LittleEndian::writeU16(reinterpret_cast<uint8_t *>(payload.data()), word);
    return payload;
}

} // namespace

quint16 low16Bits(double value)
{
    if (!std::isfinite(value))
        return 0;
    double low = std::fmod(std::trunc(value), WordRange);
    if (low < 0)
        low += WordRange;
    return quint16(low);
}

ServiceCommandFields serviceCommandFields(int code, qint16 o2Shift)
{
    ServiceCommandFields f;
    f.inputNames.fill(Unused);
    f.resultName = Unused;
    switch (code) {
    case ZMX_Dummy:
    case ZMX_get_result:
    case ZMX_get_Term_Ratio:
    case ZMX_get_Drift_Info:
        f.repeat = true;
        break;
    case ZMX_set_flow:
    case ZMX_set_clear:
    case ZMX_set_zero:
    case ZMX_Press_Key: // the key code: never a leftover word of the buffer
        f.inputNames[0] = QStringLiteral("par1");
        f.inputValues[0] = QStringLiteral("0");
        break;
    case ZMX_set_port_param:
        f.inputNames[0] = QStringLiteral("Сетевой номер:");
        f.inputNames[1] = QStringLiteral("Скорость:");
        f.inputValues[0] = QStringLiteral("10");
        f.inputValues[1] = QStringLiteral("0");
        break;
    case ZMX_pressure:
        f.inputNames[0] = QStringLiteral("Текущее давление:");
        f.inputValues[0] = QString::number(DefaultPressureMmHg);
        break;
    case ZMX_Shift_O2:
        f.resultName = QStringLiteral("Shift_O2=");
        break;
    case ZMX_Ku_O2:
        f.inputNames[0] = QStringLiteral("Shift_O2=");
        // -1 means no offset calibration yet: nothing to propose.
        if (o2Shift != -1)
            f.inputValues[0] = QString::number(o2Shift);
        f.resultName = QStringLiteral("Ku_O2=");
        break;
    case ZMX_reset:
        f.inputNames[0] = QStringLiteral("Пароль:");
        f.inputValues[0] = QString::number(DefaultResetPassword);
        break;
    case ZMX_get_s_vector:
        // Beside the panel's button that saves it.
        f.inputNames[1] = QStringLiteral("Сплайн:");
        break;
    case ZMX_set_s_vector:
        // Empty: the spline read from the instrument goes back.
        f.inputNames[0] = QStringLiteral("Файл сплайна:");
        f.inputNames[1] = QString();
        break;
    default:
        break;
    }
    return f;
}

ServiceCommandRequest packServiceCommand(int code,
    const std::array<QString, ServiceCommandFields::InputCount> &inputs,
    const ServiceCommandData &data)
{
    ServiceCommandRequest r;
    r.code = static_cast<ZmxCommand>(code);
    switch (code) {
    case ZMX_set_flow:
    case ZMX_set_clear:
    case ZMX_set_zero:
    case ZMX_Ku_O2:
    case ZMX_reset:
    case ZMX_Press_Key:
        r.payload = wordPayload(quint16(strToInt(inputs[0]) & 0xffff));
        break;
    case ZMX_set_port_param: {
        // Both are converted before anything is packed: a bad second field
        // leaves no half-made request.
        const quint16 network = low16Bits(strToFloat(inputs[0]));
        const quint16 speed = low16Bits(strToFloat(inputs[1]));
        r.payload = wordPayload(network) + wordPayload(speed);
        break;
    }
    case ZMX_pressure: {
        r.payload = QByteArray(8, '\0');
        LittleEndian::writeF64(
            reinterpret_cast<uint8_t *>(r.payload.data()), strToFloat(inputs[0]));
        break;
    }
    case ZMX_Baud38400:
        r.payload = wordPayload(Baud38400Argument);
        break;
    case ZMX_set_constant:
        if (!data.constants)
            throw ZelmorError(
                QStringLiteral("Константы прибора не считаны: записывать в прибор нечего."));
        r.payload = QByteArray(ConstantsRecord::Size, '\0');
        data.constants->encode(reinterpret_cast<uint8_t *>(r.payload.data()));
        break;
    case ZMX_set_s_vector: {
        SplineVector spline;
        if (!inputs[0].isEmpty())
            spline = readSplineFile(inputs[0]);
        else if (data.spline)
            spline = *data.spline;
        else
            throw ZelmorError(QStringLiteral("Сплайн не считан из прибора (--ZMX_get_s_vector) "
                                             "и не выбран файл сплайна: записывать в прибор "
                                             "нечего."));
        r.payload = QByteArray(reinterpret_cast<const char *>(spline.data()), SplineVectorSize);
        break;
    }
    default:
        break;
    }
    return r;
}
