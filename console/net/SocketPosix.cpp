// The socket calls on POSIX systems; a Winsock file can take this one's place.
#include "console/net/Socket.h"

#include "console/net/SocketAddress.h"
#include "console/net/SocketCalls.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace console {

namespace {

using namespace socket_calls;

int Fd(std::intptr_t Handle) {
    return static_cast<int>(Handle);
}

std::string Words(int Error) {
    switch (Error) {
    case ECONNREFUSED:
        return "connection refused";
    case EHOSTUNREACH:
        return "host unreachable";
    case ENETUNREACH:
        return "network unreachable";
    case ECONNRESET:
    case EPIPE:
        return "the connection was reset";
    case EADDRINUSE:
        return "address already in use";
    case EMFILE:
    case ENFILE:
        return "too many open files";
    default:
        return std::strerror(Error);
    }
}

// Waits for Events on Fd and, when given, on the stop signal; gives the events seen on Fd, 0 for
// a time-out and -1 for the stop signal.
int Wait(int Fd, short Events, int TimeoutMs, const TStopSignal* Stop) {
    const TDeadline deadline(TimeoutMs);
    for (;;) {
        pollfd fds[2] = {{Fd, Events, 0},
                         {Stop ? static_cast<int>(Stop->Handle()) : -1, POLLIN, 0}};
        const int ready = ::poll(fds, Stop ? 2 : 1, deadline.LeftMs());
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            throw ENetError(Words(errno));
        // What has arrived is taken before a stop, so a closing printer finishes its receipt.
        if (Stop && fds[1].revents && !fds[0].revents)
            return -1;
        return fds[0].revents;
    }
}

struct AddressList {
    addrinfo* First = nullptr;
    AddressList(const TEndpoint& Where, bool Passive) {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_flags = Passive ? AI_PASSIVE : 0;
        const std::string port = std::to_string(Where.Port);
        if (const int error = ::getaddrinfo(Where.Host.c_str(), port.c_str(), &hints, &First))
            throw ENetError(error == EAI_NONAME ? "unknown host" : ::gai_strerror(error));
    }
    ~AddressList() { ::freeaddrinfo(First); }
};

int OpenSocket(const addrinfo& A) {
    const int fd =
        ::socket(A.ai_family, A.ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, A.ai_protocol);
    if (fd < 0)
        throw ENetError(Words(errno));
    return fd;
}

} // namespace

struct TStopSignal::Parts {
    int Pipe[2] = {-1, -1};
};

TStopSignal::TStopSignal() : FParts(std::make_unique<Parts>()) {
    if (::pipe2(FParts->Pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        throw ENetError(Words(errno));
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

void socket_calls::Close(std::intptr_t Handle) {
    if (Handle != -1)
        ::close(Fd(Handle));
}

TSocket TSocket::Connect(const TEndpoint& Where, int TimeoutMs) {
    const AddressList list(Where, false);
    std::string failure = "no address";
    for (const addrinfo* a = list.First; a; a = a->ai_next) {
        TSocket socket(OpenSocket(*a));
        const int fd = Fd(socket.FHandle);
        if (::connect(fd, a->ai_addr, a->ai_addrlen) == 0)
            return socket;
        if (errno != EINPROGRESS) {
            failure = Words(errno);
            continue;
        }
        if (Wait(fd, POLLOUT, TimeoutMs, nullptr) == 0) {
            failure = NoConnectionWithin(TimeoutMs);
            continue;
        }
        int error = 0;
        socklen_t size = sizeof error;
        ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size);
        if (error == 0)
            return socket;
        failure = Words(error);
    }
    throw ENetError(failure);
}

void TSocket::Send(std::string_view Bytes, int TimeoutMs) {
    const int fd = Fd(FHandle);
    while (!Bytes.empty()) {
        const ssize_t put = ::send(fd, Bytes.data(), Bytes.size(), MSG_NOSIGNAL);
        if (put > 0) {
            Bytes.remove_prefix(static_cast<std::size_t>(put));
            continue;
        }
        if (put < 0 && errno == EINTR)
            continue;
        if (put < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            throw ENetError(Words(errno));
        if (Wait(fd, POLLOUT, TimeoutMs, nullptr) == 0)
            throw ENetError(TookNothingFor(TimeoutMs));
    }
}

TReceived TSocket::Receive(std::size_t Max, int TimeoutMs, const TStopSignal* Stop) {
    const int fd = Fd(FHandle);
    for (;;) {
        const int ready = Wait(fd, POLLIN, TimeoutMs, Stop);
        if (ready < 0)
            return {TReceived::Stopped, {}};
        if (ready == 0)
            return {TReceived::TimedOut, {}};
        std::string bytes(Max, '\0');
        const ssize_t got = ::recv(fd, bytes.data(), Max, 0);
        if (got > 0) {
            bytes.resize(static_cast<std::size_t>(got));
            return {TReceived::Data, std::move(bytes)};
        }
        if (got < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK))
            continue;
        return {TReceived::Closed, {}, got < 0 && errno == ECONNRESET};
    }
}

void socket_calls::ShutdownSend(std::intptr_t Handle) {
    ::shutdown(Fd(Handle), SHUT_WR);
}

TListener::TListener(const TEndpoint& Where) {
    const AddressList list(Where, true);
    std::string failure = "no address";
    for (const addrinfo* a = list.First; a; a = a->ai_next) {
        const int fd = OpenSocket(*a);
        const int yes = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        if (::bind(fd, a->ai_addr, a->ai_addrlen) == 0 && ::listen(fd, SOMAXCONN) == 0) {
            FHandle = fd;
            return;
        }
        failure = Words(errno);
        ::close(fd);
    }
    throw ENetError(failure);
}

std::optional<std::string> socket_calls::AddressOf(std::intptr_t Handle, bool Far) {
    sockaddr_storage storage{};
    socklen_t size = sizeof storage;
    auto* address = reinterpret_cast<sockaddr*>(&storage);
    if ((Far ? ::getpeername(Fd(Handle), address, &size)
             : ::getsockname(Fd(Handle), address, &size)) != 0)
        return std::nullopt;
    return Address(storage);
}

std::optional<TSocket> TListener::Accept(const TStopSignal& Stop) {
    const int fd = Fd(FHandle);
    for (;;) {
        if (Wait(fd, POLLIN, -1, &Stop) < 0)
            return std::nullopt;
        const int client = ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (client >= 0)
            return TSocket(client);
        // A client that gave up while queued: wait for the next.
        if (errno == EINTR || errno == EAGAIN || errno == ECONNABORTED)
            continue;
        throw ENetError(Words(errno));
    }
}

} // namespace console
