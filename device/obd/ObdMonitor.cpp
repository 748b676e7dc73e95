#include "device/obd/ObdMonitor.h"

#include <algorithm>
#include <iterator>

namespace {

constexpr uint8_t MilBit = 0x80;
constexpr uint8_t CodeCountMask = 0x7f;
constexpr uint8_t CompressionBit = 0x08; // byte B, bit 3
constexpr int IncompleteShift = 4; // byte B: "incomplete" sits 4 bits above "available"

using G = ObdMonitorGroup;

constexpr ObdMonitorInfo MonitorTable[] = {
    { ObdMonitor::Misfire, G::Continuous, 0, "misfire", "пропуски воспламенения" },
    { ObdMonitor::FuelSystem, G::Continuous, 1, "fuel", "топливная система" },
    { ObdMonitor::Components, G::Continuous, 2, "components", "компоненты" },
    { ObdMonitor::Catalyst, G::Spark, 0, "catalyst", "катализатор" },
    { ObdMonitor::HeatedCatalyst, G::Spark, 1, "heated-catalyst", "подогрев катализатора" },
    { ObdMonitor::Evaporative, G::Spark, 2, "evap", "система улавливания паров топлива" },
    { ObdMonitor::SecondaryAir, G::Spark, 3, "secondary-air", "система вторичного воздуха" },
    { ObdMonitor::AcRefrigerant, G::Spark, 4, "ac", "хладагент кондиционера" },
    { ObdMonitor::OxygenSensor, G::Spark, 5, "o2", "кислородный датчик" },
    { ObdMonitor::OxygenSensorHeater, G::Spark, 6, "o2-heater", "подогрев кислородного датчика" },
    { ObdMonitor::Egr, G::Spark, 7, "egr", "рециркуляция отработавших газов" },
    { ObdMonitor::NmhcCatalyst, G::Compression, 0, "nmhc", "катализатор NMHC" },
    { ObdMonitor::NoxAftertreatment, G::Compression, 1, "nox", "нейтрализатор NOx" },
    { ObdMonitor::BoostPressure, G::Compression, 3, "boost", "давление наддува" },
    { ObdMonitor::ExhaustGasSensor, G::Compression, 5, "exhaust-sensor",
        "датчик отработавших газов" },
    { ObdMonitor::ParticulateFilter, G::Compression, 6, "pm-filter", "сажевый фильтр" },
    { ObdMonitor::EgrVvt, G::Compression, 7, "egr-vvt", "рециркуляция отработавших газов / VVT" },
};

// obdMonitorInfo() finds a monitor by its value: the table keeps their order.
constexpr bool inValueOrder()
{
    for (size_t i = 0; i < std::size(MonitorTable); ++i) {
        if (size_t(MonitorTable[i].monitor) != i)
            return false;
    }
    return true;
}
static_assert(inValueOrder());

} // namespace

const std::vector<ObdMonitorInfo> &obdMonitors()
{
    static const std::vector<ObdMonitorInfo> table(
        std::begin(MonitorTable), std::end(MonitorTable));
    return table;
}

const ObdMonitorInfo &obdMonitorInfo(ObdMonitor monitor)
{
    return MonitorTable[size_t(monitor)];
}

std::optional<ObdMonitor> obdMonitorFromKey(std::string_view key)
{
    const auto &table = obdMonitors();
    const auto it = std::find_if(
        table.begin(), table.end(), [key](const ObdMonitorInfo &i) { return key == i.key; });
    if (it == table.end())
        return std::nullopt;
    return it->monitor;
}

QString obdMonitorName(ObdMonitor monitor)
{
    return QString::fromUtf8(obdMonitorInfo(monitor).name);
}

ObdMonitorStatus obdMonitorStatusFromBytes(uint8_t a, uint8_t b, uint8_t c, uint8_t d)
{
    ObdMonitorStatus status;
    status.milOn = a & MilBit;
    status.codeCount = a & CodeCountMask;
    status.compressionIgnition = b & CompressionBit;
    const ObdMonitorGroup perTrip
        = status.compressionIgnition ? ObdMonitorGroup::Compression : ObdMonitorGroup::Spark;
    for (const ObdMonitorInfo &info : obdMonitors()) {
        bool available = false;
        bool incomplete = false;
        if (info.group == ObdMonitorGroup::Continuous) {
            available = b & (1u << info.bit);
            incomplete = b & (1u << (info.bit + IncompleteShift));
        } else if (info.group == perTrip) {
            available = c & (1u << info.bit);
            incomplete = d & (1u << info.bit);
        }
        if (available)
            status.supported.insert(info.monitor);
        if (available && incomplete)
            status.incomplete.insert(info.monitor);
    }
    return status;
}

std::array<uint8_t, 4> obdMonitorStatusToBytes(const ObdMonitorStatus &status)
{
    std::array<uint8_t, 4> bytes {};
    bytes[0] = uint8_t((status.milOn ? MilBit : 0) | (status.codeCount & CodeCountMask));
    bytes[1] = status.compressionIgnition ? CompressionBit : 0;
    const ObdMonitorGroup perTrip
        = status.compressionIgnition ? ObdMonitorGroup::Compression : ObdMonitorGroup::Spark;
    for (const ObdMonitorInfo &info : obdMonitors()) {
        if (!status.supported.contains(info.monitor))
            continue;
        const bool incomplete = status.incomplete.contains(info.monitor);
        if (info.group == ObdMonitorGroup::Continuous) {
            bytes[1] |= uint8_t(1u << info.bit);
            if (incomplete)
                bytes[1] |= uint8_t(1u << (info.bit + IncompleteShift));
        } else if (info.group == perTrip) {
            bytes[2] |= uint8_t(1u << info.bit);
            if (incomplete)
                bytes[3] |= uint8_t(1u << info.bit);
        }
    }
    return bytes;
}
