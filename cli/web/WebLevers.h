// The levers on the web page: the panel's script and style, and the requests that read and move
// the virtual printer's levers (GET and POST /printer, JSON). A move must come from the page's
// own origin, as JSON: a form or a script on another site is refused.
#pragma once

#include "escpos/Levers.h"

#include <optional>
#include <string>
#include <string_view>

namespace httplib {
class Server;
}

namespace cli {

// {"cover": "closed", "paper": "ok", "drawer": "closed", "feed": "released"}
std::string LeversJson(const escpos::Sensors& S);

// Applies a JSON object of levers to S ("cover": "closed"|"open", "paper": "ok"|"near-end"|"end",
// "drawer": "closed"|"open", "feed": "released"|"held"); a lever not named stays. Gives the
// reason when the body is no such object: bad JSON, an unknown key, a value the lever lacks.
std::optional<std::string> ApplyLeversJson(std::string_view Body, escpos::Sensors& S);

// What a request to move the levers carries that decides whether it is taken.
struct LeverRequest {
    std::string Host;        // the Host header
    std::string Origin;      // empty when none was sent
    std::string FetchSite;   // Sec-Fetch-Site, empty when none was sent
    std::string ContentType; // with its parameters, as sent
    std::string Body;
};

struct LeverAnswer {
    int Status = 200;
    std::string Body; // JSON: the levers, or {"error": "..."}
};

// POST /printer: refused (403) from another origin, (415) when not JSON, (400) when the JSON is
// bad; otherwise the levers move and the answer gives them as they are now.
LeverAnswer MoveLevers(const LeverRequest& Request, escpos::PrinterLevers& Levers);

// Adds GET and POST /printer, /panel.js and /panel.css.
void AddLeverRoutes(httplib::Server& Http, escpos::PrinterLevers& Levers);

// The panel's script and style, served beside the page so it needs no inline code.
std::string_view PanelScript();
std::string_view PanelStyle();

} // namespace cli
