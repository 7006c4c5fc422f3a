// What both system files of the sockets (SocketPosix.cpp, SocketWindows.cpp) share: the clock of a
// wait and the words of a time-out, so each system reports them alike.
#pragma once

#include <chrono>
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

} // namespace console::socket_calls
