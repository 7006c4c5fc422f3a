#include "cli/web/WebGuard.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace cli {

namespace {

// The page asks for nothing long: its requests' headers are a few hundred bytes, and the most
// it sends is a small JSON object, by POST.
constexpr std::size_t MaxHeaderBytes = 8192;
constexpr std::size_t MaxBodyBytes = 4096;
// Seconds a connection may wait between requests, and for the rest of one, before it is closed.
constexpr time_t IdleSeconds = 1;
// More than a browser opens to one page, so a few idle connections leave workers free.
constexpr std::size_t Workers = 16;

// Everything the page needs is its own: script and style from its own address, pictures and
// receipts fetched from it, and nothing may frame it.
constexpr const char* Policy = "default-src 'none'; script-src 'self'; style-src 'self'; "
                               "img-src 'self'; connect-src 'self'; base-uri 'none'; "
                               "form-action 'none'; frame-ancestors 'none'";

bool SameText(std::string_view A, std::string_view B) {
    return std::equal(A.begin(), A.end(), B.begin(), B.end(), [](char X, char Y) {
        return std::tolower(static_cast<unsigned char>(X)) ==
               std::tolower(static_cast<unsigned char>(Y));
    });
}

bool Ipv4Literal(std::string_view Host) {
    return !Host.empty() && Host.find_first_not_of("0123456789.") == std::string_view::npos &&
           std::count(Host.begin(), Host.end(), '.') == 3;
}

bool Loopback(std::string_view Host) {
    return Host.rfind("127.", 0) == 0 || Host == "::1" || SameText(Host, "localhost");
}

std::size_t HeaderBytes(const httplib::Request& Req) {
    std::size_t total = 0;
    for (const auto& [name, value] : Req.headers)
        total += name.size() + value.size() + 4; // ": " and the line's end
    return total;
}

// The status a request is refused with, or 0 when it may be served.
int Refusal(const httplib::Request& Req, std::string_view Bound, int Port) {
    if (HeaderBytes(Req) > MaxHeaderBytes)
        return 431;
    if (!HostAllowed(Req.get_header_value("Host"), Bound, Port))
        return 421;
    if (Req.has_header("Transfer-Encoding"))
        return 413;
    if (Req.has_header("Content-Length")) {
        const std::string given = Req.get_header_value("Content-Length");
        std::size_t length = 0;
        const auto [end, error] =
            std::from_chars(given.data(), given.data() + given.size(), length);
        if (error != std::errc() || end != given.data() + given.size() ||
            length > (Req.method == "POST" ? MaxBodyBytes : 0))
            return 413;
    }
    if (Req.ranges.size() > 1)
        return 416;
    return 0;
}

} // namespace

bool HostAllowed(std::string_view Host, std::string_view Bound, int Port) {
    std::string_view name = Host, port;
    bool literal = false;
    if (!Host.empty() && Host.front() == '[') {
        const auto close = Host.find(']');
        if (close == std::string_view::npos)
            return false;
        name = Host.substr(1, close - 1);
        const std::string_view rest = Host.substr(close + 1);
        if (!rest.empty() && rest.front() != ':')
            return false;
        port = rest.empty() ? rest : rest.substr(1);
        literal = true;
    } else if (const auto colon = Host.rfind(':'); colon != std::string_view::npos) {
        name = Host.substr(0, colon);
        port = Host.substr(colon + 1);
        if (port.empty())
            return false;
    }
    if (name.empty() || (name.find(':') != std::string_view::npos && !literal))
        return false;
    if (!port.empty()) {
        int given = -1;
        const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), given);
        if (error != std::errc() || end != port.data() + port.size() || given != Port)
            return false;
    }
    if (SameText(name, Bound))
        return true;
    if (Loopback(Bound) && SameText(name, "localhost"))
        return true;
    const bool everywhere = Bound == "0.0.0.0" || Bound == "::" || Bound.empty();
    return everywhere && (literal || Ipv4Literal(name));
}

void GuardWebServer(httplib::Server& Http, std::string Bound, const int& Port) {
    Http.new_task_queue = [] { return new httplib::ThreadPool(Workers); };
    Http.set_keep_alive_timeout(IdleSeconds);
    Http.set_read_timeout(IdleSeconds, 0);
    Http.set_payload_max_length(MaxBodyBytes);
    Http.set_default_headers({{"X-Content-Type-Options", "nosniff"},
                              {"X-Frame-Options", "DENY"},
                              {"Content-Security-Policy", Policy},
                              {"Referrer-Policy", "no-referrer"}});
    Http.set_pre_routing_handler(
        [Bound = std::move(Bound), &Port](const httplib::Request& Req, httplib::Response& Res) {
            const int status = Refusal(Req, Bound, Port);
            if (status == 0)
                return httplib::Server::HandlerResponse::Unhandled;
            Res.status = status;
            // What the request still holds unread is no next request.
            Res.set_header("Connection", "close");
            return httplib::Server::HandlerResponse::Handled;
        });
}

} // namespace cli
