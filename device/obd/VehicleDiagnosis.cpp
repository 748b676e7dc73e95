#include "device/obd/VehicleDiagnosis.h"

#include "device/obd/ObdDecode.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

// Stored texts carry their format's number; a later format gets a new one.
constexpr int FormatVersion = 1;
constexpr int MaxCodeCount = 127; // seven bits in PID 01
constexpr qsizetype MaxVinLength = 17;
constexpr qsizetype MaxFailureLength = 500;

const QString KeyFormat = QStringLiteral("obd");
const QString KeyResult = QStringLiteral("result");
const QString KeyFailure = QStringLiteral("failure");
const QString KeyMil = QStringLiteral("mil");
const QString KeyCodeCount = QStringLiteral("codeCount");
const QString KeyIgnition = QStringLiteral("ignition");
const QString KeyMonitors = QStringLiteral("monitors");
const QString KeyCodes = QStringLiteral("codes");
const QString KeyVin = QStringLiteral("vin");
const QString ResultRead = QStringLiteral("read");
const QString ResultFailed = QStringLiteral("failed");
const QString ResultNotRead = QStringLiteral("not-read");
const QString IgnitionSpark = QStringLiteral("spark");
const QString IgnitionCompression = QStringLiteral("compression");
const QString MonitorReady = QStringLiteral("ready");
const QString MonitorIncomplete = QStringLiteral("incomplete");

bool monitorFits(const ObdMonitorInfo &info, bool compression)
{
    return info.group == ObdMonitorGroup::Continuous
        || info.group == (compression ? ObdMonitorGroup::Compression : ObdMonitorGroup::Spark);
}

bool validVin(const QString &vin)
{
    if (vin.size() > MaxVinLength)
        return false;
    for (const QChar c : vin) {
        if (!((c >= QLatin1Char('0') && c <= QLatin1Char('9'))
                || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))))
            return false;
    }
    return true;
}

bool readMonitors(const QJsonObject &monitors, ObdMonitorStatus &status)
{
    for (auto it = monitors.begin(); it != monitors.end(); ++it) {
        const auto monitor = obdMonitorFromKey(it.key().toStdString());
        if (!monitor || !monitorFits(obdMonitorInfo(*monitor), status.compressionIgnition))
            return false;
        const QString state = it.value().toString();
        if (state != MonitorReady && state != MonitorIncomplete)
            return false;
        status.supported.insert(*monitor);
        if (state == MonitorIncomplete)
            status.incomplete.insert(*monitor);
    }
    return true;
}

} // namespace

QString VehicleDiagnosis::summary() const
{
    if (!read())
        return QStringLiteral("не проводилась");
    QStringList parts;
    parts << (status.milOn ? QStringLiteral("индикатор неисправности включён")
                           : QStringLiteral("индикатор неисправности выключен"));
    QStringList monitors;
    for (const ObdMonitorInfo &info : obdMonitors()) {
        if (status.supported.contains(info.monitor))
            monitors << obdMonitorName(info.monitor)
                    + (status.ready(info.monitor) ? QStringLiteral(" ✓") : QStringLiteral(" ✗"));
    }
    parts << QStringLiteral("готовность: ")
            + (monitors.isEmpty() ? QStringLiteral("нет сведений")
                                  : monitors.join(QStringLiteral(", ")));
    if (!codesRead)
        parts << QStringLiteral("коды неисправностей: не прочитаны");
    else
        parts << QStringLiteral("коды неисправностей: ")
                + (codes.isEmpty() ? QStringLiteral("нет") : codes.join(QStringLiteral(", ")));
    if (!vin.isEmpty())
        parts << QStringLiteral("VIN ") + vin;
    return parts.join(QStringLiteral("; "));
}

QByteArray VehicleDiagnosis::toJson() const
{
    QJsonObject o;
    o[KeyFormat] = FormatVersion;
    switch (result) {
    case Result::NotRead:
        o[KeyResult] = ResultNotRead;
        break;
    case Result::Failed:
        o[KeyResult] = ResultFailed;
        o[KeyFailure] = failure.left(MaxFailureLength);
        break;
    case Result::Read: {
        o[KeyResult] = ResultRead;
        o[KeyMil] = status.milOn;
        o[KeyCodeCount] = status.codeCount;
        o[KeyIgnition] = status.compressionIgnition ? IgnitionCompression : IgnitionSpark;
        QJsonObject monitors;
        for (const ObdMonitorInfo &info : obdMonitors()) {
            if (status.supported.contains(info.monitor))
                monitors[QString::fromLatin1(info.key)]
                    = status.incomplete.contains(info.monitor) ? MonitorIncomplete : MonitorReady;
        }
        o[KeyMonitors] = monitors;
        if (codesRead)
            o[KeyCodes] = QJsonArray::fromStringList(codes);
        if (!vin.isEmpty())
            o[KeyVin] = vin;
        break;
    }
    }
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

std::optional<VehicleDiagnosis> VehicleDiagnosis::fromJson(const QByteArray &json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject o = document.object();
    if (o.value(KeyFormat).toInt(-1) != FormatVersion)
        return std::nullopt;

    VehicleDiagnosis d;
    const QString result = o.value(KeyResult).toString();
    if (result == ResultNotRead)
        return d;
    if (result == ResultFailed) {
        d.result = Result::Failed;
        d.failure = o.value(KeyFailure).toString().left(MaxFailureLength);
        return d;
    }
    if (result != ResultRead)
        return std::nullopt;

    d.result = Result::Read;
    const QJsonValue mil = o.value(KeyMil);
    const int count = o.value(KeyCodeCount).toInt(-1);
    const QString ignition = o.value(KeyIgnition).toString();
    if (!mil.isBool() || count < 0 || count > MaxCodeCount
        || (ignition != IgnitionSpark && ignition != IgnitionCompression))
        return std::nullopt;
    d.status.milOn = mil.toBool();
    d.status.codeCount = count;
    d.status.compressionIgnition = ignition == IgnitionCompression;
    if (!readMonitors(o.value(KeyMonitors).toObject(), d.status))
        return std::nullopt;

    const QJsonValue codes = o.value(KeyCodes);
    d.codesRead = codes.isArray();
    if (!codes.isUndefined() && !d.codesRead)
        return std::nullopt;
    for (const QJsonValue &code : codes.toArray()) {
        uint8_t high = 0;
        uint8_t low = 0;
        const QString text = code.toString();
        if (!obd::troubleCodeBytes(text.toStdString(), high, low)
            || QString::fromStdString(obd::troubleCodeText(high, low)) != text)
            return std::nullopt;
        d.codes << text;
    }
    d.vin = o.value(KeyVin).toString();
    if (!validVin(d.vin))
        return std::nullopt;
    return d;
}
