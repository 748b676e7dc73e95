#pragma once

// How a port problem is told: to the operator in Russian, to the log in
// lower-case English.

#include "device/Transport.h"

#include <QString>

// "порт занят другой программой", "порт не найден", ...; empty for None.
QString portProblemText(PortProblem problem);
// "port is in use by another program", "port not found", ...; empty for None.
QString portProblemLogText(PortProblem problem);
