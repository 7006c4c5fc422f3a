// The JSON string under both rules: where the page's and the ASCII rule part ways.
#include "receipt/JsonString.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace {

using receipt::JsonText;

struct Case {
    std::string_view Text;
    const char* Page;
    const char* Ascii;
};

TEST(JsonString, EscapesByItsRule) {
    using namespace std::string_view_literals;
    const Case cases[] = {
        {"plain", R"("plain")", R"("plain")"},
        {"\"q\" \\", R"("\"q\" \\")", R"("\"q\" \\")"},
        {"a\nb\rc\td", R"("a\nb\rc\td")", R"("a\u000ab\u000dc\u0009d")"},
        {"\x01\x1f", R"("\u0001\u001f")", R"("\u0001\u001f")"},
        {"\0"sv, R"("\u0000")", R"("\u0000")"},
        {"</b>&", R"("\u003c/b\u003e\u0026")", R"("</b>&")"},
        {"\x7f\xc3\xa9", "\"\x7f\xc3\xa9\"", R"("\u007f\u00c3\u00a9")"},
    };
    for (const Case& c : cases) {
        std::string page = "[";
        receipt::AppendJsonString(page, c.Text, JsonText::Page);
        EXPECT_EQ(page, std::string("[") + c.Page) << c.Text;
        std::string ascii;
        receipt::AppendJsonString(ascii, c.Text, JsonText::Ascii);
        EXPECT_EQ(ascii, c.Ascii) << c.Text;
    }
}

} // namespace
