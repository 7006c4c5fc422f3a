// The console's test actions without the window: the serial and parallel sequences behind Print,
// Bell and Epson. The window and the command line run this same code; the window swallows what
// the guard caught, the command line reports it.
#pragma once

#include "receipt/Receipt.h"
#include "serial/CPort.h"

#include <exception>
#include <string>

namespace console {

// What the serial path reads from the user's choices: the port name (empty when the list is
// empty) and the speed list's item index (see BaudRateTable).
struct SerialChoice {
    std::string Port;
    int SpeedItem = 5; // "9600"
};

// Each action runs its steps inside a guard and gives back what the guard caught (null when all
// went well); the remaining steps are then skipped. The serial actions close the port afterwards
// if it is still connected; that close stands outside the guard, so its error is raised.
std::exception_ptr PrintSerial(TCustomComPort& Port, const SerialChoice& Choice,
                               receipt::Language Lang, const std::string& DateStamp);
std::exception_ptr PrintParallel(receipt::Language Lang, const std::string& DateStamp);
std::exception_ptr DrawerSerial(TCustomComPort& Port, const SerialChoice& Choice,
                                receipt::Drawer Kind);
std::exception_ptr DrawerParallel(receipt::Drawer Kind);

} // namespace console
