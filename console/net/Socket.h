// TCP for the network printer: a client connection and a listener, with time-outs on every wait.
// Socket.cpp holds the algorithms once; each system's file (SocketPosix.cpp, SocketWindows.cpp)
// supplies the few calls that differ (SocketCalls.h). This header holds nothing system-specific.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace console {

// The TCP port network receipt printers take their bytes on.
inline constexpr std::uint16_t RawPrintPort = 9100;

// What a network step failed with, the same on every system; Other carries the system's words.
enum class TNetCode {
    Other,
    BadEndpoint,
    UnknownHost,
    NoAddress,
    Refused,
    HostUnreachable,
    NetworkUnreachable,
    Reset,
    AddressInUse,
    TooManyFiles,
    TimedOut,           // the system gave up on the connection
    NoConnectionInTime, // our time-out on connecting
    NothingTaken,       // our time-out on sending
};

// A failed network step: its code and its message in plain words ("connection refused").
class ENetError : public std::runtime_error {
public:
    explicit ENetError(const std::string& Words, TNetCode Code = TNetCode::Other)
        : std::runtime_error(Words), FCode(Code) {}
    TNetCode Code() const { return FCode; }

private:
    TNetCode FCode;
};

struct TEndpoint {
    std::string Host;
    std::uint16_t Port = RawPrintPort;
    std::string Text() const; // "HOST:PORT", an IPv6 address in brackets
};

// "HOST", "HOST:PORT", "[V6]" or "[V6]:PORT"; DefaultPort when none is given, and without one
// the port must be named. Raises ENetError for an empty host, a missing port or a port that is
// no number from 0 to 65535 (0 only with AllowAnyPort).
TEndpoint ParseEndpoint(std::string_view Text, std::optional<std::uint16_t> DefaultPort,
                        bool AllowAnyPort = false);

// Makes waits on sockets return early; raised from any thread.
class TStopSignal {
public:
    TStopSignal();
    ~TStopSignal();
    TStopSignal(const TStopSignal&) = delete;
    TStopSignal& operator=(const TStopSignal&) = delete;
    void Raise();
    bool Raised() const;
    // Waits up to TimeoutMs for the signal; true when it was raised.
    bool Wait(int TimeoutMs) const;
    std::intptr_t Handle() const; // what a wait watches

private:
    struct Parts;
    std::unique_ptr<Parts> FParts;
};

// What one wait for bytes came to.
struct TReceived {
    enum Kind { Data, TimedOut, Closed, Stopped } What = TimedOut;
    std::string Bytes;
    bool Reset = false; // with Closed: the far side reset the connection rather than closed it
};

// One TCP connection; closed when it goes.
class TSocket {
public:
    TSocket() = default;
    explicit TSocket(std::intptr_t Handle) : FHandle(Handle) {}
    ~TSocket();
    TSocket(TSocket&& Other) noexcept;
    TSocket& operator=(TSocket&& Other) noexcept;
    TSocket(const TSocket&) = delete;
    TSocket& operator=(const TSocket&) = delete;

    // Raises ENetError: "unknown host", "connection refused", "host unreachable", "network
    // unreachable", "connection timed out", "no connection within N ms", or the system's words.
    static TSocket Connect(const TEndpoint& Where, int TimeoutMs);

    // Sends all of Bytes; raises ENetError when the far side closes or takes nothing for
    // TimeoutMs.
    void Send(std::string_view Bytes, int TimeoutMs);
    // Waits up to TimeoutMs for at most Max bytes; Stop, when given, ends the wait early.
    TReceived Receive(std::size_t Max, int TimeoutMs, const TStopSignal* Stop = nullptr);
    // Tells the far side that nothing more comes and drops what it sent unasked, so no unread
    // byte turns the close into a reset that could cost the printer the end of the data.
    void Finish();

    std::string Peer() const; // "ADDRESS:PORT" of the far side
    bool Valid() const { return FHandle != -1; }

private:
    std::intptr_t FHandle = -1;
};

// A listening socket; connections wait in the system's queue, as long as it allows, until
// accepted.
class TListener {
public:
    // Raises ENetError when the address cannot be bound ("address already in use").
    explicit TListener(const TEndpoint& Where);
    ~TListener();
    TListener(const TListener&) = delete;
    TListener& operator=(const TListener&) = delete;

    TEndpoint Bound() const; // with the port the system chose for port 0
    // The next connection; nullopt once Stop is raised. Raises ENetError when none can be taken
    // ("too many open files"): the listener stays, and the connection waits for a later call.
    std::optional<TSocket> Accept(const TStopSignal& Stop);

private:
    std::intptr_t FHandle = -1;
};

} // namespace console
