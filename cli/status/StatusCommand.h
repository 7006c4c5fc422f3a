// "tillmark-cli status": whether the printer is there, why it does not print, and which it is.
#pragma once

#include "cli/Command.h"
#include "console/status/PrinterStatus.h"

#include <iosfwd>
#include <string>

namespace cli {

// Exit statuses beyond 0 (answered), 1 (no port or connection) and 2 (bad arguments).
inline constexpr int NoAnswerExit = 3;
inline constexpr int BadAnswerExit = 4; // garbage, partial or missing answers

// The status in words, one line each, the first naming Port.
std::string StatusText(const std::string& Port, const console::TPrinterStatus& Status);
// The same as one JSON object.
std::string StatusJson(const std::string& Port, const console::TPrinterStatus& Status);

Command StatusCommand(CLI::App& App, std::ostream& Out, std::ostream& Err);

} // namespace cli
