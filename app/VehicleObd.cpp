#include "app/VehicleObd.h"

#include "device/MsClock.h"
#include "device/obd/ObdLink.h"

VehicleObd::VehicleObd(ObdLink *link)
    : m_link(link)
{ }

void VehicleObd::apply(const ObdOptions &options)
{
    const QString port = options.activePort();
    m_inUse = !port.isEmpty();
    if (m_link)
        m_link->setPort(port);
}

ObdSnapshot VehicleObd::snapshot() const
{
    return inUse() ? m_link->snapshot() : ObdSnapshot();
}

std::optional<double> VehicleObd::freshRpm(uint32_t nowMs) const
{
    if (!inUse())
        return std::nullopt;
    const ObdSnapshot s = m_link->snapshot();
    if (!s.rpmFresh(nowMs, MaxRpmAgeMs))
        return std::nullopt;
    return s.rpm;
}

VehicleObd::Reading VehicleObd::engineSpeed(
    const ObdSnapshot *obd, double instrumentRpm, uint32_t nowMs)
{
    if (obd && obd->rpmFresh(nowMs, MaxRpmAgeMs))
        return { obd->rpm, true };
    return { instrumentRpm, false };
}

VehicleObd::Reading VehicleObd::temperature(
    const ObdSnapshot *obd, double instrumentTm, uint32_t nowMs)
{
    const bool instrumentHasTm = instrumentTm > NoTmBelow;
    if (!instrumentHasTm && obd && obd->state == ObdState::Online && obd->hasCoolant
        && MsClock::elapsed(obd->coolantAtMs, nowMs) <= MaxCoolantAgeMs)
        return { double(obd->coolantC), true };
    return { instrumentTm, false };
}
