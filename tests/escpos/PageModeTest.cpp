// Page mode as the TM-T88 command reference has it: the print area (ESC W) and its starting
// corners by direction (ESC T), the baseline and its moves (GS $, GS \, LF), and what FF, ESC FF,
// CAN and ESC S do with the page buffer; checked by the dots of a full block (CP437 DB, 12 x 24).
// Across the paper a unit is a dot, along it 1/360 inch, half a dot.
#include "escpos/Printer.h"
#include "escpos/TraceJson.h"
#include "escpos/drawing/Fonts.h"
#include "escpos/drawing/Raster.h"
#include "tests/support/Ink.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using escpos::Bitmap;
using escpos::Item;
using escpos::Printer;
using testsupport::Box;
using testsupport::InkBox;
using testsupport::Picture;
using testsupport::Word;
using namespace std::string_literals;

escpos::Profile Standard() {
    return *escpos::FindProfile("standard");
}

std::string Area(int X, int Y, int Dx, int Dy) {
    return "\x1BW" + Word(X) + Word(Y) + Word(Dx) + Word(Dy);
}

TEST(PageMode, TheAreaAndDirectionPutEachCharacter) {
    // A 240 x 480 area, as in the reference's example: 240 dots square. The block's box on the
    // paper.
    const std::string area = Area(0, 0, 240, 480);
    const struct {
        const char* Name;
        std::string Bytes;
        Box Ink;
    } cases[] = {
        // ESC T 0: from the upper left, the baseline a Font A character below the top.
        {"left to right", area + "\xDB\f", {0, 0, 11, 23}},
        // 1: from the lower left, upwards; the character's top faces left.
        {"bottom to top", area + "\x1BT\x01\xDB\f", {0, 228, 23, 239}},
        // 2: from the lower right, leftwards, upside down.
        {"right to left", area + "\x1BT\x02\xDB\f", {228, 216, 239, 239}},
        // 3: from the upper right, downwards; the top faces right.
        {"top to bottom", area + "\x1BT\x03\xDB\f", {216, 0, 239, 11}},
        {"ESC T \"3\"", area + "\x1BT3\xDB\f", {216, 0, 239, 11}},
        // The area's origin moves it all.
        {"an area at 100, 50", Area(100, 50, 200, 100) + "\xDB\f", {100, 25, 111, 48}},
        {"an area past the paper ends at its edge",
         Area(500, 0, 200, 200) + "\xDB\xDB\f",
         {500, 0, 511, 53}},
        // ESC $ and ESC \ along the direction, GS $ and GS \ move the baseline.
        {"ESC $", area + "\x1B$" + Word(60) + "\xDB\f", {60, 0, 71, 23}},
        {"ESC \\", area + "\xDB\xDB\x1B\\" + Word(12) + "\xDB\f", {0, 0, 47, 23}},
        {"GS $", area + "\x1D$" + Word(100) + "\xDB\f", {0, 26, 11, 49}},
        // Across the paper GS $ counts dots, and ESC $ along it half dots.
        {"GS $ in direction 1", area + "\x1BT\x01\x1D$" + Word(100) + "\xDB\f", {76, 228, 99, 239}},
        {"ESC $ in direction 1", area + "\x1BT\x01\x1B$" + Word(100) + "\xDB\f", {0, 178, 23, 189}},
        {"GS \\ up from a line",
         area + "\n\x1D\\" + Word(0x10000 - 20) + "\xDB\f",
         {0, 20, 11, 43}},
        {"GS $ past the area: ignored", area + "\x1D$" + Word(481) + "\xDB\f", {0, 0, 11, 23}},
        // LF moves the baseline by the line spacing, page mode's own.
        {"LF", area + "\n\xDB\f", {0, 30, 11, 53}},
        {"ESC 3 in page mode",
         area + "\x1B"
                "3\x50\n\xDB\f",
         {0, 40, 11, 63}},
        {"ESC J", area + "\x1BJ\x0A\xDB\f", {0, 5, 11, 28}},
        {"LF in direction 3 feeds dots",
         area + "\x1BT\x03\x1B"
                "3\x28\n\xDB\f",
         {176, 0, 199, 11}},
        // A bar code refused at its letter feeds its height, 40 dots, whichever the direction;
        // from the letter on the data prints as text, on the moved baseline.
        {"a refused code feeds its height",
         area + "\x1Dh\x28\x1DkC\x0D"
                "59012A4123457\xDB\f",
         {1, 40, 107, 63}},
        {"a refused code in direction 3",
         area + "\x1BT\x03\x1Dh\x28\x1DkC\x0D"
                "59012A4123457\xDB\f",
         {176, 1, 199, 107}},
        // A line that reaches the area's end goes on at the start of the next.
        {"wrapped in the area", Area(0, 0, 24, 480) + "\xDB\xDB\xDB\f", {0, 0, 23, 53}},
        // What lies past the area's end is not printed.
        {"cut off at the area's end", Area(0, 0, 240, 60) + "\xDB\n\xDB\f", {0, 0, 11, 23}},
        {"taller than the start baseline: cut off", area + "\x1D!\x01\xDB\f", {0, 0, 11, 23}},
        // ESC a, GS L, ESC { and ESC V are kept for standard mode.
        {"justification waits",
         area + "\x1B"
                "a\x01\xDB\f",
         {0, 0, 11, 23}},
        {"left margin waits", area + "\x1DL" + Word(100) + "\xDB\f", {0, 0, 11, 23}},
        {"upside-down waits", area + "\x1B{\x01\xDB\f", {0, 0, 11, 23}},
        {"rotation waits", area + "\x1BV\x01\xDB\f", {0, 0, 11, 23}},
    };
    for (const auto& c : cases) {
        const Printer p = escpos::PrintAll("\x1BL" + c.Bytes, Standard());
        ASSERT_EQ(p.Pages().size(), 1u) << c.Name;
        const auto& items = p.Pages()[0].Items;
        ASSERT_EQ(items.size(), 1u) << c.Name;
        EXPECT_EQ(items[0].What, Item::PageData) << c.Name;
        EXPECT_EQ(InkBox(escpos::RenderPage(p.Pages()[0], 512, escpos::Fonts::Shared())), c.Ink)
            << c.Name;
    }
    // The page takes the paper down to its area's end.
    // At power-up 1662/360 inch.
    EXPECT_EQ(Picture("\x1BL" + Area(100, 50, 200, 100) + "A\f").Height, 75);
    EXPECT_EQ(Picture("\x1BLA\f").Height, 831);
}

TEST(PageMode, WhatFormFeedCancelAndStandardModeDoWithTheBuffer) {
    const struct {
        const char* Name;
        std::string Bytes;
        std::string Text;
        std::size_t Warnings;
    } cases[] = {
        {"FF prints and returns to standard mode", "\x1BLX\fA\n", "X\nA\n", 0},
        {"ESC FF prints and keeps the data", "\x1BLX\x1B\fY\f", "X\nX\nY\n", 0},
        {"a print before CAN keeps what CAN wipes", "\x1BLX\n\x1B\f\x18Y\f", "X\nY\n", 0},
        {"CAN wipes the area", "\x1BLX\nY\x18Z\f", "Z\n", 0},
        {"ESC S drops the page", "\x1BLX\x1BSA\n", "A\n", 1},
        {"ESC @ drops the page", "\x1BLX\n\x1B@A\n", "A\n", 1},
        {"ESC L mid-line is ignored", "A\x1BLB\n", "AB\n", 0},
        {"FF and CAN outside page mode", "A\f\x18\n", "A\n", 0},
        {"a cut in page mode is ignored", "\x1BLX\x1DV1\f", "X\n", 0},
        {"GS v 0 is not in page mode", "\x1BLX\x1Dv0\x00\x01\x00\x01\x00\xFF\f"s, "X\n", 1},
        {"the stream ends in page mode", "\x1BLX\n", "", 1},
    };
    for (const auto& c : cases) {
        const Printer p = escpos::PrintAll(c.Bytes, Standard());
        std::string text;
        for (const auto& page : p.Pages())
            text += escpos::PageText(page);
        EXPECT_EQ(text, c.Text) << c.Name;
        EXPECT_EQ(p.Warnings().size(), c.Warnings) << c.Name;
    }
    // The buffer holds 4096 parts; past them one warning, and the page still prints.
    std::string full = "\x1BL";
    for (int i = 0; i < 4097; ++i)
        full += "A\n";
    const Printer overfull = escpos::PrintAll(full + "\f", Standard());
    ASSERT_EQ(overfull.Warnings().size(), 1u);
    EXPECT_NE(overfull.Warnings()[0].Message.find("page buffer is full"), std::string::npos);
    EXPECT_EQ(overfull.Pages().at(0).Items.at(0).BufferParts, 4096u);
    // The trace lists page mode's lines with the others.
    const std::string json = escpos::TraceJson(escpos::PrintAll("\x1BLPage\fText\n", Standard()));
    EXPECT_LT(json.find("\"text\": \"Page\""), json.find("\"text\": \"Text\"")) << json;
    EXPECT_NE(json.find("\"text\": \"Text\""), std::string::npos) << json;
    // CAN takes the dots of what came before it in the area and leaves what came after.
    EXPECT_EQ(InkBox(Picture("\x1BL\xDB\n\x18\x1B$" + Word(100) + "\xDB\f")),
              (Box{100, 30, 111, 53}));
    // Back in standard mode: its own line spacing, the area of power-up, the flags set meanwhile.
    const Printer after = escpos::PrintAll("\x1BL" + Area(0, 0, 100, 100) +
                                               "\x1B"
                                               "3\x50\x1B{\x01X\fA\nB\n",
                                           Standard());
    const auto& items = after.Pages().at(0).Items;
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].Advance, 50);
    EXPECT_EQ(items[1].Advance, 30);
    EXPECT_TRUE(items[1].UpsideDown);
    EXPECT_EQ(Picture("\x1BL" + Area(0, 0, 100, 100) + "X\f\x1BLX\f").Height, 50 + 831);
}

TEST(PageMode, PicturesAndCodesStandOnTheBaseline) {
    const std::string at100 = "\x1BL\x1D$" + Word(100);
    // An ESC * block, 8 columns of 24 dots, and a downloaded image, 8 x 8 dots.
    const Box block =
        InkBox(Picture(at100 + "\x1B*\x21" + Word(8) + std::string(24, '\xFF') + "\f"));
    EXPECT_EQ(block, (Box{0, 26, 7, 49}));
    const Box image =
        InkBox(Picture("\x1D*\x01\x01" + std::string(8, '\xFF') + at100 + "AB\x1D/\x00\f"s));
    EXPECT_EQ(image.Bottom, 49);
    EXPECT_EQ(image.Right, 24 + 7);
    // A bar code 40 dots tall on the baseline, its text below it.
    const Bitmap code = Picture("\x1Dh\x28\x1DH\x02" + at100 +
                                "\x1Dk\x04"
                                "12\x00\f"s);
    const Box bars = InkBox(code, 0, 50);
    EXPECT_EQ(bars.Top, 10);
    EXPECT_EQ(bars.Bottom, 49);
    EXPECT_EQ(bars.Left, 0);
    const Box text = InkBox(code, 50);
    EXPECT_GE(text.Top, 50);
    EXPECT_LT(text.Bottom, 50 + 24);
    EXPECT_GT(text.Left, bars.Left);
    EXPECT_LT(text.Right, bars.Right);
}

TEST(PageMode, TheLogSaysWhatEachCommandDid) {
    // Every command of these that the printer prints is carried out: none is only stepped over.
    Printer p(Standard());
    std::vector<std::string> log;
    p.OnLog = [&](std::size_t, const std::string& Line) { log.push_back(Line); };
    escpos::Decoder d([&](const escpos::Command& C) { p.Apply(C); });
    d.Feed("\x1B"
           "D\x04\x00\tA\n\x1B{\x01"
           "A\n\x1B{\x00\x1BV\x01"
           "A\n\x1BV\x00"s +
           "\x1B&\x03"
           "AA\x01\xFF\xFF\xFF\x1B%\x01"
           "A\n\x1B?A\x1B%\x00\x1Bt\x01\x1BR\x08"s +
           "\x1BL" + Area(0, 0, 200, 200) + "\x1BT\x01\x1D$" + Word(50) + "\x1D\\" + Word(10) +
           "\x1B$" + Word(10) +
           "A\x1B\f\x18\x1BS\x1BL"
           "B\f"s);
    d.Finish();
    p.Finish();
    ASSERT_GT(log.size(), 20u);
    for (const auto& line : log) {
        EXPECT_EQ(line.find("not drawn"), std::string::npos) << line;
        EXPECT_EQ(line.find("stepped over"), std::string::npos) << line;
        EXPECT_EQ(line.find("understood"), std::string::npos) << line;
    }
    EXPECT_EQ(p.Warnings().size(), 0u);
}

} // namespace
