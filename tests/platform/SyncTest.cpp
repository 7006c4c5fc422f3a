#include "platform/linux/sync/Sync.h"
#include "platform/Win32.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <future>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr DWORD Sentinel = 0xDEADBEEF;

// Tells the test when a wait has registered and is about to sleep, so a signal sent afterwards
// must go through the wake-up path rather than be seen before the wait starts.
class BlockedWaits {
public:
    explicit BlockedWaits(int Expected) : Expected_(Expected) {
        platform::SetWaitBlockedHookForTest([this] {
            if (++Count_ == Expected_)
                AllBlocked_.set_value();
        });
    }
    ~BlockedWaits() { platform::SetWaitBlockedHookForTest({}); }
    void AwaitAll() { AllBlocked_.get_future().wait(); }

private:
    int Expected_;
    int Count_ = 0; // only touched under the events' lock
    std::promise<void> AllBlocked_;
};

struct Events {
    explicit Events(std::initializer_list<BOOL> ManualFlags) {
        for (BOOL manual : ManualFlags)
            Handles.push_back(CreateEventA(nullptr, manual, FALSE, nullptr));
    }
    ~Events() {
        for (HANDLE h : Handles)
            CloseHandle(h);
    }
    std::vector<HANDLE> Handles;
};

TEST(EventTest, ManualResetStaysSignalledUntilReset) {
    HANDLE e = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    ASSERT_NE(e, nullptr);
    SetLastError(Sentinel);
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_OBJECT_0);
    EXPECT_NE(ResetEvent(e), FALSE);
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);
    EXPECT_NE(SetEvent(e), FALSE);
    EXPECT_NE(SetEvent(e), FALSE);
    EXPECT_EQ(WaitForSingleObject(e, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(GetLastError(), Sentinel);
    EXPECT_NE(CloseHandle(e), FALSE);
    EXPECT_EQ(GetLastError(), Sentinel);
}

TEST(EventTest, AutoResetIsConsumedByOneWait) {
    HANDLE e = CreateEventA(nullptr, FALSE, TRUE, nullptr);
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);
    // Two signals without a wait in between still release one wait: an event is not a counter.
    SetEvent(e);
    SetEvent(e);
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);
    CloseHandle(e);
}

TEST(EventTest, NamedEventsAreRefused) {
    SetLastError(Sentinel);
    EXPECT_EQ(CreateEventA(nullptr, TRUE, FALSE, "Global\\tillmark"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
    // An empty name is no name.
    HANDLE e = CreateEventA(nullptr, TRUE, FALSE, "");
    EXPECT_NE(e, nullptr);
    CloseHandle(e);
}

TEST(WaitTest, LowestSignalledIndexWinsAndOnlyItIsConsumed) {
    Events ev{FALSE, FALSE, TRUE};
    SetEvent(ev.Handles[2]);
    SetEvent(ev.Handles[1]);
    EXPECT_EQ(WaitForMultipleObjects(3, ev.Handles.data(), FALSE, 0), WAIT_OBJECT_0 + 1);
    // The auto-reset event at 1 went to that wait; the one at 2 was not touched.
    EXPECT_EQ(WaitForMultipleObjects(3, ev.Handles.data(), FALSE, 0), WAIT_OBJECT_0 + 2);
    EXPECT_EQ(WaitForMultipleObjects(3, ev.Handles.data(), FALSE, 0), WAIT_OBJECT_0 + 2);
    SetEvent(ev.Handles[0]);
    EXPECT_EQ(WaitForMultipleObjects(3, ev.Handles.data(), FALSE, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(ev.Handles[0], 0), WAIT_TIMEOUT);
}

TEST(WaitTest, WaitAllNeedsEveryEventAndConsumesOnlyThen) {
    Events ev{FALSE, TRUE};
    SetEvent(ev.Handles[0]);
    EXPECT_EQ(WaitForMultipleObjects(2, ev.Handles.data(), TRUE, 0), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(ev.Handles[0], 0), WAIT_OBJECT_0) << "consumed by a failed wait";
    SetEvent(ev.Handles[0]);
    SetEvent(ev.Handles[1]);
    EXPECT_EQ(WaitForMultipleObjects(2, ev.Handles.data(), TRUE, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(ev.Handles[0], 0), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(ev.Handles[1], 0), WAIT_OBJECT_0);

    HANDLE twice[] = {ev.Handles[1], ev.Handles[1]};
    SetLastError(Sentinel);
    EXPECT_EQ(WaitForMultipleObjects(2, twice, TRUE, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(WaitTest, SignalFromAnotherThreadWakesABlockedWait) {
    Events ev{TRUE, FALSE};
    BlockedWaits blocked(1);
    std::future<DWORD> result = std::async(std::launch::async, [&] {
        return WaitForMultipleObjects(2, ev.Handles.data(), FALSE, INFINITE);
    });
    blocked.AwaitAll();
    SetEvent(ev.Handles[1]);
    EXPECT_EQ(result.get(), WAIT_OBJECT_0 + 1);
    EXPECT_EQ(WaitForSingleObject(ev.Handles[1], 0), WAIT_TIMEOUT);
}

TEST(WaitTest, SignalWakesAFiniteWaitBeforeItsTimeOut) {
    Events ev{FALSE};
    BlockedWaits blocked(1);
    std::future<DWORD> result =
        std::async(std::launch::async, [&] { return WaitForSingleObject(ev.Handles[0], 60000); });
    blocked.AwaitAll();
    const auto start = std::chrono::steady_clock::now();
    SetEvent(ev.Handles[0]);
    EXPECT_EQ(result.get(), WAIT_OBJECT_0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
}

TEST(WaitTest, OneAutoResetSignalReleasesOneOfTwoWaiters) {
    Events ev{FALSE, TRUE};
    HANDLE e = ev.Handles[0];
    HANDLE oneWoke = ev.Handles[1];
    BlockedWaits blocked(2);
    std::atomic<int> woken{0};
    auto waitOnce = [&] {
        DWORD r = WaitForSingleObject(e, INFINITE);
        ++woken;
        SetEvent(oneWoke);
        return r;
    };
    auto first = std::async(std::launch::async, waitOnce);
    auto second = std::async(std::launch::async, waitOnce);
    blocked.AwaitAll();

    SetEvent(e);
    ASSERT_EQ(WaitForSingleObject(oneWoke, INFINITE), WAIT_OBJECT_0);
    // Whichever waiter got it, the event is spent and the other waiter still sleeps.
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);
    EXPECT_EQ(woken.load(), 1);

    SetEvent(e);
    EXPECT_EQ(first.get(), WAIT_OBJECT_0);
    EXPECT_EQ(second.get(), WAIT_OBJECT_0);
    EXPECT_EQ(woken.load(), 2);
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);
}

TEST(WaitTest, FiniteTimeOutExpires) {
    Events ev{TRUE, FALSE};
    SetLastError(Sentinel);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(WaitForMultipleObjects(2, ev.Handles.data(), FALSE, 50), WAIT_TIMEOUT);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
    EXPECT_EQ(GetLastError(), Sentinel);
}

TEST(WaitTest, DeadlineOfAWait) {
    const platform::SteadyTime t0{std::chrono::hours(1000)};
    EXPECT_EQ(platform::DeadlineAfter(INFINITE, t0), std::nullopt);
    EXPECT_EQ(platform::DeadlineAfter(0, t0), t0);
    // The longest finite wait, about 49.7 days, must not wrap.
    EXPECT_EQ(platform::DeadlineAfter(0xFFFFFFFEu, t0),
              t0 + std::chrono::milliseconds(0xFFFFFFFEu));
}

TEST(WaitTest, BadHandlesAndArgumentsFail) {
    HANDLE e = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    HANDLE closed = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    ASSERT_NE(CloseHandle(closed), FALSE);

    for (HANDLE bad : {closed, static_cast<HANDLE>(nullptr), INVALID_HANDLE_VALUE}) {
        SetLastError(Sentinel);
        EXPECT_EQ(WaitForSingleObject(bad, 0), WAIT_FAILED);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
        SetLastError(Sentinel);
        EXPECT_EQ(SetEvent(bad), FALSE);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
        SetLastError(Sentinel);
        EXPECT_EQ(ResetEvent(bad), FALSE);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
        SetLastError(Sentinel);
        EXPECT_EQ(CloseHandle(bad), FALSE);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    }
    // One bad handle fails the whole wait, even when a good one is signalled.
    HANDLE mixed[] = {e, closed};
    SetLastError(Sentinel);
    EXPECT_EQ(WaitForMultipleObjects(2, mixed, FALSE, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

    std::vector<HANDLE> many(MAXIMUM_WAIT_OBJECTS + 1, e);
    for (DWORD count : {DWORD{0}, MAXIMUM_WAIT_OBJECTS + 1}) {
        SetLastError(Sentinel);
        EXPECT_EQ(WaitForMultipleObjects(count, many.data(), FALSE, 0), WAIT_FAILED);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    }
    EXPECT_EQ(WaitForMultipleObjects(MAXIMUM_WAIT_OBJECTS, many.data(), FALSE, 0), WAIT_OBJECT_0);
    CloseHandle(e);
}

TEST(WaitTest, ClosingAnEventDoesNotDisturbAWaitOnIt) {
    HANDLE e = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    BlockedWaits blocked(1);
    auto result = std::async(std::launch::async, [&] { return WaitForSingleObject(e, 100); });
    blocked.AwaitAll();
    EXPECT_NE(CloseHandle(e), FALSE);
    EXPECT_EQ(result.get(), WAIT_TIMEOUT);
}

TEST(WaitTest, SleepLastsAtLeastItsTime) {
    SetLastError(Sentinel);
    Sleep(0);
    const auto start = std::chrono::steady_clock::now();
    Sleep(20);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(20));
    EXPECT_EQ(GetLastError(), Sentinel);
}

// Stands for a device: "ready" while its pipe holds a byte; helping takes the byte and signals
// the event, as a comm engine completes a wait.
class PipeHelper : public platform::WaitHelper {
public:
    explicit PipeHelper(HANDLE Event) : Event_(Event) {
        EXPECT_EQ(::pipe2(Fds_, O_CLOEXEC | O_NONBLOCK), 0);
    }
    ~PipeHelper() override {
        ::close(Fds_[0]);
        ::close(Fds_[1]);
    }
    int HelperFd(short& Events) override {
        Events = POLLIN;
        return Fds_[0];
    }
    void Help(short) override {
        char byte = 0;
        if (::read(Fds_[0], &byte, 1) == 1) {
            HelpedOn = std::this_thread::get_id();
            SetEvent(Event_);
        }
    }
    void MakeReady() { ASSERT_EQ(::write(Fds_[1], "x", 1), 1); }
    bool StillReady() {
        char byte = 0;
        return ::read(Fds_[0], &byte, 1) == 1;
    }

    std::thread::id HelpedOn;

private:
    HANDLE Event_;
    int Fds_[2] = {-1, -1};
};

// Waits on the events in another thread; Waiter is that thread once the result is in.
struct AsyncWait {
    AsyncWait(const std::vector<HANDLE>& Handles, DWORD Timeout) {
        Result = std::async(std::launch::async, [this, Handles, Timeout] {
            Waiter = std::this_thread::get_id();
            return WaitForMultipleObjects(static_cast<DWORD>(Handles.size()), Handles.data(), FALSE,
                                          Timeout);
        });
    }
    std::future<DWORD> Result;
    std::thread::id Waiter;
};

TEST(HelpedWaitTest, TheWaitingThreadDoesTheWorkWhenTheDescriptorIsReady) {
    Events ev{TRUE, FALSE};
    auto helper = std::make_shared<PipeHelper>(ev.Handles[1]);
    platform::SetEventHelper(ev.Handles[1], helper);
    BlockedWaits blocked(1);
    AsyncWait wait(ev.Handles, INFINITE);
    blocked.AwaitAll();
    helper->MakeReady();
    EXPECT_EQ(wait.Result.get(), WAIT_OBJECT_0 + 1);
    EXPECT_EQ(helper->HelpedOn, wait.Waiter);
}

TEST(HelpedWaitTest, HelpOfferedToAWaitAlreadyAsleepIsTakenUp) {
    Events ev{FALSE};
    auto helper = std::make_shared<PipeHelper>(ev.Handles[0]);
    BlockedWaits blocked(1);
    AsyncWait wait(ev.Handles, INFINITE);
    blocked.AwaitAll();
    platform::SetEventHelper(ev.Handles[0], helper);
    helper->MakeReady();
    EXPECT_EQ(wait.Result.get(), WAIT_OBJECT_0);
    EXPECT_EQ(helper->HelpedOn, wait.Waiter);
}

TEST(HelpedWaitTest, ASignalFromElsewhereEndsTheWaitAndWithdrawsTheHelp) {
    Events ev{TRUE};
    auto helper = std::make_shared<PipeHelper>(ev.Handles[0]);
    platform::SetEventHelper(ev.Handles[0], helper);
    BlockedWaits blocked(1);
    AsyncWait wait(ev.Handles, INFINITE);
    blocked.AwaitAll();
    SetEvent(ev.Handles[0]);
    EXPECT_EQ(wait.Result.get(), WAIT_OBJECT_0);
    ResetEvent(ev.Handles[0]);
    // The work is done: a later wait on the event neither helps nor ends early.
    helper->MakeReady();
    EXPECT_EQ(WaitForSingleObject(ev.Handles[0], 30), WAIT_TIMEOUT);
    EXPECT_TRUE(helper->StillReady());
}

TEST(HelpedWaitTest, AHelpedWaitStillTimesOut) {
    Events ev{FALSE};
    auto helper = std::make_shared<PipeHelper>(ev.Handles[0]);
    platform::SetEventHelper(ev.Handles[0], helper);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(WaitForSingleObject(ev.Handles[0], 30), WAIT_TIMEOUT);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
}

// What the callback of a registered wait saw, for the test thread to wait on.
struct CallbackSeen {
    std::promise<std::thread::id> Ran;
    std::promise<void> Release; // the callback returns once this is set, when Hold is
    bool Hold = false;
    std::atomic<int> Calls{0};
    std::atomic<bool> Returned{false};
    static void Callback(PVOID Self, BOOLEAN TimedOut) {
        auto* seen = static_cast<CallbackSeen*>(Self);
        EXPECT_EQ(TimedOut, FALSE);
        if (seen->Calls.fetch_add(1) == 0)
            seen->Ran.set_value(std::this_thread::get_id());
        if (seen->Hold)
            seen->Release.get_future().wait();
        seen->Returned = true;
    }
};

TEST(RegisteredWaitTest, RunsOnceOnAnotherThreadWhenSignalledAndTakesAnAutoResetSignal) {
    for (BOOL signalledFirst : {FALSE, TRUE}) {
        SCOPED_TRACE(signalledFirst);
        Events e({FALSE});
        if (signalledFirst)
            SetEvent(e.Handles[0]);
        CallbackSeen seen;
        HANDLE wait = nullptr;
        ASSERT_TRUE(RegisterWaitForSingleObject(&wait, e.Handles[0], &CallbackSeen::Callback, &seen,
                                                INFINITE, WT_EXECUTEONLYONCE));
        SetEvent(e.Handles[0]);
        EXPECT_NE(seen.Ran.get_future().get(), std::this_thread::get_id());
        EXPECT_TRUE(UnregisterWaitEx(wait, INVALID_HANDLE_VALUE));
        EXPECT_EQ(seen.Calls.load(), 1);
        // The registration took one signal; a signal given before it registered was that one.
        EXPECT_EQ(WaitForSingleObject(e.Handles[0], 0),
                  signalledFirst ? WAIT_OBJECT_0 : WAIT_TIMEOUT);
    }
}

TEST(RegisteredWaitTest, UnregisteringDropsAWaitOrWaitsForItsRunningCallback) {
    Events e({TRUE, TRUE, TRUE});
    CallbackSeen never, held, busy;
    HANDLE waits[3] = {};
    ASSERT_TRUE(RegisterWaitForSingleObject(&waits[0], e.Handles[0], &CallbackSeen::Callback,
                                            &never, INFINITE, WT_EXECUTEONLYONCE));
    ASSERT_TRUE(UnregisterWaitEx(waits[0], INVALID_HANDLE_VALUE));
    SetEvent(e.Handles[0]);

    held.Hold = busy.Hold = true;
    ASSERT_TRUE(RegisterWaitForSingleObject(&waits[1], e.Handles[1], &CallbackSeen::Callback, &held,
                                            INFINITE, WT_EXECUTEONLYONCE));
    SetEvent(e.Handles[1]);
    held.Ran.get_future().wait();
    std::thread release([&] { held.Release.set_value(); });
    EXPECT_TRUE(UnregisterWaitEx(waits[1], INVALID_HANDLE_VALUE));
    EXPECT_TRUE(held.Returned.load());
    release.join();

    ASSERT_TRUE(RegisterWaitForSingleObject(&waits[2], e.Handles[2], &CallbackSeen::Callback, &busy,
                                            INFINITE, WT_EXECUTEONLYONCE));
    SetEvent(e.Handles[2]);
    busy.Ran.get_future().wait();
    SetLastError(Sentinel);
    EXPECT_FALSE(UnregisterWaitEx(waits[2], nullptr));
    EXPECT_EQ(GetLastError(), ERROR_IO_PENDING);
    busy.Release.set_value();
    // Callbacks run in turn: once the next has run, the busy one has returned, and a dropped
    // one would have run before all of them.
    Events last({TRUE});
    CallbackSeen after;
    HANDLE afterWait = nullptr;
    SetEvent(last.Handles[0]);
    ASSERT_TRUE(RegisterWaitForSingleObject(&afterWait, last.Handles[0], &CallbackSeen::Callback,
                                            &after, INFINITE, WT_EXECUTEONLYONCE));
    after.Ran.get_future().wait();
    EXPECT_TRUE(UnregisterWaitEx(afterWait, INVALID_HANDLE_VALUE));
    EXPECT_TRUE(busy.Returned.load());
    EXPECT_EQ(never.Calls.load(), 0);
}

TEST(RegisteredWaitTest, WhatIsNotSupportedIsRefused) {
    Events e({TRUE});
    CallbackSeen seen;
    HANDLE wait = nullptr;
    SetLastError(Sentinel);
    EXPECT_FALSE(RegisterWaitForSingleObject(&wait, e.Handles[0], &CallbackSeen::Callback, &seen,
                                             1000, WT_EXECUTEONLYONCE));
    EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
    EXPECT_FALSE(RegisterWaitForSingleObject(&wait, e.Handles[0], &CallbackSeen::Callback, &seen,
                                             INFINITE, WT_EXECUTEDEFAULT));
    EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
    EXPECT_FALSE(UnregisterWaitEx(e.Handles[0], INVALID_HANDLE_VALUE));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

} // namespace
