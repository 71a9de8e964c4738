#pragma once

#include <QString>

// Serial port numbers of the settings (1 = COM1) name local devices by this rule:
//  1. the environment variable TOLVANE_COM<n> (for example TOLVANE_COM1=/tmp/encoder) wins;
//  2. otherwise key COM<n> of section [ports] in sys.ini in the installation folder;
//  3. otherwise /dev/ttyS<n-1>, the machine's n-th built-in serial port.
// A USB adapter (/dev/ttyUSB0) or the encoder emulator's link is therefore given by one line.
namespace PortMap {

QString deviceFor(int portNumber);

} // namespace PortMap
