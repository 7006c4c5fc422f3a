// The socket calls on Windows (Winsock 2); SocketPosix.cpp's twin.
#include "console/net/Socket.h"

#include "console/net/SocketAddress.h"
#include "console/net/SocketCalls.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <climits>
#include <utility>

namespace console {

namespace {

using namespace socket_calls;

// SOCKET is unsigned and INVALID_SOCKET its largest value, which converts to and from our -1.
SOCKET Sock(std::intptr_t Handle) {
    return static_cast<SOCKET>(Handle);
}

std::intptr_t Handle(SOCKET Socket) {
    return static_cast<std::intptr_t>(Socket);
}

HANDLE Event(std::intptr_t Handle) {
    return reinterpret_cast<HANDLE>(Handle);
}

// Winsock must be started before its first call and stays up until the program ends.
void StartWinsock() {
    struct TWinsock {
        int Error = 0;
        TWinsock() {
            WSADATA data{};
            Error = ::WSAStartup(MAKEWORD(2, 2), &data);
        }
        ~TWinsock() {
            if (Error == 0)
                ::WSACleanup();
        }
    };
    static const TWinsock winsock;
    if (winsock.Error != 0)
        throw ENetError("Winsock did not start (error " + std::to_string(winsock.Error) + ")");
}

std::string SystemWords(int Error) {
    char* text = nullptr;
    const DWORD size = ::FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(Error), 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string words = size ? std::string(text, size) : "error " + std::to_string(Error);
    ::LocalFree(text);
    // The system's sentences end in a full stop and a line break; ours end bare.
    while (!words.empty() && (words.back() == '\n' || words.back() == '\r' || words.back() == '.' ||
                              words.back() == ' '))
        words.pop_back();
    return words;
}

std::string Words(int Error) {
    switch (Error) {
    case WSAECONNREFUSED:
        return "connection refused";
    case WSAEHOSTUNREACH:
        return "host unreachable";
    case WSAENETUNREACH:
        return "network unreachable";
    case WSAECONNRESET:
    case WSAECONNABORTED:
        return "the connection was reset";
    case WSAEADDRINUSE:
        return "address already in use";
    case WSAETIMEDOUT:
        return "connection timed out";
    case WSAEMFILE:
        return "too many open files";
    default:
        return SystemWords(Error);
    }
}

// Winsock's event for one socket, dropped with the wait that made it.
class TSocketEvent {
public:
    TSocketEvent(SOCKET Socket, long NetworkEvents) : FSocket(Socket), FEvent(::WSACreateEvent()) {
        if (FEvent == WSA_INVALID_EVENT)
            throw ENetError(Words(::WSAGetLastError()));
        if (::WSAEventSelect(FSocket, FEvent, NetworkEvents) != 0) {
            const int error = ::WSAGetLastError();
            ::WSACloseEvent(FEvent);
            throw ENetError(Words(error));
        }
    }
    ~TSocketEvent() {
        // The socket stays non-blocking; without the tie a later accept's socket inherits none.
        ::WSAEventSelect(FSocket, nullptr, 0);
        ::WSACloseEvent(FEvent);
    }
    TSocketEvent(const TSocketEvent&) = delete;
    TSocketEvent& operator=(const TSocketEvent&) = delete;
    WSAEVENT Get() const { return FEvent; }

private:
    SOCKET FSocket;
    WSAEVENT FEvent;
};

enum class TWant { Read, Write };

// Whether Socket is ready now; a failed connect counts as ready for writing, so the caller reads
// its error.
bool ReadyNow(SOCKET Socket, TWant Want) {
    fd_set ready{};
    ready.fd_count = 1;
    ready.fd_array[0] = Socket;
    fd_set failed = ready;
    timeval now{0, 0};
    const int count = Want == TWant::Read ? ::select(0, &ready, nullptr, nullptr, &now)
                                          : ::select(0, nullptr, &ready, &failed, &now);
    if (count == SOCKET_ERROR)
        throw ENetError(Words(::WSAGetLastError()));
    return count > 0;
}

// Waits until Socket is ready for Want and, when given, on the stop signal; gives 1 when ready, 0
// for a time-out and -1 for the stop signal. Winsock's event only wakes the wait, and select says
// what holds: the event fires on changes, and what changed before it was tied would be missed.
int Wait(SOCKET Socket, TWant Want, int TimeoutMs, const TStopSignal* Stop) {
    const TSocketEvent event(Socket, Want == TWant::Read ? FD_READ | FD_ACCEPT | FD_CLOSE
                                                         : FD_WRITE | FD_CONNECT | FD_CLOSE);
    const WSAEVENT events[2] = {event.Get(), Stop ? Event(Stop->Handle()) : WSA_INVALID_EVENT};
    const TDeadline deadline(TimeoutMs);
    for (;;) {
        ::WSAResetEvent(event.Get());
        // What has arrived is taken before a stop, so a closing printer finishes its receipt.
        if (ReadyNow(Socket, Want))
            return 1;
        if (Stop && Stop->Raised())
            return -1;
        const int left = deadline.LeftMs();
        const DWORD got = ::WSAWaitForMultipleEvents(
            Stop ? 2 : 1, events, FALSE, left < 0 ? WSA_INFINITE : static_cast<DWORD>(left), FALSE);
        if (got == WSA_WAIT_FAILED)
            throw ENetError(Words(::WSAGetLastError()));
        if (got == WSA_WAIT_TIMEOUT)
            return ReadyNow(Socket, Want) ? 1 : 0;
    }
}

struct AddressList {
    addrinfo* First = nullptr;
    AddressList(const TEndpoint& Where, bool Passive) {
        StartWinsock();
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_flags = Passive ? AI_PASSIVE : 0;
        const std::string port = std::to_string(Where.Port);
        if (const int error = ::getaddrinfo(Where.Host.c_str(), port.c_str(), &hints, &First))
            throw ENetError(error == WSAHOST_NOT_FOUND || error == WSANO_DATA ? "unknown host"
                                                                              : Words(error));
    }
    ~AddressList() { ::freeaddrinfo(First); }
};

// Non-blocking and kept from child processes, as the POSIX file opens its sockets; closes the
// socket when it cannot.
SOCKET Prepared(SOCKET Socket) {
    u_long on = 1;
    if (::ioctlsocket(Socket, FIONBIO, &on) != 0) {
        const int error = ::WSAGetLastError();
        ::closesocket(Socket);
        throw ENetError(Words(error));
    }
    ::SetHandleInformation(reinterpret_cast<HANDLE>(Socket), HANDLE_FLAG_INHERIT, 0);
    return Socket;
}

SOCKET OpenSocket(const addrinfo& A) {
    const SOCKET socket = ::socket(A.ai_family, A.ai_socktype, A.ai_protocol);
    if (socket == INVALID_SOCKET)
        throw ENetError(Words(::WSAGetLastError()));
    return Prepared(socket);
}

} // namespace

struct TStopSignal::Parts {
    WSAEVENT Raised = WSA_INVALID_EVENT; // manual reset: once raised, every wait sees it
};

TStopSignal::TStopSignal() : FParts(std::make_unique<Parts>()) {
    FParts->Raised = ::WSACreateEvent();
    if (FParts->Raised == WSA_INVALID_EVENT)
        throw ENetError(Words(static_cast<int>(::GetLastError())));
}

TStopSignal::~TStopSignal() {
    ::WSACloseEvent(FParts->Raised);
}

void TStopSignal::Raise() {
    ::WSASetEvent(FParts->Raised);
}

bool TStopSignal::Raised() const {
    return Wait(0);
}

bool TStopSignal::Wait(int TimeoutMs) const {
    return ::WaitForSingleObject(FParts->Raised,
                                 TimeoutMs < 0 ? INFINITE : static_cast<DWORD>(TimeoutMs)) ==
           WAIT_OBJECT_0;
}

std::intptr_t TStopSignal::Handle() const {
    return reinterpret_cast<std::intptr_t>(FParts->Raised);
}

void socket_calls::Close(std::intptr_t Handle) {
    if (Handle != -1)
        ::closesocket(Sock(Handle));
}

TSocket TSocket::Connect(const TEndpoint& Where, int TimeoutMs) {
    const AddressList list(Where, false);
    std::string failure = "no address";
    for (const addrinfo* a = list.First; a; a = a->ai_next) {
        TSocket socket(Handle(OpenSocket(*a)));
        const SOCKET s = Sock(socket.FHandle);
        if (::connect(s, a->ai_addr, static_cast<int>(a->ai_addrlen)) == 0)
            return socket;
        if (const int error = ::WSAGetLastError(); error != WSAEWOULDBLOCK) {
            failure = Words(error);
            continue;
        }
        if (Wait(s, TWant::Write, TimeoutMs, nullptr) == 0) {
            failure = NoConnectionWithin(TimeoutMs);
            continue;
        }
        int error = 0;
        int size = sizeof error;
        ::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size);
        if (error == 0)
            return socket;
        failure = Words(error);
    }
    throw ENetError(failure);
}

void TSocket::Send(std::string_view Bytes, int TimeoutMs) {
    const SOCKET s = Sock(FHandle);
    while (!Bytes.empty()) {
        const int chunk = static_cast<int>(std::min<std::size_t>(Bytes.size(), INT_MAX));
        const int put = ::send(s, Bytes.data(), chunk, 0);
        if (put > 0) {
            Bytes.remove_prefix(static_cast<std::size_t>(put));
            continue;
        }
        if (const int error = put == SOCKET_ERROR ? ::WSAGetLastError() : 0; error == WSAEINTR)
            continue;
        else if (error != 0 && error != WSAEWOULDBLOCK)
            throw ENetError(Words(error));
        if (Wait(s, TWant::Write, TimeoutMs, nullptr) == 0)
            throw ENetError(TookNothingFor(TimeoutMs));
    }
}

TReceived TSocket::Receive(std::size_t Max, int TimeoutMs, const TStopSignal* Stop) {
    const SOCKET s = Sock(FHandle);
    for (;;) {
        const int ready = Wait(s, TWant::Read, TimeoutMs, Stop);
        if (ready < 0)
            return {TReceived::Stopped, {}};
        if (ready == 0)
            return {TReceived::TimedOut, {}};
        std::string bytes(std::min<std::size_t>(Max, INT_MAX), '\0');
        const int got = ::recv(s, bytes.data(), static_cast<int>(bytes.size()), 0);
        if (got > 0) {
            bytes.resize(static_cast<std::size_t>(got));
            return {TReceived::Data, std::move(bytes)};
        }
        const int error = got == SOCKET_ERROR ? ::WSAGetLastError() : 0;
        if (error == WSAEINTR || error == WSAEWOULDBLOCK)
            continue;
        return {TReceived::Closed, {}, error == WSAECONNRESET || error == WSAECONNABORTED};
    }
}

void socket_calls::ShutdownSend(std::intptr_t Handle) {
    ::shutdown(Sock(Handle), SD_SEND);
}

TListener::TListener(const TEndpoint& Where) {
    const AddressList list(Where, true);
    std::string failure = "no address";
    for (const addrinfo* a = list.First; a; a = a->ai_next) {
        const SOCKET s = OpenSocket(*a);
        // Windows' SO_REUSEADDR would let a second listener take the port; this makes a busy
        // port fail as it does on POSIX systems.
        const BOOL yes = TRUE;
        ::setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&yes),
                     sizeof yes);
        if (::bind(s, a->ai_addr, static_cast<int>(a->ai_addrlen)) == 0 &&
            ::listen(s, SOMAXCONN) == 0) {
            FHandle = Handle(s);
            return;
        }
        failure = Words(::WSAGetLastError());
        ::closesocket(s);
    }
    throw ENetError(failure);
}

std::optional<std::string> socket_calls::AddressOf(std::intptr_t Handle, bool Far) {
    sockaddr_storage storage{};
    int size = sizeof storage;
    auto* address = reinterpret_cast<sockaddr*>(&storage);
    if ((Far ? ::getpeername(Sock(Handle), address, &size)
             : ::getsockname(Sock(Handle), address, &size)) != 0)
        return std::nullopt;
    return Address(storage);
}

std::optional<TSocket> TListener::Accept(const TStopSignal& Stop) {
    const SOCKET s = Sock(FHandle);
    for (;;) {
        if (Wait(s, TWant::Read, -1, &Stop) < 0)
            return std::nullopt;
        const SOCKET client = ::accept(s, nullptr, nullptr);
        if (client != INVALID_SOCKET)
            return TSocket(Handle(Prepared(client)));
        // A client that gave up while queued: wait for the next.
        const int error = ::WSAGetLastError();
        if (error == WSAEINTR || error == WSAEWOULDBLOCK || error == WSAECONNRESET)
            continue;
        throw ENetError(Words(error));
    }
}

} // namespace console
