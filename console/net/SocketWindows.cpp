// The socket calls that differ on Windows (Winsock 2); Socket.cpp holds what they serve.
#include "console/net/Socket.h"

#include "console/net/SocketCalls.h"

#include <algorithm>
#include <climits>

namespace console {

using namespace socket_calls;

namespace {

HANDLE Event(std::intptr_t Handle) {
    return reinterpret_cast<HANDLE>(Handle);
}

// Winsock's event for one socket, dropped with the wait that made it.
class TSocketEvent {
public:
    TSocketEvent(SOCKET Socket, long NetworkEvents) : FSocket(Socket), FEvent(::WSACreateEvent()) {
        if (FEvent == WSA_INVALID_EVENT)
            throw Failure(::WSAGetLastError());
        if (::WSAEventSelect(FSocket, FEvent, NetworkEvents) != 0) {
            const int error = ::WSAGetLastError();
            ::WSACloseEvent(FEvent);
            throw Failure(error);
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
        throw Failure(::WSAGetLastError());
    return count > 0;
}

// Winsock's event only wakes the wait, and select says what holds: the event fires on changes, and
// what changed before it was tied would be missed.
TReady WaitOn(SOCKET Socket, TWant Want, int TimeoutMs, const TStopSignal* Stop) {
    const TSocketEvent event(Socket, Want == TWant::Read ? FD_READ | FD_ACCEPT | FD_CLOSE
                                                         : FD_WRITE | FD_CONNECT | FD_CLOSE);
    const WSAEVENT events[2] = {event.Get(), Stop ? Event(Stop->Handle()) : WSA_INVALID_EVENT};
    const TDeadline deadline(TimeoutMs);
    for (;;) {
        ::WSAResetEvent(event.Get());
        if (ReadyNow(Socket, Want))
            return TReady::Ready;
        if (Stop && Stop->Raised())
            return TReady::Stopped;
        const int left = deadline.LeftMs();
        const DWORD got = ::WSAWaitForMultipleEvents(
            Stop ? 2 : 1, events, FALSE, left < 0 ? WSA_INFINITE : static_cast<DWORD>(left), FALSE);
        if (got == WSA_WAIT_FAILED)
            throw Failure(::WSAGetLastError());
        if (got == WSA_WAIT_TIMEOUT)
            return ReadyNow(Socket, Want) ? TReady::Ready : TReady::TimedOut;
    }
}

// Non-blocking and kept from child processes, as the POSIX file opens its sockets; closes the
// socket when it cannot.
SOCKET Prepared(SOCKET Socket) {
    u_long on = 1;
    if (::ioctlsocket(Socket, FIONBIO, &on) != 0) {
        const int error = ::WSAGetLastError();
        ::closesocket(Socket);
        throw Failure(error);
    }
    ::SetHandleInformation(reinterpret_cast<HANDLE>(Socket), HANDLE_FLAG_INHERIT, 0);
    return Socket;
}

} // namespace

struct TStopSignal::Parts {
    WSAEVENT Raised = WSA_INVALID_EVENT; // manual reset: once raised, every wait sees it
};

TStopSignal::TStopSignal() : FParts(std::make_unique<Parts>()) {
    FParts->Raised = ::WSACreateEvent();
    if (FParts->Raised == WSA_INVALID_EVENT)
        throw Failure(static_cast<int>(::GetLastError()));
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

namespace socket_calls {

// Winsock must be started before its first call and stays up until the program ends.
void Start() {
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

std::intptr_t Open(const addrinfo& A) {
    const SOCKET socket = ::socket(A.ai_family, A.ai_socktype, A.ai_protocol);
    if (socket == INVALID_SOCKET)
        throw Failure(::WSAGetLastError());
    return static_cast<std::intptr_t>(Prepared(socket));
}

void Close(std::intptr_t Handle) {
    if (Handle != -1)
        ::closesocket(Native(Handle));
}

// Windows' SO_REUSEADDR would let a second listener take the port; this makes a busy port fail
// as it does on POSIX systems.
void PrepareListener(std::intptr_t Handle) {
    const BOOL yes = TRUE;
    ::setsockopt(Native(Handle), SOL_SOCKET, SO_EXCLUSIVEADDRUSE,
                 reinterpret_cast<const char*>(&yes), sizeof yes);
}

std::ptrdiff_t SendSome(std::intptr_t Handle, std::string_view Bytes) {
    const int chunk = static_cast<int>(std::min<std::size_t>(Bytes.size(), INT_MAX));
    return ::send(Native(Handle), Bytes.data(), chunk, 0);
}

std::ptrdiff_t ReceiveSome(std::intptr_t Handle, char* Into, std::size_t Max) {
    return ::recv(Native(Handle), Into, static_cast<int>(std::min<std::size_t>(Max, INT_MAX)), 0);
}

std::intptr_t AcceptOne(std::intptr_t Handle) {
    const SOCKET client = ::accept(Native(Handle), nullptr, nullptr);
    return client == INVALID_SOCKET ? -1 : static_cast<std::intptr_t>(Prepared(client));
}

TReady Wait(std::intptr_t Handle, TWant Want, int TimeoutMs, const TStopSignal* Stop) {
    return WaitOn(Native(Handle), Want, TimeoutMs, Stop);
}

int LastError() {
    return ::WSAGetLastError();
}

bool Again(int Error) {
    return Error == WSAEINTR || Error == WSAEWOULDBLOCK;
}

bool Pending(int Error) {
    return Error == WSAEWOULDBLOCK;
}

std::span<const TErrorCode> ErrorCodes() {
    static constexpr TErrorCode codes[] = {
        {WSAECONNREFUSED, TNetCode::Refused},
        {WSAEHOSTUNREACH, TNetCode::HostUnreachable},
        {WSAENETUNREACH, TNetCode::NetworkUnreachable},
        {WSAECONNRESET, TNetCode::Reset},
        {WSAECONNABORTED, TNetCode::Reset},
        {WSAEADDRINUSE, TNetCode::AddressInUse},
        {WSAEMFILE, TNetCode::TooManyFiles},
        {WSAETIMEDOUT, TNetCode::TimedOut},
    };
    return codes;
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

ENetError ResolveFailure(int Error) {
    if (Error == WSAHOST_NOT_FOUND || Error == WSANO_DATA)
        return ENetError(Words(TNetCode::UnknownHost), TNetCode::UnknownHost);
    return Failure(Error);
}

} // namespace socket_calls

} // namespace console
