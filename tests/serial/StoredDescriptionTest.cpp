#include "serial/CPort.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::ElementsAre;
using ::testing::Pair;

namespace {

TEST(PortDescription, ANewPortListsOnlyTheSettingsThatAreAlwaysWritten) {
    TComPort port(nullptr);
    EXPECT_THAT(
        port.StoredDescription(),
        ElementsAre(
            Pair("BaudRate", "br9600"), Pair("Port", "COM1"), Pair("Parity.Bits", "prNone"),
            Pair("StopBits", "sbOneStopBit"), Pair("DataBits", "dbEight"),
            Pair("Events", "[evRxChar,evTxEmpty,evRxFlag,evRing,evBreak,evCTS,"
                           "evDSR,evError,evRLSD,evRx80Full]"),
            Pair("FlowControl.OutCTSFlow", "False"), Pair("FlowControl.OutDSRFlow", "False"),
            Pair("FlowControl.ControlDTR", "dtrDisable"),
            Pair("FlowControl.ControlRTS", "rtsDisable"), Pair("FlowControl.XonXoffOut", "False"),
            Pair("FlowControl.XonXoffIn", "False")));
}

TEST(PortDescription, ChangedDefaultsAppearAndEmptyPortDisappears) {
    TComPort port(nullptr);
    port.SetPort("");
    port.SetDiscardNull(true);
    port.SetEventChar('\r');
    port.SetSyncMethod(smWindowSync);
    port.Buffer().SetInputSize(4096);
    port.Timeouts().SetReadInterval(20);
    port.FlowControl().SetXonChar('\xF0');
    port.Parity().SetCheck(true);
    port.SetEvents({});
    const auto d = port.StoredDescription();
    auto has = [&](const std::string& name, const std::string& value) {
        return std::find(d.begin(), d.end(), std::make_pair(name, value)) != d.end();
    };
    EXPECT_TRUE(has("DiscardNull", "True"));
    EXPECT_TRUE(has("EventChar", "13"));
    EXPECT_TRUE(has("SyncMethod", "smWindowSync"));
    EXPECT_TRUE(has("Buffer.InputSize", "4096"));
    EXPECT_TRUE(has("Timeouts.ReadInterval", "20"));
    EXPECT_TRUE(has("FlowControl.XonChar", "240"));
    EXPECT_TRUE(has("Parity.Check", "True"));
    EXPECT_TRUE(has("Events", "[]"));
    for (const auto& entry : d)
        EXPECT_NE(entry.first, "Port");
}

TEST(PortDescription, LoadingADescriptionAppliesNothingUntilItEnds) {
    struct TCountingPort : TComPort {
        using TComPort::TComPort;
        void ApplyLineSettings() override { ++Applied; }
        int Applied = 0;
    };
    TComPort source(nullptr);
    source.SetPort("ttyUSB0");
    source.SetBaudRate(br115200);
    source.FlowControl().SetFlowControl(fcHardware);
    source.Parity().SetBits(prEven);
    source.SetSyncMethod(smNone);
    source.SetEvents({evRxChar, evError});

    TCountingPort port(nullptr);
    port.LoadStoredDescription(source.StoredDescription());
    EXPECT_EQ(port.Port(), "ttyUSB0");
    EXPECT_EQ(port.BaudRate(), br115200);
    EXPECT_EQ(port.FlowControl().FlowControl(), fcHardware);
    EXPECT_EQ(port.Parity().Bits(), prEven);
    EXPECT_EQ(port.SyncMethod(), smNone);
    EXPECT_EQ(port.Events(), (TComEvents{evRxChar, evError}));
    EXPECT_FALSE(port.Loading());
    EXPECT_EQ(port.StoredDescription(), source.StoredDescription());
}

} // namespace
