// Pictures and codes on the printer's side: where they go, what the printer refuses and says so,
// and the NV memory that outlives ESC @.
#include "escpos/Printer.h"
#include "escpos/TraceJson.h"
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

std::vector<Item> Images(const escpos::Printer& P) {
    std::vector<Item> found;
    for (const auto& page : P.Pages())
        for (const auto& item : page.Items)
            if (item.What == Item::Image)
                found.push_back(item);
    return found;
}

TEST(Pictures, RefusedDataPrintsNothingAndTheWarningSaysWhy) {
    const struct {
        std::string Bytes, Why;
    } cases[] = {
        {Barcode(67, "59012A4123457"), "EAN-13 \"59012\": byte 6 of the data is out of the range"},
        {Barcode(67, "59012341234"), "n = 11 is out of range for EAN-13"},
        {Barcode(65, "036000291453"), "UPC-A \"036000291453\": Invalid check digit"},
        {Barcode(66, "12345678901"), "UPC-E \"12345678901\": the number system must be 0"},
        {Barcode(66, "01234567890"), "UPC-E \"01234567890\": this UPC-A number has no UPC-E form"},
        {Barcode(66, "012300000457"), "UPC-E \"012300000457\": the check digit is wrong"},
        {Barcode(71, "a12b3d"), "CODABAR \"a12b3d\": A, B, C and D only start and stop it"},
        {Barcode(70, "12345"), "n = 5 is out of range for ITF"},
        {Barcode(69, "till"), "CODE39 \"\": byte 1 of the data is out of the range"},
        {Barcode(71, "12345"), "CODABAR \"12345\": it must start and stop with A, B, C or D"},
        {Barcode(73, "RCPT"), "CODE128 \"\": the data does not begin with a code set selection"},
        {Barcode(73, "{C\x64"), "CODE128 \"{C\": byte 3 of the data is out of the range"},
        {Barcode(74, "(01)1"), "\"(01)1\": not drawn by this printer"},
        {"\x1Dw\x06" + Barcode(73, "{B" + std::string(40, 'W')), "wider than the print area"},
        {"A" + Barcode(67, "590123412345"), "text is waiting in the line buffer"},
        {"\x1D(k"s + Le16(3) + "1Q0", "no QR data is stored"},
        {"\x1D(L"s + Le16(6) + "0EAB\x01\x01", "no NV graphics under key \"AB\""},
        {"\x1D(L"s + Le16(12) + "0p0\x01\x01" + "1" + Le16(64) + Le16(64) + "\xFF\xFF",
         "the data is shorter than the picture's size"},
        {"\x1Cp\x01\x00"s, "no NV bit image 1 is defined"},
    };
    for (const auto& c : cases) {
        const auto printer = Print(c.Bytes + "\n");
        EXPECT_TRUE(Images(printer).empty()) << c.Why;
        ASSERT_FALSE(printer.Warnings().empty()) << c.Why;
        EXPECT_NE(printer.Warnings()[0].Message.find(c.Why), std::string::npos)
            << printer.Warnings()[0].Message;
        EXPECT_NE(escpos::TraceJson(printer).find("not printed: "), std::string::npos) << c.Why;
    }
}

TEST(Pictures, AUpcAFormWithItsRightCheckDigitIsDrawnAsUpcE) {
    EXPECT_EQ(Images(Print(Barcode(66, "012300000451") + "\n")).size(), 1u);
}

TEST(Pictures, TwoDimensionalCodeSettingsSayWhatTheyTook) {
    const struct {
        std::string Body, Detail;
    } cases[] = {
        {"1A2", "QR model 2"},
        {"1A3", "QR Micro QR"},
        {"1A4", "QR model 52: ignored"},
        {"1C\x05", "QR module 5 dots"},
        {"1C\x11", "QR module size 17: ignored"},
        {"1E3", "QR error correction H"},
        {"1P0abc", "store 3 bytes for QR"},
        {"1X", "QR function 88: understood, not acted on"},
        {"0A\x05", "PDF417 5 columns"},
        {"0A\x00"s, "PDF417 columns automatic"},
        {"0B\x02", "PDF417 rows 2: ignored"},
        {"0C\x03", "PDF417 module 3 dots"},
        {"0D\x04", "PDF417 row height 4 modules"},
        {"0E05", "PDF417 error correction level 5"},
        {"0E1\x0A", "PDF417 error correction 100% of the data"},
        {"0E1\x00"s, "PDF417 error correction 49 0: ignored"},
        {"0F\x01", "PDF417 truncated"},
        {"0P0abcd", "store 4 bytes for PDF417"},
        {"2A", "2D code 50 function 65: understood, not drawn"},
    };
    for (const auto& c : cases) {
        const auto printer = Print("\x1D(k" + Le16(static_cast<unsigned>(c.Body.size())) + c.Body);
        ASSERT_EQ(printer.Trace().size(), 1u) << c.Detail;
        EXPECT_EQ(printer.Trace()[0].Detail, c.Detail);
    }
}

TEST(Pictures, ImagesTakeScaleJustificationAndThePrintArea) {
    const std::string logo = RasterLogo(64, 16); // 64 x 16 dots
    const struct {
        const char* Name;
        std::string Bytes;
        int Indent, Width, Height;
    } cases[] = {
        {"left", logo, 0, 64, 16},
        {"centred in a margin", "\x1DL\x20\x00\x1B"s + "a1" + logo, 32 + (480 - 64) / 2, 64, 16},
        {"right",
         "\x1B"
         "a2" +
             logo,
         512 - 64, 64, 16},
        {"double width", "\x1Dv0\x01" + logo.substr(4), 0, 128, 16},
        {"quadruple", "\x1Dv0\x03" + logo.substr(4), 0, 128, 32},
        {"cut by a narrow area", "\x1DW\x28\x00"s + logo, 0, 40, 16},
        {"graphics buffer, 2 x 1",
         "\x1D(L"s + Le16(10 + 8) + "0p0\x02\x01" + "1" + Le16(16) + Le16(4) +
             std::string(8, '\xFF') + "\x1D(L" + Le16(2) + "02",
         0, 32, 4},
    };
    for (const auto& c : cases) {
        const auto images = Images(Print(c.Bytes));
        ASSERT_EQ(images.size(), 1u) << c.Name;
        EXPECT_EQ(images[0].Indent, c.Indent) << c.Name;
        EXPECT_EQ(images[0].Picture->Width, c.Width) << c.Name;
        EXPECT_EQ(images[0].Picture->Height, c.Height) << c.Name;
        EXPECT_EQ(images[0].Advance, c.Height) << c.Name;
    }
}

TEST(Pictures, BitImageColumnsPrintWithinTheLine) {
    // Two columns, all black: 8-dot modes stretch each dot three tall; single density doubles
    // each column.
    const struct {
        char Mode;
        std::string Data;
        int Width, Height;
    } cases[] = {
        {0, "\xFF\xFF", 4, 24},
        {1, "\xFF\xFF", 2, 24},
        {32, std::string(6, '\xFF'), 4, 24},
        {33, std::string(6, '\xFF'), 2, 24},
    };
    for (const auto& c : cases) {
        const auto printer = Print("A\x1B*"s + c.Mode + Le16(2) + c.Data + "B\n");
        const Item& line = printer.Pages().at(0).Items.at(0);
        ASSERT_EQ(line.Glyphs.size(), 3u) << int(c.Mode);
        const auto& picture = *line.Glyphs[1].Picture;
        EXPECT_EQ(picture.Width, c.Width) << int(c.Mode);
        EXPECT_EQ(picture.Height, c.Height) << int(c.Mode);
        EXPECT_EQ(line.Glyphs[2].X, 12 + c.Width) << int(c.Mode);
        // The receipt's text marks the picture, as it marks a raster image.
        EXPECT_EQ(line.Text, "A[bit image " + std::to_string(c.Width) + " x " +
                                 std::to_string(c.Height) + " dots]B");
    }
}

TEST(Pictures, NvGraphicsOutliveEscAtAndTravelAsCommands) {
    const std::string define =
        "\x1D(L"s + Le16(11 + 2) + "0C0LG\x01" + Le16(8) + Le16(2) + "1" + "\xF0\x0F";
    const std::string images = "\x1Cq\x01"s + Le16(1) + Le16(1) + std::string(8, '\x81');
    auto printer = Print(define + images + "\x1B@" + "\x1D(L" + Le16(6) + "0ELG\x02\x01" +
                         "\x1Cp\x01\x00"s + "\x1D(L" + Le16(4) + "0BLG");
    const auto printed = Images(printer);
    ASSERT_EQ(printed.size(), 2u);
    EXPECT_EQ(printed[0].Picture->Width, 16);
    EXPECT_EQ(printed[0].Text, "[NV graphics \"LG\", 16 x 2 dots]");
    EXPECT_EQ(printed[1].Text, "[NV bit image 1, 8 x 8 dots]");
    EXPECT_TRUE(printer.Nv().Graphics.empty()) << "deleted by key";

    // What a restart replays gives the same memory back.
    const auto before = Print(define + images);
    const auto after = Print(escpos::NvMemoryCommands(before.Nv()));
    ASSERT_EQ(after.Nv().Graphics.size(), 1u);
    EXPECT_EQ(after.Nv().Graphics.begin()->second.Dots, before.Nv().Graphics.begin()->second.Dots);
    ASSERT_EQ(after.Nv().BitImages.size(), 1u);
    EXPECT_EQ(after.Nv().BitImages[0].Dots, before.Nv().BitImages[0].Dots);
    EXPECT_TRUE(after.Warnings().empty());
}

TEST(Pictures, HriTextGoesWhereGsHPutsIt) {
    for (const int where : {0, 1, 2, 3}) {
        const auto printer = Print("\x1DH"s + char(where) +
                                   "\x1D"
                                   "f\x01" +
                                   Barcode(67, "400638133393"));
        std::string order;
        for (const auto& item : printer.Pages().at(0).Items) {
            if (item.What == Item::Image)
                order += "bars ";
            if (item.What == Item::Line) {
                EXPECT_EQ(item.Text, "4006381333931");
                EXPECT_TRUE(item.Glyphs.at(0).FontB);
                order += "text ";
            }
        }
        const char* expected[] = {"bars ", "text bars ", "bars text ", "text bars text "};
        EXPECT_EQ(order, expected[where]);
    }
}

} // namespace

TEST(Pictures, NvMemoryHoldsWhatThePrintersDoesAndRefusesMore) {
    // The TM-T88's NV area: 256 KB of graphics and bit images together.
    auto define = [](const char* Key, int X, int Y) {
        const std::string data(std::size_t((X + 7) / 8) * std::size_t(Y), '\x55');
        std::string length;
        for (std::size_t n = 11 + data.size(), i = 0; i < 4; ++i, n >>= 8)
            length += static_cast<char>(n & 0xFF);
        return "\x1D"
               "8L" +
               length + "0C0" + Key + "\x01" + Le16(X) + Le16(Y) + "1" + data;
    };
    auto bitImage = [](int X, int Y) {
        return "\x1Cq\x01"s + Le16(X) + Le16(Y) + std::string(std::size_t(X * Y * 8), '\x0F');
    };
    const struct {
        std::string Bytes;
        std::vector<int> Widths; // of the NV graphics kept, by key
        std::size_t BitImages;
        bool Refused;
    } cases[] = {
        {define("A1", 1024, 2048), {1024}, 0, false},
        {define("A1", 1024, 2048) + define("A2", 8, 1), {1024}, 0, true},
        // A key defined again gives its room back first; so does deleting.
        {define("A1", 1024, 2048) + define("A1", 16, 1) + define("A2", 8, 1), {16, 8}, 0, false},
        {define("A1", 1024, 2048) +
             "\x1D(L\x02\x00"
             "0A"s +
             define("A2", 8, 1),
         {8},
         0,
         false},
        {define("A1", 1024, 2047) + bitImage(16, 1), {1024}, 1, false},
        {define("A1", 1024, 2047) + bitImage(16, 2), {1024}, 0, true},
        {bitImage(1023, 32) + bitImage(1023, 32) + define("A1", 8, 1), {8}, 1, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        const auto printer = Print(c.Bytes);
        std::vector<int> widths;
        for (const auto& [key, picture] : printer.Nv().Graphics)
            widths.push_back(picture.Width);
        EXPECT_EQ(widths, c.Widths);
        EXPECT_EQ(printer.Nv().BitImages.size(), c.BitImages);
        const bool refused = !printer.Warnings().empty() &&
                             printer.Warnings().back().Message.find("262144 bytes of NV memory") !=
                                 std::string::npos;
        EXPECT_EQ(refused, c.Refused);
    }
}
