// The socket calls that differ on POSIX systems; Socket.cpp holds what they serve.
#include "console/net/Socket.h"

#include "console/net/SocketCalls.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace console {

using namespace socket_calls;

struct TStopSignal::Parts {
    int Pipe[2] = {-1, -1};
};

TStopSignal::TStopSignal() : FParts(std::make_unique<Parts>()) {
    if (::pipe2(FParts->Pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        throw Failure(errno);
}

TStopSignal::~TStopSignal() {
    ::close(FParts->Pipe[0]);
    ::close(FParts->Pipe[1]);
}

void TStopSignal::Raise() {
    const char byte = 1;
    [[maybe_unused]] const auto n = ::write(FParts->Pipe[1], &byte, 1);
}

bool TStopSignal::Raised() const {
    return Wait(0);
}

bool TStopSignal::Wait(int TimeoutMs) const {
    const TDeadline deadline(TimeoutMs);
    pollfd fd{FParts->Pipe[0], POLLIN, 0};
    int ready = 0;
    while ((ready = ::poll(&fd, 1, deadline.LeftMs())) < 0 && errno == EINTR) {
    }
    return ready > 0;
}

std::intptr_t TStopSignal::Handle() const {
    return FParts->Pipe[0];
}

namespace socket_calls {

void Start() {}

std::intptr_t Open(const addrinfo& A) {
    const int fd =
        ::socket(A.ai_family, A.ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, A.ai_protocol);
    if (fd < 0)
        throw Failure(errno);
    return fd;
}

void Close(std::intptr_t Handle) {
    if (Handle != -1)
        ::close(Native(Handle));
}

void PrepareListener(std::intptr_t Handle) {
    const int yes = 1;
    ::setsockopt(Native(Handle), SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
}

std::ptrdiff_t SendSome(std::intptr_t Handle, std::string_view Bytes) {
    return ::send(Native(Handle), Bytes.data(), Bytes.size(), MSG_NOSIGNAL);
}

std::ptrdiff_t ReceiveSome(std::intptr_t Handle, char* Into, std::size_t Max) {
    return ::recv(Native(Handle), Into, Max, 0);
}

std::intptr_t AcceptOne(std::intptr_t Handle) {
    return ::accept4(Native(Handle), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
}

TReady Wait(std::intptr_t Handle, TWant Want, int TimeoutMs, const TStopSignal* Stop) {
    const TDeadline deadline(TimeoutMs);
    const short events = Want == TWant::Read ? POLLIN : POLLOUT;
    for (;;) {
        pollfd fds[2] = {{Native(Handle), events, 0},
                         {Stop ? static_cast<int>(Stop->Handle()) : -1, POLLIN, 0}};
        const int ready = ::poll(fds, Stop ? 2 : 1, deadline.LeftMs());
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            throw Failure(errno);
        if (fds[0].revents)
            return TReady::Ready;
        return Stop && fds[1].revents ? TReady::Stopped : TReady::TimedOut;
    }
}

int LastError() {
    return errno;
}

bool Again(int Error) {
    return Error == EINTR || Error == EAGAIN || Error == EWOULDBLOCK;
}

bool Pending(int Error) {
    return Error == EINPROGRESS;
}

std::span<const TErrorCode> ErrorCodes() {
    static constexpr TErrorCode codes[] = {
        {ECONNREFUSED, TNetCode::Refused},
        {EHOSTUNREACH, TNetCode::HostUnreachable},
        {ENETUNREACH, TNetCode::NetworkUnreachable},
        {ECONNRESET, TNetCode::Reset},
        {ECONNABORTED, TNetCode::Reset},
        {EPIPE, TNetCode::Reset},
        {EADDRINUSE, TNetCode::AddressInUse},
        {EMFILE, TNetCode::TooManyFiles},
        {ENFILE, TNetCode::TooManyFiles},
        {ETIMEDOUT, TNetCode::TimedOut},
    };
    return codes;
}

std::string SystemWords(int Error) {
    return std::strerror(Error);
}

ENetError ResolveFailure(int Error) {
    if (Error == EAI_NONAME)
        return ENetError(Words(TNetCode::UnknownHost), TNetCode::UnknownHost);
    return ENetError(::gai_strerror(Error));
}

} // namespace socket_calls

} // namespace console
