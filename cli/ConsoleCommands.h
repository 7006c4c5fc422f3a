// "tillmark-cli print", "bell", "drawer" and "ports": the console's buttons and port list on the
// command line. They run the window's own sequences (console/ConsoleActions.h) and, unlike the
// window, report every error with its message and a non-zero exit.
#pragma once

#include "cli/Command.h"

#include <exception>
#include <iosfwd>
#include <string>

namespace cli {

Command PrintCommand(CLI::App& App, std::ostream& Out, std::ostream& Err);
Command BellCommand(CLI::App& App, std::ostream& Out, std::ostream& Err);
Command DrawerCommand(CLI::App& App, std::ostream& Out, std::ostream& Err);
Command PortsCommand(CLI::App& App, std::ostream& Out, std::ostream& Err);

// The message a failed action reports: the error's own, made plain for a parallel-port code.
std::string ActionErrorMessage(std::exception_ptr Error);

} // namespace cli
