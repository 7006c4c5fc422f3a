#include "escpos/decoder/Decoder.h"
#include "escpos/decoder/CommandTable.h"

#include "receipt/Commands.h"
#include "receipt/Receipt.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using escpos::Command;
using escpos::CommandId;
using escpos::Decoder;

std::string B(std::initializer_list<unsigned char> Values) {
    return std::string(Values.begin(), Values.end());
}

struct Seen {
    CommandId Id;
    std::size_t Offset;
    std::size_t Length;
    std::string Bytes;
    bool operator==(const Seen&) const = default;
};

std::ostream& operator<<(std::ostream& Out, const Seen& S) {
    return Out << "{id " << static_cast<int>(S.Id) << " @" << S.Offset << " +" << S.Length << "}";
}

std::vector<Seen> DecodeChunks(const std::vector<std::string>& Chunks) {
    std::vector<Seen> seen;
    Decoder d([&](const Command& C) { seen.push_back({C.Id, C.Offset, C.Length, C.Bytes}); });
    for (const auto& chunk : Chunks)
        d.Feed(chunk);
    d.Finish();
    return seen;
}

std::vector<Seen> Decode(const std::string& Bytes) {
    return DecodeChunks({Bytes});
}

struct Case {
    const char* Name;
    std::string Bytes;
    CommandId Id;
    std::size_t Length;
};

// Each case is one command followed by "Z": the command must take exactly its length, and the Z
// must come out as the next character.
void ExpectCommands(const std::vector<Case>& Cases) {
    for (const auto& c : Cases) {
        const auto seen = Decode(c.Bytes + "Z");
        ASSERT_EQ(seen.size(), 2u) << c.Name;
        EXPECT_EQ(seen[0].Id, c.Id) << c.Name;
        EXPECT_EQ(seen[0].Length, c.Length) << c.Name;
        EXPECT_EQ(seen[1].Id, CommandId::Char) << c.Name;
        EXPECT_EQ(seen[1].Offset, c.Length) << c.Name;
        EXPECT_EQ(seen[1].Bytes, "Z") << c.Name;
    }
}

TEST(Decoder, SingleBytes) {
    ExpectCommands({
        {"LF", "\n", CommandId::LineFeed, 1},
        {"CR", "\r", CommandId::CarriageRet, 1},
        {"HT", "\t", CommandId::Tab, 1},
        {"FF", "\f", CommandId::FormFeed, 1},
        {"CAN", "\x18", CommandId::Cancel, 1},
        {"NUL", std::string(1, '\0'), CommandId::Unknown, 1},
        {"BEL", "\a", CommandId::Unknown, 1},
        {"high byte", "\xB1", CommandId::Char, 1},
        {"DEL", "\x7F", CommandId::Unknown, 1},
    });
}

TEST(Decoder, PrintModeAndLayoutCommands) {
    ExpectCommands({
        {"ESC @", "\x1B@", CommandId::Initialise, 2},
        {"ESC ! emphasised", "\x1B!\x08", CommandId::PrintMode, 3},
        {"ESC ! with a NUL parameter", B({0x1B, 0x21, 0x00}), CommandId::PrintMode, 3},
        {"ESC E",
         "\x1B"
         "E\x01",
         CommandId::Emphasis, 3},
        {"ESC -", "\x1B-\x02", CommandId::Underline, 3},
        {"ESC a",
         "\x1B"
         "a1",
         CommandId::Justify, 3},
        {"ESC 2",
         "\x1B"
         "2",
         CommandId::DefaultSpacing, 2},
        {"ESC 3",
         "\x1B"
         "3\x40",
         CommandId::LineSpacing, 3},
        {"ESC t", "\x1Bt\x10", CommandId::CodePage, 3},
        {"ESC R", "\x1BR\x0D", CommandId::CharacterSet, 3},
        {"ESC d",
         "\x1B"
         "d\x03",
         CommandId::FeedLines, 3},
        {"ESC $", B({0x1B, 0x24, 0x00, 0x01}), CommandId::AbsolutePosition, 4},
        {"GS !", "\x1D!\x11", CommandId::CharacterSize, 3},
        {"GS L", B({0x1D, 0x4C, 0x10, 0x00}), CommandId::LeftMargin, 4},
        {"FS &", "\x1C&", CommandId::DoubleByteOn, 2},
        {"FS .", "\x1C.", CommandId::DoubleByteOff, 2},
        {"FS !", "\x1C!\x0C", CommandId::DoubleByteMode, 3},
    });
}

TEST(Decoder, CutsPulsesAndStatusRequests) {
    ExpectCommands({
        {"GS V A partial", "\x1DV1", CommandId::Cut, 3},
        {"GS V A full", B({0x1D, 0x56, 0x00}), CommandId::Cut, 3},
        {"GS V B partial", "\x1DV\x42\x10", CommandId::Cut, 4},
        {"GS V B full", B({0x1D, 0x56, 0x41, 0x00}), CommandId::Cut, 4},
        {"ESC p bell", "\x1Bp0\xFF\xFF", CommandId::DrawerPulse, 5},
        {"ESC p with NUL times", B({0x1B, 0x70, 0x00, 0x00, 0x00}), CommandId::DrawerPulse, 5},
        {"DLE DC4 pulse", B({0x10, 0x14, 0x01, 0x00, 0x05}), CommandId::RealTimePulse, 5},
        {"DLE DC4 clear", B({0x10, 0x14, 0x08, 0x01, 0x03, 0x14, 0x01, 0x06, 0x02, 0x08}),
         CommandId::RealTimePulse, 10},
        {"DLE EOT 1", B({0x10, 0x04, 0x01}), CommandId::RealTimeStatus, 3},
        {"DLE EOT 7 a", B({0x10, 0x04, 0x07, 0x01}), CommandId::RealTimeStatus, 4},
        {"GS r", "\x1Dr1", CommandId::StatusRequest, 3},
        {"GS I", "\x1DI\x02", CommandId::PrinterId, 3},
    });
}

TEST(Decoder, ParameterChosenLengthPrefixedAndNulTerminated) {
    ExpectCommands({
        {"ESC * 8-dot, 3 columns", B({0x1B, 0x2A, 0x00, 0x03, 0x00, 1, 2, 3}), CommandId::BitImage,
         8},
        {"ESC * 24-dot, 2 columns", B({0x1B, 0x2A, 0x21, 0x02, 0x00, 1, 2, 3, 4, 5, 6}),
         CommandId::BitImage, 11},
        {"GS v 0 2x2", B({0x1D, 0x76, 0x30, 0x00, 0x02, 0x00, 0x02, 0x00, 0x0A, 0x1B, 0x1D, 0x10}),
         CommandId::RasterImage, 12},
        {"GS ( k with ESC in its data", B({0x1D, 0x28, 0x6B, 0x04, 0x00, 0x31, 0x41, 0x1B, 0x0A}),
         CommandId::Function, 9},
        {"GS ( L empty", B({0x1D, 0x28, 0x4C, 0x00, 0x00}), CommandId::Function, 5},
        {"GS 8 L", B({0x1D, 0x38, 0x4C, 0x02, 0x00, 0x00, 0x00, 0x0A, 0x0A}),
         CommandId::LargeGraphics, 9},
        {"GS k A form", B({0x1D, 0x6B, 0x00, '1', '2', 0x00}), CommandId::Barcode, 6},
        {"GS k B form", B({0x1D, 0x6B, 0x48, 0x02, 0x00, 0x0A}), CommandId::Barcode, 6},
        {"FS q two images",
         B({0x1C, 0x71, 0x02, 0x01, 0x00, 0x01, 0x00, 1, 2, 3, 4, 5, 6, 7, 8, 0x00, 0x00, 0x05,
            0x00}),
         CommandId::DefineNvImages, 19},
        {"GS * 1 x 1", "\x1D*\x01\x01" + std::string(8, '\x1B'), CommandId::DefineDownloaded, 12},
        {"ESC D tabs", B({0x1B, 0x44, 0x08, 0x10, 0x00}), CommandId::TabStops, 5},
        {"ESC & two characters", B({0x1B, 0x26, 0x01, 0x41, 0x42, 0x02, 1, 2, 0x01, 3}),
         CommandId::DefineUserChars, 10},
        {"FS 2 user character",
         "\x1C"
         "2\xFE\xA1" +
             std::string(72, '\x0A'),
         CommandId::Skipped, 76},
    });
}

TEST(Decoder, UnknownCommandsAreSkippedByLength) {
    ExpectCommands({
        {"ESC unknown letter",
         "\x1B"
         "y",
         CommandId::Unknown, 2},
        {"GS unknown letter",
         "\x1D"
         "y",
         CommandId::Unknown, 2},
        {"FS unknown letter",
         "\x1C"
         "y",
         CommandId::Unknown, 2},
        {"GS V bad function", "\x1DV\x07", CommandId::Unknown, 3},
        {"DLE EOT bad status", B({0x10, 0x04, 0x09}), CommandId::Unknown, 3},
        {"ESC * bad mode", B({0x1B, 0x2A, 0x05}), CommandId::Unknown, 3},
    });
    // A lone DLE takes one byte; what follows is read afresh.
    const auto seen = Decode("\x10Z\x10\x1B@");
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[0].Id, CommandId::Unknown);
    EXPECT_EQ(seen[1], (Seen{CommandId::Char, 1, 1, "Z"}));
    EXPECT_EQ(seen[2].Id, CommandId::Unknown);
    EXPECT_EQ(seen[3], (Seen{CommandId::Initialise, 3, 2, "\x1B@"}));
}

TEST(Decoder, EndOfStreamInsideACommandIsReported) {
    for (const std::string cut : {"\x1B", "\x1Bp0", "\x1D(k\x05",
                                  "\x1Dk\x01"
                                  "123"}) {
        const auto seen = Decode(cut);
        ASSERT_EQ(seen.size(), 1u) << escpos::HexBytes({CommandId::Char, 0, cut.size(), cut});
        EXPECT_EQ(seen[0].Id, CommandId::Incomplete);
        EXPECT_EQ(seen[0].Length, cut.size());
    }
}

TEST(Decoder, LongPayloadsAreKeptWholeAndShownShort) {
    std::string image = B({0x1D, 0x76, 0x30, 0x00, 0x40, 0x00, 0x40, 0x00});
    image += std::string(64 * 64, '\x1B');
    const auto seen = Decode(image + "Z");
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].Length, image.size());
    EXPECT_EQ(seen[0].Bytes, image);
    EXPECT_EQ(seen[1].Offset, image.size());
    EXPECT_EQ(escpos::HexBytes({CommandId::RasterImage, 0, image.size(), image}).size(),
              Command::ShownBytes * 3 - 1 + 4);
}

TEST(Decoder, ANulTerminatedCommandWithoutItsNulIsGivenUp) {
    // A bar code that never ends stops at its longest possible length, so text after it prints.
    const std::string barcode = B({0x1D, 0x6B, 0x04}) + std::string(300, '7');
    const auto seen = Decode(barcode);
    ASSERT_GE(seen.size(), 2u);
    EXPECT_EQ(seen[0].Id, CommandId::Unknown);
    EXPECT_EQ(seen[0].Length, 3u + 255 + 1);
    EXPECT_EQ(seen[1].Id, CommandId::Char);
}

TEST(Decoder, NamesCommandsAsTheManualsDo) {
    const struct {
        std::string Bytes;
        const char* Name;
    } cases[] = {
        {"\x1B!\x08", "ESC !"},
        {"\x1DV1", "GS V"},
        {"\x1C&", "FS &"},
        {"\x1B \x01", "ESC SP"},
        {B({0x10, 0x04, 0x01}), "DLE EOT"},
        {"\n", "LF"},
        {"A", "text"},
        {B({0x1D, 0x28, 0x6B, 0x01, 0x00, 0x30}), "GS ( k"},
    };
    for (const auto& c : cases) {
        const auto seen = Decode(c.Bytes);
        ASSERT_FALSE(seen.empty()) << c.Name;
        Command command{seen[0].Id, 0, seen[0].Length, seen[0].Bytes};
        EXPECT_EQ(escpos::CommandName(command), c.Name);
    }
    EXPECT_EQ(escpos::HexBytes({CommandId::PrintMode, 0, 3, "\x1B!\x08"}), "1B 21 08");
    EXPECT_EQ(escpos::HexBytes({CommandId::Skipped, 0, 9, "\x1D(k"}), "1D 28 6B ...");
}

// Everything the console sends, plus commands of every length kind.
std::string MixedStream() {
    using receipt::Language;
    using receipt::Path;
    std::string bytes =
        receipt::DeviceBytes(Path::Serial, receipt::PrintWrites(Language::English, Path::Serial,
                                                                "2026/12/07  01:05 PM"));
    bytes += receipt::DeviceBytes(
        Path::Serial, receipt::PrintWrites(Language::Korean, Path::Serial, "2026/12/07  01:05 PM"));
    bytes += receipt::BellCommand;
    bytes += receipt::EpsonCommand;
    bytes += B({0x10, 0x04, 0x01, 0x1D, 0x72, 0x31, 0x1D, 0x49, 0x02});
    bytes += B({0x1D, 0x28, 0x6B, 0x04, 0x00, 0x31, 0x41, 0x1B, 0x0A});
    bytes += B({0x1D, 0x6B, 0x00, '1', '2',  0x00, 0x1B, 0x26, 0x01, 0x41,
                0x42, 0x02, 1,    2,   0x01, 3,    0x10, 'Z',  0x1B, 'y'});
    bytes += B({0x1D, 0x56, 0x42, 0x10});
    return bytes;
}

TEST(Decoder, SplitAnywhereGivesTheSameCommands) {
    const std::string bytes = MixedStream();
    const auto whole = Decode(bytes);
    ASSERT_GT(whole.size(), 100u);
    for (std::size_t split = 0; split <= bytes.size(); ++split) {
        const auto parts = DecodeChunks({bytes.substr(0, split), bytes.substr(split)});
        ASSERT_EQ(parts, whole) << "split at " << split;
    }
    std::vector<std::string> single;
    for (const char c : bytes)
        single.emplace_back(1, c);
    EXPECT_EQ(DecodeChunks(single), whole);
    // The commands cover the stream with no gap or overlap.
    std::size_t at = 0;
    for (const auto& s : whole) {
        EXPECT_EQ(s.Offset, at);
        at += s.Length;
    }
    EXPECT_EQ(at, bytes.size());
}

} // namespace
