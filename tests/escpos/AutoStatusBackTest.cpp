// The levers as a host sees them: automatic status back (GS a) and the real-time answers for each
// sensor state, against the bytes of the TM-T88 command reference, and when the status is sent.
#include "escpos/Levers.h"
#include "escpos/VirtualPrinter.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using escpos::Sensors;
using Paper = Sensors::Paper;

std::string Bytes(std::initializer_list<int> Values) {
    std::string out;
    for (const int v : Values)
        out += static_cast<char>(v);
    return out;
}

class AutoStatusBack : public ::testing::Test {
protected:
    AutoStatusBack() : Printer(*escpos::FindProfile("standard"), Folder.Path().string(), nullptr) {}
    testsupport::TempDir Folder;
    escpos::VirtualPrinter Printer;
};

TEST_F(AutoStatusBack, EachLeverSetsItsBitsInEveryAnswer) {
    const struct {
        const char* Lever;
        Sensors State;
        std::string Asb;      // GS a: printer, error, paper sensor, paper sensor information
        std::string RealTime; // DLE EOT 1, 2, 3, 4
        std::string Paper;    // GS r 1, GS r 2
    } cases[] = {
        {"all well", {}, Bytes({0x14, 0, 0, 0}), Bytes({0x16, 0x12, 0x12, 0x12}), Bytes({0, 1})},
        {"cover open",
         {Paper::Ok, true},
         Bytes({0x3C, 0, 0, 0}),
         Bytes({0x1E, 0x16, 0x12, 0x12}),
         ""}, // offline: GS r waits with the other data
        {"paper near end",
         {Paper::NearEnd},
         Bytes({0x14, 0, 0x03, 0}),
         Bytes({0x16, 0x12, 0x12, 0x1E}),
         Bytes({0x03, 1})},
        {"paper end", {Paper::End}, Bytes({0x1C, 0, 0x0F, 0}), Bytes({0x1E, 0x32, 0x12, 0x7E}), ""},
        {"drawer open",
         {Paper::Ok, false, true},
         Bytes({0x10, 0, 0, 0}),
         Bytes({0x12, 0x12, 0x12, 0x12}),
         Bytes({0, 0})},
        {"feed button held",
         {Paper::Ok, false, false, true},
         Bytes({0x5C, 0, 0, 0}),
         Bytes({0x5E, 0x1A, 0x12, 0x12}),
         ""},
        {"feed button held, cover open: no paper fed",
         {Paper::Ok, true, false, true},
         Bytes({0x3C, 0, 0, 0}),
         Bytes({0x5E, 0x16, 0x12, 0x12}),
         ""},
    };
    for (const auto& c : cases) {
        escpos::VirtualPrinter printer(*escpos::FindProfile("standard"), Folder.Path().string(),
                                       nullptr);
        // Enabled while online, as GS a waits while the printer is offline; the move then sends.
        EXPECT_EQ(printer.Feed("\x1d\x61\x0f"), Bytes({0x14, 0, 0, 0})) << c.Lever;
        EXPECT_EQ(printer.SetSensors(c.State), c.State == Sensors{} ? "" : c.Asb) << c.Lever;
        EXPECT_EQ(printer.Feed("\x10\x04\x01\x10\x04\x02\x10\x04\x03\x10\x04\x04"), c.RealTime)
            << c.Lever;
        EXPECT_EQ(printer.Feed("\x1dr\x01\x1dr\x02"), c.Paper) << c.Lever;
    }
}

TEST_F(AutoStatusBack, SentWhenAnEnabledItemChangesAndOnlyThen) {
    const struct {
        int Items; // GS a n
        Sensors To;
        bool Sent;
    } cases[] = {
        {0x01, {Paper::Ok, false, true}, true},
        {0x01, {Paper::Ok, true}, false},
        {0x02, {Paper::Ok, true}, true},
        {0x02, {Paper::End}, true}, // paper end takes the printer offline
        {0x02, {Paper::NearEnd}, false},
        {0x02, {Paper::Ok, false, false, true}, true},
        {0x08, {Paper::NearEnd}, true},
        {0x08, {Paper::Ok, false, true}, false},
        {0x04, {Paper::Ok, true}, false}, // no error is ever set
        {0xF0, {Paper::End, true, true, true}, false},
    };
    for (const auto& c : cases) {
        escpos::VirtualPrinter printer(*escpos::FindProfile("standard"), Folder.Path().string(),
                                       nullptr);
        const std::string enable = Bytes({0x1D, 0x61, c.Items});
        EXPECT_EQ(printer.Feed(enable).size(), c.Items & 0x0F ? 4u : 0u) << c.Items;
        const std::string sent = printer.SetSensors(c.To);
        EXPECT_EQ(sent.size(), c.Sent ? 4u : 0u) << c.Items << " " << escpos::DescribeSensors(c.To);
        EXPECT_EQ(printer.SetSensors(c.To), "") << "nothing changed";
    }
}

TEST_F(AutoStatusBack, OffTurnsItOffAndWhileOfflineItWaitsForRecovery) {
    Printer.Feed("\x1d\x61\x02");
    Printer.Feed(Bytes({0x1D, 0x61, 0}));
    EXPECT_EQ(Printer.SetSensors({Paper::Ok, true}), "");
    // Offline, GS a waits in the buffer; it runs when the cover closes and sends the status then.
    EXPECT_EQ(Printer.Feed("\x1d\x61\x02"), "");
    EXPECT_EQ(Printer.SetSensors({}), Bytes({0x14, 0, 0, 0}));
    EXPECT_EQ(Printer.SetSensors({Paper::Ok, true}), Bytes({0x3C, 0, 0, 0}));
    // Switched off while offline: the recovery is still told, then nothing more.
    EXPECT_EQ(Printer.Feed(Bytes({0x1D, 0x61, 0})), "");
    EXPECT_EQ(Printer.SetSensors({}), Bytes({0x14, 0, 0, 0}));
    EXPECT_EQ(Printer.SetSensors({Paper::Ok, true}), "");
}

TEST_F(AutoStatusBack, TheLeversReachEveryLineAndStopPrintingUntilRecovery) {
    escpos::VirtualPrinter other(*escpos::FindProfile("standard"), Folder.Path().string(), nullptr);
    escpos::PrinterLevers levers;
    std::string firstLine, otherLine;
    levers.Attach(Printer, [&](std::string_view B) { firstLine += B; });
    levers.Attach(other, [&](std::string_view B) { otherLine += B; });
    Printer.Feed("\x1d\x61\x02");
    levers.Set({Paper::Ok, true});
    EXPECT_EQ(firstLine, Bytes({0x3C, 0, 0, 0}));
    EXPECT_EQ(otherLine, "") << "the other line never enabled automatic status back";
    EXPECT_EQ(other.Feed("\x10\x04\x02"), "\x16");
    Printer.Feed("refused\n\x1dV\x01");
    EXPECT_TRUE(Printer.Written().empty());
    levers.Set({});
    Printer.Feed("printed\n\x1dV\x01");
    EXPECT_EQ(Printer.Written().size(), 1u);
    levers.Detach(Printer);
    levers.Set({Paper::Ok, true});
    EXPECT_EQ(firstLine.size(), 8u) << "a detached line is told nothing";
}

} // namespace
