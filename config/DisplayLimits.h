#pragma once

#include <array>

// Lower and upper display limit of each gas in the order CO, CH, CO2, O2,
// NOx, as the gas graph holds them (single precision).
struct DisplayLimits
{
    static constexpr int GasCount = 5;

    std::array<float, GasCount> Low { 0, 0, 0, 0, 0 };
    std::array<float, GasCount> High { 7, 3000, 16, 22, 5000 };

    bool operator==(const DisplayLimits &) const = default;
};
