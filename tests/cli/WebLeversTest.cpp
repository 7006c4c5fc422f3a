// Moving the levers over HTTP: what is refused, and why, and what a move that is taken answers.
#include "cli/web/WebLevers.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(WebLevers, MovesFromAnotherOriginOrNotInJsonAreRefused) {
    const struct {
        const char* What;
        cli::LeverRequest Request;
        int Status;
        const char* Answer; // a part of the answer's body
    } cases[] = {
        {"the page itself",
         {"127.0.0.1:8080", "http://127.0.0.1:8080", "same-origin", "application/json",
          R"({"cover": "open"})"},
         200,
         R"("cover": "open")"},
        {"a script, no browser",
         {"localhost:8080", "", "", "application/json; charset=utf-8",
          R"({"paper":"near-end","drawer":"open","feed":"held"})"},
         200,
         R"({"cover": "closed", "paper": "near-end", "drawer": "open", "feed": "held"})"},
        {"another site's script",
         {"127.0.0.1:8080", "http://shop.example", "cross-site", "application/json",
          R"({"cover": "open"})"},
         403,
         "another origin"},
        {"another port on the same host",
         {"127.0.0.1:8080", "http://127.0.0.1:9000", "", "application/json",
          R"({"cover": "open"})"},
         403,
         "another origin"},
        {"a browser that names no origin on a cross-site request",
         {"127.0.0.1:8080", "", "same-site", "application/json", R"({"cover": "open"})"},
         403,
         "another origin"},
        {"a plain form",
         {"127.0.0.1:8080", "", "", "application/x-www-form-urlencoded", "cover=open"},
         415,
         "application/json"},
        {"no content type",
         {"127.0.0.1:8080", "", "", "", R"({"cover": "open"})"},
         415,
         "application/json"},
        {"bad JSON",
         {"127.0.0.1:8080", "", "", "application/json", R"({"cover": "open")"},
         400,
         "no JSON object"},
        {"a number for a value",
         {"127.0.0.1:8080", "", "", "application/json", R"({"cover": 1})"},
         400,
         "no JSON object"},
        {"trailing bytes",
         {"127.0.0.1:8080", "", "", "application/json", R"({"cover": "open"} x)"},
         400,
         "no JSON object"},
        {"an unknown key",
         {"127.0.0.1:8080", "", "", "application/json", R"({"cover": "open", "lid": "up"})"},
         400,
         R"(unknown key \"lid\")"},
        {"a position the lever lacks",
         {"127.0.0.1:8080", "", "", "application/json", R"({"paper": "low"})"},
         400,
         R"(no such position for paper: \"low\")"},
    };
    for (const auto& c : cases) {
        escpos::PrinterLevers levers;
        const cli::LeverAnswer answer = cli::MoveLevers(c.Request, levers);
        EXPECT_EQ(answer.Status, c.Status) << c.What << ": " << answer.Body;
        EXPECT_NE(answer.Body.find(c.Answer), std::string::npos) << c.What << ": " << answer.Body;
        // A refused move moves nothing, not even the levers it named before the fault.
        if (c.Status != 200) {
            EXPECT_EQ(levers.Get(), escpos::Sensors{}) << c.What;
        }
    }
}

TEST(WebLevers, AMoveKeepsTheLeversItDoesNotName) {
    escpos::PrinterLevers levers;
    const cli::LeverRequest script{"127.0.0.1:1", "", "", "application/json", ""};
    auto move = [&](const char* Body) {
        cli::LeverRequest r = script;
        r.Body = Body;
        return cli::MoveLevers(r, levers).Body;
    };
    move(R"({"cover": "open", "paper": "end"})");
    EXPECT_EQ(move(R"({"cover": "closed"})"),
              R"({"cover": "closed", "paper": "end", "drawer": "closed", "feed": "released"})");
    EXPECT_EQ(move("{}"), cli::LeversJson(levers.Get()));
}

} // namespace
