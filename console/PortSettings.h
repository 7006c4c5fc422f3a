// The printer port's initial settings, shared by the window's port and the command line's.
#pragma once

#include "serial/CPort.h"

namespace console {

// Gives Port the console printer port's settings: its name, 9600 bit/s, 8 data bits, no parity,
// one stop bit, every event selected and no flow control.
void LoadConsolePortSettings(TCustomComPort& Port);

} // namespace console
