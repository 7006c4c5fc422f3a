// A pseudo-terminal pair in raw mode, for tests that stand a terminal in for a port.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

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

// Everything the master side can read within a generous bound, up to Expected bytes.
inline std::string ReadMaster(int Master, std::size_t Expected) {
    std::string got;
    char buffer[4096];
    while (got.size() < Expected) {
        pollfd p{Master, POLLIN, 0};
        if (::poll(&p, 1, 10000) <= 0)
            break;
        const ssize_t n = ::read(Master, buffer, sizeof buffer);
        if (n <= 0)
            break;
        got.append(buffer, static_cast<std::size_t>(n));
    }
    return got;
}

} // namespace testsupport
