#include "PortTestSupport.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <future>
#include <utility>

using porttest::EventLog;
using porttest::ServeUntil;
using porttest::SimulatedPort;
using ::testing::ElementsAre;

namespace {

// Counts the times work is queued for the main thread, so a test knows the event thread is
// waiting to hand over a batch.
class QueuedWork {
public:
    QueuedWork() {
        SetWakeMainThread([this] {
            std::lock_guard g(Lock);
            ++Queued;
            Changed.notify_all();
        });
    }
    ~QueuedWork() { SetWakeMainThread(nullptr); }
    int Count() {
        std::lock_guard g(Lock);
        return Queued;
    }
    void WaitFor(int N) {
        std::unique_lock g(Lock);
        ASSERT_TRUE(Changed.wait_for(g, std::chrono::seconds(20), [&] { return Queued >= N; }))
            << "no work queued for the main thread";
    }

private:
    std::mutex Lock;
    std::condition_variable Changed;
    int Queued = 0;
};

// Opens a port on a simulated device with every event and the given delivery mode.
struct OpenPortOn {
    explicit OpenPortOn(TSyncMethod Mode, const std::string& Name) : Sim(Name), Port(nullptr) {
        Port.SetPort(Sim.Name);
        Port.SetSyncMethod(Mode);
        Port.Parity().SetCheck(true);
    }
    SimulatedPort Sim;
    EventLog Log; // outlives the port, whose closing still reports
    TComPort Port;
};

// Delivers a first batch (a break) and holds the event thread in it, in any delivery mode,
// while Pile makes more events on the far side; the next wait then completes with all of them
// in one batch. Delivery then goes on until Last is logged.
void DeliverPiledUp(OpenPortOn& p, const std::function<void()>& Pile, const std::string& Last) {
    if (p.Port.SyncMethod() != smNone) {
        QueuedWork queued;
        p.Sim.Device->Break();
        queued.WaitFor(1); // the break batch is waiting for the main thread
        Pile();
        ServeUntil([&] { return p.Log.Contains(Last); });
        return;
    }
    // Here the batch runs on the event thread: its break handler holds it. The handler stays
    // assigned after this returns, so it owns what it uses.
    struct THold {
        std::promise<void> Entered, Release;
        int Breaks = 0;
    };
    auto hold = std::make_shared<THold>();
    auto entered = hold->Entered.get_future();
    auto released = hold->Release.get_future().share();
    p.Port.OnBreak = [hold, released, logBreak = p.Port.OnBreak](TObject* Sender) {
        logBreak(Sender);
        if (++hold->Breaks == 1) {
            hold->Entered.set_value();
            released.wait();
        }
    };
    p.Sim.Device->Break();
    entered.wait();
    Pile();
    hold->Release.set_value();
    p.Log.WaitFor(Last);
}

TEST(Delivery, OneBatchOfEveryEventComesInTheFixedOrderOnTheModesThread) {
    const std::vector<std::string> fixedOrder = {"Break", // the first batch, which held the thread
                                                 "Error 9", "RxChar 13", "TxEmpty", "Break",
                                                 "Ring",    "CTS on",    "DSR on",  "RxFlag",
                                                 "RLSD on", "Rx80Full"};
    for (TSyncMethod mode : {smThreadSync, smWindowSync, smNone}) {
        SCOPED_TRACE(mode);
        OpenPortOn p(mode, "simorder");
        p.Port.SetEventChar('!');
        p.Port.Buffer().SetInputSize(16); // 13 bytes fill it to 80%
        p.Port.OpenPort();
        EXPECT_EQ(p.Port.EventWindow() != nullptr, mode == smWindowSync);
        p.Log.Attach(p.Port);
        DeliverPiledUp(
            p,
            [&] {
                p.Sim.Device->RaiseLines(MS_CTS_ON | MS_DSR_ON | MS_RLSD_ON);
                p.Sim.Device->Ring();
                p.Sim.Device->Break();
                p.Sim.Device->LineError(CE_FRAME);
                p.Sim.Device->Feed(
                    {'1', '2', '3', '4', '5', '6', '!', '8', '9', 'A', 'B', 'C', 'D'});
                EXPECT_EQ(p.Port.SendText("x"), 1);
            },
            "Rx80Full");
        EXPECT_EQ(p.Log.Snapshot(), fixedOrder);
        for (auto id : p.Log.ThreadsSnapshot())
            EXPECT_EQ(id == std::this_thread::get_id(), mode != smNone);
        p.Port.ClosePort();
        EXPECT_EQ(p.Port.EventWindow(), nullptr);
    }
}

TEST(Delivery, AHandlerClosesThePortAndTheRestOfItsBatchIsDropped) {
    for (TSyncMethod mode : {smThreadSync, smWindowSync, smNone}) {
        SCOPED_TRACE(mode);
        porttest::HangGuard guard("ClosePort from an OnRxChar handler");
        OpenPortOn p(mode, "simclosein");
        p.Port.SetEvents({evBreak, evRxChar, evRing});
        p.Port.OpenPort();
        p.Log.Attach(p.Port);
        bool first = true; // only the handler's thread touches it
        p.Port.OnRxChar = [&](TObject*, std::int32_t n) {
            p.Log.Add("RxChar " + std::to_string(n));
            if (std::exchange(first, false)) {
                p.Port.ClosePort(); // "on the answer, close"
                p.Log.Add("returned");
            }
        };
        // The ring comes after the bytes in the fixed order: the close drops it.
        DeliverPiledUp(
            p,
            [&] {
                p.Sim.Device->Feed({'o', 'k'});
                p.Sim.Device->Ring();
            },
            "returned");
        EXPECT_THAT(p.Log.Take(), ElementsAre("Break", "RxChar 2", "CTS off", "DSR off", "RLSD off",
                                              "BeforeClose", "AfterClose", "returned"));
        EXPECT_FALSE(p.Port.Connected());
        EXPECT_FALSE(p.Port.ThreadCreated());
        EXPECT_EQ(p.Port.EventWindow(), nullptr);
        EXPECT_FALSE(p.Sim.Device->IsOpen());

        // Opened again, the port delivers as before. (The handlers stay as they are: in smNone
        // the one that closed may still be returning on its thread until the port reopens.)
        p.Port.OpenPort();
        p.Sim.Device->Feed({'!'});
        if (mode == smNone)
            p.Log.WaitFor("RxChar 1");
        else
            ServeUntil([&] { return p.Log.Contains("RxChar 1"); });
        p.Port.ClosePort();
        EXPECT_EQ(p.Sim.Device->OpenCount(), 2);
    }
}

TEST(Delivery, ClosePortReturnsWhileABatchWaitsForTheMainThread) {
    for (TSyncMethod mode : {smThreadSync, smWindowSync}) {
        OpenPortOn p(mode, "simclose");
        p.Port.OpenPort();
        EventLog& log = p.Log;
        log.Attach(p.Port);
        QueuedWork queued;
        p.Sim.Device->Ring();
        queued.WaitFor(1);
        p.Port.ClosePort(); // serves the waiting batch while it stops the thread
        EXPECT_FALSE(p.Port.Connected());
        EXPECT_FALSE(p.Port.ThreadCreated());
        // Queued before the stop: it still runs, before the device closes.
        if (mode == smThreadSync) {
            EXPECT_TRUE(log.Contains("Ring"));
        }
    }
}

TEST(Delivery, AHandlerErrorInThreadSyncEndsMonitoringButNotThePort) {
    OpenPortOn p(smThreadSync, "simerror");
    p.Port.SetEvents({evRxChar});
    p.Port.SetEvents({evRxChar});
    p.Port.OpenPort();
    int calls = 0;
    p.Port.OnRxChar = [&](TObject*, std::int32_t) {
        ++calls;
        throw std::runtime_error("handler failed");
    };
    p.Sim.Device->Feed({'x'});
    ServeUntil([&] { return calls == 1 && p.Port.EventThread()->Finished(); });
    EXPECT_TRUE(p.Port.Connected());
    EXPECT_EQ(p.Port.SendText("still works"), 11);
    p.Sim.Device->Feed({'y'});
    EXPECT_FALSE(CheckSynchronize(0));
    p.Port.ClosePort();
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(p.Sim.Device->IsOpen());
}

// A port whose hooks say what they were asked to fire, with no handler assigned.
class HookedPort : public TComPort {
public:
    using TComPort::TComPort;
    EventLog* Log = nullptr;

protected:
    void FireTxEmpty() override { Log->Add("TxEmpty"); }
    void FireBreak() override { Log->Add("Break"); }
    void FireRing() override { Log->Add("Ring"); }
    bool OnlyHandlersHearQuietEvents() const override { return false; }
};

// A derived class that changes nothing of the event path.
class PlainDerivedPort : public TComPort {
public:
    using TComPort::TComPort;
};

TEST(Delivery, OnlyAClassThatHearsQuietEventsItselfHasThemAllReported) {
    constexpr DWORD quiet = EV_TXEMPTY | EV_BREAK | EV_RING | EV_RXFLAG | EV_RX80FULL;
    SimulatedPort sim("simoptin");
    TComPort plain(nullptr);
    PlainDerivedPort derived(nullptr);
    HookedPort hooked(nullptr);
    const std::pair<TCustomComPort*, DWORD> rows[] = {{&plain, 0}, {&derived, 0}, {&hooked, quiet}};
    for (const auto& [port, reported] : rows) {
        port->SetPort(sim.Name);
        port->OpenPort();
        DWORD mask = 0;
        EXPECT_TRUE(GetCommMask(port->DeviceHandle(), &mask));
        EXPECT_EQ(mask & quiet, reported);
        port->ClosePort();
    }
}

TEST(Delivery, QuietEventsAreAskedOfTheDeviceOnlyOnceAHandlerListens) {
    OpenPortOn p(smThreadSync, "simunheard");
    QueuedWork queued;
    p.Port.OpenPort();
    constexpr DWORD quiet = EV_TXEMPTY | EV_BREAK | EV_RING | EV_RXFLAG | EV_RX80FULL;
    const auto deviceMask = [&] {
        DWORD mask = 0;
        EXPECT_TRUE(GetCommMask(p.Port.DeviceHandle(), &mask));
        return mask;
    };
    EXPECT_EQ(deviceMask() & quiet, 0u);
    EXPECT_NE(deviceMask() & EV_RXCHAR, 0u);
    // A print's write and a ring are not even reported.
    EXPECT_EQ(p.Port.SendText("receipt"), 7);
    p.Sim.Device->Ring();
    p.Port.OnRing = [&](TObject*) { p.Log.Add("Ring"); };
    EXPECT_EQ(deviceMask() & quiet, static_cast<DWORD>(EV_RING));
    p.Sim.Device->Ring();
    ServeUntil([&] { return p.Log.Contains("Ring"); });
    // The request the new mask ended brought nothing to hand over.
    queued.WaitFor(1);
    EXPECT_EQ(queued.Count(), 1);
    p.Port.ClosePort();
}

TEST(Delivery, AHandlerAssignedWhileABatchIsHandedOverLosesNoEvent) {
    for (TSyncMethod mode : {smThreadSync, smNone}) {
        SCOPED_TRACE(mode);
        OpenPortOn p(mode, "simwiden");
        int batches = 0;
        p.Port.OnRxChar = [&](TObject*, std::int32_t Count) {
            p.Log.Add("RxChar " + std::to_string(Count));
            if (++batches > 1)
                return;
            // More input while no wait request is out, then the mask widens.
            p.Sim.Device->Feed({'b'});
            p.Port.OnTxEmpty = [](TObject*) {};
        };
        p.Port.OpenPort();
        p.Sim.Device->Feed({'a'});
        ServeUntil([&] { return p.Log.Contains("RxChar 2"); });
        p.Port.ClosePort();
    }
}

TEST(Delivery, EveryKindOfListenerOfAQuietEventIsTold) {
    enum Listener { Handler, Link, Hook };
    struct Row {
        const char* Event;
        std::function<void(TCustomComPort&, SimulatedPort&)> Make;
        std::vector<Listener> Listeners;
    };
    const Row rows[] = {
        {"TxEmpty",
         [](TCustomComPort& Port, SimulatedPort&) { Port.SendText("x"); },
         {Handler, Link, Hook}},
        {"Ring",
         [](TCustomComPort&, SimulatedPort& Sim) { Sim.Device->Ring(); },
         {Handler, Link, Hook}},
        {"Break",
         [](TCustomComPort&, SimulatedPort& Sim) { Sim.Device->Break(); },
         {Handler, Hook}},
    };
    for (const Row& row : rows)
        for (Listener listener : row.Listeners) {
            SCOPED_TRACE(std::string(row.Event) + " " + std::to_string(listener));
            SimulatedPort sim("simheard");
            EventLog log;
            HookedPort hooked(nullptr);
            TComPort plain(nullptr);
            TCustomComPort& port = listener == Hook ? hooked : plain;
            hooked.Log = &log;
            TPortLink link;
            const auto add = [&log, &row](TObject*) { log.Add(row.Event); };
            if (listener == Link) {
                link.TxEmptied = add;
                link.RingSeen = add;
                port.AttachLink(&link);
            }
            if (listener == Handler) {
                plain.OnTxEmpty = add;
                plain.OnRing = add;
                plain.OnBreak = add;
            }
            port.SetPort(sim.Name);
            port.OpenPort();
            row.Make(port, sim);
            ServeUntil([&] { return log.Contains(row.Event); });
            port.ClosePort();
            if (listener == Link)
                port.DetachLink(&link);
        }
}

TEST(Handling, QuietCasesFireNothing) {
    OpenPortOn p(smThreadSync, "simquiet");
    p.Port.SetEvents({});
    p.Port.Parity().SetCheck(false);
    p.Port.OpenPort();
    EventLog& log = p.Log;
    log.Attach(p.Port);
    p.Port.HandleRxChar(); // nothing queued
    p.Sim.Device->LineError(CE_RXPARITY);
    p.Port.HandleError(); // parity is not checked
    p.Port.HandleError(); // and it was cleared all the same
    TMessage message{PortEventMessage, 0x0200, 0, 0};
    p.Port.PortWindowProc(message); // no routine for that bit
    TMessage other{WM_USER + 7, 0, 0, 5};
    p.Port.PortWindowProc(other);
    EXPECT_EQ(other.Result, 0);
    EXPECT_TRUE(log.Take().empty());

    p.Port.ClosePort();
    log.Take();
    p.Sim.Device->Ring();
    TMessage ring{PortEventMessage, EV_RING, 0, 0};
    p.Port.PortWindowProc(ring); // closed: nothing
    EXPECT_TRUE(log.Take().empty());
}

TEST(Handling, QueriesReadTheDevice) {
    OpenPortOn p(smThreadSync, "simquery");
    p.Port.SetEvents({});
    p.Port.OpenPort();
    p.Sim.Device->Feed({1, 2, 3, 4, 5});
    p.Sim.Device->SetLines(MS_CTS_ON | MS_DSR_ON | MS_RING_ON | MS_RLSD_ON);
    p.Sim.Device->LineError(CE_FRAME | CE_OVERRUN);
    EXPECT_EQ(p.Port.ReadModemSignals(), (TModemSignals{msCTS, msDSR, msRing, msRLSD}));
    EXPECT_EQ(p.Port.TakeLineErrors(), (TComErrors{ceFrame, ceOverrun}));
    EXPECT_TRUE(p.Port.TakeLineErrors().Empty());
    EXPECT_EQ(p.Port.QueuedInputCount(), 5);
    char buffer[8] = {};
    EXPECT_EQ(p.Port.ReceiveBytes(buffer, 8), 5);
    EXPECT_EQ(std::string(buffer, 5), std::string("\1\2\3\4\5", 5));
}

} // namespace
