#include "serial/CPort.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

// Counts each apply operation, so tests see which group a setter applies and how often.
class TCountingPort : public TComPort {
public:
    using TComPort::TComPort;
    void ApplyLineSettings() override { ++LineCount; }
    void ApplyTimeoutValues() override { ++TimeoutCount; }
    void ApplyBufferSizes() override { ++BufferCount; }
    int Total() const { return LineCount + TimeoutCount + BufferCount; }
    int LineCount = 0;
    int TimeoutCount = 0;
    int BufferCount = 0;
};

TEST(NewPort, StartsWithItsInitialSettings) {
    TComPort port(nullptr);
    EXPECT_EQ(port.BaudRate(), br9600);
    EXPECT_EQ(port.CustomBaudRate(), 9600);
    EXPECT_EQ(port.Port(), "COM1");
    EXPECT_EQ(port.StopBits(), sbOneStopBit);
    EXPECT_EQ(port.DataBits(), dbEight);
    EXPECT_EQ(port.Parity().Bits(), prNone);
    EXPECT_FALSE(port.Parity().Check());
    EXPECT_EQ(port.Events(), TComEvents::All());
    EXPECT_EQ(port.SyncMethod(), smThreadSync);
    EXPECT_EQ(port.SettingsGroups(), TSettingsGroups{sgLine});
    EXPECT_EQ(port.FlowControl().FlowControl(), fcNone);
    EXPECT_EQ(port.FlowControl().XonChar(), 17);
    EXPECT_EQ(port.FlowControl().XoffChar(), 19);
    EXPECT_EQ(port.Buffer().InputSize(), 1024);
    EXPECT_EQ(port.Buffer().OutputSize(), 1024);
    EXPECT_EQ(port.Timeouts().ReadInterval(), -1);
    EXPECT_EQ(port.Timeouts().ReadTotalMultiplier(), 0);
    EXPECT_EQ(port.Timeouts().ReadTotalConstant(), 0);
    EXPECT_EQ(port.Timeouts().WriteTotalMultiplier(), 100);
    EXPECT_EQ(port.Timeouts().WriteTotalConstant(), 1000);
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(port.DeviceHandle(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(port.EventThreadPriority(), tpNormal);
    EXPECT_EQ(port.Parity().ComPort(), &port);
    EXPECT_EQ(port.FlowControl().ComPort(), &port);
    EXPECT_EQ(port.Timeouts().ComPort(), &port);
    EXPECT_EQ(port.Buffer().ComPort(), &port);
    EXPECT_EQ(TComTimeouts().ComPort(), nullptr);
}

TEST(Setters, CompareFirstThenApplyTheirGroupOnce) {
    struct Case {
        const char* Name;
        std::function<void(TCountingPort&)> Change;
        int Line, Timeouts, Buffers;
    };
    const Case cases[] = {
        {"BaudRate", [](TCountingPort& p) { p.SetBaudRate(br115200); }, 1, 0, 0},
        {"CustomBaudRate", [](TCountingPort& p) { p.SetCustomBaudRate(7200); }, 1, 0, 0},
        {"DataBits", [](TCountingPort& p) { p.SetDataBits(dbSeven); }, 1, 0, 0},
        {"StopBits", [](TCountingPort& p) { p.SetStopBits(sbTwoStopBits); }, 1, 0, 0},
        {"DiscardNull", [](TCountingPort& p) { p.SetDiscardNull(true); }, 1, 0, 0},
        {"EventChar", [](TCountingPort& p) { p.SetEventChar('\r'); }, 1, 0, 0},
        {"Parity.Bits", [](TCountingPort& p) { p.Parity().SetBits(prMark); }, 1, 0, 0},
        {"Parity.Check", [](TCountingPort& p) { p.Parity().SetCheck(true); }, 1, 0, 0},
        {"Parity.Replace", [](TCountingPort& p) { p.Parity().SetReplace(true); }, 1, 0, 0},
        {"Parity.ReplaceChar", [](TCountingPort& p) { p.Parity().SetReplaceChar('?'); }, 1, 0, 0},
        {"OutCTSFlow", [](TCountingPort& p) { p.FlowControl().SetOutCTSFlow(true); }, 1, 0, 0},
        {"OutDSRFlow", [](TCountingPort& p) { p.FlowControl().SetOutDSRFlow(true); }, 1, 0, 0},
        {"ControlDTR", [](TCountingPort& p) { p.FlowControl().SetControlDTR(dtrEnable); }, 1, 0, 0},
        {"ControlRTS", [](TCountingPort& p) { p.FlowControl().SetControlRTS(rtsToggle); }, 1, 0, 0},
        {"XonXoffOut", [](TCountingPort& p) { p.FlowControl().SetXonXoffOut(true); }, 1, 0, 0},
        {"XonXoffIn", [](TCountingPort& p) { p.FlowControl().SetXonXoffIn(true); }, 1, 0, 0},
        {"DSRSensitivity", [](TCountingPort& p) { p.FlowControl().SetDSRSensitivity(true); }, 1, 0,
         0},
        {"TxContinueOnXoff", [](TCountingPort& p) { p.FlowControl().SetTxContinueOnXoff(true); }, 1,
         0, 0},
        {"XonChar", [](TCountingPort& p) { p.FlowControl().SetXonChar('A'); }, 1, 0, 0},
        {"XoffChar", [](TCountingPort& p) { p.FlowControl().SetXoffChar('B'); }, 1, 0, 0},
        {"ReadInterval", [](TCountingPort& p) { p.Timeouts().SetReadInterval(-2); }, 0, 1, 0},
        {"ReadTotalMultiplier", [](TCountingPort& p) { p.Timeouts().SetReadTotalMultiplier(5); }, 0,
         1, 0},
        {"ReadTotalConstant", [](TCountingPort& p) { p.Timeouts().SetReadTotalConstant(50); }, 0, 1,
         0},
        {"WriteTotalMultiplier", [](TCountingPort& p) { p.Timeouts().SetWriteTotalMultiplier(1); },
         0, 1, 0},
        {"WriteTotalConstant", [](TCountingPort& p) { p.Timeouts().SetWriteTotalConstant(0); }, 0,
         1, 0},
        {"InputSize", [](TCountingPort& p) { p.Buffer().SetInputSize(4096); }, 0, 0, 1},
        {"OutputSize", [](TCountingPort& p) { p.Buffer().SetOutputSize(2048); }, 0, 0, 1},
    };
    for (const auto& c : cases) {
        TCountingPort port(nullptr);
        c.Change(port);
        EXPECT_EQ(port.LineCount, c.Line) << c.Name;
        EXPECT_EQ(port.TimeoutCount, c.Timeouts) << c.Name;
        EXPECT_EQ(port.BufferCount, c.Buffers) << c.Name;
        // The same value again is no change and reaches no apply operation.
        c.Change(port);
        EXPECT_EQ(port.Total(), c.Line + c.Timeouts + c.Buffers) << c.Name << " repeated";
    }
}

TEST(Setters, StoredOnlySettingsApplyNothing) {
    TCountingPort port(nullptr);
    port.SetPort("com1"); // letter case counts: a new name
    port.SetEvents({evRxChar});
    port.SetSyncMethod(smNone); // refused only while open
    port.SetSettingsGroups({sgTimeouts});
    EXPECT_EQ(port.Port(), "com1");
    EXPECT_EQ(port.Events(), TComEvents{evRxChar});
    EXPECT_EQ(port.SyncMethod(), smNone);
    EXPECT_EQ(port.SettingsGroups(), TSettingsGroups{sgTimeouts});
    EXPECT_EQ(port.Total(), 0);
}

TEST(BufferSizes, APositiveOddSizeIsRoundedDown) {
    TCountingPort port(nullptr);
    const std::pair<std::int32_t, std::int32_t> cases[] = {
        {1025, 1024}, {1, 0}, {-3, -3}, {0, 0}, {4096, 4096}, {2147483647, 2147483646}};
    for (auto [given, stored] : cases) {
        port.Buffer().SetInputSize(given);
        EXPECT_EQ(port.Buffer().InputSize(), stored) << given;
        port.Buffer().SetOutputSize(given);
        EXPECT_EQ(port.Buffer().OutputSize(), stored) << given;
    }
    // 1025 is compared against the value passed in: stored 1024, so it applies again.
    port.Buffer().SetInputSize(1025);
    const int before = port.BufferCount;
    port.Buffer().SetInputSize(1025);
    EXPECT_EQ(port.BufferCount, before + 1);
    port.Buffer().SetInputSize(1024);
    EXPECT_EQ(port.BufferCount, before + 1);
}

TEST(FlowControlSummary, ReadsTheFourFieldsInOrder) {
    TComFlowControl f;
    EXPECT_EQ(f.FlowControl(), fcNone);
    f.SetControlDTR(dtrHandshake);
    f.SetOutDSRFlow(true);
    f.SetDSRSensitivity(true);
    f.SetTxContinueOnXoff(true);
    f.SetXonChar('x');
    EXPECT_EQ(f.FlowControl(), fcNone); // these never count
    f.SetControlRTS(rtsEnable);
    EXPECT_EQ(f.FlowControl(), fcCustom);
    f.SetControlRTS(rtsHandshake);
    EXPECT_EQ(f.FlowControl(), fcCustom); // handshake without CTS
    f.SetOutCTSFlow(true);
    EXPECT_EQ(f.FlowControl(), fcHardware);
    f.SetXonXoffIn(true);
    EXPECT_EQ(f.FlowControl(), fcCustom);
    f.SetControlRTS(rtsDisable);
    f.SetOutCTSFlow(false);
    EXPECT_EQ(f.FlowControl(), fcCustom); // only one direction of XON/XOFF
    f.SetXonXoffOut(true);
    EXPECT_EQ(f.FlowControl(), fcSoftware);
}

TEST(FlowControlSummary, SettingItRewritesOnlyTheFourFields) {
    TCountingPort port(nullptr);
    TComFlowControl& f = port.FlowControl();
    f.SetControlDTR(dtrEnable);
    f.SetOutDSRFlow(true);
    port.LineCount = 0;

    f.SetFlowControl(fcHardware);
    EXPECT_EQ(f.ControlRTS(), rtsHandshake);
    EXPECT_TRUE(f.OutCTSFlow());
    EXPECT_EQ(f.FlowControl(), fcHardware);

    f.SetFlowControl(fcSoftware);
    EXPECT_EQ(f.ControlRTS(), rtsDisable);
    EXPECT_FALSE(f.OutCTSFlow());
    EXPECT_TRUE(f.XonXoffIn());
    EXPECT_TRUE(f.XonXoffOut());

    f.SetFlowControl(fcNone);
    EXPECT_FALSE(f.XonXoffIn());
    EXPECT_FALSE(f.XonXoffOut());
    EXPECT_EQ(f.FlowControl(), fcNone);

    f.SetControlRTS(rtsToggle);
    port.LineCount = 0;
    f.SetFlowControl(fcCustom);
    EXPECT_EQ(f.ControlRTS(), rtsToggle);
    // Applied once per call, fcCustom and no-change calls included.
    f.SetFlowControl(fcCustom);
    EXPECT_EQ(port.LineCount, 2);

    EXPECT_EQ(f.ControlDTR(), dtrEnable);
    EXPECT_TRUE(f.OutDSRFlow());
}

TEST(CopySettings, CopiesEveryFieldWithoutApplyingOrTakingTheOwner) {
    TComPort other(nullptr);
    TComFlowControl& from = other.FlowControl();
    from.SetOutCTSFlow(true);
    from.SetOutDSRFlow(true);
    from.SetControlDTR(dtrHandshake);
    from.SetControlRTS(rtsToggle);
    from.SetXonXoffOut(true);
    from.SetXonXoffIn(true);
    from.SetDSRSensitivity(true);
    from.SetTxContinueOnXoff(true);
    from.SetXonChar('\xF1');
    from.SetXoffChar('\x00');

    TCountingPort port(nullptr);
    port.FlowControl().CopySettingsFrom(&from);
    const TComFlowControl& to = port.FlowControl();
    EXPECT_TRUE(to.OutCTSFlow());
    EXPECT_TRUE(to.OutDSRFlow());
    EXPECT_EQ(to.ControlDTR(), dtrHandshake);
    EXPECT_EQ(to.ControlRTS(), rtsToggle);
    EXPECT_TRUE(to.XonXoffOut());
    EXPECT_TRUE(to.XonXoffIn());
    EXPECT_TRUE(to.DSRSensitivity());
    EXPECT_TRUE(to.TxContinueOnXoff());
    EXPECT_EQ(to.XonChar(), '\xF1');
    EXPECT_EQ(to.XoffChar(), '\x00');
    EXPECT_EQ(to.ComPort(), &port);
    EXPECT_EQ(port.Total(), 0);

    TComTimeouts t;
    t.SetReadInterval(1);
    t.SetReadTotalMultiplier(2);
    t.SetReadTotalConstant(3);
    t.SetWriteTotalMultiplier(4);
    t.SetWriteTotalConstant(5);
    port.Timeouts().CopySettingsFrom(&t);
    EXPECT_EQ(port.Timeouts().ReadInterval(), 1);
    EXPECT_EQ(port.Timeouts().ReadTotalMultiplier(), 2);
    EXPECT_EQ(port.Timeouts().ReadTotalConstant(), 3);
    EXPECT_EQ(port.Timeouts().WriteTotalMultiplier(), 4);
    EXPECT_EQ(port.Timeouts().WriteTotalConstant(), 5);

    TComParity p;
    p.SetBits(prOdd);
    p.SetCheck(true);
    p.SetReplace(true);
    p.SetReplaceChar('#');
    port.Parity().Assign(p);
    EXPECT_EQ(port.Parity().Bits(), prOdd);
    EXPECT_TRUE(port.Parity().Check());
    EXPECT_TRUE(port.Parity().Replace());
    EXPECT_EQ(port.Parity().ReplaceChar(), '#');

    TComBuffer b;
    b.SetInputSize(8);
    b.SetOutputSize(6);
    port.Buffer().CopySettingsFrom(&b);
    EXPECT_EQ(port.Buffer().InputSize(), 8);
    EXPECT_EQ(port.Buffer().OutputSize(), 6);
    EXPECT_EQ(port.Total(), 0);
}

// A settings class derived from one of the four is an acceptable source.
class TSpecialTimeouts : public TComTimeouts {
public:
    const char* ClassName() const override { return "TSpecialTimeouts"; }
};

TEST(CopySettings, RefusesAnotherClassOrNoSourceAndChangesNothing) {
    TCountingPort port(nullptr);
    TComParity parity;
    parity.SetBits(prEven);
    auto expectRefusal = [](auto&& copy, const char* message) {
        try {
            copy();
            ADD_FAILURE() << "accepted: " << message;
        } catch (const EConvertError& e) {
            EXPECT_STREQ(e.what(), message);
        }
    };
    expectRefusal([&] { port.Timeouts().CopySettingsFrom(&parity); },
                  "Cannot assign a TComParity to a TComTimeouts");
    expectRefusal([&] { port.Buffer().CopySettingsFrom(nullptr); },
                  "Cannot assign a nil to a TComBuffer");
    expectRefusal([&] { port.FlowControl().Assign(&port.Buffer()); },
                  "Cannot assign a TComBuffer to a TComFlowControl");
    TComPort plain(nullptr);
    expectRefusal([&] { port.Parity().Assign(&plain); },
                  "Cannot assign a TComPort to a TComParity");
    EXPECT_EQ(port.Timeouts().ReadInterval(), -1);
    EXPECT_EQ(port.Parity().Bits(), prNone);

    TSpecialTimeouts special;
    special.SetWriteTotalConstant(42);
    port.SetTimeouts(special);
    EXPECT_EQ(port.Timeouts().WriteTotalConstant(), 42);
}

TEST(WholeObjectSetters, CopyIntoThePortsOwnObjectAndApplyOnce) {
    TCountingPort port(nullptr);
    TComParity* own = &port.Parity();
    TComParity parity;
    parity.SetBits(prSpace);
    port.SetParity(parity);
    EXPECT_EQ(&port.Parity(), own);
    EXPECT_EQ(port.Parity().Bits(), prSpace);
    EXPECT_EQ(port.Parity().ComPort(), &port);
    // Not compared first: the same values apply again.
    port.SetParity(parity);
    EXPECT_EQ(port.LineCount, 2);

    TComFlowControl flow;
    flow.SetFlowControl(fcHardware);
    port.SetFlowControl(flow);
    EXPECT_EQ(port.FlowControl().FlowControl(), fcHardware);
    EXPECT_EQ(port.LineCount, 3);

    port.SetTimeouts(TComTimeouts());
    EXPECT_EQ(port.TimeoutCount, 1);
    port.SetBuffer(TComBuffer());
    EXPECT_EQ(port.BufferCount, 1);
    EXPECT_EQ(port.Total(), 5);
}

TEST(Ownership, APortOwnedByAFormGoesWithIt) {
    auto* form = new TComponent(nullptr);
    auto* port = new TComPort(form);
    port->SetName("ComPort1");
    EXPECT_EQ(form->Components(0), port);
    delete form; // frees the port and its four settings objects (ASan would report a leak)
}

} // namespace
