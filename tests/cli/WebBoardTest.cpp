// The web board's address forms and the receipts it hands the page.
#include "cli/WebBoard.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

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
        {"", std::nullopt},
    };
    for (const auto& c : cases) {
        const auto address = cli::ParseWebAddress(c.Text);
        ASSERT_EQ(address.has_value(), c.Expected.has_value()) << c.Text;
        if (address) {
            EXPECT_EQ(address->Host, c.Expected->first) << c.Text;
            EXPECT_EQ(address->Port, c.Expected->second) << c.Text;
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

} // namespace
