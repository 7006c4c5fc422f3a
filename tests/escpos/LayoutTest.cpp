// Tabs, upside-down and rotated lines, user-defined characters and the code tables, each checked
// by the place of its glyphs or its dots as the TM-T88 command reference puts them.
#include "escpos/Fonts.h"
#include "escpos/Printer.h"
#include "escpos/Raster.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using escpos::Bitmap;
using escpos::Item;
using escpos::Printer;
using namespace std::string_literals;

escpos::Profile Standard() {
    return *escpos::FindProfile("standard");
}

std::vector<Item> Lines(const Printer& P) {
    std::vector<Item> lines;
    for (const auto& page : P.Pages())
        for (const auto& item : page.Items)
            if (item.What == Item::Line)
                lines.push_back(item);
    return lines;
}

// Where each glyph of each line starts, in dots from the paper's left edge.
std::vector<std::vector<int>> Columns(const std::string& Bytes) {
    std::vector<std::vector<int>> out;
    for (const Item& line : Lines(escpos::PrintAll(Bytes, Standard()))) {
        out.emplace_back();
        for (const auto& g : line.Glyphs)
            out.back().push_back(line.Indent + g.X);
    }
    return out;
}

Bitmap Picture(const std::string& Bytes) {
    const Printer p = escpos::PrintAll(Bytes, Standard());
    if (p.Pages().empty()) {
        ADD_FAILURE() << "nothing printed";
        return Bitmap(512, 64);
    }
    return escpos::RenderPage(p.Pages().at(0), 512, escpos::Fonts::Shared());
}

// The smallest box around the black dots; Left > Right when there are none.
struct Box {
    int Left = 1 << 20, Top = 1 << 20, Right = -1, Bottom = -1;
};
Box InkBox(const Bitmap& B) {
    Box box;
    for (int y = 0; y < B.Height; ++y)
        for (int x = 0; x < B.Width; ++x)
            if (B.At(x, y)) {
                box.Left = std::min(box.Left, x);
                box.Right = std::max(box.Right, x);
                box.Top = std::min(box.Top, y);
                box.Bottom = std::max(box.Bottom, y);
            }
    return box;
}

TEST(Tabs, EachTabGoesToTheNextPositionSet) {
    const struct {
        const char* Name;
        std::string Bytes;
        std::vector<std::vector<int>> X;
    } cases[] = {
        // At power-up every eighth Font A column: HT goes to column 9, 96 dots in.
        {"default", "A\tB\tC\n", {{0, 96, 192}}},
        {"from the start of the line", "\tB\n", {{96}}},
        // ESC D counts columns of the characters selected when it comes, spacing included.
        {"ESC D in font A",
         "\x1B"
         "D\x03\x05\x00"
         "A\tB\tC\n"s,
         {{0, 36, 60}}},
        {"ESC D in font B",
         "\x1BM1\x1B"
         "D\x04\x00\x1BM0"
         "A\tB\n"s,
         {{0, 36}}},
        {"with right spacing",
         "\x1B \x02\x1B"
         "D\x04\x00\x1B \x00"
         "A\tB\n"s,
         {{0, 56}}},
        {"double width",
         "\x1B!\x20\x1B"
         "D\x02\x00\x1B!\x00"
         "A\tB\n"s,
         {{0, 48}}},
        {"the positions stay when the width changes",
         "\x1B"
         "D\x04\x00\x1B!\x20"
         "A\tB\n"s,
         {{0, 48}}},
        {"none left: ignored",
         "\x1B"
         "D\x02\x00"
         "ABC\tD\n"s,
         {{0, 12, 24, 36}}},
        {"ESC D NUL clears them all",
         "\x1B"
         "D\x00"
         "A\tB\n"s,
         {{0, 12}}},
        {"from the left margin", "\x1DL\x18\x00\tB\n"s, {{24 + 96}}},
        // Past the print area the line is full: the next character starts the next line.
        {"past the print area",
         "\x1B"
         "D\x30\x00"
         "A\tB\n"s,
         {{0}, {0}}},
        // The byte that is not above the one before ends the command and prints.
        {"a column not above the last",
         "\x1B"
         "D\x30\x2A\tB\n",
         {{0}, {0}}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Columns(c.Bytes), c.X) << c.Name;

    // Thirty-two columns at most: a 33rd is data.
    std::string many = "\x1B"
                       "D";
    for (int n = 1; n <= 33; ++n)
        many += static_cast<char>(n + 0x20);
    const auto printed = Lines(escpos::PrintAll(many + "\n", Standard()));
    ASSERT_EQ(printed.size(), 1u);
    EXPECT_EQ(printed[0].Text, "A");
}

TEST(Tabs, TheTabColumnInDots) {
    // A full block character (CP437 DB) after two tabs: its ink starts on the second tab stop.
    const Box box = InkBox(Picture("\t\t\xDB\n"));
    EXPECT_EQ(box.Left, 192);
    EXPECT_LT(box.Right, 192 + 12);
}

// The line's dots in the box Left..Left+Width, Top..Top+Height, turned by Quarter quarter turns
// clockwise, are those of Other in the same box (Width == Height for odd turns).
bool Turned(const Bitmap& A, const Bitmap& Other, int Left, int Top, int Width, int Height,
            int Quarter) {
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x) {
            int tx = x, ty = y;
            if (Quarter == 1)
                tx = Height - 1 - y, ty = x;
            else if (Quarter == 2)
                tx = Width - 1 - x, ty = Height - 1 - y;
            if (A.At(Left + x, Top + y) != Other.At(Left + tx, Top + ty))
                return false;
        }
    return true;
}

TEST(Feeds, ComeInTheVerticalMotionUnit) {
    // 1/360 inch: an odd count leaves half a dot, which the next feed takes up.
    const struct {
        const char* Name;
        std::string Bytes;
        std::vector<int> Advances;
    } cases[] = {
        {"ESC 2: 1/6 inch",
         "\x1B"
         "2A\nA\n",
         {30, 30}},
        {"ESC 3 25",
         "\x1B"
         "3\x19"
         "A\nA\nA\n",
         {24, 24, 24}},
        {"ESC 3 25, then empty lines",
         "\x1B"
         "3\x19"
         "A\n\n\n",
         {24, 13, 12}},
        {"ESC J 61", "A\x1BJ\x3D\x1BJ\x3D", {30, 31}},
        {"ESC d 2 at ESC 3 100",
         "\x1B"
         "3\x64"
         "A\x1B"
         "d\x02",
         {50, 50}},
    };
    for (const auto& c : cases) {
        std::vector<int> advances;
        const Printer p = escpos::PrintAll(c.Bytes, Standard());
        for (const auto& item : p.Pages().at(0).Items)
            advances.push_back(item.Advance);
        EXPECT_EQ(advances, c.Advances) << c.Name;
    }
}

TEST(UpsideDown, TheLineIsTurnedWithinThePrintArea) {
    const Bitmap normal = Picture("AgQ\xDF\n");
    const Bitmap turned = Picture("\x1B{\x01"
                                  "AgQ\xDF\n");
    // Four Font A cells at the left become four turned cells at the right edge.
    EXPECT_TRUE(Turned(normal, turned, 0, 0, 512, 24, 2));
    EXPECT_GT(InkBox(turned).Left, 512 - 4 * 12 - 1);
    // Within a print area of 24 to 264 the line turns about that area's middle.
    const Box inArea = InkBox(Picture("\x1DL\x18\x00\x1DW\xF0\x00\x1B{\x01\xDB\n"s));
    EXPECT_EQ(inArea.Left, 264 - 12);
    EXPECT_EQ(inArea.Right, 263);
    // Taken only at the beginning of a line; ESC { 0 and ESC @ turn it off.
    const struct {
        const char* Name;
        std::string Bytes;
        bool UpsideDown;
    } cases[] = {
        {"on",
         "\x1B{\x01"
         "A\n",
         true},
        {"bit 0 only",
         "\x1B{\xFE"
         "A\n",
         false},
        {"mid-line: ignored",
         "A\x1B{\x01"
         "B\n",
         false},
        {"off",
         "\x1B{\x01\x1B{\x00"
         "A\n"s,
         false},
        {"ESC @", "\x1B{\x01\x1B@A\n", false},
    };
    for (const auto& c : cases) {
        const auto lines = Lines(escpos::PrintAll(c.Bytes, Standard()));
        ASSERT_EQ(lines.size(), 1u) << c.Name;
        EXPECT_EQ(lines[0].UpsideDown, c.UpsideDown) << c.Name;
    }
}

TEST(Rotation, CharactersAreTurnedClockwiseInTheirCells) {
    // Each cell turned a quarter clockwise: its dots are the upright cell's, turned.
    const Bitmap upright = Picture("A\n"); // a 12 x 24 cell
    const Bitmap turned = Picture("\x1BV\x01"
                                  "A\n"); // a 24 x 12 cell
    Bitmap square(24, 24), turnedSquare(24, 24);
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 24; ++x) {
            square.Set(x, y, x < 12 && upright.At(x, y));
            turnedSquare.Set(x, y, y < 12 && turned.At(x, y));
        }
    EXPECT_TRUE(Turned(square, turnedSquare, 0, 0, 24, 24, 1));
    const struct {
        const char* Name;
        std::string Bytes;
        bool Rotated;
        int Width, Height, Underline;
    } cases[] = {
        {"ESC V 1", "\x1BV\x01", true, 24, 12, 0},
        {"ESC V \"1\"", "\x1BV1", true, 24, 12, 0},
        // Double height widens a turned character, double width makes it taller.
        {"double height", "\x1BV1\x1B!\x10", true, 48, 12, 0},
        {"double width", "\x1BV1\x1B!\x20", true, 24, 24, 0},
        {"font B", "\x1BV1\x1BM1", true, 17, 9, 0},
        {"no underline when turned", "\x1BV1\x1B-\x01", true, 24, 12, 0},
        {"ESC V 0", "\x1BV1\x1BV0", false, 12, 24, 0},
        {"ESC V 2: not on this printer", "\x1BV\x02", false, 12, 24, 0},
        {"ESC @", "\x1BV1\x1B@", false, 12, 24, 0},
    };
    for (const auto& c : cases) {
        const auto lines = Lines(escpos::PrintAll(c.Bytes + "A\n", Standard()));
        ASSERT_EQ(lines.size(), 1u) << c.Name;
        const auto& g = lines[0].Glyphs.at(0);
        EXPECT_EQ(g.Rotated, c.Rotated) << c.Name;
        EXPECT_EQ(g.Width, c.Width) << c.Name;
        EXPECT_EQ(g.Height, c.Height) << c.Name;
        EXPECT_EQ(g.Underline, c.Underline) << c.Name;
    }
    // Mid-line the command waits for no one: it is ignored, as the printer ignores it there.
    const auto mid = Lines(escpos::PrintAll("A\x1BV1B\n", Standard()));
    ASSERT_EQ(mid.size(), 1u);
    EXPECT_FALSE(mid[0].Glyphs.at(1).Rotated);
}

// "A" defined in font A as three columns, top down with the high bit on top: a full one, an empty
// one, and one with only its top and bottom dots.
const std::string DefineA = "\x1B&\x03"
                            "AA\x03"
                            "\xFF\xFF\xFF"
                            "\x00\x00\x00"
                            "\x80\x00\x01"s;

bool SameCells(const Bitmap& A, const Bitmap& B, int Width, int Height) {
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x)
            if (A.At(x, y) != B.At(x, y))
                return false;
    return true;
}

TEST(UserCharacters, PrintInPlaceOfTheFontsWhileSelected) {
    const auto threeColumns = [](int x, int y) {
        return x == 0 || (x == 2 && (y == 0 || y == 23));
    };
    const struct {
        const char* Name;
        std::string Bytes;
        int Width, Height;                  // the cell looked at, from the top left
        std::function<bool(int, int)> Dots; // null: the built-in character of Builtin
        std::string Builtin;
    } cases[] = {
        {"selected",
         DefineA + "\x1B%\x01"
                   "A\n",
         12, 24, threeColumns, ""},
        {"scaled 2 x 2",
         DefineA + "\x1B%\x01\x1D!\x11"
                   "A\n",
         24, 48, [&](int x, int y) { return threeColumns(x / 2, y / 2); }, ""},
        // Font B keeps 17 of the 24 rows: only the high bit of each column's third byte.
        {"font B",
         "\x1BM1\x1B&\x03"
         "AA\x02\xFF\xFF\xFF\x00\x00\x00\x1B%\x01"
         "A\n"s,
         9, 17, [](int x, int) { return x == 0; }, ""},
        {"x = 0 is a blank character",
         "\x1B&\x03"
         "AA\x00\x1B%\x01"
         "A\n"s,
         12, 24, [](int, int) { return false; }, ""},
        {"not selected", DefineA + "A\n", 12, 24, nullptr, "A\n"},
        {"ESC % 0",
         DefineA + "\x1B%\x01\x1B%\x00"
                   "A\n"s,
         12, 24, nullptr, "A\n"},
        {"a code not defined",
         DefineA + "\x1B%\x01"
                   "B\n",
         12, 24, nullptr, "B\n"},
        {"ESC ? cancels it",
         DefineA + "\x1B%\x01\x1B?A"
                   "A\n",
         12, 24, nullptr, "A\n"},
        {"ESC @ clears it",
         DefineA + "\x1B@\x1B%\x01"
                   "A\n",
         12, 24, nullptr, "A\n"},
        {"GS * clears it",
         DefineA + "\x1D*\x01\x01" + std::string(8, '\0') +
             "\x1B%\x01"
             "A\n",
         12, 24, nullptr, "A\n"},
        {"font A's are not font B's",
         DefineA + "\x1B%\x01\x1BM1"
                   "A\n",
         9, 17, nullptr,
         "\x1BM1"
         "A\n"},
        {"wider than the font: ignored",
         "\x1B&\x03"
         "AA\x0D" +
             std::string(39, '\xFF') +
             "\x1B%\x01"
             "A\n",
         12, 24, nullptr, "A\n"},
    };
    for (const auto& c : cases) {
        const Bitmap got = Picture(c.Bytes);
        if (!c.Dots) {
            EXPECT_TRUE(SameCells(got, Picture(c.Builtin), c.Width, c.Height)) << c.Name;
            continue;
        }
        Bitmap want(c.Width, c.Height);
        for (int y = 0; y < c.Height; ++y)
            for (int x = 0; x < c.Width; ++x)
                want.Set(x, y, c.Dots(x, y));
        EXPECT_TRUE(SameCells(got, want, c.Width, c.Height)) << c.Name;
        // Nothing is drawn past the cell.
        EXPECT_LE(InkBox(got).Right, c.Width - 1) << c.Name;
    }
    // Defining characters clears the downloaded bit image, which shares their memory.
    const Printer p = escpos::PrintAll(
        "\x1D*\x01\x01" + std::string(8, '\xFF') + DefineA + "\x1D/\x00"s, Standard());
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
        {0, "\x80\x9B\xB0\xDB\xE1\xE3\xFB", "Ç¢░█ßπ√"}, // PC437
        {1, "\xA1\xB1\xB6\xDD", "｡ｱｶﾝ"},                // Katakana
        {2, "\x9B\x9D\xD5\xB8", "øØı©"},                // PC850
        {3, "\x84\x8E\x94\x8F", "ãÃõÂ"},                // PC860
        {4, "\x84\x86\x8D\x91", "Â¶‗È"},                // PC863
        {5, "\x9B\x9D\xAF", "øØ¤"},                     // PC865
        {16, "\x80\x8A\x9F\xE9", "€ŠŸé"},               // WPC1252
        {17, "\x80\xA0\xF0\xEF", "АаЁя"},               // PC866
        {18, "\xA5\x9B\xE3\xD8", "ąŤŃě"},               // PC852
        {19, "\xD5\x9B", "€ø"},                         // PC858
        {254, "\x80\xFF", "  "},                        // space pages
        {255, "\x80\xFF", "  "},
    };
    auto& fonts = escpos::Fonts::Shared();
    const auto drawn = [&](escpos::Face F, char32_t C) {
        return fonts.Glyph(F, false, C).Dots != fonts.Glyph(F, false, 0xE000).Dots;
    };
    for (const auto& c : cases) {
        const std::string select = "\x1Bt" + std::string(1, static_cast<char>(c.Page));
        const Printer p = escpos::PrintAll(select + c.Bytes + "\n", Standard());
        EXPECT_TRUE(p.Warnings().empty()) << c.Page;
        const auto lines = Lines(p);
        ASSERT_EQ(lines.size(), 1u) << c.Page;
        EXPECT_EQ(lines[0].Text, c.Text) << "page " << c.Page;
        // Every character drawn from the faces, in font A and font B: none is a hollow box.
        for (const auto& g : lines[0].Glyphs)
            for (const auto face : {escpos::Face::A, escpos::Face::B})
                EXPECT_TRUE(drawn(face, g.Character))
                    << "page " << c.Page << " U+" << std::hex << static_cast<unsigned>(g.Character);
    }
    // A half-width katakana is the wide one made narrow: ink in the left and right halves.
    const Box kana = InkBox(Picture("\x1Bt\x01\xB1\n"));
    EXPECT_LT(kana.Left, 4);
    EXPECT_GT(kana.Right, 7);
    EXPECT_LT(kana.Right, 12);
    // A page the printer does not have is refused and the one in force stays.
    const Printer lacking = escpos::PrintAll("\x1Bt\x10\x1Bt\x06\x80\n", Standard());
    ASSERT_EQ(lacking.Warnings().size(), 1u);
    EXPECT_NE(lacking.Warnings()[0].Message.find("ESC t 6"), std::string::npos);
    EXPECT_EQ(Lines(lacking).at(0).Text, "€");
}

TEST(CodeTables, InternationalSetsReplaceTheirTwelveCharacters) {
    // Each set's characters at 23 24 40 5B 5C 5D 5E 60 7B 7C 7D 7E, as the printer's table has
    // them; a set it lacks is refused.
    const std::string bytes = "#$@[\\]^`{|}~\n";
    const struct {
        int Set;
        const char* Text;
    } cases[] = {
        {0, "#$@[\\]^`{|}~"}, {1, "#$à°ç§^`éùè¨"},  {2, "#$§ÄÖÜ^`äöüß"},  {3, "£$@[\\]^`{|}~"},
        {4, "#$@ÆØÅ^`æøå~"},  {5, "#¤ÉÄÖÅÜéäöåü"},  {6, "#$@°\\é^ùàòèì"}, {7, "₧$@¡Ñ¿^`¨ñ}~"},
        {8, "#$@[¥]^`{|}~"},  {9, "#¤ÉÆØÅÜéæøåü"},  {10, "#$ÉÆØÅÜéæøåü"}, {11, "#$á¡Ñ¿é`íñóú"},
        {12, "#$á¡Ñ¿éüíñóú"}, {13, "#$@[₩]^`{|}~"}, {14, nullptr},
    };
    for (const auto& c : cases) {
        const std::string select = "\x1BR" + std::string(1, static_cast<char>(c.Set));
        const Printer p = escpos::PrintAll(select + bytes, Standard());
        EXPECT_EQ(Lines(p).at(0).Text, c.Text ? c.Text : "#$@[\\]^`{|}~") << "set " << c.Set;
        EXPECT_EQ(p.Warnings().size(), c.Text ? 0u : 1u) << "set " << c.Set;
    }
}

} // namespace
