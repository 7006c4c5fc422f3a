// Between Socket.cpp and the system's file of the sockets (SocketPosix.cpp, SocketWindows.cpp):
// the clock of a wait and the words of a time-out, so each system reports them alike, and the
// calls that Socket.cpp's system-free parts stand on.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace console::socket_calls {

// A wait's limit in milliseconds, negative for none.
class TDeadline {
public:
    explicit TDeadline(int TimeoutMs);
    // What is left of it, at least 0; -1 when there is no limit.
    int LeftMs() const;

private:
    int FTimeoutMs;
    std::chrono::steady_clock::time_point FEnd;
};

std::string NoConnectionWithin(int TimeoutMs);
std::string TookNothingFor(int TimeoutMs);

// In the system's file.
void Close(std::intptr_t Handle); // nothing for -1
void ShutdownSend(std::intptr_t Handle);
// "ADDRESS:PORT" of the socket's own end, or with Far of the other one.
std::optional<std::string> AddressOf(std::intptr_t Handle, bool Far);

} // namespace console::socket_calls
