#include "app/TestDiagnosis.h"

#include "app/VehicleObd.h"
#include "device/obd/ObdLink.h"

void TestDiagnosis::startForNewVehicle()
{
    clear();
    request();
}

bool TestDiagnosis::request()
{
    if (!m_obd || !m_obd->inUse())
        return false;
    // A read still running goes on and counts for this request: the link
    // asks the vehicle once at a time.
    m_obd->link()->requestDiagnosis();
    m_phase = Phase::Reading;
    return true;
}

bool TestDiagnosis::poll()
{
    if (m_phase != Phase::Reading)
        return false;
    if (!m_obd || !m_obd->inUse()) {
        // The adapter was taken out of use while it read.
        m_phase = Phase::NotRead;
        return true;
    }
    VehicleDiagnosis taken;
    if (!m_obd->link()->takeDiagnosis(&taken))
        return false;
    m_diagnosis = taken;
    m_phase = Phase::Done;
    return true;
}

void TestDiagnosis::clear()
{
    m_phase = Phase::NotRead;
    m_diagnosis = VehicleDiagnosis();
}

TestDiagnosis::Phase TestDiagnosis::phase() const
{
    if (m_phase == Phase::NotRead && (!m_obd || !m_obd->inUse()))
        return Phase::Unused;
    return m_phase;
}

QString TestDiagnosis::storedText() const
{
    if (m_phase != Phase::Done || m_diagnosis.result == VehicleDiagnosis::Result::NotRead)
        return QString();
    return QString::fromUtf8(m_diagnosis.toJson());
}

QString TestDiagnosis::notInUseText()
{
    return QStringLiteral("Адаптер OBD не используется.\n"
                          "Включите его в меню Настройки->Общие..., страница «OBD».");
}

QString TestDiagnosis::pageText() const
{
    switch (phase()) {
    case Phase::Unused:
        return QStringLiteral("Адаптер OBD не используется.");
    case Phase::NotRead:
        return QStringLiteral("Не проводилась (F5 — прочитать).");
    case Phase::Reading:
        return QStringLiteral("Чтение...");
    case Phase::Done:
        break;
    }
    const VehicleDiagnosis &d = m_diagnosis;
    if (!d.read())
        return QStringLiteral("Не удалась: ") + d.failure;
    // A few short lines for the side panel; the protocol prints the whole.
    QStringList lines;
    lines << QStringLiteral("Индикатор неисправности: ")
            + (d.status.milOn ? QStringLiteral("включён") : QStringLiteral("выключен"));
    lines << QStringLiteral("Коды: ")
            + (!d.codesRead             ? QStringLiteral("не прочитаны")
                    : d.codes.isEmpty() ? QStringLiteral("нет")
                                        : d.codes.join(QStringLiteral(", ")));
    QStringList notReady;
    int supported = 0;
    for (const ObdMonitorInfo &info : obdMonitors()) {
        if (!d.status.supported.contains(info.monitor))
            continue;
        ++supported;
        if (!d.status.ready(info.monitor))
            notReady << obdMonitorName(info.monitor);
    }
    if (supported == 0)
        lines << QStringLiteral("Готовность: нет сведений");
    else if (notReady.isEmpty())
        lines << QStringLiteral("Готовность: все мониторы готовы (%1)").arg(supported);
    else
        lines << QStringLiteral("Не готовы: ") + notReady.join(QStringLiteral(", "));
    if (!d.vin.isEmpty())
        lines << QStringLiteral("VIN: ") + d.vin;
    return lines.join(QLatin1Char('\n'));
}
