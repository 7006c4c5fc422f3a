// The text of a socket address, the same on every system: both sockets files use it.
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
#include <netinet/in.h>
#include <sys/socket.h>
#endif

#include <cstdint>
#include <string>

namespace console::socket_calls {

// "ADDRESS:PORT", an IPv6 address in brackets.
inline std::string Address(const sockaddr_storage& Storage) {
    char host[INET6_ADDRSTRLEN] = {};
    std::uint16_t port = 0;
    if (Storage.ss_family == AF_INET6) {
        const auto& a = reinterpret_cast<const sockaddr_in6&>(Storage);
        ::inet_ntop(AF_INET6, &a.sin6_addr, host, sizeof host);
        port = ntohs(a.sin6_port);
    } else {
        const auto& a = reinterpret_cast<const sockaddr_in&>(Storage);
        ::inet_ntop(AF_INET, &a.sin_addr, host, sizeof host);
        port = ntohs(a.sin_port);
    }
    return TEndpoint{host, port}.Text();
}

} // namespace console::socket_calls
