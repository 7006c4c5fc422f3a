// "tillmark-cli emulate": a virtual TM-T88 on a pseudo-terminal, published under a port name.
#pragma once

#include "cli/Command.h"

#include <iosfwd>
#include <string>

namespace CLI {
class App;
}

namespace cli {

struct EmulateOptions {
    std::string Name = "com9";
    bool Lpt = false;         // stand in for "LPT1" instead
    std::string Folder = "."; // where receipts go
    std::string Profile;
    std::string Web; // "[ADDR:]PORT" to show the receipts on a web page; empty for none
};

CLI::App* AddEmulateCommand(CLI::App& App, EmulateOptions& Options);

// Runs the virtual printer until SIGINT or SIGTERM; logs to Out.
int RunEmulateCommand(const EmulateOptions& Options, std::ostream& Out, std::ostream& Err);

Command EmulateCommand(CLI::App& App, std::ostream& Out, std::ostream& Err);

} // namespace cli
