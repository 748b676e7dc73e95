#pragma once

#include <QString>
#include <array>

// A finished emission test as it is handed to StoreTestResult.
struct TestResult
{
    static constexpr int MeanCount = 14;

    int modelIndex = 0; // SelectedVehicle::modelIndex of the tested vehicle
    QString govNumber; // edGosNum; cut to 8 characters when stored
    int instrumentNumber = -1; // InstrumentNumber, stored as ZMNum
    // TestMeans: 0 … 6 minimum speed, 7 … 13 raised speed, each in the order
    // CO, CH, CO2, O2, NOx, engine speed, lambda.
    std::array<float, MeanCount> means {};
    // Where the engine speeds came from: "instrument", "OBD", or "mixed" when
    // the vehicle's computer answered for some readings only.
    QString speedSource = QStringLiteral("instrument");
    // The vehicle's own diagnosis read during the test (its stored text), or
    // empty when none was read.
    QString vehicleDiagnosis;
};
