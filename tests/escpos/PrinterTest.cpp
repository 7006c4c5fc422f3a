#include "escpos/Printer.h"
#include "escpos/TraceJson.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using escpos::Glyph;
using escpos::Item;
using escpos::Printer;
using escpos::Profile;
using namespace std::string_literals;

std::string B(std::initializer_list<unsigned char> Values) {
    return std::string(Values.begin(), Values.end());
}

Profile Standard() {
    return *escpos::FindProfile("standard");
}
Profile Korean() {
    return *escpos::FindProfile("korean");
}

// The printed lines of all pages, in order.
std::vector<Item> Lines(const Printer& P) {
    std::vector<Item> lines;
    for (const auto& page : P.Pages())
        for (const auto& item : page.Items)
            if (item.What == Item::Line)
                lines.push_back(item);
    return lines;
}

Glyph FirstGlyph(const std::string& Bytes, const Profile& P = Standard()) {
    const Printer printer = escpos::PrintAll(Bytes + "A\n", P);
    const auto lines = Lines(printer);
    if (lines.empty() || lines[0].Glyphs.empty())
        return {};
    return lines[0].Glyphs[0];
}

TEST(PrinterModes, EachCommandSetsItsStyle) {
    const struct {
        const char* Name;
        std::string Bytes;
        bool FontB, Emphasised;
        int Underline, WidthMul, HeightMul;
    } cases[] = {
        {"power-up", "", false, false, 0, 1, 1},
        {"ESC ! emphasised", "\x1B!\x08", false, true, 0, 1, 1},
        {"ESC ! double width", "\x1B!\x20", false, false, 0, 2, 1},
        {"ESC ! double height", "\x1B!\x10", false, false, 0, 1, 2},
        {"ESC ! font B", "\x1B!\x01", true, false, 0, 1, 1},
        {"ESC ! underline", "\x1B!\x80", false, false, 1, 1, 1},
        {"ESC ! replaces every bit", "\x1B!\x08\x1B!\x20", false, false, 0, 2, 1},
        {"ESC ! 0 clears all", "\x1B!\xB9" + B({0x1B, 0x21, 0x00}), false, false, 0, 1, 1},
        {"ESC E on",
         "\x1B"
         "E\x01",
         false, true, 0, 1, 1},
        {"ESC E uses bit 0 only",
         "\x1B"
         "E\xFE",
         false, false, 0, 1, 1},
        {"ESC - 2 dots", "\x1B-2", false, false, 2, 1, 1},
        {"ESC - bad mode keeps the old", "\x1B-\x01\x1B-\x07", false, false, 1, 1, 1},
        {"ESC M font B", "\x1BM1", true, false, 0, 1, 1},
        {"GS ! 2 x 3", "\x1D!\x12", false, false, 0, 2, 3},
        {"GS ! 8 x 8", "\x1D!\x77", false, false, 0, 8, 8},
        {"GS ! out of range is ignored", "\x1D!\x11\x1D!\x88", false, false, 0, 2, 2},
        {"ESC @ resets", "\x1B!\xB9\x1D!\x33\x1B@", false, false, 0, 1, 1},
    };
    for (const auto& c : cases) {
        const Glyph g = FirstGlyph(c.Bytes);
        EXPECT_EQ(g.Character, U'A') << c.Name;
        EXPECT_EQ(g.FontB, c.FontB) << c.Name;
        EXPECT_EQ(g.Emphasised, c.Emphasised) << c.Name;
        EXPECT_EQ(g.Underline, c.Underline) << c.Name;
        EXPECT_EQ(g.WidthMul, c.WidthMul) << c.Name;
        EXPECT_EQ(g.HeightMul, c.HeightMul) << c.Name;
        EXPECT_EQ(g.Width, (c.FontB ? 9 : 12) * c.WidthMul) << c.Name;
        EXPECT_EQ(g.Height, (c.FontB ? 17 : 24) * c.HeightMul) << c.Name;
    }
}

TEST(PrinterLayout, JustificationSpacingAndWrap) {
    const struct {
        const char* Name;
        std::string Bytes;
        int Indent;
    } justify[] = {
        {"left", "AB\n", 0},
        {"centre",
         "\x1B"
         "a1AB\n",
         (512 - 24) / 2},
        {"right",
         "\x1B"
         "a\x02"
         "AB\n",
         512 - 24},
        {"bad value ignored",
         "\x1B"
         "a\x02\x1B"
         "a\x05"
         "AB\n",
         512 - 24},
        {"centre with a left margin",
         "\x1DL" + B({0x20, 0x00}) +
             "\x1B"
             "a1AB\n",
         32 + (480 - 24) / 2},
    };
    for (const auto& c : justify) {
        const auto lines = Lines(escpos::PrintAll(c.Bytes, Standard()));
        ASSERT_EQ(lines.size(), 1u) << c.Name;
        EXPECT_EQ(lines[0].Indent, c.Indent) << c.Name;
    }

    // Print positions: ESC $ from the line's start, ESC \ a signed move from the next character;
    // a move off either edge is ignored.
    const struct {
        const char* Name;
        std::string Bytes;
        std::vector<int> X;
    } positions[] = {
        {"absolute", "A\x1B$" + B({0x78, 0x00}) + "B\n", {0, 120}},
        {"relative forward", "A\x1B\\" + B({0x1E, 0x00}) + "B\n", {0, 42}},
        {"relative back", "AB\x1B\\" + B({0xF4, 0xFF}) + "C\n", {0, 12, 12}},
        {"relative before the start", "A\x1B\\" + B({0x00, 0xFF}) + "B\n", {0, 12}},
        {"past the print area", "A\x1B$" + B({0x00, 0x04}) + "B\n", {0, 12}},
    };
    for (const auto& c : positions) {
        const auto lines = Lines(escpos::PrintAll(c.Bytes, Standard()));
        ASSERT_EQ(lines.size(), 1u) << c.Name;
        std::vector<int> x;
        for (const Glyph& glyph : lines[0].Glyphs)
            x.push_back(glyph.X);
        EXPECT_EQ(x, c.X) << c.Name;
    }

    // Line feed amounts: the spacing, or the tallest character when that is taller.
    const auto spaced = escpos::PrintAll("\x1B"
                                         "3\x50"
                                         "A\n\n\x1B"
                                         "2\n\x1D!\x01"
                                         "A\n",
                                         Standard());
    const auto& items = spaced.Pages().at(0).Items;
    ASSERT_EQ(items.size(), 4u);
    // ESC 3 counts 1/360 inch, half a dot.
    EXPECT_EQ(items[0].Advance, 0x50 / 2);
    EXPECT_EQ(items[1].What, Item::Feed);
    EXPECT_EQ(items[1].Advance, 0x50 / 2);
    EXPECT_EQ(items[2].Advance, 30);
    EXPECT_EQ(items[3].Advance, 48);

    // 42 Font A columns on 512 dots; the 43rd character starts a new line.
    const auto wrapped = Lines(escpos::PrintAll(std::string(43, 'W') + "\n", Standard()));
    ASSERT_EQ(wrapped.size(), 2u);
    EXPECT_EQ(wrapped[0].Text, std::string(42, 'W'));
    EXPECT_EQ(wrapped[1].Text, "W");
    EXPECT_TRUE(wrapped[1].Wrapped);
    // The text joins them again, as they were sent.
    EXPECT_EQ(escpos::PageText(
                  escpos::PrintAll(std::string(43, 'W') + "\nW\n", Standard()).Pages().at(0)),
              std::string(43, 'W') + "\nW\n");
    // 576 dots hold 48.
    const auto wide =
        Lines(escpos::PrintAll(std::string(48, 'W') + "\n", *escpos::FindProfile("standard-576")));
    ASSERT_EQ(wide.size(), 1u);
    // Double width halves the columns.
    const auto doubled =
        Lines(escpos::PrintAll("\x1B!\x20" + std::string(22, 'W') + "\n", Standard()));
    ASSERT_EQ(doubled.size(), 2u);
    EXPECT_EQ(doubled[0].Text.size(), 21u);
}

TEST(PrinterText, CodePagesCharacterSetsAndDoubleByteCharacters) {
    const struct {
        const char* Name;
        Profile Model;
        std::string Bytes;
        std::string Text;
    } cases[] = {
        {"code page 437", Standard(), "\x9C\xE1", "£ß"},
        {"code page 1252", Standard(), "\x1Bt\x10\x80", "€"},
        {"unknown code page keeps the old", Standard(), "\x1Bt\x10\x1Bt\x63\x80", "€"},
        {"UK set", Standard(), "\x1BR\x03#", "£"},
        {"the Korean model starts with the Korean set", Korean(), "\\", "₩"},
        {"the Korean model reads code page 949", Korean(), "\xB1\xDD\xC3\xB5", "금천"},
        {"FS . turns double-byte off", Korean(), "\x1C.\xB1\xDD", "▒▌"},
        {"FS & turns it on", Standard(), "\x1C&\xC7\xD5", "합"},
        {"extended Hangul of code page 949", Korean(), "\x81\x41", "갂"},
        {"a lead byte whose trail is not one", Korean(),
         "\xB1"
         "0",
         "0"},
        {"a command between lead and trail drops the lead", Korean(),
         "\xB1\x1B!\x00"
         "A"s,
         "A"},
        // The lead is dropped, and the byte after FS . prints from the single-byte page.
        {"FS . between lead and trail drops the lead", Korean(), "\xB1\x1C.\xB1", "▒"},
    };
    for (const auto& c : cases) {
        const auto lines = Lines(escpos::PrintAll(c.Bytes + "\n", c.Model));
        ASSERT_EQ(lines.size(), 1u) << c.Name;
        EXPECT_EQ(lines[0].Text, c.Text) << c.Name;
    }
    const auto hangul = Lines(escpos::PrintAll("\x1C!\x04\xB1\xDD"
                                               "A\n",
                                               Korean()));
    ASSERT_EQ(hangul.size(), 1u);
    ASSERT_EQ(hangul[0].Glyphs.size(), 2u);
    EXPECT_TRUE(hangul[0].Glyphs[0].DoubleByte);
    EXPECT_EQ(hangul[0].Glyphs[0].KsCode, 0x315D);
    EXPECT_EQ(hangul[0].Glyphs[0].Width, 48); // FS ! double width
    EXPECT_EQ(hangul[0].Glyphs[1].Width, 12); // ... leaves single-byte characters alone
    EXPECT_EQ(hangul[0].Glyphs[1].X, 48);

    const auto dropped = escpos::PrintAll("\xB1\x1B!\x00"
                                          "A\n"s,
                                          Korean());
    ASSERT_EQ(dropped.Warnings().size(), 1u);
    EXPECT_NE(dropped.Warnings()[0].Message.find("B1"), std::string::npos);
    EXPECT_EQ(dropped.Warnings()[0].Offset, 1u);
}

TEST(PrinterEvents, CutsAndDrawerPulses) {
    const struct {
        const char* Name;
        std::string Bytes;
        std::vector<std::string> Notes;
        const char* Cut; // "partial", "full" or ""
        int FedBeforeCut;
    } cases[] = {
        {"GS V 1", "\x1DV1", {}, "partial", 0},
        {"GS V 0", "\x1DV0", {}, "full", 0},
        {"GS V 66 n feeds n/360 inch then cuts", "\x1DV\x42\x20", {}, "partial", 0x20 / 2},
        {"GS V 65 0", B({0x1D, 0x56, 0x41, 0x00}), {}, "full", 0},
        {"ESC m", "\x1Bm", {}, "partial", 0},
        {"bell", "\x1Bp0\xFF\xFF", {"DRAWER pin 2: 510 ms on / 510 ms off"}, "", 0},
        {"drawer", "\x1Bp000", {"DRAWER pin 2: 96 ms on / 96 ms off"}, "", 0},
        {"pin 5, off shorter than on",
         "\x1Bp\x01\x10\x05",
         {"DRAWER pin 5: 32 ms on / 32 ms off"},
         "",
         0},
        {"off longer than on", "\x1Bp1\x05\x10", {"DRAWER pin 5: 10 ms on / 32 ms off"}, "", 0},
        {"bad pin", "\x1Bp\x07\x10\x10", {}, "", 0},
        {"DLE DC4 pulse",
         B({0x10, 0x14, 0x01, 0x00, 0x03}),
         {"DRAWER pin 2: 300 ms on / 300 ms off"},
         "",
         0},
        {"DLE DC4 time out of range", B({0x10, 0x14, 0x01, 0x00, 0x09}), {}, "", 0},
    };
    for (const auto& c : cases) {
        const Printer p = escpos::PrintAll(c.Bytes, Standard());
        std::vector<std::string> notes;
        std::string cut;
        int fed = 0;
        for (const auto& page : p.Pages()) {
            for (const auto& item : page.Items) {
                if (item.What == Item::Note)
                    notes.push_back(item.Text);
                if (item.What == Item::Feed)
                    fed += item.Advance;
                if (item.What == Item::Cut)
                    cut = item.Partial ? "partial" : "full";
            }
        }
        EXPECT_EQ(notes, c.Notes) << c.Name;
        EXPECT_EQ(cut, c.Cut) << c.Name;
        EXPECT_EQ(fed, c.FedBeforeCut) << c.Name;
    }
    // A cut prints what waits in the buffer and ends the page; what follows starts the next.
    const Printer two = escpos::PrintAll("A\nB\x1DV1"
                                         "C\n",
                                         Standard());
    ASSERT_EQ(two.Pages().size(), 2u);
    EXPECT_TRUE(two.Pages()[0].Cut);
    EXPECT_EQ(escpos::PageText(two.Pages()[0]), "A\nB\n[partial cut]\n");
    EXPECT_EQ(escpos::PageText(two.Pages()[1]), "C\n");
}

TEST(PrinterEvents, StatusRequestsAreAnswered) {
    const struct {
        const char* Name;
        Profile Model;
        std::string Bytes;
        std::string Answer;
        std::size_t Warnings;
    } cases[] = {
        {"DLE EOT 1", Standard(), B({0x10, 0x04, 0x01}), "\x16", 0},
        {"DLE EOT 2 to 4", Standard(), B({0x10, 0x04, 0x02, 0x10, 0x04, 0x03, 0x10, 0x04, 0x04}),
         "\x12\x12\x12", 0},
        {"GS r 1 and 2", Standard(), "\x1Dr1\x1Dr\x02", "\0\x01"s, 0},
        {"GS r 9", Standard(), "\x1Dr9", "", 1},
        {"GS I model", Standard(), "\x1DI1", "\x20", 0},
        {"GS I type, standard", Standard(), "\x1DI\x02", "\x02", 0},
        {"GS I type, Korean", Korean(), "\x1DI2", "\x03", 0},
        {"GS I maker", Standard(), "\x1DI\x42", std::string("_EPSON\0", 7), 0},
        {"GS I unknown", Standard(), "\x1DI\x30", "", 1},
        {"DLE EOT 7: no answer", Standard(), B({0x10, 0x04, 0x07, 0x01}), "", 1},
    };
    for (const auto& c : cases) {
        Printer p(c.Model);
        std::string answer;
        p.OnReply = [&](std::string_view Bytes) { answer += Bytes; };
        escpos::Decoder d([&](const escpos::Command& C) { p.Apply(C); });
        d.Feed(c.Bytes);
        d.Finish();
        p.Finish();
        EXPECT_EQ(answer, c.Answer) << c.Name;
        EXPECT_EQ(p.Warnings().size(), c.Warnings) << c.Name;
        EXPECT_TRUE(p.Pages().empty()) << c.Name;
    }
}

TEST(PrinterText, UnknownAndUnfinishedCommandsNeverPrint) {
    const Printer p = escpos::PrintAll("A\x1ByB\x1D"
                                       "y"
                                       "C\x1C"
                                       "y"
                                       "D\x1DV\x07"
                                       "E\n\x1B",
                                       Standard());
    const auto lines = Lines(p);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].Text, "ABCDE");
    ASSERT_EQ(p.Warnings().size(), 5u);
    EXPECT_EQ(p.Warnings()[0].Offset, 1u);
    EXPECT_NE(p.Warnings()[0].Message.find("ESC y"), std::string::npos);
    EXPECT_NE(p.Warnings()[4].Message.find("ended inside"), std::string::npos);
}

// Control bytes without a command and undefined commands go by one rule: each is skipped with
// a warning naming it, and the text around it prints. DLE starts no command of its own here, so
// the byte after it is read afresh.
TEST(PrinterText, UndefinedBytesAndCommandsAreSkippedByOneRule) {
    const struct {
        std::string Bytes;
        std::vector<std::string> Skipped;
    } cases[] = {
        {B({0x10, 0x00}), {"DLE [10]", "NUL [00]"}},
        {B({0x02}), {"STX [02]"}},
        {B({0x03}), {"ETX [03]"}},
        {B({0x06}), {"ACK [06]"}},
        {B({0x7F}), {"DEL [7F]"}},
        {B({0x1B, 0x79}), {"ESC y [1B 79]"}},
        {B({0x10, 0x41}), {"DLE [10]"}}, // the A prints
    };
    for (const auto& c : cases) {
        const Printer p = escpos::PrintAll("<" + c.Bytes + ">\n", Standard());
        ASSERT_EQ(Lines(p).size(), 1u) << c.Skipped[0];
        EXPECT_EQ(Lines(p)[0].Text, c.Bytes == B({0x10, 0x41}) ? "<A>" : "<>");
        ASSERT_EQ(p.Warnings().size(), c.Skipped.size()) << c.Skipped[0];
        for (std::size_t i = 0; i < c.Skipped.size(); ++i)
            EXPECT_EQ(p.Warnings()[i].Message, "unknown command " + c.Skipped[i] + " skipped");
    }
}

TEST(PrinterText, CarriageReturnFollowsTheProfile) {
    EXPECT_EQ(escpos::PageText(escpos::PrintAll("A\r\nB\r\n\r\n", Standard()).Pages().at(0)),
              "A\nB\n\n");
    Profile feeds = Standard();
    feeds.CrFeeds = true;
    EXPECT_EQ(escpos::PageText(escpos::PrintAll("A\rB\r", feeds).Pages().at(0)), "A\nB\n");
    // Text left in the buffer at the end does not print, and says so.
    const Printer left = escpos::PrintAll("A\nB", Standard());
    EXPECT_EQ(escpos::PageText(left.Pages().at(0)), "A\n");
    ASSERT_EQ(left.Warnings().size(), 1u);
    EXPECT_NE(left.Warnings()[0].Message.find("\"B\""), std::string::npos);
}

TEST(PrinterTrace, RecordsCommandsWithOffsetsAndJoinsText) {
    const Printer p = escpos::PrintAll("AB\x1B!\x08\xB1\xDD\n", Korean());
    const auto& trace = p.Trace();
    ASSERT_EQ(trace.size(), 4u);
    EXPECT_EQ(trace[0].Name, "text");
    EXPECT_EQ(trace[0].Detail, "AB");
    EXPECT_EQ(trace[1].Offset, 2u);
    EXPECT_EQ(trace[1].Hex, "1B 21 08");
    EXPECT_EQ(trace[2].Offset, 5u);
    EXPECT_EQ(trace[2].Length, 2u);
    EXPECT_EQ(trace[2].Detail, "금");
    EXPECT_EQ(trace[3].Name, "LF");
    const std::string json = escpos::TraceJson(p);
    EXPECT_NE(json.find("\"offset\": 2, \"length\": 3, \"name\": \"ESC !\""), std::string::npos)
        << json;
    EXPECT_NE(json.find("\"text\": \"AB\", \"font\": \"A\", \"emphasised\": false"),
              std::string::npos)
        << json;
    EXPECT_NE(json.find("\"text\": \"금\", \"font\": \"A\", \"emphasised\": true"),
              std::string::npos)
        << json;
}

} // namespace
