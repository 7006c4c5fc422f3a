// Tabs, feeds, upside-down and rotated lines, user-defined characters and the code tables, each
// checked by the place of its glyphs or its dots as the TM-T88 command reference puts them.
#include "escpos/Printer.h"
#include "escpos/drawing/Fonts.h"
#include "escpos/drawing/Raster.h"
#include "tests/support/Ink.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using escpos::Bitmap;
using escpos::Item;
using escpos::Printer;
using testsupport::Hex;
using testsupport::InkBox;
using testsupport::Picture;

escpos::Profile Standard() {
    return *escpos::FindProfile("standard");
}

std::vector<Item> Lines(const std::string& Bytes) {
    std::vector<Item> lines;
    const Printer p = escpos::PrintAll(Bytes, Standard());
    for (const auto& page : p.Pages())
        for (const auto& item : page.Items)
            if (item.What == Item::Line)
                lines.push_back(item);
    return lines;
}

TEST(Tabs, EachTabGoesToTheNextPositionSet) {
    // Where each glyph of each line starts, in dots from the paper's left edge.
    const struct {
        const char* Name;
        std::string Bytes;
        std::vector<std::vector<int>> X;
    } cases[] = {
        // At power-up every eighth Font A column: HT goes to column 9, 96 dots in.
        {"default", "A\tB\tC\n", {{0, 96, 192}}},
        // ESC D counts columns of the characters selected when it comes, spacing included.
        {"ESC D 3 5", Hex("1B 44 03 05 00") + "A\tB\tC\n", {{0, 36, 60}}},
        {"in font B", Hex("1B 4D 01 1B 44 04 00 1B 4D 00") + "A\tB\n", {{0, 36}}},
        {"with right spacing 2", Hex("1B 20 02 1B 44 04 00 1B 20 00") + "A\tB\n", {{0, 56}}},
        {"kept when the width changes", Hex("1B 44 04 00 1B 21 20") + "A\tB\n", {{0, 48}}},
        {"none left: ignored", Hex("1B 44 02 00") + "ABC\tD\n", {{0, 12, 24, 36}}},
        {"ESC D NUL clears them", Hex("1B 44 00") + "A\tB\n", {{0, 12}}},
        {"from the left margin", Hex("1D 4C 18 00") + "\tB\n", {{24 + 96}}},
        // Past the print area the line is full: the next character starts the next line.
        {"past the print area", Hex("1B 44 30 00") + "A\tB\n", {{0}, {0}}},
        // A column not above the one before ends the command, and prints.
        {"not ascending", Hex("1B 44 30 2A") + "\tB\n", {{0}, {0}}},
    };
    for (const auto& c : cases) {
        std::vector<std::vector<int>> x;
        for (const Item& line : Lines(c.Bytes)) {
            x.emplace_back();
            for (const auto& g : line.Glyphs)
                x.back().push_back(line.Indent + g.X);
        }
        EXPECT_EQ(x, c.X) << c.Name;
    }
    // Thirty-two columns at most: a 33rd is data.
    std::string many = "\x1B"
                       "D";
    for (int n = 1; n <= 33; ++n)
        many += static_cast<char>(n + 0x20);
    EXPECT_EQ(Lines(many + "\n").at(0).Text, "A");
    // By dots: a full block (CP437 DB) after two tabs starts on the second stop.
    const auto box = InkBox(Picture("\t\t\xDB\n"));
    EXPECT_EQ(box.Left, 192);
    EXPECT_EQ(box.Right, 192 + 11);
}

TEST(Feeds, ComeInTheVerticalMotionUnit) {
    // 1/360 inch: an odd count leaves half a dot, which the next feed takes up.
    const struct {
        std::string Bytes;
        std::vector<int> Advances;
    } cases[] = {
        {Hex("1B 32") + "A\nA\n", {30, 30}},                 // ESC 2: 1/6 inch
        {Hex("1B 33 19") + "A\n\n\n", {24, 13, 12}},         // ESC 3 25
        {"A" + Hex("1B 4A 3D 1B 4A 3D"), {30, 31}},          // ESC J 61
        {Hex("1B 33 64") + "A" + Hex("1B 64 02"), {50, 50}}, // ESC d 2
    };
    for (const auto& c : cases) {
        std::vector<int> advances;
        const Printer p = escpos::PrintAll(c.Bytes, Standard());
        for (const auto& item : p.Pages().at(0).Items)
            advances.push_back(item.Advance);
        EXPECT_EQ(advances, c.Advances) << testing::PrintToString(c.Bytes);
    }
}

// B's dots in the box of Width x Height at the top left are A's turned by Quarter quarter turns
// clockwise (Width == Height for one).
bool Turned(const Bitmap& A, const Bitmap& B, int Width, int Height, int Quarter) {
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x) {
            const int tx = Quarter == 1 ? Height - 1 - y : Width - 1 - x;
            const int ty = Quarter == 1 ? x : Height - 1 - y;
            if (A.At(x, y) != B.At(tx, ty))
                return false;
        }
    return true;
}

TEST(UpsideDown, TheLineIsTurnedWithinThePrintArea) {
    EXPECT_TRUE(Turned(Picture("AgQ\xDF\n"), Picture(Hex("1B 7B 01") + "AgQ\xDF\n"), 512, 24, 2));
    // Within a print area of 24 to 264 the line turns about that area's middle.
    const auto inArea = InkBox(Picture(Hex("1D 4C 18 00 1D 57 F0 00 1B 7B 01") + "\xDB\n"));
    EXPECT_EQ(inArea.Left, 264 - 12);
    EXPECT_EQ(inArea.Right, 263);
    // Taken only at the beginning of a line; bit 0 counts.
    const struct {
        std::string Bytes;
        bool UpsideDown;
    } cases[] = {
        {Hex("1B 7B 01") + "A\n", true},
        {Hex("1B 7B FE") + "A\n", false},
        {"A" + Hex("1B 7B 01") + "B\n", false},
        {Hex("1B 7B 01 1B 40") + "A\n", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Lines(c.Bytes).at(0).UpsideDown, c.UpsideDown) << testing::PrintToString(c.Bytes);
}

TEST(Rotation, CharactersAreTurnedClockwiseInTheirCells) {
    // The 12 x 24 cell turned a quarter clockwise is the 24 x 12 one ESC V 1 prints.
    const Bitmap upright = Picture("A\n"), turned = Picture(Hex("1B 56 01") + "A\n");
    Bitmap a(24, 24), b(24, 24);
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 24; ++x) {
            a.Set(x, y, x < 12 && upright.At(x, y));
            b.Set(x, y, y < 12 && turned.At(x, y));
        }
    EXPECT_TRUE(Turned(a, b, 24, 24, 1));
    const struct {
        std::string Bytes;
        bool Rotated;
        int Width, Height;
    } cases[] = {
        {Hex("1B 56 31"), true, 24, 12},
        // Double height widens a turned character, double width makes it taller.
        {Hex("1B 56 01 1B 21 10"), true, 48, 12},
        {Hex("1B 56 01 1B 21 20"), true, 24, 24},
        {Hex("1B 56 01 1B 4D 01"), true, 17, 9},
        {Hex("1B 56 01 1B 56 00"), false, 12, 24},
        {Hex("1B 56 02"), false, 12, 24}, // no 1.5-dot spacing on this printer
        {"A" + Hex("1B 56 01"), false, 12, 24},
    };
    for (const auto& c : cases) {
        const escpos::Glyph g = Lines(c.Bytes + "A\n").at(0).Glyphs.back();
        EXPECT_EQ(g.Rotated, c.Rotated) << testing::PrintToString(c.Bytes);
        EXPECT_EQ(g.Width, c.Width) << testing::PrintToString(c.Bytes);
        EXPECT_EQ(g.Height, c.Height) << testing::PrintToString(c.Bytes);
    }
    // Turned characters carry no underline.
    EXPECT_EQ(Lines(Hex("1B 56 01 1B 2D 01") + "A\n").at(0).Glyphs[0].Underline, 0);
}

bool SameCells(const Bitmap& A, const Bitmap& B, int Width, int Height) {
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x)
            if (A.At(x, y) != B.At(x, y))
                return false;
    return true;
}

TEST(UserCharacters, PrintInPlaceOfTheFontsWhileSelected) {
    // "A" in font A as three columns, top down with the high bit on top: a full one, an empty
    // one, and one with only its top and bottom dots.
    const std::string defineA = Hex("1B 26 03 41 41 03 FF FF FF 00 00 00 80 00 01");
    const std::string on = Hex("1B 25 01");
    const auto three = [](int x, int y) { return x == 0 || (x == 2 && (y == 0 || y == 23)); };
    const struct {
        const char* Name;
        std::string Bytes;
        int Width, Height;                  // the cell looked at, from the top left
        std::function<bool(int, int)> Dots; // null: the built-in character of Builtin
        std::string Builtin;
    } cases[] = {
        {"selected", defineA + on + "A\n", 12, 24, three, ""},
        {"scaled 2 x 2", defineA + on + Hex("1D 21 11") + "A\n", 24, 48,
         [&](int x, int y) { return three(x / 2, y / 2); }, ""},
        // Font B keeps 17 of the 24 rows: only the high bit of each column's third byte.
        {"font B", Hex("1B 4D 01 1B 26 03 41 41 01 FF FF FF") + on + "A\n", 9, 17,
         [](int x, int) { return x == 0; }, ""},
        {"not selected", defineA + "A\n", 12, 24, nullptr, "A\n"},
        {"a code not defined", defineA + on + "B\n", 12, 24, nullptr, "B\n"},
        {"ESC ? cancels it", defineA + on + Hex("1B 3F 41") + "A\n", 12, 24, nullptr, "A\n"},
        {"ESC @ clears it", defineA + Hex("1B 40") + on + "A\n", 12, 24, nullptr, "A\n"},
        {"GS * clears it", defineA + Hex("1D 2A 01 01") + std::string(8, '\0') + on + "A\n", 12, 24,
         nullptr, "A\n"},
        {"font A's are not font B's", defineA + on + Hex("1B 4D 01") + "A\n", 9, 17, nullptr,
         Hex("1B 4D 01") + "A\n"},
        {"wider than the font: ignored",
         Hex("1B 26 03 41 41 0D") + std::string(39, '\xFF') + on + "A\n", 12, 24, nullptr, "A\n"},
    };
    for (const auto& c : cases) {
        const Bitmap got = Picture(c.Bytes);
        Bitmap want = c.Dots ? Bitmap(c.Width, c.Height) : Picture(c.Builtin);
        for (int y = 0; c.Dots && y < c.Height; ++y)
            for (int x = 0; x < c.Width; ++x)
                want.Set(x, y, c.Dots(x, y));
        EXPECT_TRUE(SameCells(got, want, c.Width, c.Height)) << c.Name;
        EXPECT_LT(InkBox(got).Right, c.Width) << c.Name;
    }
    // Defining characters clears the downloaded bit image, which shares their memory.
    const Printer p = escpos::PrintAll(
        Hex("1D 2A 01 01") + std::string(8, '\xFF') + defineA + Hex("1D 2F 00"), Standard());
    ASSERT_EQ(p.Warnings().size(), 1u);
    EXPECT_NE(p.Warnings()[0].Message.find("no downloaded bit image"), std::string::npos);
}

TEST(CodeTables, EachPageThePrinterHasMapsToItsCharacters) {
    // Bytes of each page and what the printer's code table prints for them.
    const struct {
        unsigned Page;
        std::string Bytes;
        const char* Text;
    } cases[] = {
        {0, "\x80\x9B\xB0\xDB\xE1\xE3\xFB", "Ç¢░█ßπ√"},
        {1, "\xA1\xB1\xB6\xDD", "｡ｱｶﾝ"},
        {1, "\x8F\x95\x96\x98\x9C\x9F", "┼─│┌╭╯"},
        {2, "\x9B\x9D\xD5\xB8", "øØı©"},
        {3, "\x84\x8E\x94\x8F", "ãÃõÂ"},
        {4, "\x84\x86\x8D\x91", "Â¶‗È"},
        {5, "\x9B\x9D\xAF", "øØ¤"},
        {16, "\x80\x8A\x9F\xE9", "€ŠŸé"},
        {17, "\x80\xA0\xF0\xEF", "АаЁя"},
        {18, "\xA5\x9B\xE3\xD8", "ąŤŃě"},
        {19, "\xD5\x9B", "€ø"},
        {254, "\x80\xFF", "  "},
        {255, "\x80\xFF", "  "},
    };
    auto& fonts = escpos::Fonts::Shared();
    const auto drawn = [&](escpos::Face F, char32_t C) {
        return fonts.Glyph(F, false, C).Dots != fonts.Glyph(F, false, 0xE000).Dots;
    };
    for (const auto& c : cases) {
        const Printer p = escpos::PrintAll(
            "\x1Bt" + std::string(1, static_cast<char>(c.Page)) + c.Bytes + "\n", Standard());
        EXPECT_TRUE(p.Warnings().empty()) << c.Page;
        const auto& line = p.Pages().at(0).Items.at(0);
        EXPECT_EQ(line.Text, c.Text) << "page " << c.Page;
        // Every character drawn from the faces, in font A and font B: none is a hollow box.
        for (const auto& g : line.Glyphs)
            EXPECT_TRUE(drawn(escpos::Face::A, g.Character) && drawn(escpos::Face::B, g.Character))
                << "page " << c.Page << " U+" << std::hex << static_cast<unsigned>(g.Character);
    }
    // A half-width katakana is the wide one made narrow: ink across the cell, none past it.
    const auto kana = InkBox(Picture(Hex("1B 74 01 B1 0A")));
    EXPECT_LT(kana.Left, 4);
    EXPECT_GT(kana.Right, 7);
    EXPECT_LT(kana.Right, 12);
    // A page the printer does not have is refused and the one in force stays.
    const Printer lacking = escpos::PrintAll(Hex("1B 74 10 1B 74 06 80 0A"), Standard());
    ASSERT_EQ(lacking.Warnings().size(), 1u);
    EXPECT_NE(lacking.Warnings()[0].Message.find("ESC t 6"), std::string::npos);
    EXPECT_EQ(lacking.Pages().at(0).Items.at(0).Text, "€");
}

TEST(CodeTables, InternationalSetsReplaceTheirTwelveCharacters) {
    // Each set's characters at 23 24 40 5B 5C 5D 5E 60 7B 7C 7D 7E; a set it lacks is refused.
    const char* sets[] = {
        "#$@[\\]^`{|}~", "#$à°ç§^`éùè¨",  "#$§ÄÖÜ^`äöüß", "£$@[\\]^`{|}~", "#$@ÆØÅ^`æøå~",
        "#¤ÉÄÖÅÜéäöåü",  "#$@°\\é^ùàòèì", "₧$@¡Ñ¿^`¨ñ}~", "#$@[¥]^`{|}~",  "#¤ÉÆØÅÜéæøåü",
        "#$ÉÆØÅÜéæøåü",  "#$á¡Ñ¿é`íñóú",  "#$á¡Ñ¿éüíñóú", "#$@[₩]^`{|}~",  nullptr,
    };
    for (int n = 0; n < static_cast<int>(std::size(sets)); ++n) {
        const Printer p = escpos::PrintAll(
            "\x1BR" + std::string(1, static_cast<char>(n)) + "#$@[\\]^`{|}~\n", Standard());
        EXPECT_EQ(p.Pages().at(0).Items.at(0).Text, sets[n] ? sets[n] : sets[0]) << "set " << n;
        EXPECT_EQ(p.Warnings().size(), sets[n] ? 0u : 1u) << "set " << n;
    }
}

} // namespace
