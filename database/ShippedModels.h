#pragma once

#include "database/ModelRecord.h"

#include <QList>

// The car models a fresh database starts with: the usual emission classes
// with their idle and raised-speed limits. NOx has no limit (0) in any of them.
QList<ModelRecord> shippedModels();
