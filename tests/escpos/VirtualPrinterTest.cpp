#include "escpos/VirtualPrinter.h"

#include "receipt/Commands.h"
#include "receipt/Receipt.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& Path) {
    std::ifstream file(Path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

class VirtualPrinterTest : public ::testing::Test {
protected:
    void SetUp() override {
        Dir = fs::temp_directory_path() /
              ("tillmark-vp-" +
               std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(Dir);
        fs::create_directories(Dir);
    }
    void TearDown() override { fs::remove_all(Dir); }
    fs::path Dir;
};

TEST_F(VirtualPrinterTest, FilesEachCutAsItArrivesAndAnswersInOrder) {
    std::ofstream(Dir / "receipt-0041.png") << "kept";
    std::vector<std::string> log;
    escpos::VirtualPrinter printer(*escpos::FindProfile("korean"), Dir.string(),
                                   [&](const std::string& Line) { log.push_back(Line); });
    const std::string bytes = receipt::DeviceBytes(
        receipt::Path::Serial, receipt::PrintWrites(receipt::Language::English,
                                                    receipt::Path::Serial, "2026/12/07  01:05 PM"));
    // Three bytes at a time, as a slow line would bring them.
    std::string answers;
    for (std::size_t at = 0; at < bytes.size(); at += 3)
        answers += printer.Feed(std::string_view(bytes).substr(at, 3));
    EXPECT_EQ(answers, "");
    ASSERT_EQ(printer.Written(), std::vector<std::string>{(Dir / "receipt-0042.png").string()});
    EXPECT_EQ(ReadFile(Dir / "receipt-0042.png"),
              ReadFile(fs::path(TILLMARK_GOLDEN_DIR) / "english.png"));
    EXPECT_EQ(ReadFile(Dir / "receipt-0041.png"), "kept");

    EXPECT_EQ(printer.Feed("\x10\x04\x01\x1DI\x02\x10\x04"), "\x16\x03");
    EXPECT_EQ(printer.Feed("\x04"), "\x12");
    printer.Feed(receipt::EpsonCommand);
    printer.Finish();
    ASSERT_EQ(printer.Written().size(), 2u);
    EXPECT_EQ(ReadFile(Dir / "receipt-0043.txt"), "[DRAWER pin 2: 96 ms on / 96 ms off]\n");

    // One line per command, each with the offset of its first byte.
    auto has = [&](const std::string& Text) {
        for (const auto& line : log)
            if (line.find(Text) != std::string::npos)
                return true;
        return false;
    };
    EXPECT_TRUE(has("00000338 ESC ! [1B 21 08]: print modes: font A, emphasised on"));
    EXPECT_TRUE(has("print \"Tax excluded.                 $200.00 \""));
    EXPECT_TRUE(has("GS V [1D 56 31]: partial cut"));
    // An empty line's feed is logged; a printed line's LF is the print line, and CR is ignored.
    EXPECT_TRUE(has("00000101 LF [0A]: feed one line"));
    EXPECT_FALSE(has("print and feed"));
    EXPECT_FALSE(has("CR ["));
    EXPECT_TRUE(has("receipt " + (Dir / "receipt-0042.png").string()));
    EXPECT_TRUE(has("ESC p [1B 70 30 30 30]: DRAWER pin 2: 96 ms on / 96 ms off"));
    EXPECT_TRUE(has("uncut paper " + (Dir / "receipt-0043.png").string()));
}

TEST_F(VirtualPrinterTest, AFolderItCannotWriteIsAnError) {
    escpos::VirtualPrinter printer(*escpos::FindProfile("standard"), (Dir / "missing").string(),
                                   nullptr);
    EXPECT_THROW(printer.Feed("A\n\x1DV0"), std::runtime_error);
}

} // namespace

TEST_F(VirtualPrinterTest, OfflineItPrintsAndFilesNothingButStillAnswers) {
    using Paper = escpos::Sensors::Paper;
    const struct {
        Paper Roll;
        bool CoverOpen;
        std::size_t Filed;
    } cases[] = {
        {Paper::End, false, 0},
        {Paper::Ok, true, 0},
        {Paper::NearEnd, false, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.Roll) * 2 + c.CoverOpen);
        const fs::path folder = Dir / std::to_string(static_cast<int>(c.Roll) * 2 + c.CoverOpen);
        fs::create_directories(folder);
        escpos::VirtualPrinter printer(*escpos::FindProfile("standard"), folder.string(), nullptr);
        printer.SetSensors({c.Roll, c.CoverOpen});
        // DLE EOT 1 is answered offline too: the fixed bits, and bit 3 when offline.
        EXPECT_EQ(printer.Feed("\x1B@Total\n\x1DV1\x10\x04\x01"),
                  std::string(1, c.Filed ? '\x16' : '\x1E'));
        printer.Finish();
        EXPECT_EQ(printer.Written().size(), c.Filed);
        EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()),
                  static_cast<long>(c.Filed * 2));
    }
}

TEST_F(VirtualPrinterTest, NvMemoryIsWrittenOnceABatchOfDefinitionsEnds) {
    const fs::path file = Dir / escpos::VirtualPrinter::NvFile;
    escpos::VirtualPrinter printer(*escpos::FindProfile("standard"), Dir.string(), nullptr);
    // Twenty logos, each in a write of its own, as a slow line brings them.
    for (char key = 'a'; key < 'a' + 20; ++key) {
        printer.Feed(std::string("\x1D(L\x0D\x00"
                                 "0C0L",
                                 9) +
                     key +
                     std::string("\x01\x08\x00\x02\x00"
                                 "1\xF0\x0F",
                                 8));
        EXPECT_FALSE(fs::exists(file)) << key;
    }
    printer.Feed("\x1B@");
    EXPECT_EQ(
        escpos::PrintAll(ReadFile(file), *escpos::FindProfile("standard")).Nv().Graphics.size(),
        20u);
    EXPECT_EQ(std::distance(fs::directory_iterator(Dir), fs::directory_iterator()), 1);
}

TEST_F(VirtualPrinterTest, AFiledReceiptLeavesNothingBehindAndOneReceiptHoldsABoundedAmount) {
    escpos::VirtualPrinter printer(*escpos::FindProfile("standard"), Dir.string(), nullptr);
    std::string junk;
    for (int n = 0; n < 50; ++n)
        junk += "\x1B\xFF";
    for (int n = 0; n < 100; ++n)
        printer.Feed(junk + "x\n\x1DV0");
    ASSERT_EQ(printer.Written().size(), 100u);
    EXPECT_TRUE(printer.State().Warnings().empty());
    EXPECT_EQ(printer.State().Trace().capacity(), 0u);

    // A receipt that never ends is cut off at the limit, each part with a note saying so.
    std::string flood;
    const std::size_t limit = escpos::VirtualPrinter::MaxReceiptHeld;
    for (std::size_t n = 0; n < limit * 3; ++n)
        flood += "\x1B\xFF";
    printer.Feed(flood);
    // Each junk command holds a trace entry and a warning: six parts.
    EXPECT_GE(printer.Written().size(), 105u);
    EXPECT_LE(printer.Written().size(), 106u);
    EXPECT_LE(printer.State().Warnings().size() + printer.State().Trace().size(), limit);
    EXPECT_NE(ReadFile(Dir / "receipt-0101.txt").find("[cut off: "), std::string::npos);
}
