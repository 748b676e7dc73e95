#pragma once

#include "database/ModelLimits.h"

#include <array>

// Field names shared by the tables, the forms and the stored results.
namespace FieldNames {

// The sixteen limits of "models.DB" in the order of the table (and of the
// editor's and browser's edit rows): minimum speed, then raised speed.
inline constexpr std::array<const char *, 16> Limits = {
    "MinTax",
    "MinTaxD",
    "MinCO",
    "MinCH",
    "MinCO2",
    "MinO2",
    "MinNOx",
    "MinLambda",
    "MaxTax",
    "MaxTaxD",
    "MaxCO",
    "MaxCH",
    "MaxCO2",
    "MaxO2",
    "MaxNOx",
    "MaxLambda",
};

// Members of ModelLimits parallel to Limits.
inline constexpr std::array<double ModelLimits::*, 16> LimitMembers = {
    &ModelLimits::MinTax,
    &ModelLimits::MinTaxD,
    &ModelLimits::MinCO,
    &ModelLimits::MinCH,
    &ModelLimits::MinCO2,
    &ModelLimits::MinO2,
    &ModelLimits::MinNOx,
    &ModelLimits::MinLambda,
    &ModelLimits::MaxTax,
    &ModelLimits::MaxTaxD,
    &ModelLimits::MaxCO,
    &ModelLimits::MaxCH,
    &ModelLimits::MaxCO2,
    &ModelLimits::MaxO2,
    &ModelLimits::MaxNOx,
    &ModelLimits::MaxLambda,
};

// The fourteen result fields of "reports.db" in the order of the test means
// (CO, CH, CO2, O2, NOx, engine speed, lambda at minimum, then raised speed).
inline constexpr std::array<const char *, 14> Results = {
    "MinCO",
    "MinCH",
    "MinCO2",
    "MinO2",
    "MinNOx",
    "MinTax",
    "MinLambda",
    "MaxCO",
    "MaxCH",
    "MaxCO2",
    "MaxO2",
    "MaxNOx",
    "MaxTax",
    "MaxLambda",
};

// How each result is rounded before it is stored: significant digits, decimals.
struct Rounding
{
    int precision;
    int decimals;
};
inline constexpr std::array<Rounding, 7> ResultRounding = {
    Rounding { 4, 2 }, Rounding { 4, 2 }, Rounding { 4, 2 }, Rounding { 4, 2 }, // gases
    Rounding { 4, 0 }, // NOx
    Rounding { 4, 0 }, // engine speed
    Rounding { 2, 2 }, // lambda
};

} // namespace FieldNames
