#include "receipt/Commands.h"
#include "receipt/Receipt.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using receipt::Drawer;
using receipt::Path;

std::string Bytes(std::initializer_list<unsigned char> Values) {
    return std::string(Values.begin(), Values.end());
}

TEST(Commands, HoldTheirWireBytes) {
    const struct {
        const char* Name;
        std::string_view Command;
        std::string Bytes;
    } cases[] = {
        {"line end", receipt::LineEnd, Bytes({0x0D, 0x0A})},
        {"emphasised", receipt::EmphasisedMode, Bytes({0x1B, 0x21, 0x08})},
        {"double width", receipt::DoubleWidthMode, Bytes({0x1B, 0x21, 0x20})},
        {"all modes off", receipt::NormalMode, Bytes({0x1B, 0x21, 0x00})},
        {"partial cut", receipt::PartialCut, Bytes({0x1D, 0x56, 0x31})},
        {"bell", receipt::BellCommand, Bytes({0x1B, 0x70, 0x30, 0xFF, 0xFF})},
        {"epson", receipt::EpsonCommand, Bytes({0x1B, 0x70, 0x30, 0x30, 0x30})},
        {"cut trailer", receipt::CutTrailer,
         Bytes({0x0D, 0x0A, 0x0D, 0x0A, 0x0D, 0x0A, 0x0D, 0x0A, 0x1D, 0x56, 0x31})},
    };
    for (const auto& c : cases)
        EXPECT_EQ(std::string(c.Command), c.Bytes) << c.Name;
}

TEST(DrawerWrite, WhatEachPathSendsAndTheDeviceGets) {
    const struct {
        Drawer Kind;
        Path On;
        std::string Write;
        std::string Device;
    } cases[] = {
        {Drawer::Bell, Path::Serial, Bytes({0x1B, 0x70, 0x30, 0xFF, 0xFF}),
         Bytes({0x1B, 0x70, 0x30, 0xFF, 0xFF})},
        {Drawer::Epson, Path::Serial, Bytes({0x1B, 0x70, 0x30, 0x30, 0x30}),
         Bytes({0x1B, 0x70, 0x30, 0x30, 0x30})},
        {Drawer::Bell, Path::Parallel, Bytes({0x1B, 0x70, 0x30, 0xFF, 0xFF}),
         Bytes({0x1B, 0x70, 0x30, 0xFF, 0xFF, 0x0D, 0x0A})},
        // Epson's parallel line carries its own line end and the writer adds another.
        {Drawer::Epson, Path::Parallel, Bytes({0x1B, 0x70, 0x30, 0x30, 0x30, 0x0D, 0x0A}),
         Bytes({0x1B, 0x70, 0x30, 0x30, 0x30, 0x0D, 0x0A, 0x0D, 0x0A})},
    };
    for (const auto& c : cases) {
        const std::string write = receipt::DrawerWrite(c.Kind, c.On);
        EXPECT_EQ(write, c.Write) << static_cast<int>(c.Kind) << "/" << static_cast<int>(c.On);
        EXPECT_EQ(receipt::DeviceBytes(c.On, {write}), c.Device)
            << static_cast<int>(c.Kind) << "/" << static_cast<int>(c.On);
    }
}

TEST(DeviceBytes, ParallelEndsEveryWriteSerialAddsNothing) {
    const std::vector<std::string> writes{"ab", "", std::string("\0\xFF", 2)};
    EXPECT_EQ(receipt::DeviceBytes(Path::Serial, writes), std::string("ab\0\xFF", 4));
    EXPECT_EQ(receipt::DeviceBytes(Path::Parallel, writes),
              std::string("ab\r\n\r\n\0\xFF\r\n", 10));
    EXPECT_EQ(receipt::DeviceBytes(Path::Parallel, {}), "");
}

} // namespace

namespace {

TEST(PrintWrites, TheCutTrailerFollowsTheReceiptAsItsOwnWrite) {
    using receipt::Language;
    const std::string trailer = "\r\n\r\n\r\n\r\n\x1DV1";
    for (const Language lang : {Language::English, Language::Korean}) {
        for (const Path on : {Path::Serial, Path::Parallel}) {
            const auto receiptWrites = receipt::ReceiptWrites(lang, on, "2026/12/07  01:05 PM");
            const auto writes = receipt::PrintWrites(lang, on, "2026/12/07  01:05 PM");
            ASSERT_EQ(writes.size(), receiptWrites.size() + 1);
            EXPECT_TRUE(std::equal(receiptWrites.begin(), receiptWrites.end(), writes.begin()));
            EXPECT_EQ(writes.back(), trailer);
            // The parallel writer ends the trailer too; the serial path sends the cut last.
            const std::string device = receipt::DeviceBytes(on, writes);
            EXPECT_TRUE(device.ends_with(on == Path::Serial ? "\r\n" + trailer
                                                            : "\r\n" + trailer + "\r\n"));
        }
    }
}

} // namespace

namespace {

TEST(LanguageOfItem, OnlyTheFirstItemIsKorean) {
    using receipt::Language;
    EXPECT_EQ(receipt::LanguageOfItem(0), Language::Korean);
    for (const int other : {1, 2, -1})
        EXPECT_EQ(receipt::LanguageOfItem(other), Language::English) << other;
}

} // namespace
