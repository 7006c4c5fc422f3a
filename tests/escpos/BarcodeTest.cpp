// GS k as a TM-T88 reads it: CODE128 in the code sets the host chose, and data the printer
// cannot take, which ends the command where it stands and prints from there as normal data.
#include "escpos/Printer.h"
#include "escpos/decoder/Decoder.h"
#include "tests/support/CodeBytes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using escpos::Item;
using namespace testsupport;
using namespace std::string_literals;

escpos::Printer Print(const std::string& Bytes) {
    return escpos::PrintAll(Bytes, *escpos::FindProfile("standard"));
}

std::string Text(const escpos::Printer& P) {
    std::string text;
    for (const auto& page : P.Pages())
        text += escpos::PageText(page);
    return text;
}

// A CODE128 symbol is 11 modules a character (start, data, check digit) and 13 for the stop,
// counted here from the picture's dots: no quiet zone, a bar at each end.
TEST(Barcode, Code128IsDrawnInTheCodeSetsTheHostChose) {
    const struct {
        int Module;
        std::string Data;
        int Modules;
    } cases[] = {
        {2, "{BTM-0001234-567", 11 * 16 + 13},
        {3, "{BNo.{C\x0c\x22\x38", 11 * 9 + 13}, // the reference's example: B, then C
        {2, "{A12345678", 11 * 10 + 13},         // digits stay in code set A
        {2, "{C\x0c\x22\x38\x4e", 11 * 6 + 13},
        {2,
         "{Ba{S\x01"
         "b",
         11 * 6 + 13},               // a shift is one character
        {2, "{B{1A{{", 11 * 5 + 13}, // FNC1 and a brace
    };
    for (const auto& c : cases) {
        const auto printer = Print("\x1Dw"s + char(c.Module) + "\x1Dh\x20" + Barcode(73, c.Data));
        ASSERT_TRUE(printer.Warnings().empty()) << c.Data << ": " << printer.Warnings()[0].Message;
        const auto& items = printer.Pages().at(0).Items;
        ASSERT_EQ(items.size(), 1u) << c.Data;
        const auto& bars = *items[0].Picture;
        EXPECT_EQ(bars.Width, c.Modules * c.Module) << c.Data;
        EXPECT_EQ(bars.Height, 0x20) << c.Data;
        EXPECT_TRUE(bars.At(0, 0) && bars.At(bars.Width - 1, 0)) << c.Data;
    }
}

// CODE128's human-readable line leaves out code set selections and shifts, and shows function
// and control characters as spaces; code set C shows each pair of digits.
TEST(Barcode, Code128HriShowsTheDataNotTheCodeSets) {
    const struct {
        std::string Data, Hri;
    } cases[] = {
        {"{BNo.{C\x0c\x22\x38", "No.123456"},
        {"{A\x01X{1Y{2{3{4", " X Y   "},
        {"{Ba{S\x01"
         "b{{",
         "a b{"},
    };
    for (const auto& c : cases) {
        const auto printer = Print("\x1DH\x02" + Barcode(73, c.Data));
        const auto& items = printer.Pages().at(0).Items;
        ASSERT_EQ(items.size(), 2u) << c.Hri;
        EXPECT_EQ(items[1].What, Item::Line) << c.Hri;
        EXPECT_EQ(items[1].Text, c.Hri);
    }
}

// What a job prints when a bar code's data is no data the printer takes: the command ends at
// that byte, and from there the bytes print as text; the rest of the job, its cut too, prints.
TEST(Barcode, DataThePrinterCannotTakePrintsFromThereAsNormalData) {
    const std::string low = "\x1Dh\x1E"; // 30 dots: a fed bar code shows as one empty line
    const struct {
        const char* Name;
        std::string Bytes, Text, Warning;
    } cases[] = {
        {"CODE128 sent without its length", "\x1Dk\x49{BTM-0001234-567\n", "BTM-0001234-567\n",
         "does not begin with a code set selection"},
        {"a length past the data: LF is not in code set B", "\x1Dk\x49\x32{BAB\nTOTAL\n",
         "\nTOTAL\n", "byte 5 of the data"},
        {"lower case is not in code set A", Barcode(73, "{Aabc") + "\n", "abc\n", ""},
        {"an undefined special character", Barcode(73, "{B12{X34") + "\n", "{X34\n", ""},
        {"CODE128 of one byte", "\x1Dk\x49\x01Z\n", "Z\n", "n = 1 is out of range"},
        {"a letter in EAN-13 only feeds", low + Barcode(67, "59012A4123457") + "\n", "\nA4123457\n",
         "byte 6 of the data"},
        {"a letter in UPC-A, function A", low + "\x1Dk\x00"s + "0360X\0\n"s, "\nX\n", ""},
        {"UPC-A ends after 12 digits", "\x1Dk\x00"s + "036000291452\0TOTAL\n"s,
         "[UPC-A \"036000291452\"]\nTOTAL\n", ""},
        {"too few UPC-A digits: ignored", "\x1Dk\x00"s + "0360002914\0\n"s, "\n",
         "10 digits is no length it takes"},
        {"ITF drops the last of an odd count", "\x1Dk\x05"s + "12345\0"s, "[ITF \"1234\"]\n", ""},
        {"ITF of an odd length", Barcode(70, "12345") + "\n", "12345\n", "n = 5 is out of range"},
        {"CODE39 ends at its stop character", Barcode(69, "*AB*CD") + "\n", "[CODE39 \"AB\"]\nCD\n",
         ""},
        {"wider than the print area only feeds",
         low + "\x1Dw\x02" + Barcode(73, "{BORDER 2026120700012345") + "\n", "\n\n",
         "554 dots wide, wider than the print area of 512"},
    };
    for (const auto& c : cases) {
        const auto printer = Print(c.Bytes + "\x1DV1");
        EXPECT_EQ(Text(printer), c.Text + "[partial cut]\n") << c.Name;
        ASSERT_EQ(printer.Pages().size(), 1u) << c.Name;
        EXPECT_TRUE(printer.Pages()[0].Cut) << c.Name;
        if (c.Warning.empty())
            continue;
        ASSERT_FALSE(printer.Warnings().empty()) << c.Name;
        EXPECT_NE(printer.Warnings()[0].Message.find(c.Warning), std::string::npos)
            << c.Name << ": " << printer.Warnings()[0].Message;
    }
}

// The bytes past the end of cut-short bar code data are read afresh, at their own offsets, fed
// whole or a byte at a time.
TEST(Barcode, TheDecoderGivesBackWhatFollowsCutShortData) {
    const std::string bytes = Barcode(73, "{BAB{XY");
    for (const std::size_t chunk : {bytes.size(), std::size_t{1}}) {
        std::vector<escpos::Command> seen;
        escpos::Decoder decoder([&](const escpos::Command& C) { seen.push_back(C); });
        for (std::size_t at = 0; at < bytes.size(); at += chunk)
            decoder.Feed(std::string_view(bytes).substr(at, chunk));
        decoder.Finish();
        ASSERT_EQ(seen.size(), 4u) << chunk;
        EXPECT_EQ(seen[0].Id, escpos::CommandId::Barcode);
        EXPECT_EQ(seen[0].Bytes, bytes.substr(0, 8));
        for (std::size_t i = 1; i < 4; ++i) {
            EXPECT_EQ(seen[i].Id, escpos::CommandId::Char) << i;
            EXPECT_EQ(seen[i].Offset, 7 + i) << i;
            EXPECT_EQ(seen[i].Bytes, bytes.substr(7 + i, 1)) << i;
        }
    }
}

} // namespace
