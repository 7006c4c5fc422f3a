// A pseudo-terminal pair in raw mode, for tests that stand a terminal in for a port.
#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>

#include <stdexcept>
#include <string>

namespace testsupport {

// Opens the master side in raw mode and gives its descriptor; Slave receives the terminal
// side's path.
inline int OpenRawPty(std::string& Slave) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
        throw std::runtime_error("no pseudo-terminal");
    Slave = ::ptsname(master);
    termios raw{};
    ::tcgetattr(master, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(master, TCSANOW, &raw);
    return master;
}

} // namespace testsupport
