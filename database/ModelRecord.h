#pragma once

#include "tables/ModelLimits.h"

#include <QString>

// One row of the models table as the program reads it.
struct ModelRecord
{
    int Index = 0; // 0: no model (empty table, or a new model not yet stored)
    QString Name;
    QString SaveSystem;
    QString Category;
    ModelLimits limits;
};
