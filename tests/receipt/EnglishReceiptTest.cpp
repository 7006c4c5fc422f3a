#include "receipt/Receipt.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using receipt::Language;
using receipt::Path;

const std::string Stamp = "2026/12/07  01:05 PM";
const std::string Emphasised("\x1B\x21\x08", 3);
const std::string DoubleWidth("\x1B\x21\x20", 3);
const std::string Normal("\x1B\x21\x00", 3);

std::string Sp(std::size_t Count) {
    return std::string(Count, ' ');
}

struct Line {
    std::string Bytes;
    std::size_t Size; // without the line end
};

// The receipt line by line, spelled out as its parts; line 23 is filled in per path.
std::vector<Line> Golden(const std::string& Line23) {
    return {
        {"123xxstreet,xxxcity,xxxxstate" + Sp(8), 37},
        {Sp(21) + "TEL" + Sp(1) + "9999-99-9999", 37},
        {Stamp, 20},
        {"", 0},
        {std::string(37, '-'), 37},
        {"apples" + Sp(25) + "$20.00", 37},
        {"grapes" + Sp(25) + "$30.00", 37},
        {"bananas" + Sp(24) + "$40.00", 37},
        {"lemons" + Sp(25) + "$50.00", 37},
        {"oranges" + Sp(24) + "$60.00", 37},
        {"", 0},
        {Emphasised + "Tax excluded." + Sp(17) + "$200.00" + Sp(1), 41},
        {Normal + "Tax" + Sp(2) + "5.0%" + Sp(22) + "$10.00" + Sp(1), 41},
        {std::string(37, '-') + Emphasised + DoubleWidth, 43},
        {"Total" + Sp(7) + "$210.00", 19},
        {"", 0},
        {"", 0},
        {Normal, 3},
        {"Customer's payment" + Sp(12) + "$250.00", 37},
        {"Change" + Sp(25) + "$40.00", 37},
        {"", 0},
        {"", 0},
        {Line23, Line23.size()},
        {"Quorivant, Inc", 14},
        {"", 0},
        {"", 0},
    };
}

TEST(EnglishReceipt, EveryLineHoldsItsBytes) {
    for (const auto& [on, line23, size23] :
         {std::tuple{Path::Serial, "Print test using serial interface.", 34u},
          std::tuple{Path::Parallel, "Print test using Parallel interface.", 36u}}) {
        const auto lines = receipt::EnglishLines(on, Stamp);
        const auto golden = Golden(line23);
        ASSERT_EQ(lines.size(), 26u);
        EXPECT_EQ(golden[22].Size, size23);
        for (std::size_t i = 0; i < golden.size(); ++i) {
            EXPECT_EQ(lines[i], golden[i].Bytes) << "line " << i + 1;
            EXPECT_EQ(lines[i].size(), golden[i].Size) << "line " << i + 1;
        }
    }
}

TEST(EnglishReceipt, SerialIsOneWriteOf637Bytes) {
    const auto writes = receipt::ReceiptWrites(Language::English, Path::Serial, Stamp);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].size(), 637u);

    std::string expected;
    for (const auto& line : Golden("Print test using serial interface."))
        expected += line.Bytes + "\r\n";
    EXPECT_EQ(receipt::DeviceBytes(Path::Serial, writes), expected);
}

TEST(EnglishReceipt, ParallelIsOneWriteAndTheWriterAddsA27thLine) {
    const auto writes = receipt::ReceiptWrites(Language::English, Path::Parallel, Stamp);
    ASSERT_EQ(writes.size(), 1u);
    const std::string device = receipt::DeviceBytes(Path::Parallel, writes);
    EXPECT_EQ(device.size(), 641u);

    std::string expected;
    for (const auto& line : Golden("Print test using Parallel interface."))
        expected += line.Bytes + "\r\n";
    EXPECT_EQ(device, expected + "\r\n");
}

TEST(EnglishReceipt, ModesSwitchAroundTheTaxAndTotalLines) {
    const std::string device = receipt::DeviceBytes(
        Path::Serial, receipt::ReceiptWrites(Language::English, Path::Serial, Stamp));
    // Line 14: the hyphens, then emphasised and double width, then the line end.
    EXPECT_NE(device.find(std::string(37, '-') + Emphasised + DoubleWidth + "\r\nTotal       "),
              std::string::npos);
    // The mode commands, in the order they go out.
    std::vector<std::string> modes;
    for (std::size_t at = device.find('\x1B'); at != std::string::npos;
         at = device.find('\x1B', at + 1))
        modes.push_back(device.substr(at, 3));
    EXPECT_EQ(modes,
              (std::vector<std::string>{Emphasised, Normal, Emphasised, DoubleWidth, Normal}));
    // Normal mode is back before the payment lines.
    EXPECT_LT(device.rfind(Normal), device.find("Customer's payment"));
}

TEST(EnglishReceipt, DateStampIsLineThreeAsGiven) {
    const auto lines = receipt::EnglishLines(Path::Serial, "2026-12-07  12:30 AM");
    EXPECT_EQ(lines[2], "2026-12-07  12:30 AM");
    EXPECT_EQ(receipt::DeviceBytes(Path::Serial,
                                   receipt::ReceiptWrites(Language::English, Path::Serial, "short"))
                  .size(),
              637u - 15u);
}

} // namespace
