#include "cli/web/WebLevers.h"

#include "escpos/TraceJson.h"

#include <httplib.h>

#include <cctype>
#include <utility>
#include <vector>

namespace cli {

namespace {

using Paper = escpos::Sensors::Paper;

// A flat JSON object whose values are strings, read strictly; nullopt when it is anything else.
class FlatObject {
public:
    explicit FlatObject(std::string_view Text) : FText(Text) {}

    std::optional<std::vector<std::pair<std::string, std::string>>> Read() {
        std::vector<std::pair<std::string, std::string>> pairs;
        if (!Take('{'))
            return std::nullopt;
        if (!Take('}')) {
            do {
                auto key = String();
                if (!key || !Take(':'))
                    return std::nullopt;
                auto value = String();
                if (!value)
                    return std::nullopt;
                pairs.emplace_back(std::move(*key), std::move(*value));
            } while (Take(','));
            if (!Take('}'))
                return std::nullopt;
        }
        Space();
        if (FAt != FText.size())
            return std::nullopt;
        return pairs;
    }

private:
    void Space() {
        while (FAt < FText.size() && std::isspace(static_cast<unsigned char>(FText[FAt])))
            ++FAt;
    }
    bool Take(char C) {
        Space();
        if (FAt < FText.size() && FText[FAt] == C) {
            ++FAt;
            return true;
        }
        return false;
    }
    // Plain characters and the simple escapes; the levers' names and values need no more.
    std::optional<std::string> String() {
        if (!Take('"'))
            return std::nullopt;
        std::string out;
        while (FAt < FText.size()) {
            const char c = FText[FAt++];
            if (c == '"')
                return out;
            if (static_cast<unsigned char>(c) < 0x20)
                return std::nullopt;
            if (c == '\\') {
                if (FAt >= FText.size())
                    return std::nullopt;
                const char e = FText[FAt++];
                if (e != '"' && e != '\\' && e != '/')
                    return std::nullopt;
                out += e;
            } else {
                out += c;
            }
        }
        return std::nullopt;
    }

    std::string_view FText;
    std::size_t FAt = 0;
};

std::string ErrorJson(const std::string& Message) {
    std::string out = "{\"error\": ";
    escpos::JsonString(out, Message);
    return out + "}";
}

// The media type without its parameters, in lower case.
std::string MediaType(std::string_view ContentType) {
    std::string type(ContentType.substr(0, ContentType.find(';')));
    while (!type.empty() && std::isspace(static_cast<unsigned char>(type.back())))
        type.pop_back();
    for (char& c : type)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return type;
}

} // namespace

std::string LeversJson(const escpos::Sensors& S) {
    const char* paper = S.Roll == Paper::End ? "end" : S.Roll == Paper::NearEnd ? "near-end" : "ok";
    return std::string("{\"cover\": \"") + (S.CoverOpen ? "open" : "closed") + "\", \"paper\": \"" +
           paper + "\", \"drawer\": \"" + (S.DrawerOpen ? "open" : "closed") + "\", \"feed\": \"" +
           (S.FeedHeld ? "held" : "released") + "\"}";
}

std::optional<std::string> ApplyLeversJson(std::string_view Body, escpos::Sensors& S) {
    const auto pairs = FlatObject(Body).Read();
    if (!pairs)
        return "the body is no JSON object of strings";
    escpos::Sensors next = S;
    for (const auto& [key, value] : *pairs) {
        auto choose = [&value](std::initializer_list<const char*> Names) {
            int i = 0;
            for (const char* name : Names) {
                if (value == name)
                    return i;
                ++i;
            }
            return -1;
        };
        int v = -1;
        if (key == "cover" && (v = choose({"closed", "open"})) >= 0)
            next.CoverOpen = v == 1;
        else if (key == "paper" && (v = choose({"ok", "near-end", "end"})) >= 0)
            next.Roll = static_cast<Paper>(v);
        else if (key == "drawer" && (v = choose({"closed", "open"})) >= 0)
            next.DrawerOpen = v == 1;
        else if (key == "feed" && (v = choose({"released", "held"})) >= 0)
            next.FeedHeld = v == 1;
        else if (key == "cover" || key == "paper" || key == "drawer" || key == "feed")
            return "no such position for " + key + ": \"" + value + "\"";
        else
            return "unknown key \"" + key + "\"";
    }
    S = next;
    return std::nullopt;
}

LeverAnswer MoveLevers(const LeverRequest& Request, escpos::PrinterLevers& Levers) {
    // A browser names the site a request comes from; only the page itself, or a program that is
    // no browser, may move the levers.
    const bool foreignSite = !Request.FetchSite.empty() && Request.FetchSite != "same-origin" &&
                             Request.FetchSite != "none";
    const bool foreignOrigin =
        !Request.Origin.empty() && Request.Origin != "http://" + Request.Host;
    if (foreignSite || foreignOrigin)
        return {403, ErrorJson("requests from another origin are refused")};
    if (MediaType(Request.ContentType) != "application/json")
        return {415, ErrorJson("the body must be application/json")};
    escpos::Sensors next = Levers.Get();
    if (const auto error = ApplyLeversJson(Request.Body, next))
        return {400, ErrorJson(*error)};
    Levers.Set(next);
    return {200, LeversJson(Levers.Get())};
}

void AddLeverRoutes(httplib::Server& Http, escpos::PrinterLevers& Levers) {
    Http.Get("/printer", [&Levers](const httplib::Request&, httplib::Response& Res) {
        Res.set_header("Cache-Control", "no-store");
        Res.set_content(LeversJson(Levers.Get()), "application/json");
    });
    Http.Post("/printer", [&Levers](const httplib::Request& Req, httplib::Response& Res) {
        const LeverAnswer answer =
            MoveLevers({Req.get_header_value("Host"), Req.get_header_value("Origin"),
                        Req.get_header_value("Sec-Fetch-Site"),
                        Req.get_header_value("Content-Type"), Req.body},
                       Levers);
        Res.status = answer.Status;
        Res.set_header("Cache-Control", "no-store");
        Res.set_content(answer.Body, "application/json");
    });
    Http.Get("/panel.js", [](const httplib::Request&, httplib::Response& Res) {
        Res.set_content(std::string(PanelScript()), "text/javascript; charset=utf-8");
    });
    Http.Get("/panel.css", [](const httplib::Request&, httplib::Response& Res) {
        Res.set_content(std::string(PanelStyle()), "text/css; charset=utf-8");
    });
}

} // namespace cli
