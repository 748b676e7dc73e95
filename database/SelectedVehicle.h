#pragma once

#include "tables/ModelLimits.h"

#include <QString>

// What the vehicle selection hands to the emission test on confirmation.
// modelIndex travels with the test to StoreTestResult, so the stored row names
// the model that was tested even if the models cursor moves in between.
struct SelectedVehicle
{
    int modelIndex = 0; // Index in the models table; 0 when no model was chosen
    QString modelName; // for edModel
    QString govNumber; // for edGosNum, already upper-cased
    ModelLimits limits; // for the gas graph's limit set and gauge windows
};
