#include "escpos/Printer.h"
#include "escpos/TraceJson.h"
#include "escpos/drawing/Fonts.h"
#include "escpos/drawing/Raster.h"

#include "receipt/Receipt.h"
#include "tests/support/PrintedReceipt.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using escpos::Item;
using escpos::Page;
using receipt::Language;
using receipt::Path;
using testsupport::KoreanPrinted;
using testsupport::SplitLines;
using namespace std::string_literals;

constexpr const char* Stamp = "2026/12/07  01:05 PM";

escpos::Printer PrintReceipt(Language Lang, Path On, const char* ProfileName = "korean") {
    const std::string bytes = receipt::DeviceBytes(On, receipt::PrintWrites(Lang, On, Stamp));
    return escpos::PrintAll(bytes, *escpos::FindProfile(ProfileName));
}

std::vector<std::string> EnglishText(Path On) {
    return {
        "123xxstreet,xxxcity,xxxxstate        ",
        "                     TEL 9999-99-9999",
        Stamp,
        "",
        "-------------------------------------",
        "apples                         $20.00",
        "grapes                         $30.00",
        "bananas                        $40.00",
        "lemons                         $50.00",
        "oranges                        $60.00",
        "",
        "Tax excluded.                 $200.00 ",
        "Tax  5.0%                      $10.00 ",
        "-------------------------------------",
        "Total       $210.00",
        "",
        "",
        "",
        "Customer's payment            $250.00",
        "Change                         $40.00",
        "",
        "",
        On == Path::Serial ? "Print test using serial interface."
                           : "Print test using Parallel interface.",
        "Quorivant, Inc",
        "",
        "",
    };
}

TEST(ReceiptRendering, TextLinesMatchTheReceipts) {
    for (const Language lang : {Language::English, Language::Korean}) {
        for (const Path on : {Path::Serial, Path::Parallel}) {
            const auto printer = PrintReceipt(lang, on);
            const std::string name = std::string(lang == Language::English ? "english" : "korean") +
                                     (on == Path::Serial ? "/serial" : "/parallel");
            ASSERT_EQ(printer.Pages().size(), 1u) << name;
            EXPECT_TRUE(printer.Warnings().empty()) << name << ": " << escpos::TraceJson(printer);
            auto expected = lang == Language::English ? EnglishText(on) : KoreanPrinted(on, Stamp);
            // The English parallel form's writer adds one more line end after the receipt.
            if (lang == Language::English && on == Path::Parallel)
                expected.push_back("");
            // The cut trailer: four line feeds, then the partial cut.
            for (int i = 0; i < 4; ++i)
                expected.push_back("");
            expected.push_back("[partial cut]");
            EXPECT_EQ(SplitLines(escpos::PageText(printer.Pages()[0])), expected) << name;
        }
    }
}

TEST(ReceiptRendering, StylesAndTheCut) {
    const auto printer = PrintReceipt(Language::English, Path::Serial);
    const Page& page = printer.Pages().at(0);
    int checked = 0;
    for (const auto& item : page.Items) {
        if (item.What != Item::Line)
            continue;
        for (const auto& g : item.Glyphs) {
            const bool tax = item.Text.starts_with("Tax excluded.");
            const bool total = item.Text == "Total       $210.00";
            EXPECT_EQ(g.Emphasised, tax) << item.Text;
            EXPECT_EQ(g.WidthMul, total ? 2 : 1) << item.Text;
            EXPECT_EQ(g.HeightMul, 1) << item.Text;
            checked += tax || total;
        }
    }
    EXPECT_EQ(checked, 38 + 19);
    // Four line feeds, then the partial cut, end the page.
    const auto& items = page.Items;
    ASSERT_GE(items.size(), 5u);
    EXPECT_EQ(items.back().What, Item::Cut);
    EXPECT_TRUE(items.back().Partial);
    for (std::size_t i = items.size() - 5; i < items.size() - 1; ++i) {
        EXPECT_EQ(items[i].What, Item::Feed);
        EXPECT_EQ(items[i].Advance, 30);
    }
    // The Hangul takes two columns each, so the Korean lines keep their 37 columns.
    const auto korean = PrintReceipt(Language::Korean, Path::Serial);
    int koreanLines = 0;
    for (const auto& item : korean.Pages().at(0).Items) {
        if (item.What == Item::Line && item.Text.starts_with("금천지점")) {
            EXPECT_EQ(item.Glyphs.back().X + item.Glyphs.back().Width, 37 * 12);
            ++koreanLines;
        }
    }
    EXPECT_EQ(koreanLines, 1);
}

std::string ReadFile(const std::string& Path) {
    std::ifstream file(Path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return file ? bytes.str() : std::string();
}

TEST(ReceiptRendering, PicturesMatchTheGoldenOnesByteForByte) {
    const struct {
        Language Lang;
        const char* File;
    } cases[] = {{Language::English, "english.png"}, {Language::Korean, "korean.png"}};
    const bool update = std::getenv("TILLMARK_UPDATE_GOLDEN") != nullptr;
    for (const auto& c : cases) {
        const auto printer = PrintReceipt(c.Lang, Path::Serial);
        const auto picture =
            escpos::RenderPage(printer.Pages().at(0), 512, escpos::Fonts::Shared());
        const std::string png = escpos::EncodePng(picture);
        EXPECT_EQ(escpos::EncodePng(picture), png) << "encoding is not deterministic";
        const std::string path = std::string(TILLMARK_GOLDEN_DIR) + "/" + c.File;
        if (update)
            escpos::WriteFile(path, png);
        const std::string golden = ReadFile(path);
        ASSERT_FALSE(golden.empty()) << path << " is missing; run with TILLMARK_UPDATE_GOLDEN=1";
        EXPECT_TRUE(golden == png) << path << " differs; if the change is meant, run with "
                                   << "TILLMARK_UPDATE_GOLDEN=1 and check the new picture";
    }
}

// Black dots in row Y between X0 and X1.
int Ink(const escpos::Bitmap& B, int Y, int X0, int X1) {
    int n = 0;
    for (int x = X0; x < X1; ++x)
        n += B.At(x, Y);
    return n;
}

TEST(ReceiptRendering, DrawsSizesCutsAndNotes) {
    auto& fonts = escpos::Fonts::Shared();
    const auto printer =
        escpos::PrintAll("\x1B!\x20WW\n\x1B!\x80W\n\x1Bp0\xFF\xFF\x1DV1\x1B!\x00W\n\x1DV0"s,
                         *escpos::FindProfile("standard"));
    ASSERT_EQ(printer.Pages().size(), 2u);
    const auto first = escpos::RenderPage(printer.Pages()[0], 512, fonts);
    // Double width: two W take 48 dots, and nothing is drawn past them.
    int widest = 0;
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 512; ++x)
            if (first.At(x, y))
                widest = std::max(widest, x);
    EXPECT_GE(widest, 36);
    EXPECT_LT(widest, 48);
    // The underline runs under the whole cell on the second line's bottom row.
    EXPECT_EQ(Ink(first, 30 + 23, 0, 12), 12);
    // The partial cut is a dashed line; the drawer note sits in the margin.
    EXPECT_EQ(first.Width, 512 + escpos::NoteMargin);
    const int cutRow = 2 * 30;
    EXPECT_EQ(Ink(first, cutRow, 0, 512), 256);
    EXPECT_GT(Ink(first, 70, 512, first.Width), 0);
    const auto second = escpos::RenderPage(printer.Pages()[1], 512, fonts);
    EXPECT_EQ(second.Width, 512);
    EXPECT_EQ(Ink(second, second.Height - 1, 0, 512), 512);
    // A PNG of the page: its signature and the page's size in the header.
    const std::string png = escpos::EncodePng(second);
    ASSERT_GT(png.size(), 24u);
    EXPECT_EQ(png.substr(1, 3), "PNG");
    EXPECT_EQ(static_cast<unsigned char>(png[18]) << 8 | static_cast<unsigned char>(png[19]), 512);
}

TEST(ReceiptRendering, AnEndlessFeedIsCutShort) {
    std::string feeds;
    for (int i = 0; i < 600; ++i) // 127.5 dots each
        feeds += "\x1BJ\xFF";
    const auto printer = escpos::PrintAll(feeds + "A\n\x1DV0", *escpos::FindProfile("standard"));
    const auto picture = escpos::RenderPage(printer.Pages().at(0), 512, escpos::Fonts::Shared());
    EXPECT_TRUE(picture.Truncated);
    EXPECT_EQ(picture.Height, escpos::MaxPageHeight);
    const auto ordinary = escpos::RenderPage(
        escpos::PrintAll("A\n\x1DV0", *escpos::FindProfile("standard")).Pages().at(0), 512,
        escpos::Fonts::Shared());
    EXPECT_FALSE(ordinary.Truncated);
    EXPECT_EQ(ordinary.Height, 30 + 2);
}

TEST(Fonts, MissingFontsAreNamed) {
    try {
        escpos::Fonts fonts("/nonexistent");
        FAIL() << "fonts loaded from nowhere";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find("xfonts-terminus"), std::string::npos);
    }
}

} // namespace
