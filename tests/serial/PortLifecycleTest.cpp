#include "PortTestSupport.h"

#include "runtime/Application.h"
#include "serial/ComMapping.h"

#include <gmock/gmock.h>

#include <cstring>

using platform::CommCallKind;
using porttest::EventLog;
using porttest::SimulatedPort;
using ::testing::ElementsAre;

namespace {

DCB DcbOf(const SimulatedPort& Sim) {
    for (const auto& call : Sim.Device->Calls())
        if (call.Kind == CommCallKind::SetCommState)
            return call.Dcb;
    ADD_FAILURE() << "no SetCommState call";
    return {};
}

TEST(OpenPort, ConfiguresTheDeviceInOrderFromTheSettings) {
    SimulatedPort sim("simopen");
    TComPort port(nullptr);
    port.SetPort(sim.Name);
    port.SetEvents({});
    port.OpenPort();
    ASSERT_TRUE(port.Connected());
    EXPECT_NE(port.DeviceHandle(), INVALID_HANDLE_VALUE);
    EXPECT_FALSE(port.ThreadCreated());
    EXPECT_EQ(sim.Device->OpenCount(), 1);
    // Without events no thread runs, so the log holds exactly the port's own calls: the three
    // configuration steps, then the line signals read for the report after opening.
    EXPECT_THAT(sim.Device->CallKinds(),
                ElementsAre(CommCallKind::CreateFile, CommCallKind::SetupComm,
                            CommCallKind::SetCommState, CommCallKind::SetCommTimeouts,
                            CommCallKind::GetCommModemStatus, CommCallKind::GetCommModemStatus,
                            CommCallKind::GetCommModemStatus));
    const auto calls = sim.Device->Calls();
    EXPECT_EQ(calls[1].Value, 1024u);
    EXPECT_EQ(calls[1].Value2, 1024u);
    const DCB expected = BuildDCB(port.LineSettings());
    EXPECT_EQ(std::memcmp(&calls[2].Dcb, &expected, sizeof(DCB)), 0);
    EXPECT_EQ(calls[3].Timeouts.ReadIntervalTimeout, 0xFFFFFFFFu);
    EXPECT_EQ(calls[3].Timeouts.ReadTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(calls[3].Timeouts.ReadTotalTimeoutConstant, 0u);
    EXPECT_EQ(calls[3].Timeouts.WriteTotalTimeoutMultiplier, 100u);
    EXPECT_EQ(calls[3].Timeouts.WriteTotalTimeoutConstant, 1000u);

    port.ClosePort();
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(port.DeviceHandle(), INVALID_HANDLE_VALUE);
    EXPECT_FALSE(sim.Device->IsOpen());
}

TEST(OpenPort, WithEventsStartsTheThreadAfterConfiguring) {
    SimulatedPort sim("simthread");
    TComPort port(nullptr);
    port.SetPort(sim.Name);
    port.OpenPort();
    EXPECT_TRUE(port.ThreadCreated());
    ASSERT_NE(port.EventThread(), nullptr);
    const auto kinds = sim.Device->CallKinds();
    ASSERT_GE(kinds.size(), 5u);
    EXPECT_THAT(std::vector<CommCallKind>(kinds.begin(), kinds.begin() + 5),
                ElementsAre(CommCallKind::CreateFile, CommCallKind::SetupComm,
                            CommCallKind::SetCommState, CommCallKind::SetCommTimeouts,
                            CommCallKind::SetCommMask));
    // Every event but those only a handler hears, and no handler is assigned.
    EXPECT_EQ(sim.Device->Calls()[4].Value, 0x00B9u);
    port.ClosePort();
    EXPECT_EQ(port.EventThread(), nullptr);
    EXPECT_FALSE(port.ThreadCreated());
}

TEST(OpenPort, HandsEachSettingToTheDevice) {
    struct Case {
        const char* Name;
        std::function<void(TComPort&)> Set;
        std::function<void(const DCB&)> Check;
    };
    const Case cases[] = {
        {"hardware flow", [](TComPort& p) { p.FlowControl().SetFlowControl(fcHardware); },
         [](const DCB& d) {
             EXPECT_EQ(d.fOutxCtsFlow, 1u);
             EXPECT_EQ(d.fRtsControl, RTS_CONTROL_HANDSHAKE);
         }},
        {"software flow", [](TComPort& p) { p.FlowControl().SetFlowControl(fcSoftware); },
         [](const DCB& d) {
             EXPECT_EQ(d.fOutX, 1u);
             EXPECT_EQ(d.fInX, 1u);
         }},
        {"input 4096", [](TComPort& p) { p.Buffer().SetInputSize(4096); },
         [](const DCB& d) { EXPECT_EQ(d.XonLim, 1024); }},
        {"input 2", [](TComPort& p) { p.Buffer().SetInputSize(2); },
         [](const DCB& d) { EXPECT_EQ(d.XoffLim, 0); }},
        {"custom 7200",
         [](TComPort& p) {
             p.SetBaudRate(brCustom);
             p.SetCustomBaudRate(7200);
         },
         [](const DCB& d) { EXPECT_EQ(d.BaudRate, 7200u); }},
        {"parity check",
         [](TComPort& p) {
             p.Parity().SetBits(prEven);
             p.Parity().SetCheck(true);
             p.Parity().SetReplaceChar('?');
         },
         [](const DCB& d) {
             EXPECT_EQ(d.Parity, EVENPARITY);
             EXPECT_EQ(d.fParity, 1u);
             EXPECT_EQ(d.fErrorChar, 0u);
             EXPECT_EQ(d.ErrorChar, 0);
         }},
    };
    for (const auto& c : cases) {
        SimulatedPort sim("simsettings");
        TComPort port(nullptr);
        port.SetPort(sim.Name);
        port.SetEvents({});
        c.Set(port);
        port.OpenPort();
        SCOPED_TRACE(c.Name);
        c.Check(DcbOf(sim));
    }

    SimulatedPort sim("simtimeouts");
    TComPort port(nullptr);
    port.SetPort(sim.Name);
    port.SetEvents({});
    port.Timeouts().SetReadInterval(-2);
    port.Buffer().SetInputSize(300000);
    port.OpenPort();
    for (const auto& call : sim.Device->Calls()) {
        if (call.Kind == CommCallKind::SetCommTimeouts) {
            EXPECT_EQ(call.Timeouts.ReadIntervalTimeout, 0xFFFFFFFEu);
        }
        if (call.Kind == CommCallKind::SetupComm) {
            EXPECT_EQ(call.Value, 300000u);
        }
    }
    EXPECT_EQ(DcbOf(sim).XonLim, static_cast<WORD>(75000));
}

TEST(OpenPort, ASettingChangedWhileOpenReachesTheDeviceOnce) {
    SimulatedPort sim("simchange");
    TComPort port(nullptr);
    port.SetPort(sim.Name);
    port.SetEvents({});
    port.OpenPort();
    const int states = sim.Count(CommCallKind::SetCommState);
    port.SetBaudRate(br9600); // unchanged
    port.Buffer().SetInputSize(1024);
    EXPECT_EQ(sim.Count(CommCallKind::SetCommState), states);
    EXPECT_EQ(sim.Count(CommCallKind::SetupComm), 1);
    port.SetBaudRate(br19200);
    EXPECT_EQ(sim.Count(CommCallKind::SetCommState), states + 1);
    EXPECT_EQ(sim.Device->Calls().back().Dcb.BaudRate, 19200u);
    port.Timeouts().SetWriteTotalConstant(5);
    EXPECT_EQ(sim.Count(CommCallKind::SetCommTimeouts), 2);
    port.Buffer().SetOutputSize(4096);
    EXPECT_EQ(sim.Count(CommCallKind::SetupComm), 2);
    port.FlowControl().SetFlowControl(fcCustom); // applies even though nothing changed
    EXPECT_EQ(sim.Count(CommCallKind::SetCommState), states + 2);

    EXPECT_THROW(
        {
            try {
                port.SetSyncMethod(smNone);
            } catch (const EComPort& e) {
                EXPECT_EQ(e.PortErrorCode(), pePropertyWhileOpen);
                EXPECT_STREQ(e.what(), "Cannot set property while connected");
                throw;
            }
        },
        EComPort);
    EXPECT_EQ(port.SyncMethod(), smThreadSync);
    port.SetSyncMethod(smThreadSync); // its current value never fails
}

TEST(OpenPort, ARefusedSettingStaysStoredAndThePortStaysOpen) {
    SimulatedPort sim("simrefuse");
    TComPort port(nullptr);
    port.SetPort(sim.Name);
    port.SetEvents({});
    port.OpenPort();
    sim.Device->FailCall(CommCallKind::SetCommState, 1, ERROR_INVALID_PARAMETER);
    try {
        port.SetDataBits(dbFive);
        FAIL() << "the refusal must reach the caller";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.PortErrorCode(), peSetCommState);
        EXPECT_EQ(e.OsErrorCode(), 87);
    }
    EXPECT_EQ(port.DataBits(), dbFive);
    EXPECT_TRUE(port.Connected());
}

TEST(OpenPort, FailuresLeaveThePortClosedAndSayWhy) {
    struct Case {
        CommCallKind Kind;
        std::int32_t Code;
    };
    for (const Case c : {Case{CommCallKind::SetupComm, peSetupComm},
                         Case{CommCallKind::SetCommState, peSetCommState},
                         Case{CommCallKind::SetCommTimeouts, peSetCommTimeouts}}) {
        SimulatedPort sim("simfail");
        sim.Device->FailCall(c.Kind, 1, ERROR_GEN_FAILURE);
        TComPort port(nullptr);
        port.SetPort(sim.Name);
        EventLog log;
        log.Attach(port);
        try {
            port.OpenPort();
            ADD_FAILURE() << "opened despite a failing step";
        } catch (const EComPort& e) {
            EXPECT_EQ(e.PortErrorCode(), c.Code);
            EXPECT_EQ(e.OsErrorCode(), static_cast<std::int32_t>(ERROR_GEN_FAILURE));
        }
        EXPECT_FALSE(port.Connected());
        EXPECT_EQ(port.DeviceHandle(), INVALID_HANDLE_VALUE);
        EXPECT_FALSE(port.ThreadCreated());
        EXPECT_FALSE(sim.Device->IsOpen());
        EXPECT_THAT(log.Take(), ElementsAre("BeforeOpen"));
    }

    TComPort port(nullptr);
    port.SetPort("no-such-device-here");
    EventLog log;
    log.Attach(port);
    try {
        port.OpenPort();
        FAIL() << "opened a missing device";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.PortErrorCode(), peOpenPort);
        EXPECT_NE(e.OsErrorCode(), -1);
        EXPECT_EQ(std::string(e.what()).rfind("Unable to open com port (win error code: ", 0), 0u);
    }
    EXPECT_FALSE(port.Connected());
    EXPECT_THAT(log.Take(), ElementsAre("BeforeOpen"));
}

TEST(OpenPort, HandlerErrorsLeaveTheStateTheyFound) {
    SimulatedPort sim("simhandler");
    TComPort port(nullptr);
    port.SetPort(sim.Name);
    port.SetEvents({});
    port.OnBeforeOpen = [](TObject*) { throw std::runtime_error("not now"); };
    EXPECT_THROW(port.OpenPort(), std::runtime_error);
    EXPECT_EQ(sim.Device->OpenCount(), 0);
    EXPECT_FALSE(port.Connected());

    port.OnBeforeOpen = nullptr;
    sim.Device->FailCall(CommCallKind::GetCommModemStatus, 1, ERROR_GEN_FAILURE);
    try {
        port.OpenPort();
        FAIL() << "the line-signal report's error must reach the caller";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.PortErrorCode(), peGetModemStatus);
    }
    EXPECT_TRUE(port.Connected()); // left open, as configured

    port.OnBeforeClose = [](TObject*) { throw std::runtime_error("busy"); };
    EXPECT_THROW(port.ClosePort(), std::runtime_error);
    EXPECT_TRUE(port.Connected());
    EXPECT_TRUE(sim.Device->IsOpen());
    port.OnBeforeClose = nullptr;
    port.ClosePort();
    EXPECT_FALSE(sim.Device->IsOpen());
}

// A device with no modem lines to report (Windows' ERROR_NOT_SUPPORTED) opens all the same, its
// lines reported off.
TEST(OpenPort, ADeviceWithoutModemLinesOpensWithTheLinesOff) {
    SimulatedPort sim("simnolines");
    std::vector<bool> reported; // outlives the port, whose close reports the lines once more
    TComPort port(nullptr);
    port.SetPort(sim.Name);
    port.SetEvents({});
    port.OnCTSChange = [&](TObject*, bool on) { reported.push_back(on); };
    for (int call = 1; call <= 4; ++call)
        sim.Device->FailCall(CommCallKind::GetCommModemStatus, call, ERROR_NOT_SUPPORTED);
    port.OpenPort();
    EXPECT_TRUE(port.Connected());
    EXPECT_EQ(reported, std::vector<bool>{false});
    EXPECT_TRUE(port.ReadModemSignals().Empty());
}

TEST(ClosePort, APurgeFailureLeavesThePortOpenWithItsThread) {
    SimulatedPort sim("simpurge");
    TComPort port(nullptr);
    port.SetPort(sim.Name);
    EventLog log;
    log.Attach(port);
    port.OpenPort();
    log.Take();
    sim.Device->FailCall(CommCallKind::PurgeComm, 1, ERROR_GEN_FAILURE);
    try {
        port.ClosePort();
        FAIL() << "the purge failure must reach the caller";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.PortErrorCode(), pePurgeComm);
    }
    EXPECT_TRUE(port.Connected());
    EXPECT_TRUE(port.ThreadCreated());
    EXPECT_THAT(log.Take(), ElementsAre("CTS off", "DSR off", "RLSD off", "BeforeClose"));
    port.ClosePort();
    EXPECT_FALSE(port.Connected());
}

TEST(Lifecycle, AClosingPortMeetsItsFirstEventAtAnyMoment) {
    // The first event starts the event thread while the port may be closing: whichever comes
    // first, the close ends the thread and the device, in every delivery mode.
    porttest::HangGuard guard("close racing the first event");
    for (TSyncMethod mode : {smThreadSync, smWindowSync, smNone}) {
        SCOPED_TRACE(mode);
        SimulatedPort sim("simrace");
        TComPort port(nullptr);
        port.SetPort(sim.Name);
        port.SetSyncMethod(mode);
        port.OnRxChar = [](TObject*, std::int32_t) {};
        for (int i = 0; i < 100; ++i) {
            port.OpenPort();
            sim.Device->Feed({'x'});
            port.ClosePort();
            ASSERT_FALSE(sim.Device->IsOpen());
            ASSERT_EQ(port.EventThread(), nullptr);
        }
    }
}

TEST(Lifecycle, EventsComeInOrderAroundOpenCloseAndReopen) {
    SimulatedPort first("simfirst");
    SimulatedPort second("simsecond");
    first.Device->SetLines(MS_CTS_ON | MS_RLSD_ON);
    TComPort port(nullptr);
    port.SetPort(first.Name);
    port.SetEvents({});
    EventLog log;
    log.Attach(port);
    bool closedDuringAfterClose = false;
    port.OnAfterClose = [&](TObject*) {
        closedDuringAfterClose = !first.Device->IsOpen() && !port.Connected();
        log.Add("AfterClose");
    };

    port.OpenPort();
    port.OpenPort(); // already open: nothing
    EXPECT_THAT(log.Take(), ElementsAre("BeforeOpen", "AfterOpen", "CTS on", "DSR off", "RLSD on"));

    port.SetPort(second.Name);
    EXPECT_THAT(log.Take(),
                ElementsAre("CTS off", "DSR off", "RLSD off", "BeforeClose", "AfterClose",
                            "BeforeOpen", "AfterOpen", "CTS off", "DSR off", "RLSD off"));
    EXPECT_TRUE(closedDuringAfterClose);
    EXPECT_TRUE(second.Device->IsOpen());

    EXPECT_THROW(port.SetPort("com-missing"), EComPort);
    EXPECT_FALSE(port.Connected()); // reopening failed: left closed, new name kept
    EXPECT_EQ(port.Port(), "com-missing");
    log.Take();
    port.ClosePort(); // closed already: nothing
    EXPECT_TRUE(log.Take().empty());
}

TEST(Lifecycle, DestroyingAnOpenPortClosesIt) {
    SimulatedPort sim("simdestroy");
    EventLog log;
    {
        TComPort port(nullptr);
        port.SetPort(sim.Name);
        port.OpenPort();
        log.Attach(port);
    }
    EXPECT_FALSE(sim.Device->IsOpen());
    EXPECT_THAT(log.Take(),
                ElementsAre("CTS off", "DSR off", "RLSD off", "BeforeClose", "AfterClose"));
}

// A port that replaces steps of the close path, and so closes in its own destructor, where
// C++ still calls its overrides.
class TAuditedPort : public TComPort {
public:
    TAuditedPort(std::vector<std::string>& ALog, bool ACloseItself)
        : TComPort(nullptr), Log(ALog), CloseItself(ACloseItself) {}
    ~TAuditedPort() override {
        if (CloseItself)
            ClosePort();
    }

protected:
    void FireBeforeClose() override { Log.push_back("own BeforeClose"); }
    void FireAfterClose() override { Log.push_back("own AfterClose"); }
    void CloseDeviceHandle() override {
        Log.push_back("own CloseDeviceHandle");
        TComPort::CloseDeviceHandle();
    }

private:
    std::vector<std::string>& Log;
    bool CloseItself;
};

TEST(Lifecycle, ADerivedPortThatClosesInItsOwnDestructorKeepsItsOverrides) {
    for (bool closeItself : {true, false}) {
        SimulatedPort sim("simderived");
        std::vector<std::string> log;
        {
            TAuditedPort port(log, closeItself);
            port.SetPort(sim.Name);
            port.OpenPort();
        }
        EXPECT_FALSE(sim.Device->IsOpen());
        if (closeItself)
            EXPECT_THAT(log,
                        ElementsAre("own BeforeClose", "own CloseDeviceHandle", "own AfterClose"));
        else // only the base destructor's safety net: the overrides are out of reach there
            EXPECT_TRUE(log.empty());
    }
}

TEST(Lifecycle, ConnectedOpensAndClosesButOnlyRecordsWhileLoading) {
    SimulatedPort sim("simload");
    TComPort port(nullptr);
    port.SetPort(sim.Name);
    port.SetConnected(true);
    EXPECT_TRUE(sim.Device->IsOpen());
    port.SetConnected(false);
    EXPECT_FALSE(sim.Device->IsOpen());

    port.BeginLoading();
    port.SetConnected(true);
    port.SetSyncMethod(smNone);
    EXPECT_EQ(sim.Device->OpenCount(), 1);
    port.FinishLoading();
    EXPECT_EQ(sim.Device->OpenCount(), 2);
    EXPECT_TRUE(port.Connected());
    port.ClosePort();

    // A description that opens a missing device hands the error to the application's handler.
    std::string reported;
    SetApplicationErrorHandler([&](std::exception_ptr e) { reported = ExceptionMessage(e); });
    TComPort other(nullptr);
    other.LoadStoredDescription({{"Connected", "True"}, {"Port", "com-missing-too"}});
    SetApplicationErrorHandler(nullptr);
    EXPECT_FALSE(other.Connected());
    EXPECT_EQ(reported.rfind("Unable to open com port", 0), 0u);
}

TEST(Links, AnObserverHearsOnlyWhatItAssigned) {
    SimulatedPort sim("simlink");
    TComPort port(nullptr);
    port.SetPort(sim.Name);
    std::vector<bool> connection;
    TPortLink link;
    link.ConnectionChanged = [&](TObject* sender, bool on) {
        EXPECT_EQ(sender, &port);
        connection.push_back(on);
    };
    port.AttachLink(&link);
    EXPECT_THROW(port.AttachLink(&link), EComPort);
    port.OpenPort();
    EXPECT_THROW(port.DetachLink(&link), EComPort); // not while open
    port.SendText("abc");
    port.ClosePort();
    EXPECT_EQ(connection, (std::vector<bool>{true, false}));

    std::vector<std::string> seen;
    TPortLink full;
    full.TransmittingChanged = [&](TObject*, bool on) { seen.push_back(on ? "tx on" : "tx off"); };
    full.TxBufferWritten = [&](TObject*, const void* data, std::int32_t n) {
        seen.push_back("written " + std::string(static_cast<const char*>(data), n));
    };
    port.DetachLink(&link);
    port.AttachLink(&full);
    port.SetEvents({});
    port.OpenPort();
    port.SendText("xyz");
    port.ClosePort();
    EXPECT_EQ(seen, (std::vector<std::string>{"tx on", "written xyz"}));
}

} // namespace
