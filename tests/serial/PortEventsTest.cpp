#include "PortTestSupport.h"

#include <gmock/gmock.h>

#include <future>

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
            ++Count;
            Changed.notify_all();
        });
    }
    ~QueuedWork() { SetWakeMainThread(nullptr); }
    void WaitFor(int N) {
        std::unique_lock g(Lock);
        ASSERT_TRUE(Changed.wait_for(g, std::chrono::seconds(20), [&] { return Count >= N; }))
            << "no work queued for the main thread";
    }

private:
    std::mutex Lock;
    std::condition_variable Changed;
    int Count = 0;
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

// The event thread is held delivering a first batch (a break, which also leaves CE_BREAK in the
// error word) while the far side piles up more events; the next wait then completes with all of
// them in one batch.
void PileUpWhileABatchWaits(platform::SimulatedComm& Device) {
    Device.RaiseLines(MS_RLSD_ON);
    Device.Ring();
    Device.LineError(CE_FRAME);
    Device.Feed({'a', 'b', 'c'});
}

const std::vector<std::string> FixedOrder = {"Break", "Error 9", "RxChar 3", "Ring", "RLSD on"};

TEST(Delivery, ThreadSyncRunsABatchOnTheMainThreadErrorFirst) {
    OpenPortOn p(smThreadSync, "simsync");
    p.Port.SetEvents({evBreak, evRing, evError, evRxChar, evRLSD});
    p.Port.OpenPort();
    EventLog& log = p.Log;
    log.Attach(p.Port);
    QueuedWork queued;
    p.Sim.Device->Break();
    queued.WaitFor(1); // the break batch is waiting for the main thread
    PileUpWhileABatchWaits(*p.Sim.Device);
    ServeUntil([&] { return log.Snapshot().size() >= FixedOrder.size(); });
    EXPECT_EQ(log.Snapshot(), FixedOrder);
    for (auto id : log.ThreadsSnapshot())
        EXPECT_EQ(id, std::this_thread::get_id());
    p.Port.ClosePort();
}

TEST(Delivery, WindowSyncSendsOneMessagePerEventInTheFixedOrder) {
    OpenPortOn p(smWindowSync, "simwindow");
    p.Port.SetEvents({evBreak, evRing, evError, evRxChar, evRLSD});
    p.Port.OpenPort();
    ASSERT_NE(p.Port.EventWindow(), nullptr);
    EventLog& log = p.Log;
    log.Attach(p.Port);
    QueuedWork queued;
    p.Sim.Device->Break();
    queued.WaitFor(1);
    PileUpWhileABatchWaits(*p.Sim.Device);
    ServeUntil([&] { return log.Snapshot().size() >= FixedOrder.size(); });
    EXPECT_EQ(log.Snapshot(), FixedOrder);
    for (auto id : log.ThreadsSnapshot())
        EXPECT_EQ(id, std::this_thread::get_id());
    p.Port.ClosePort();
    EXPECT_EQ(p.Port.EventWindow(), nullptr);
}

TEST(Delivery, NoSyncRunsTheBatchOnTheEventThread) {
    OpenPortOn p(smNone, "simnone");
    p.Port.SetEvents({evBreak, evRing, evError, evRxChar, evRLSD});
    p.Port.OpenPort();
    EventLog& log = p.Log;
    log.Attach(p.Port);
    std::promise<void> entered, release, done;
    auto releaseFuture = release.get_future().share();
    p.Port.OnBreak = [&](TObject*) {
        log.Add("Break");
        entered.set_value();
        releaseFuture.wait();
    };
    p.Port.OnRLSDChange = [&](TObject*, bool on) {
        log.Add(std::string("RLSD ") + (on ? "on" : "off"));
        if (on)
            done.set_value();
    };
    p.Sim.Device->Break();
    entered.get_future().wait();
    PileUpWhileABatchWaits(*p.Sim.Device);
    release.set_value();
    ASSERT_EQ(done.get_future().wait_for(std::chrono::seconds(20)), std::future_status::ready);
    EXPECT_EQ(log.Snapshot(), FixedOrder);
    for (auto id : log.ThreadsSnapshot())
        EXPECT_NE(id, std::this_thread::get_id());
    p.Port.ClosePort();
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
    ServeUntil([&] { return p.Port.EventThread()->Finished(); });
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(p.Port.Connected());
    EXPECT_EQ(p.Port.SendText("still works"), 11);
    p.Sim.Device->Feed({'y'});
    EXPECT_FALSE(CheckSynchronize(0));
    p.Port.ClosePort();
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(p.Sim.Device->IsOpen());
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
