// The web board's address forms and the receipts it hands the page.
#include "cli/web/WebBoard.h"

#include "cli/emulate/EmulateCommand.h"

#include "console/net/Socket.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

TEST(WebBoard, AddressesAreAPortWithAnOptionalHost) {
    const struct {
        const char* Text;
        std::optional<std::pair<std::string, int>> Expected;
    } cases[] = {
        {"8080", std::pair<std::string, int>{"127.0.0.1", 8080}},
        {"0", std::pair<std::string, int>{"127.0.0.1", 0}},
        {"0.0.0.0:80", std::pair<std::string, int>{"0.0.0.0", 80}},
        {"[::1]:9000", std::pair<std::string, int>{"::1", 9000}},
        {"localhost:65536", std::nullopt},
        {":80", std::nullopt},
        {"80x", std::nullopt},
        {"[::1]", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text);
        try {
            const console::TEndpoint address = cli::ListenEndpoint(c.Text);
            ASSERT_TRUE(c.Expected.has_value()) << "taken as " << address.Text();
            EXPECT_EQ(address.Host, c.Expected->first);
            EXPECT_EQ(address.Port, c.Expected->second);
        } catch (const console::ENetError& e) {
            EXPECT_FALSE(c.Expected.has_value()) << e.what();
        }
    }
}

TEST(WebBoard, PrinterTextCannotCloseAScriptOrBreakTheJson) {
    escpos::FiledReceipt receipt;
    receipt.Number = 7;
    receipt.Text = "</script><b>\"x\" & \\ \x01\n";
    receipt.Trace.push_back({0, 5, "text", "", "</script>"});
    const std::string json = cli::ReceiptsJson({receipt});
    EXPECT_EQ(json.find('<'), std::string::npos) << json;
    EXPECT_EQ(json.find('&'), std::string::npos) << json;
    EXPECT_NE(json.find(R"(\u003c/script\u003e\u003cb\u003e\"x\" \u0026 \\ \u0001\n)"),
              std::string::npos)
        << json;
}

// The whole answer to one request sent as it is, the connection closed after it.
std::string Ask(int Port, const std::string& Request, int TimeoutMs = 5000) {
    console::TSocket socket = console::TSocket::Connect({"127.0.0.1", std::uint16_t(Port)}, 5000);
    socket.Send(Request, 5000);
    std::string answer;
    for (;;) {
        const console::TReceived got = socket.Receive(65536, TimeoutMs);
        if (got.What != console::TReceived::Data)
            return answer;
        answer += got.Bytes;
    }
}

std::string StatusLine(const std::string& Answer) {
    return Answer.substr(0, Answer.find("\r\n"));
}

class WebBoardServing : public ::testing::Test {
protected:
    void SetUp() override {
        escpos::FiledReceipt receipt;
        receipt.Number = 1;
        receipt.Png = std::string(4096, 'p');
        Board.Publish(receipt);
    }
    std::string Self() const { return "Host: 127.0.0.1:" + std::to_string(Board.Port()) + "\r\n"; }

    cli::WebBoard Board{console::TEndpoint{"127.0.0.1", 0}};
};

TEST_F(WebBoardServing, AnswersOnlyItsOwnAddressAndRefusesWhatThePageNeverSends) {
    const std::string port = std::to_string(Board.Port());
    const std::string big = std::string(4000, 'y') + "\r\n";
    const struct {
        std::string Request, Status;
    } cases[] = {
        {"GET / HTTP/1.1\r\n" + Self(), "HTTP/1.1 200 OK"},
        {"GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n", "HTTP/1.1 200 OK"},
        {"GET /receipts HTTP/1.1\r\nHost: localhost:" + port + "\r\n", "HTTP/1.1 200 OK"},
        {"GET / HTTP/1.1\r\nHost: localhost\r\n", "HTTP/1.1 200 OK"},
        // DNS rebinding: a name that points here now; another port or address; no host.
        {"GET /receipts HTTP/1.1\r\nHost: attacker.example:" + port + "\r\n", "HTTP/1.1 421"},
        {"GET / HTTP/1.1\r\nHost: 127.0.0.1:1\r\n", "HTTP/1.1 421"},
        {"GET / HTTP/1.1\r\nHost: 127.0.0.2:" + port + "\r\n", "HTTP/1.1 421"},
        {"GET / HTTP/1.1\r\n", "HTTP/1.1 421"},
        // A small body by POST only: no page here takes it.
        {"POST / HTTP/1.1\r\n" + Self() + "Content-Length: 5\r\n\r\nhello", "HTTP/1.1 404"},
        {"POST / HTTP/1.1\r\n" + Self() + "Content-Length: 4097\r\n\r\nhello", "HTTP/1.1 413"},
        {"GET / HTTP/1.1\r\n" + Self() + "Content-Length: 5\r\n\r\nhello", "HTTP/1.1 413"},
        {"GET / HTTP/1.1\r\n" + Self() + "Transfer-Encoding: chunked\r\n", "HTTP/1.1 413"},
        {"GET /receipts/1.png HTTP/1.1\r\n" + Self() + "Range: bytes=0-1,3-4\r\n", "HTTP/1.1 416"},
        {"GET /receipts/1.png HTTP/1.1\r\n" + Self() + "Range: bytes=0-9\r\n", "HTTP/1.1 206"},
        {"GET / HTTP/1.1\r\n" + Self() + "A: " + big + "B: " + big + "C: " + big, "HTTP/1.1 431"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Request.substr(0, 80));
        // Connection: close last, so a body given above is sent after the headers' end.
        std::string request = c.Request;
        const auto body = request.find("\r\n\r\n");
        request.insert(body == std::string::npos ? request.size() : body + 2,
                       "Connection: close\r\n");
        if (body == std::string::npos)
            request += "\r\n";
        const std::string answer = Ask(Board.Port(), request);
        EXPECT_EQ(StatusLine(answer).substr(0, c.Status.size()), c.Status) << answer.substr(0, 300);
        // Every answer, a refusal too, forbids sniffing, framing and anything from elsewhere.
        EXPECT_NE(answer.find("X-Content-Type-Options: nosniff\r\n"), std::string::npos);
        EXPECT_NE(answer.find("X-Frame-Options: DENY\r\n"), std::string::npos);
        EXPECT_NE(answer.find("Content-Security-Policy: default-src 'none'"), std::string::npos);
    }
}

TEST_F(WebBoardServing, IdleConnectionsDoNotHoldThePage) {
    // More idle connections than the server has workers: each is dropped once it has said
    // nothing for the read time-out, so the page still comes well before a slow client's
    // patience would run out.
    std::vector<console::TSocket> idle;
    for (int n = 0; n < 24; ++n)
        idle.push_back(console::TSocket::Connect({"127.0.0.1", std::uint16_t(Board.Port())}, 5000));
    const std::string answer =
        Ask(Board.Port(), "GET / HTTP/1.1\r\n" + Self() + "Connection: close\r\n\r\n", 3000);
    EXPECT_EQ(StatusLine(answer), "HTTP/1.1 200 OK");
}

} // namespace
