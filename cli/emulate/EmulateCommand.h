// "tillmark-cli emulate": a virtual TM-T88 on a pseudo-terminal published under a port name, on
// the network, or both; its receipts on a web page when asked.
#pragma once

#include "cli/Command.h"
#include "console/net/Socket.h"

#include <cstddef>
#include <iosfwd>
#include <string>

namespace CLI {
class App;
}

namespace cli {

struct EmulateOptions {
    std::string Name = "com9";
    bool Lpt = false;         // stand in for "LPT1" instead
    bool Pty = true;          // on a pseudo-terminal; with --tcp only when --name or --lpt asks
    std::string Folder = "."; // where receipts go
    std::string Profile;
    std::string Tcp;                              // [ADDR:]PORT to listen on; empty for none
    std::string Paper;                            // "ok", "near-end" or "end"
    std::string Cover;                            // "closed" or "open"
    int IdleMs = 30000;                           // a network client silent this long is cut off
    std::size_t MaxBytes = std::size_t{16} << 20; // and one that sends more
    std::string Web; // "[ADDR:]PORT" to show the receipts on a web page; empty for none
};

// "PORT" (on 127.0.0.1) or "ADDR:PORT", as emulate --tcp and --web take it; port 0 lets the
// system choose. Raises console::ENetError.
console::TEndpoint ListenEndpoint(const std::string& Text);

CLI::App* AddEmulateCommand(CLI::App& App, EmulateOptions& Options);

// Runs the virtual printer until SIGINT or SIGTERM; logs to Out.
int RunEmulateCommand(const EmulateOptions& Options, std::ostream& Out, std::ostream& Err);

Command EmulateCommand(CLI::App& App, std::ostream& Out, std::ostream& Err);

} // namespace cli
