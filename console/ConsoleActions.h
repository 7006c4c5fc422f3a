// The console's test actions without the window: the one choice between the serial, parallel and
// network printer, the sequences behind Print, Bell and Epson, and the one step that runs an
// action against the chosen printer and gives back its error. The window and the command line
// run this same code; the window swallows what the guard caught, the command line reports it.
#pragma once

#include "console/net/Socket.h"
#include "receipt/Receipt.h"
#include "serial/CPort.h"

#include <exception>
#include <functional>
#include <string>
#include <variant>
#include <vector>

namespace console {

// What the serial path reads from the user's choices: the port name (empty when the list is
// empty) and the speed list's item index (see BaudRateTable).
struct SerialChoice {
    std::string Port;
    int SpeedItem = 5; // "9600"
};

// The printer on a serial line. Port is the one the action opens and closes again; null gives the
// action a port of its own with the console's settings (LoadConsolePortSettings).
struct TSerialPrinter {
    SerialChoice Line;
    TCustomComPort* Port = nullptr;
};
// The printer on the parallel port LPT1.
struct TParallelPrinter {};
// The printer on the network; TimeoutMs bounds the connect and each write.
struct TNetworkPrinter {
    TEndpoint Where;
    int TimeoutMs = 2000;
};
using TPrinterChoice = std::variant<TSerialPrinter, TParallelPrinter, TNetworkPrinter>;

// What an action sends: its writes for the path its bytes take (the network takes the serial
// line's), each written whole.
struct TPrinterAction {
    std::function<std::vector<std::string>(receipt::Path)> Writes;
    // The serial line goes to eight data bits without parity first, whatever the port had.
    bool EightBitsNoParity = false;
};
// The receipt, then the cut trailer; a failed receipt leaves the paper uncut.
TPrinterAction PrintAction(receipt::Language Lang, const std::string& DateStamp);
// The bell's or the drawer's pulse.
TPrinterAction DrawerAction(receipt::Drawer Kind);

// Runs Steps and gives back what it raised, null when all went well.
std::exception_ptr Caught(const std::function<void()>& Steps);

// Opens the chosen printer, sends the action's writes and closes it again, inside a guard: gives
// back what the guard caught (null when all went well), the remaining steps then skipped. A serial
// port still connected afterwards is closed outside the guard, so that close's error is raised.
std::exception_ptr RunOnPrinter(const TPrinterChoice& Choice, const TPrinterAction& Action);

} // namespace console
