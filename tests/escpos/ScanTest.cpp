// Every code the printer draws scans: the pictures are read back with zxing-cpp's reader
// (ZXingReader, from zxing-cpp-tools) and must give exactly the data sent. Skipped (exit 77)
// when the reader is not installed.
#include "tests/escpos/Scanner.h"

#include "escpos/Printer.h"
#include "escpos/drawing/Fonts.h"
#include "escpos/drawing/Raster.h"
#include "tests/support/CodeBytes.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

using namespace testsupport;

escpos::Printer Print(const std::string& Bytes) {
    return escpos::PrintAll(Bytes, *escpos::FindProfile("standard"));
}

TEST(Scan, EveryBarcodeSymbologyScansToItsData) {
    const struct {
        int M;
        std::string Data, Format, Expected;
    } cases[] = {
        {65, "03600029145", "UPC-A", "036000291452"}, // the check digit computed
        {65, "036000291452", "UPC-A", "036000291452"},
        {66, "0123456", "UPC-E", "01234565"},
        {66, "04210000526", "UPC-E", "04252614"}, // the UPC-A form, zeros suppressed
        {67, "400638133393", "EAN-13", "4006381333931"},
        {68, "9638507", "EAN-8", "96385074"},
        {69, "TILL-42 $5", "Code39", "TILL-42 $5"},
        {70, "00123456", "ITF", "00123456"},
        {71, "A40156B", "Codabar", "40156"}, // the reader leaves out start and stop
        {72, "RECEIPT-93", "Code93", "RECEIPT-93"},
        {73, "{BNo.{C\x0c\x22\x38", "Code128", "No.123456"},
        {73, "{Aabc", "Code128", ""}, // lower case is not in code set A: nothing printed
        {73, "{BTM-0001234", "Code128", "TM-0001234"},
        {73, "{A12345678", "Code128", "12345678"},
        {73,
         "{Ba{S\x01"
         "b{{{Cc",
         "Code128",
         "a\x01"
         "b{99"},
    };
    for (const auto& c : cases) {
        const auto printer = Print("\x1B"
                                   "a\x01\x1Dh\x40" +
                                   Barcode(c.M, c.Data) + "\n\x1DV1");
        const auto scanned = ScanPages(printer, c.Format);
        if (c.Expected.empty())
            EXPECT_TRUE(scanned.empty()) << c.Data;
        else
            EXPECT_EQ(scanned, std::vector<std::string>{c.Expected}) << c.Format << " " << c.Data;
    }
}

// UPC-E sent in its 12-digit UPC-A form: the printer suppresses the zeros and takes the check
// digit when it is the one the UPC weights give (3 for the odd places, 1 for the even ones, from
// the left); with the weights swapped, each of these would be refused.
TEST(Scan, UpcEInItsUpcAFormTakesItsRightCheckDigit) {
    const struct {
        std::string UpcA, UpcE;
    } cases[] = {
        {"042100005264", "04252614"}, {"012000007897", "01278907"}, {"034500000673", "03456733"},
        {"045670000011", "04567141"}, {"065432000073", "06543273"},
    };
    for (const auto& c : cases) {
        const auto printer = Print(Barcode(66, c.UpcA) + "\n\x1DV1");
        EXPECT_TRUE(printer.Warnings().empty()) << c.UpcA << ": " << printer.Warnings()[0].Message;
        EXPECT_EQ(ScanPages(printer, "UPC-E"), std::vector<std::string>{c.UpcE}) << c.UpcA;
    }
}

TEST(Scan, QrAndPdf417ScanAtEverySizeAndLevel) {
    const std::string data = "https://receipts.example/r/0042?total=210.00";
    for (const int module : {2, 3, 6}) {
        for (const char level : {'0', '3'}) {
            const std::string qr = "\x1D(k" + Le16(3) + "1E" + level + QrCode(data, module);
            EXPECT_EQ(ScanPages(Print("\x1B"
                                      "a\x01" +
                                      qr + "\n\x1DV1"),
                                "QRCode"),
                      std::vector<std::string>{data})
                << "module " << module << " level " << level;
        }
    }
    for (const int columns : {0, 2, 5}) {
        const std::string pdf =
            "\x1D(k" + Le16(4) + "0E0" + char('0' + columns % 9) + Pdf417(data, columns);
        EXPECT_EQ(ScanPages(Print("\x1B"
                                  "a\x01" +
                                  pdf + "\n\x1DV1"),
                            "PDF417"),
                  std::vector<std::string>{data})
            << columns << " columns";
    }
}

std::string ReadFile(const std::string& Path) {
    std::ifstream file(Path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

// The receipt of the README: each code scans from its own part of the picture, and the picture
// is pinned byte for byte.
TEST(Scan, AReceiptWithALogoAndFourCodesScansAndMatchesItsGoldenPicture) {
    const auto printer = Print(CodesReceipt());
    ASSERT_TRUE(printer.Warnings().empty()) << printer.Warnings()[0].Message;
    EXPECT_EQ(
        ScanItems(printer.Pages().at(0)),
        (std::vector<std::string>{"", ReceiptCode128, ReceiptEan13, ReceiptQr, ReceiptPdf417}));
    const std::string png =
        escpos::EncodePng(escpos::RenderPage(printer.Pages().at(0), 512, escpos::Fonts::Shared()));
    const std::string path = std::string(TILLMARK_GOLDEN_DIR) + "/codes.png";
    if (std::getenv("TILLMARK_UPDATE_GOLDEN"))
        escpos::WriteFile(path, png);
    EXPECT_TRUE(ReadFile(path) == png)
        << path << " differs; if the change is meant, run with TILLMARK_UPDATE_GOLDEN=1";
}

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (!ScannerInstalled()) {
        std::puts("skipped: ZXingReader (zxing-cpp-tools) is not installed");
        return 77;
    }
    return RUN_ALL_TESTS();
}
