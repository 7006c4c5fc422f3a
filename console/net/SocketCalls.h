// Between Socket.cpp, which holds the algorithms (connect with a time-out, send, receive, listen,
// accept), and the system's file (SocketPosix.cpp, SocketWindows.cpp), which supplies the few calls
// that differ and what its error numbers mean. The calls both systems share come from here.
#pragma once

#include "console/net/Socket.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace console::socket_calls {

#ifdef _WIN32
using TNative = SOCKET;
inline constexpr int ShutSend = SD_SEND;
#else
using TNative = int;
inline constexpr int ShutSend = SHUT_WR;
#endif

// Our -1 converts to and from INVALID_SOCKET, which is SOCKET's largest value.
inline TNative Native(std::intptr_t Handle) {
    return static_cast<TNative>(Handle);
}

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

// Our words for Code, the same on every system; empty for Other.
std::string Words(TNetCode Code);
TNetCode CodeOf(int Error); // Other for an error ErrorCodes does not name
// The error for the system's error number Error, in our words where we have them.
ENetError Failure(int Error);

enum class TWant { Read, Write };
enum class TReady { Ready, TimedOut, Stopped };

// In the system's file.
void Start(); // before the first call
// A socket for A, non-blocking and kept from child processes; raises ENetError.
std::intptr_t Open(const addrinfo& A);
void Close(std::intptr_t Handle); // nothing for -1
// Makes a busy port fail to bind, as a second listener must not take it.
void PrepareListener(std::intptr_t Handle);
std::ptrdiff_t SendSome(std::intptr_t Handle, std::string_view Bytes);         // -1 on failure
std::ptrdiff_t ReceiveSome(std::intptr_t Handle, char* Into, std::size_t Max); // -1 on failure
std::intptr_t AcceptOne(std::intptr_t Handle); // non-blocking too; -1 on failure
// Waits up to TimeoutMs until Handle is ready for Want or, when given, Stop is raised. What has
// arrived counts before a stop, so a closing printer finishes its receipt.
TReady Wait(std::intptr_t Handle, TWant Want, int TimeoutMs, const TStopSignal* Stop);
int LastError();         // of the last call on this thread
bool Again(int Error);   // nothing was lost: wait and call again
bool Pending(int Error); // a non-blocking connect under way
struct TErrorCode {
    int Error;
    TNetCode Code;
};
// What the system's error numbers mean, where we have our own words for them.
std::span<const TErrorCode> ErrorCodes();
std::string SystemWords(int Error);
ENetError ResolveFailure(int Error); // getaddrinfo's

} // namespace console::socket_calls
