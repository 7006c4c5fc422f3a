// "tillmark-cli monitor": opens a serial port with every event and prints each event as the
// port delivers it, until Ctrl+C.
#pragma once

#include "cli/Command.h"
#include "cli/PortOptions.h"
#include "serial/CPort.h"

#include <cstdint>
#include <iosfwd>
#include <string>

namespace cli {

struct MonitorOptions {
    PortOptions Port;
    TSyncMethod Sync = smThreadSync;
};

Command MonitorCommand(CLI::App& App, std::ostream& Out, std::ostream& Err);
int RunMonitor(const MonitorOptions& Options, std::ostream& Out, std::ostream& Err);

// Received bytes as hex followed by their text, non-printing bytes shown as '.'.
std::string DescribeBytes(const std::string& Bytes);
// Line errors by name, such as "frame, overrun".
std::string DescribeErrors(TComErrors Errors);

} // namespace cli
