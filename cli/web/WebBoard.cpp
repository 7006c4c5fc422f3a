#include "cli/web/WebBoard.h"

#include "cli/web/WebGuard.h"
#include "cli/web/WebLevers.h"
#include "cli/web/WebPage.h"

#include "escpos/TraceJson.h"

#include <httplib.h>

#include <charconv>
#include <deque>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace cli {

namespace {

// The most receipts kept for the page, and the most memory they may take: a long session would
// otherwise only grow.
constexpr std::size_t KeptReceipts = 200;
constexpr std::size_t KeptBytes = std::size_t{64} << 20;

std::size_t Size(const escpos::FiledReceipt& R) {
    std::size_t bytes = sizeof R + R.Png.size() + R.Text.size();
    for (const auto& e : R.Trace)
        bytes += sizeof e + e.Name.size() + e.Hex.size() + e.Detail.size();
    return bytes;
}

} // namespace

std::string ReceiptsJson(const std::vector<escpos::FiledReceipt>& Receipts) {
    std::string out = "[";
    for (const auto& r : Receipts) {
        if (out.size() > 1)
            out += ",";
        out += "{\"number\":" + std::to_string(r.Number) +
               ",\"cut\":" + (r.Cut ? "true" : "false") + ",\"text\":";
        escpos::JsonString(out, r.Text);
        out += ",\"trace\":[";
        for (const auto& e : r.Trace) {
            if (&e != &r.Trace.front())
                out += ",";
            escpos::TraceEntryJson(out, e);
        }
        out += "]}";
    }
    return out + "]";
}

struct WebBoard::Server {
    httplib::Server Http;
    std::thread Thread;
    std::string Host;
    int Port = 0;
    std::mutex Lock;
    std::deque<escpos::FiledReceipt> Receipts; // oldest first
    std::size_t Bytes = 0;                     // their Size together

    std::vector<escpos::FiledReceipt> After(unsigned Number) {
        const std::lock_guard<std::mutex> hold(Lock);
        std::vector<escpos::FiledReceipt> newer;
        for (const auto& r : Receipts)
            if (r.Number > Number)
                newer.push_back(r);
        return newer;
    }
    std::optional<std::string> Picture(unsigned Number) {
        const std::lock_guard<std::mutex> hold(Lock);
        for (const auto& r : Receipts)
            if (r.Number == Number)
                return r.Png;
        return std::nullopt;
    }
};

WebBoard::WebBoard(const console::TEndpoint& Address, escpos::PrinterLevers* Levers)
    : FServer(std::make_unique<Server>()) {
    Server& s = *FServer;
    s.Host = Address.Host;
    GuardWebServer(s.Http, Address.Host, s.Port);
    if (Levers)
        AddLeverRoutes(s.Http, *Levers);
    s.Http.Get("/", [](const httplib::Request&, httplib::Response& Res) {
        Res.set_content(std::string(WebPage()), "text/html; charset=utf-8");
    });
    s.Http.Get("/page.js", [](const httplib::Request&, httplib::Response& Res) {
        Res.set_content(std::string(WebScript()), "text/javascript; charset=utf-8");
    });
    s.Http.Get("/page.css", [](const httplib::Request&, httplib::Response& Res) {
        Res.set_content(std::string(WebStyle()), "text/css; charset=utf-8");
    });
    s.Http.Get("/receipts", [&s](const httplib::Request& Req, httplib::Response& Res) {
        unsigned after = 0;
        const std::string given = Req.get_param_value("after");
        std::from_chars(given.data(), given.data() + given.size(), after);
        Res.set_header("Cache-Control", "no-store");
        Res.set_content(ReceiptsJson(s.After(after)), "application/json");
    });
    s.Http.Get(R"(/receipts/(\d+)\.png)",
               [&s](const httplib::Request& Req, httplib::Response& Res) {
                   unsigned number = 0;
                   const std::string given = Req.matches[1];
                   std::from_chars(given.data(), given.data() + given.size(), number);
                   if (const auto png = s.Picture(number))
                       Res.set_content(*png, "image/png");
                   else
                       Res.status = 404;
               });
    s.Port = Address.Port ? (s.Http.bind_to_port(Address.Host, Address.Port) ? Address.Port : -1)
                          : s.Http.bind_to_any_port(Address.Host);
    if (s.Port <= 0)
        throw std::runtime_error("cannot listen on " + Address.Host + ":" +
                                 std::to_string(Address.Port));
    s.Thread = std::thread([&s] { s.Http.listen_after_bind(); });
}

WebBoard::~WebBoard() {
    FServer->Http.stop();
    FServer->Thread.join();
}

int WebBoard::Port() const {
    return FServer->Port;
}

std::string WebBoard::Url() const {
    const bool v6 = FServer->Host.find(':') != std::string::npos;
    return "http://" + (v6 ? "[" + FServer->Host + "]" : FServer->Host) + ":" +
           std::to_string(FServer->Port) + "/";
}

void WebBoard::Publish(const escpos::FiledReceipt& Receipt) {
    const std::lock_guard<std::mutex> hold(FServer->Lock);
    FServer->Receipts.push_back(Receipt);
    FServer->Bytes += Size(Receipt);
    while (FServer->Receipts.size() > 1 &&
           (FServer->Receipts.size() > KeptReceipts || FServer->Bytes > KeptBytes)) {
        FServer->Bytes -= Size(FServer->Receipts.front());
        FServer->Receipts.pop_front();
    }
}

} // namespace cli
