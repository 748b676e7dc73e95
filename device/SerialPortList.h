#pragma once

#include <QStringList>

// The serial ports of this system, as names the connection accepts: the
// stable links of /dev/serial/by-id first, then every /dev/tty* that sysfs
// shows with a device behind it and no by-id link (legacy 8250 ports only
// when a UART is really there). Empty when none are found.
QStringList systemSerialPorts();
