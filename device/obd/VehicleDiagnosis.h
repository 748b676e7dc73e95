#pragma once

// What the vehicle's own computer said about itself during a test: the
// malfunction indicator lamp, the stored trouble codes, the readiness of its
// emission monitors and its VIN. A plain value: it is stored with a result
// (as a compact JSON text) and printed on the protocol.

#include "device/obd/ObdMonitor.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

struct VehicleDiagnosis
{
    enum class Result {
        NotRead, // no read was asked for, or none could start (no adapter)
        Read, // the vehicle answered: the fields below hold
        Failed, // a read was tried and the vehicle or the adapter failed
    };

    Result result = Result::NotRead;
    // Why it failed, for the operator ("автомобиль не отвечает (NO DATA)").
    QString failure;
    ObdMonitorStatus status;
    QStringList codes; // mode 03: "P0420", ...
    bool codesRead = false; // false: mode 03 brought no answer (the lamp and monitors still hold)
    QString vin; // empty when the vehicle gives none

    bool read() const { return result == Result::Read; }

    // The text after "Бортовая диагностика: " on the protocol:
    // "индикатор неисправности выключен; готовность: катализатор ✓, …;
    // коды неисправностей: P0420", or "не проводилась".
    QString summary() const;

    // One line of JSON with stable keys, for storing with a result. Readers
    // of stored results come back through fromJson.
    QByteArray toJson() const;
    // Nothing when `json` is no stored diagnosis (damaged or foreign text).
    static std::optional<VehicleDiagnosis> fromJson(const QByteArray &json);

    bool operator==(const VehicleDiagnosis &) const = default;
};
