#include "serial/ComMapping.h"
#include "serial/CPort.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(BuildDCB, InitialSettingsGiveAPlainLine) {
    TComPort port(nullptr);
    const DCB dcb = BuildDCB(port.LineSettings());
    DCB expected{};
    expected.DCBlength = 28;
    expected.BaudRate = 9600;
    expected.fBinary = 1;
    expected.XonLim = 256;
    expected.XoffLim = 256;
    expected.ByteSize = 8;
    expected.Parity = NOPARITY;
    expected.StopBits = ONESTOPBIT;
    expected.XonChar = 17;
    expected.XoffChar = 19;
    // Every other member, flags and reserved fields included, is zero.
    EXPECT_EQ(std::memcmp(&dcb, &expected, sizeof(DCB)), 0);
}

TEST(BuildDCB, FlowControlSummaryReachesTheFlags) {
    TComPort port(nullptr);
    port.FlowControl().SetFlowControl(fcHardware);
    DCB dcb = BuildDCB(port.LineSettings());
    EXPECT_EQ(dcb.fOutxCtsFlow, 1u);
    EXPECT_EQ(dcb.fRtsControl, RTS_CONTROL_HANDSHAKE);
    EXPECT_EQ(dcb.fOutX, 0u);
    port.FlowControl().SetFlowControl(fcSoftware);
    dcb = BuildDCB(port.LineSettings());
    EXPECT_EQ(dcb.fOutX, 1u);
    EXPECT_EQ(dcb.fInX, 1u);
    EXPECT_EQ(dcb.fOutxCtsFlow, 0u);
    EXPECT_EQ(dcb.fRtsControl, RTS_CONTROL_DISABLE);

    port.FlowControl().SetControlDTR(dtrHandshake);
    port.FlowControl().SetOutDSRFlow(true);
    port.FlowControl().SetDSRSensitivity(true);
    port.FlowControl().SetTxContinueOnXoff(true);
    port.FlowControl().SetXonChar('a');
    port.FlowControl().SetXoffChar('b');
    dcb = BuildDCB(port.LineSettings());
    EXPECT_EQ(dcb.fDtrControl, DTR_CONTROL_HANDSHAKE);
    EXPECT_EQ(dcb.fOutxDsrFlow, 1u);
    EXPECT_EQ(dcb.fDsrSensitivity, 1u);
    EXPECT_EQ(dcb.fTXContinueOnXoff, 1u);
    EXPECT_EQ(dcb.XonChar, 'a');
    EXPECT_EQ(dcb.XoffChar, 'b');
}

TEST(BuildDCB, FlowLimitsAreAQuarterOfTheInputBufferIn16Bits) {
    TComPort port(nullptr);
    const std::pair<std::int32_t, WORD> cases[] = {
        {4096, 1024}, {2, 0}, {262144, 0}, {262148, 1}, {400000, 100000 - 65536}};
    for (auto [input, limit] : cases) {
        port.Buffer().SetInputSize(input);
        const DCB dcb = BuildDCB(port.LineSettings());
        EXPECT_EQ(dcb.XonLim, limit) << input;
        EXPECT_EQ(dcb.XoffLim, limit) << input;
    }
}

TEST(BuildDCB, SpeedFrameAndParity) {
    TComPort port(nullptr);
    port.SetCustomBaudRate(7200);
    EXPECT_EQ(BuildDCB(port.LineSettings()).BaudRate, 9600u); // ignored unless brCustom
    port.SetBaudRate(brCustom);
    EXPECT_EQ(BuildDCB(port.LineSettings()).BaudRate, 7200u);
    port.SetBaudRate(br256000);
    EXPECT_EQ(BuildDCB(port.LineSettings()).BaudRate, 256000u);

    port.SetDataBits(dbFive);
    port.SetStopBits(sbOne5StopBits);
    port.Parity().SetBits(prMark);
    port.SetDiscardNull(true);
    port.SetEventChar('\n');
    DCB dcb = BuildDCB(port.LineSettings());
    EXPECT_EQ(dcb.ByteSize, 5);
    EXPECT_EQ(dcb.StopBits, ONE5STOPBITS);
    EXPECT_EQ(dcb.Parity, MARKPARITY);
    EXPECT_EQ(dcb.fParity, 0u); // the scheme goes to the device; checking is separate
    EXPECT_EQ(dcb.fNull, 1u);
    EXPECT_EQ(dcb.EvtChar, '\n');

    port.Parity().SetReplaceChar('?');
    port.Parity().SetReplace(true);
    dcb = BuildDCB(port.LineSettings());
    EXPECT_EQ(dcb.fErrorChar, 0u); // replace without check
    EXPECT_EQ(dcb.ErrorChar, 0);
    port.Parity().SetCheck(true);
    dcb = BuildDCB(port.LineSettings());
    EXPECT_EQ(dcb.fParity, 1u);
    EXPECT_EQ(dcb.fErrorChar, 1u);
    EXPECT_EQ(dcb.ErrorChar, '?');
    port.Parity().SetReplace(false);
    dcb = BuildDCB(port.LineSettings());
    EXPECT_EQ(dcb.fParity, 1u);
    EXPECT_EQ(dcb.fErrorChar, 0u);
    EXPECT_EQ(dcb.ErrorChar, 0);
}

TEST(BuildCommTimeouts, MinusOneMeansNoWaitingAndOthersPassAsBitPatterns) {
    TComTimeouts t;
    COMMTIMEOUTS c = BuildCommTimeouts(t.Values());
    EXPECT_EQ(c.ReadIntervalTimeout, 0xFFFFFFFFu);
    EXPECT_EQ(c.ReadTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(c.ReadTotalTimeoutConstant, 0u);
    EXPECT_EQ(c.WriteTotalTimeoutMultiplier, 100u);
    EXPECT_EQ(c.WriteTotalTimeoutConstant, 1000u);
    t.SetReadInterval(-2);
    t.SetReadTotalMultiplier(-1);
    t.SetReadTotalConstant(7);
    t.SetWriteTotalMultiplier(0);
    t.SetWriteTotalConstant(2147483647);
    c = BuildCommTimeouts(t.Values());
    EXPECT_EQ(c.ReadIntervalTimeout, 0xFFFFFFFEu);
    EXPECT_EQ(c.ReadTotalTimeoutMultiplier, 0xFFFFFFFFu);
    EXPECT_EQ(c.ReadTotalTimeoutConstant, 7u);
    EXPECT_EQ(c.WriteTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(c.WriteTotalTimeoutConstant, 0x7FFFFFFFu);
}

TEST(EventMasks, MapBothWaysAndIgnoreUnknownBits) {
    EXPECT_EQ(EventsToMask(TComEvents::All()), 0x05FFu);
    EXPECT_EQ(EventsToMask({}), 0u);
    EXPECT_EQ(EventsToMask({evTxEmpty, evRxFlag}), EV_TXEMPTY | EV_RXFLAG);
    EXPECT_EQ(MaskToEvents(0x0081), (TComEvents{evRxChar, evError}));
    EXPECT_TRUE(MaskToEvents(0x0200 | 0x0800 | 0x1000).Empty());
    EXPECT_EQ(MaskToEvents(0xFFFFFFFF), TComEvents::All());
    for (unsigned i = 0; i < 10; ++i) {
        const auto e = static_cast<TComEvent>(i);
        EXPECT_EQ(MaskToEvents(EventsToMask({e})), TComEvents{e}) << i;
    }
}

TEST(StatusWords, GiveModemSignalsAndLineErrors) {
    EXPECT_EQ(ModemStatusToSignals(0x00F0), (TModemSignals{msCTS, msDSR, msRing, msRLSD}));
    EXPECT_TRUE(ModemStatusToSignals(0x0000).Empty());
    EXPECT_EQ(ModemStatusToSignals(MS_DSR_ON | 0x0F), TModemSignals{msDSR});

    const DWORD all =
        CE_FRAME | CE_RXPARITY | CE_OVERRUN | CE_BREAK | CE_IOE | CE_MODE | CE_RXOVER | CE_TXFULL;
    EXPECT_EQ(ErrorWordToErrors(all, true), TComErrors::All());
    EXPECT_EQ(ErrorWordToErrors(all, false), TComErrors::All() - TComErrors{ceRxParity});
    EXPECT_TRUE(ErrorWordToErrors(CE_RXPARITY, false).Empty());
    EXPECT_TRUE(ErrorWordToErrors(CE_PTO | CE_DNS | CE_OOP, true).Empty());
}

} // namespace
