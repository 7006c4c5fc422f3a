// The printer's status facts as the virtual printer answers them and the console reads them back:
// both sides work from one table, so every sensor reading must come back as it was set.
#include "console/status/PrinterStatus.h"
#include "console/status/StatusWatch.h"
#include "escpos/Printer.h"
#include "escpos/decoder/Decoder.h"

#include <gtest/gtest.h>

namespace {

using receipt::StatusFact;

TEST(StatusBits, EverySensorReadingComesBackFromRealTimeAndAutomaticStatus) {
    using Paper = escpos::Sensors::Paper;
    for (const Paper roll : {Paper::Ok, Paper::NearEnd, Paper::End})
        for (int bits = 0; bits < 8; ++bits) {
            const escpos::Sensors s{roll, (bits & 1) != 0, (bits & 2) != 0, (bits & 4) != 0};
            SCOPED_TRACE(static_cast<int>(roll) * 8 + bits);
            escpos::Printer p(escpos::Profile{});
            p.SetSensors(s);
            std::string answer;
            p.OnReply = [&](std::string_view Bytes) { answer += Bytes; };
            escpos::Decoder d([&](const escpos::Command& C) { p.Apply(C); });
            d.Feed("\x10\x04\x01\x10\x04\x02\x10\x04\x03\x10\x04\x04");
            d.Finish();
            ASSERT_EQ(answer.size(), 4u);
            console::TPrinterStatus status;
            for (std::size_t i = 0; i < 4; ++i)
                status.Bytes[i] = static_cast<std::uint8_t>(answer[i]);
            const console::TStatusFacts real = status.Facts();

            const std::string automatic = p.AutoStatus();
            ASSERT_EQ(automatic.size(), 4u);
            ASSERT_TRUE(console::IsAsbFirstByte(static_cast<std::uint8_t>(automatic[0])));
            std::array<std::uint8_t, 4> asb{};
            for (std::size_t i = 0; i < 4; ++i)
                asb[i] = static_cast<std::uint8_t>(automatic[i]);
            const console::TStatusFacts told = console::AsbFacts(asb);

            for (const receipt::StatusFactBits& row : receipt::StatusBitTable) {
                SCOPED_TRACE(static_cast<int>(row.Fact));
                const bool so = escpos::SensorsSay(s, row.Fact);
                EXPECT_EQ(real.*console::FactField(row.Fact), so);
                if (row.Automatic.Byte) {
                    EXPECT_EQ(told.*console::FactField(row.Fact), so);
                }
            }
            EXPECT_EQ(real.Online, !s.Offline());
            EXPECT_EQ(told.ErrorOccurred, false);
        }
}

} // namespace
