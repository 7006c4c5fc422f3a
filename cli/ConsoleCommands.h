// "tillmark-cli print", "bell", "drawer" and "ports": the console's buttons and port list on the
// command line. They run the window's own sequences (console/ConsoleActions.h) and, unlike the
// window, report every error with its message and a non-zero exit.
#pragma once

#include "cli/Command.h"
#include "console/ConsoleActions.h"
#include "console/net/Socket.h"

#include <exception>
#include <functional>
#include <iosfwd>
#include <string>

namespace CLI {
class App;
}

namespace cli {

// Where the printer is, as print, bell, drawer and status take it.
struct PrinterWhere {
    std::string Serial; // the port, when the printer is on a serial line
    bool Parallel = false;
    std::string Tcp; // HOST[:PORT], when it is on the network
    std::string Baud = "9600";
    int TimeoutMs = 2000; // the network's connect and writes; each status answer
};

// --serial PORT [--baud N] | --parallel | --tcp HOST[:PORT], and --timeout MS; exactly one place.
void AddPrinterWhere(CLI::App& Command, const std::string& Name, PrinterWhere& Where);

// Refuses a value that Parse rejects with console::ENetError, giving its words; Form describes
// the value in the help.
void CheckEndpoint(CLI::Option& Option, std::function<void(const std::string&)> Parse,
                   const std::string& Form);
// The printer on the network, from --tcp: port 9100 unless given.
console::TEndpoint PrinterEndpoint(const PrinterWhere& Where);
// The printer Where names, for console::RunOnPrinter; on a serial line, a port of the action's
// own.
console::TPrinterChoice PrinterChoice(const PrinterWhere& Where);
// "COM9", "LPT1", "127.0.0.1:9100".
std::string PortName(const PrinterWhere& Where);
// The window's speed list item of Baud.
int SpeedItem(const std::string& Baud);

Command PrintCommand(CLI::App& App, std::ostream& Out, std::ostream& Err);
Command BellCommand(CLI::App& App, std::ostream& Out, std::ostream& Err);
Command DrawerCommand(CLI::App& App, std::ostream& Out, std::ostream& Err);
Command PortsCommand(CLI::App& App, std::ostream& Out, std::ostream& Err);

// The message a failed action reports: the error's own, made plain for a parallel-port code.
std::string ActionErrorMessage(std::exception_ptr Error);

} // namespace cli
