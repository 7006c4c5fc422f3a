// "tillmark-cli status --watch": the printer's status as it changes, one line (or one JSON
// object) per change, from automatic status back, until Ctrl+C or the printer goes away.
#pragma once

#include "cli/ConsoleCommands.h"
#include "console/status/StatusWatch.h"

#include <chrono>
#include <iosfwd>
#include <string>

namespace cli {

// "2026-12-07T13:05:00.250Z".
std::string WatchTime(std::chrono::system_clock::time_point At);

// "TIME PORT: offline (cover open); cover open, paper ok, drawer pin 3 high, no error".
std::string WatchText(const std::string& Time, const std::string& Port,
                      const console::TStatusMessage& M);
// The same as one JSON object on one line (fields in README).
std::string WatchJson(const std::string& Time, const std::string& Port,
                      const console::TStatusMessage& M);

// Exit status 0 after Ctrl+C, 1 when the line cannot be had or the printer went away, 2 for the
// parallel port (it cannot be read here), 3 when the printer answers nothing.
int RunStatusWatch(const PrinterWhere& Where, bool Json, std::ostream& Out, std::ostream& Err);

} // namespace cli
