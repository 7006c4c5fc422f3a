// The device end of the virtual printer: a pseudo-terminal pair whose terminal side is published
// in the alias folder, so programs open it by a port name ("com9", "lpt1") like a real printer.
// Beside the Win32 surface, implemented on Linux: Windows has no pseudo-terminals of this kind.
#pragma once

#include "platform/Export.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

class TILLMARK_PLATFORM_API VirtualPort {
public:
    // Opens the pair and publishes the terminal side as Name (in lower case). Throws
    // std::runtime_error with the reason: no alias folder, a name that is no plain file name,
    // a name another live device already holds, or a failed system call. A stale alias whose
    // device is gone is replaced.
    explicit VirtualPort(const std::string& Name);
    ~VirtualPort(); // removes the alias, if it is still ours, and closes the pair
    VirtualPort(const VirtualPort&) = delete;
    VirtualPort& operator=(const VirtualPort&) = delete;

    const std::string& Device() const { return FDevice; } // "/dev/pts/N"
    const std::string& Alias() const { return FAlias; }   // the link in the alias folder

    // Waits for bytes written to the terminal side and gives them; nullopt once SIGINT or
    // SIGTERM arrived (see StopOnSignals) or the pair broke.
    std::optional<std::string> Read();

    // Sends bytes to whoever reads the terminal side (status answers).
    void Write(std::string_view Bytes);

private:
    struct Pair; // the system's handles to both ends
    std::unique_ptr<Pair> FPair;
    std::string FDevice;
    std::string FAlias;
};

// While alive, SIGINT and SIGTERM no longer end the process but make VirtualPort::Read return
// nullopt; the old dispositions come back when it goes.
class TILLMARK_PLATFORM_API StopOnSignals {
public:
    StopOnSignals();
    ~StopOnSignals();
    StopOnSignals(const StopOnSignals&) = delete;
    StopOnSignals& operator=(const StopOnSignals&) = delete;

    static bool Requested();
    // Waits until SIGINT or SIGTERM arrives, for a program with no port to read.
    void Wait() const;

private:
    struct Saved;
    std::unique_ptr<Saved> FSaved;
};

} // namespace platform
