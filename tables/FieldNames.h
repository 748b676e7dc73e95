#pragma once

#include "tables/ModelLimits.h"

#include <array>
#include <cstddef>
#include <string_view>

// The layouts of the two tables: every list of their fields and every order
// in which the program reads, writes or shows them is written here, once.
namespace FieldNames {

// ---- "models.DB" -----------------------------------------------------------

// The fields before the limits, in the order of the table.
inline constexpr std::array<const char *, 4> ModelKeys
    = { "Index", "Name", "SaveSystem", "Category" };

// The sixteen limits in the order of the table (and of the editor's and
// browser's edit rows): minimum speed, then raised speed.
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

// ---- "reports.db" ----------------------------------------------------------

// The fields before the results, in the order of the table.
inline constexpr std::array<const char *, 6> ReportKeys
    = { "Index", "Date", "Time", "ZMNum", "Model", "GovNumber" };

// The fourteen results in the order of the table: engine speed first within
// each step, as the stored records have it.
inline constexpr std::array<const char *, 14> Results
    = { "MinTax", "MinCO", "MinCH", "MinCO2", "MinO2", "MinNOx", "MinLambda", "MaxTax", "MaxCO",
          "MaxCH", "MaxCO2", "MaxO2", "MaxNOx", "MaxLambda" };

// Width of "GovNumber": a longer registration number is cut to it when stored.
inline constexpr int GovNumberWidth = 8;

// After the results: the links of the chain of stored results.
inline constexpr std::array<const char *, 2> ChainLinks = { "PrevHash", "Hash" };

// Beside the links: which scheme hashed the row (null: the first one, which
// left out the row's number), its place in its instrument's chain, and the
// control codes it carried before the administrator re-keyed the chain.
inline constexpr std::array<const char *, 3> ChainColumns
    = { "ChainScheme", "ChainSeq", "FormerCodes" };

// After the chain's links: what a result was judged by and how it was
// measured, taken when it is stored, so that an old protocol printed again
// shows the limits, the place, the operator and the instrument's verification
// of its day whatever the models table says now. A row stored before these
// columns existed holds nulls in them.
inline constexpr std::array<const char *, 25> StoredWith = {
    "ModelName",
    "ModelCategory",
    "ModelSaveSystem",
    "LimMinTax",
    "LimMinTaxD",
    "LimMinCO",
    "LimMinCH",
    "LimMinCO2",
    "LimMinO2",
    "LimMinNOx",
    "LimMinLambda",
    "LimMaxTax",
    "LimMaxTaxD",
    "LimMaxCO",
    "LimMaxCH",
    "LimMaxCO2",
    "LimMaxO2",
    "LimMaxNOx",
    "LimMaxLambda",
    "Place",
    "Operator",
    "Certificate",
    "CertificateValidUntil",
    "SpeedSource", // "instrument", "OBD", or "mixed" when the adapter came or went
    "VehicleDiagnosis", // the OBD diagnosis read during the test, as its stored text
};
// Position of the first limit in StoredWith; the sixteen follow Limits' order.
inline constexpr int StoredLimitsFirst = 3;
static_assert(
    [] {
        for (std::size_t i = 0; i < Limits.size(); ++i)
            if (const std::string_view name = StoredWith[StoredLimitsFirst + i];
                name.substr(0, 3) != "Lim" || name.substr(3) != Limits[i])
                return false;
        return true;
    }(),
    "StoredWith holds the sixteen limits in Limits' order, each named Lim<limit>");

// The fourteen results in the order of the test means: CO, CH, CO2, O2, NOx,
// engine speed, lambda at minimum speed, then the same at raised speed.
inline constexpr std::array<const char *, 14> Means = {
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

// How each mean is rounded before it is stored (Means modulo 7):
// significant digits, decimals.
struct Rounding
{
    int precision;
    int decimals;
};
inline constexpr std::array<Rounding, 7> MeanRounding = {
    Rounding { 4, 2 }, Rounding { 4, 2 }, Rounding { 4, 2 }, Rounding { 4, 2 }, // gases
    Rounding { 4, 0 }, // NOx
    Rounding { 4, 0 }, // engine speed
    Rounding { 2, 2 }, // lambda
};

// A lambda, measured or nominal, is shown with its decimals ("1,00"): a bare
// "1" reads as a count.
inline constexpr int LambdaDecimals = 2;
constexpr bool isLambda(std::string_view name)
{
    return name.ends_with("Lambda");
}

// Position of name in Results, -1 when it is no result (a deviation limit).
constexpr int resultColumn(std::string_view name)
{
    for (std::size_t i = 0; i < Results.size(); ++i)
        if (name == Results[i])
            return int(i);
    return -1;
}

// For each mean, its position in Results.
inline constexpr std::array<int, 14> MeanColumns = [] {
    std::array<int, 14> columns {};
    for (std::size_t i = 0; i < Means.size(); ++i)
        columns[i] = resultColumn(Means[i]);
    return columns;
}();
static_assert(
    [] {
        std::array<bool, 14> seen {};
        for (int c : MeanColumns) {
            if (c < 0 || seen[std::size_t(c)])
                return false;
            seen[std::size_t(c)] = true;
        }
        return true;
    }(),
    "the means are the result fields, each once");

} // namespace FieldNames
