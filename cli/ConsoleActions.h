// The console's test actions without the window: the serial and parallel sequences behind Print,
// Bell and Epson, the printer port's initial settings, and the port list read from the
// serial-port map. The window and the command line run this same code; the window swallows what
// the guard caught, the command line reports it.
#pragma once

#include "receipt/Receipt.h"
#include "serial/CPort.h"

#include <exception>
#include <string>
#include <vector>

namespace cli {

// What the serial path reads from the user's choices: the port name (empty when the list is
// empty) and the speed list's item index (see BaudRateTable).
struct SerialChoice {
    std::string Port;
    int SpeedItem = 5; // "9600"
};

// Gives Port the console printer port's settings: its name, 9600 bit/s, 8 data bits, no parity,
// one stop bit, every event selected and no flow control.
void LoadConsolePortSettings(TCustomComPort& Port);

// Each action runs its steps inside a guard and gives back what the guard caught (null when all
// went well); the remaining steps are then skipped. The serial actions close the port afterwards
// if it is still connected; that close stands outside the guard, so its error is raised.
std::exception_ptr PrintSerial(TCustomComPort& Port, const SerialChoice& Choice,
                               receipt::Language Lang, const std::string& DateStamp);
std::exception_ptr PrintParallel(receipt::Language Lang, const std::string& DateStamp);
std::exception_ptr DrawerSerial(TCustomComPort& Port, const SerialChoice& Choice,
                                receipt::Drawer Kind);
std::exception_ptr DrawerParallel(receipt::Drawer Kind);

// The serial-port map as the console reads it at start.
struct PortMap {
    bool Found = false;             // the map's key could be opened
    std::vector<std::string> Names; // value names, in the map's order
    std::vector<std::string> Ports; // the text of each value read, in the same order
    std::exception_ptr Error;       // a value holding no text stopped the reading
};
PortMap ReadPortMap();

// Ports in ascending order ignoring letter case, equal ones in the order given.
std::vector<std::string> SortedPorts(std::vector<std::string> Ports);

} // namespace cli
