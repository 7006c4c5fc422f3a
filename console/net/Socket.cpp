#include "console/net/Socket.h"

#include "console/net/SocketCalls.h"

#include <algorithm>
#include <charconv>
#include <utility>

namespace console {

std::string TEndpoint::Text() const {
    const bool v6 = Host.find(':') != std::string::npos;
    return (v6 ? "[" + Host + "]" : Host) + ":" + std::to_string(Port);
}

TEndpoint ParseEndpoint(std::string_view Text, std::uint16_t DefaultPort, bool AllowAnyPort) {
    TEndpoint out;
    out.Port = DefaultPort;
    std::string_view host = Text;
    std::string_view port;
    if (!Text.empty() && Text.front() == '[') {
        const auto close = Text.find(']');
        if (close == std::string_view::npos)
            throw ENetError("\"" + std::string(Text) + "\": no ] after the IPv6 address");
        host = Text.substr(1, close - 1);
        const std::string_view rest = Text.substr(close + 1);
        if (!rest.empty()) {
            if (rest.front() != ':')
                throw ENetError("\"" + std::string(Text) + "\": expected :PORT after ]");
            port = rest.substr(1);
            if (port.empty())
                throw ENetError("\"" + std::string(Text) + "\": no port after the colon");
        }
    } else if (const auto colon = Text.rfind(':'); colon != std::string_view::npos) {
        if (Text.find(':') != colon)
            throw ENetError("\"" + std::string(Text) + "\": write an IPv6 address as [ADDR]:PORT");
        host = Text.substr(0, colon);
        port = Text.substr(colon + 1);
        if (port.empty())
            throw ENetError("\"" + std::string(Text) + "\": no port after the colon");
    }
    if (host.empty())
        throw ENetError("\"" + std::string(Text) + "\": no host");
    if (!port.empty()) {
        unsigned value = 0;
        const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), value);
        if (error != std::errc{} || end != port.data() + port.size() || value > 65535 ||
            (value == 0 && !AllowAnyPort))
            throw ENetError("\"" + std::string(Text) + "\": the port is a number from " +
                            (AllowAnyPort ? "0" : "1") + " to 65535");
        out.Port = static_cast<std::uint16_t>(value);
    }
    out.Host = std::string(host);
    return out;
}

TSocket::~TSocket() {
    socket_calls::Close(FHandle);
}

TSocket::TSocket(TSocket&& Other) noexcept : FHandle(std::exchange(Other.FHandle, -1)) {}

TSocket& TSocket::operator=(TSocket&& Other) noexcept {
    std::swap(FHandle, Other.FHandle);
    return *this;
}

void TSocket::Finish() {
    socket_calls::ShutdownSend(FHandle);
    while (Receive(4096, 0).What == TReceived::Data) {
    }
}

std::string TSocket::Peer() const {
    return socket_calls::AddressOf(FHandle, true).value_or("?");
}

TListener::~TListener() {
    socket_calls::Close(FHandle);
}

TEndpoint TListener::Bound() const {
    return ParseEndpoint(socket_calls::AddressOf(FHandle, false).value_or(""), 0, true);
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

std::string NoConnectionWithin(int TimeoutMs) {
    return "no connection within " + std::to_string(TimeoutMs) + " ms";
}

std::string TookNothingFor(int TimeoutMs) {
    return "the printer took nothing for " + std::to_string(TimeoutMs) + " ms";
}

} // namespace socket_calls

} // namespace console
