#include "console/net/Socket.h"

#include "console/net/SocketCalls.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <string>
#include <utility>

namespace console {

namespace {

using namespace socket_calls;

ENetError Bad(std::string_view Text, const std::string& Why) {
    return ENetError("\"" + std::string(Text) + "\": " + Why, TNetCode::BadEndpoint);
}

// getaddrinfo's answers, freed when done.
class TAddresses {
public:
    TAddresses(const TEndpoint& Where, bool Passive) {
        Start();
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_flags = Passive ? AI_PASSIVE : 0;
        const std::string port = std::to_string(Where.Port);
        if (const int error = ::getaddrinfo(Where.Host.c_str(), port.c_str(), &hints, &FFirst))
            throw ResolveFailure(error);
    }
    ~TAddresses() { ::freeaddrinfo(FFirst); }
    TAddresses(const TAddresses&) = delete;
    TAddresses& operator=(const TAddresses&) = delete;
    const addrinfo* First() const { return FFirst; }

private:
    addrinfo* FFirst = nullptr;
};

const ENetError NoAddress("no address", TNetCode::NoAddress);

// Connects Handle to A within TimeoutMs; the error when it did not.
std::optional<ENetError> ConnectOne(std::intptr_t Handle, const addrinfo& A, int TimeoutMs) {
    const TNative s = Native(Handle);
    if (::connect(s, A.ai_addr, static_cast<socklen_t>(A.ai_addrlen)) == 0)
        return std::nullopt;
    if (const int error = LastError(); !Pending(error))
        return Failure(error);
    if (Wait(Handle, TWant::Write, TimeoutMs, nullptr) == TReady::TimedOut)
        return ENetError("no connection within " + std::to_string(TimeoutMs) + " ms",
                         TNetCode::NoConnectionInTime);
    int error = 0;
    socklen_t size = sizeof error;
    ::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size);
    if (error == 0)
        return std::nullopt;
    return Failure(error);
}

// "ADDRESS:PORT" of the socket's own end, or with Far of the other one; an IPv6 address in
// brackets.
std::optional<std::string> AddressOf(std::intptr_t Handle, bool Far) {
    sockaddr_storage storage{};
    socklen_t size = sizeof storage;
    auto* address = reinterpret_cast<sockaddr*>(&storage);
    if ((Far ? ::getpeername(Native(Handle), address, &size)
             : ::getsockname(Native(Handle), address, &size)) != 0)
        return std::nullopt;
    char host[INET6_ADDRSTRLEN] = {};
    std::uint16_t port = 0;
    if (storage.ss_family == AF_INET6) {
        const auto& a = reinterpret_cast<const sockaddr_in6&>(storage);
        ::inet_ntop(AF_INET6, &a.sin6_addr, host, sizeof host);
        port = ntohs(a.sin6_port);
    } else {
        const auto& a = reinterpret_cast<const sockaddr_in&>(storage);
        ::inet_ntop(AF_INET, &a.sin_addr, host, sizeof host);
        port = ntohs(a.sin_port);
    }
    return TEndpoint{host, port}.Text();
}

} // namespace

std::string TEndpoint::Text() const {
    const bool v6 = Host.find(':') != std::string::npos;
    return (v6 ? "[" + Host + "]" : Host) + ":" + std::to_string(Port);
}

TEndpoint ParseEndpoint(std::string_view Text, std::optional<std::uint16_t> DefaultPort,
                        bool AllowAnyPort) {
    TEndpoint out;
    out.Port = DefaultPort.value_or(0);
    std::string_view host = Text;
    std::string_view port;
    if (!Text.empty() && Text.front() == '[') {
        const auto close = Text.find(']');
        if (close == std::string_view::npos)
            throw Bad(Text, "no ] after the IPv6 address");
        host = Text.substr(1, close - 1);
        const std::string_view rest = Text.substr(close + 1);
        if (!rest.empty()) {
            if (rest.front() != ':')
                throw Bad(Text, "expected :PORT after ]");
            port = rest.substr(1);
            if (port.empty())
                throw Bad(Text, "no port after the colon");
        }
    } else if (const auto colon = Text.rfind(':'); colon != std::string_view::npos) {
        if (Text.find(':') != colon)
            throw Bad(Text, "write an IPv6 address as [ADDR]:PORT");
        host = Text.substr(0, colon);
        port = Text.substr(colon + 1);
        if (port.empty())
            throw Bad(Text, "no port after the colon");
    }
    if (host.empty())
        throw Bad(Text, "no host");
    if (port.empty() && !DefaultPort)
        throw Bad(Text, "no port");
    if (!port.empty()) {
        unsigned value = 0;
        const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), value);
        if (error != std::errc{} || end != port.data() + port.size() || value > 65535 ||
            (value == 0 && !AllowAnyPort))
            throw Bad(Text, std::string("the port is a number from ") + (AllowAnyPort ? "0" : "1") +
                                " to 65535");
        out.Port = static_cast<std::uint16_t>(value);
    }
    out.Host = std::string(host);
    return out;
}

TSocket::~TSocket() {
    Close(FHandle);
}

TSocket::TSocket(TSocket&& Other) noexcept : FHandle(std::exchange(Other.FHandle, -1)) {}

TSocket& TSocket::operator=(TSocket&& Other) noexcept {
    std::swap(FHandle, Other.FHandle);
    return *this;
}

TSocket TSocket::Connect(const TEndpoint& Where, int TimeoutMs) {
    const TAddresses list(Where, false);
    ENetError failure = NoAddress;
    for (const addrinfo* a = list.First(); a; a = a->ai_next) {
        TSocket socket(Open(*a));
        auto error = ConnectOne(socket.FHandle, *a, TimeoutMs);
        if (!error)
            return socket;
        failure = *error;
    }
    throw failure;
}

void TSocket::Send(std::string_view Bytes, int TimeoutMs) {
    while (!Bytes.empty()) {
        const std::ptrdiff_t put = SendSome(FHandle, Bytes);
        if (put > 0) {
            Bytes.remove_prefix(static_cast<std::size_t>(put));
            continue;
        }
        if (const int error = put < 0 ? LastError() : 0; put < 0 && !Again(error))
            throw Failure(error);
        if (Wait(FHandle, TWant::Write, TimeoutMs, nullptr) == TReady::TimedOut)
            throw ENetError("the printer took nothing for " + std::to_string(TimeoutMs) + " ms",
                            TNetCode::NothingTaken);
    }
}

TReceived TSocket::Receive(std::size_t Max, int TimeoutMs, const TStopSignal* Stop) {
    for (;;) {
        const TReady ready = Wait(FHandle, TWant::Read, TimeoutMs, Stop);
        if (ready == TReady::Stopped)
            return {TReceived::Stopped, {}};
        if (ready == TReady::TimedOut)
            return {TReceived::TimedOut, {}};
        std::string bytes(Max, '\0');
        const std::ptrdiff_t got = ReceiveSome(FHandle, bytes.data(), bytes.size());
        if (got > 0) {
            bytes.resize(static_cast<std::size_t>(got));
            return {TReceived::Data, std::move(bytes)};
        }
        const int error = got < 0 ? LastError() : 0;
        if (got < 0 && Again(error))
            continue;
        return {TReceived::Closed, {}, got < 0 && CodeOf(error) == TNetCode::Reset};
    }
}

void TSocket::Finish() {
    ::shutdown(Native(FHandle), ShutSend);
    while (Receive(4096, 0).What == TReceived::Data) {
    }
}

std::string TSocket::Peer() const {
    return AddressOf(FHandle, true).value_or("?");
}

TListener::TListener(const TEndpoint& Where) {
    const TAddresses list(Where, true);
    ENetError failure = NoAddress;
    for (const addrinfo* a = list.First(); a; a = a->ai_next) {
        const std::intptr_t handle = Open(*a);
        PrepareListener(handle);
        const TNative s = Native(handle);
        if (::bind(s, a->ai_addr, static_cast<socklen_t>(a->ai_addrlen)) == 0 &&
            ::listen(s, SOMAXCONN) == 0) {
            FHandle = handle;
            return;
        }
        failure = Failure(LastError());
        Close(handle);
    }
    throw failure;
}

TListener::~TListener() {
    Close(FHandle);
}

TEndpoint TListener::Bound() const {
    return ParseEndpoint(AddressOf(FHandle, false).value_or(""), 0, true);
}

std::optional<TSocket> TListener::Accept(const TStopSignal& Stop) {
    for (;;) {
        if (Wait(FHandle, TWant::Read, -1, &Stop) == TReady::Stopped)
            return std::nullopt;
        const std::intptr_t client = AcceptOne(FHandle);
        if (client != -1)
            return TSocket(client);
        // A client that gave up while queued: wait for the next.
        if (const int error = LastError(); !Again(error) && CodeOf(error) != TNetCode::Reset)
            throw Failure(error);
    }
}

namespace socket_calls {

TDeadline::TDeadline(int TimeoutMs)
    : FTimeoutMs(TimeoutMs),
      FEnd(std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs)) {}

int TDeadline::LeftMs() const {
    if (FTimeoutMs < 0)
        return -1;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        FEnd - std::chrono::steady_clock::now());
    return static_cast<int>(std::max<std::chrono::milliseconds::rep>(0, left.count()));
}

std::string Words(TNetCode Code) {
    static constexpr struct {
        TNetCode Code;
        const char* Words;
    } words[] = {
        {TNetCode::UnknownHost, "unknown host"},
        {TNetCode::Refused, "connection refused"},
        {TNetCode::HostUnreachable, "host unreachable"},
        {TNetCode::NetworkUnreachable, "network unreachable"},
        {TNetCode::Reset, "the connection was reset"},
        {TNetCode::AddressInUse, "address already in use"},
        {TNetCode::TooManyFiles, "too many open files"},
        {TNetCode::TimedOut, "connection timed out"},
    };
    for (const auto& w : words)
        if (w.Code == Code)
            return w.Words;
    return {};
}

TNetCode CodeOf(int Error) {
    for (const TErrorCode& e : ErrorCodes())
        if (e.Error == Error)
            return e.Code;
    return TNetCode::Other;
}

ENetError Failure(int Error) {
    const TNetCode code = CodeOf(Error);
    const std::string words = Words(code);
    return ENetError(words.empty() ? SystemWords(Error) : words, code);
}

} // namespace socket_calls

} // namespace console
