#include "runtime/Threads.h"
#include "ThreadTestSupport.h"
#include "runtime/Application.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using runtimetest::TLambdaThread;

TEST(Threads, TheTestRunnerIsTheMainThread) {
    EXPECT_TRUE(IsMainThread());
}

TEST(Synchronize, RunsOnTheMainThreadWhileItWaitsForTheCaller) {
    std::thread::id ranOn;
    TLambdaThread thread(
        [&](TLambdaThread& t) { t.Synchronize([&] { ranOn = std::this_thread::get_id(); }); });
    thread.Start();
    thread.WaitFor(); // would deadlock if waiting did not serve the queued call
    EXPECT_EQ(ranOn, std::this_thread::get_id());
    EXPECT_TRUE(thread.Finished());
}

TEST(Synchronize, AnErrorOnTheMainThreadIsRaisedAgainInTheThread) {
    TLambdaThread thread([](TLambdaThread& t) {
        t.Synchronize([] { throw std::runtime_error("handler failed"); });
    });
    thread.Start();
    thread.WaitFor();
    ASSERT_TRUE(thread.FatalException());
    EXPECT_EQ(ExceptionMessage(thread.FatalException()), "handler failed");
}

TEST(Synchronize, WaitingForTheCallerFromInsideItsCallLetsTheCallerGoOn) {
    std::vector<std::string> steps;
    std::string handled;
    SetApplicationErrorHandler([&](std::exception_ptr e) { handled = ExceptionMessage(e); });
    std::unique_ptr<TLambdaThread> thread;
    thread = std::make_unique<TLambdaThread>([&](TLambdaThread& t) {
        t.Synchronize([&] {
            steps.push_back("call");
            thread->WaitFor(); // the caller is blocked in this very call below us
            steps.push_back("waited");
            throw std::runtime_error("after its caller went on");
        });
        steps.push_back("caller went on");
    });
    thread->Start();
    thread->WaitFor();
    SetApplicationErrorHandler(nullptr);
    EXPECT_EQ(steps, (std::vector<std::string>{"call", "caller went on", "waited"}));
    // Nobody waits for the call any more: its error goes to the application's handler.
    EXPECT_EQ(handled, "after its caller went on");
    EXPECT_FALSE(thread->FatalException());
}

TEST(Synchronize, WakesTheEventLoopAndWaitsUntilItServes) {
    std::atomic<int> wakes{0};
    SetWakeMainThread([&] { ++wakes; });
    std::atomic<bool> ran{false};
    TLambdaThread thread([&](TLambdaThread& t) { t.Synchronize([&] { ran = true; }); });
    thread.Start();
    EXPECT_TRUE(CheckSynchronize(INFINITE));
    EXPECT_TRUE(ran);
    thread.WaitFor();
    SetWakeMainThread(nullptr);
    EXPECT_EQ(wakes, 1);
}

TEST(CheckSynchronize, ReturnsFalseWhenNothingIsQueuedAndCanBeWoken) {
    EXPECT_FALSE(CheckSynchronize(0));
    EXPECT_FALSE(CheckSynchronize(1));
    std::thread waker([] { WakeMainThread(); });
    EXPECT_FALSE(CheckSynchronize(INFINITE)); // returns because of the wake, not a time-out
    waker.join();
}

TEST(ApplicationErrors, GoToTheHandlerOrToStandardError) {
    testing::internal::CaptureStderr();
    ApplicationHandleException(std::make_exception_ptr(std::runtime_error("Unable to open")));
    ApplicationHandleException(std::make_exception_ptr(42));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Unable to open\nUnknown error\n");

    std::string seen;
    SetApplicationErrorHandler([&](std::exception_ptr e) {
        seen = ExceptionMessage(e);
        throw std::runtime_error("handler broke");
    });
    testing::internal::CaptureStderr();
    ApplicationHandleException(std::make_exception_ptr(std::logic_error("bad")));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "handler broke\n");
    EXPECT_EQ(seen, "bad");
    EXPECT_TRUE(SetApplicationErrorHandler(nullptr));
}

TEST(Threads, ASuspendedThreadNeverStartedEndsCleanly) {
    bool ran = false;
    {
        TLambdaThread thread([&](TLambdaThread&) { ran = true; });
        EXPECT_TRUE(thread.Finished());
    }
    EXPECT_FALSE(ran);
}

TEST(Threads, ThreadsOneAfterAnotherShareOneSystemThread) {
    std::thread::id ran[2];
    for (auto& id : ran) {
        TLambdaThread thread([&id](TLambdaThread&) { id = std::this_thread::get_id(); });
        thread.Start();
        thread.WaitFor();
    }
    EXPECT_NE(ran[0], std::this_thread::get_id());
    EXPECT_EQ(ran[0], ran[1]);
}

TEST(Threads, AThreadStoppedAtOnceRunsItsBodyExactlyOnce) {
    // A body a worker was hired for runs there, once, even when stopped before it began.
    for (int i = 0; i < 300; ++i) {
        std::atomic<int> runs{0};
        std::atomic<int> synchronized{0};
        {
            TLambdaThread thread([&](TLambdaThread&) {
                ++runs;
                TLambdaThread::Synchronize([&] { ++synchronized; });
            });
            thread.Start();
            thread.Terminate();
            thread.WaitFor();
            ASSERT_TRUE(thread.Finished());
        }
        ASSERT_EQ(runs.load(), 1);
        ASSERT_EQ(synchronized.load(), 1);
    }
}

TEST(Threads, AThreadStartedOnASignalRunsWhenItComesAndNeverWhenStoppedFirst) {
    HANDLE signal = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    {
        std::promise<std::thread::id> ran;
        TLambdaThread thread([&](TLambdaThread&) { ran.set_value(std::this_thread::get_id()); });
        thread.StartOnSignal(signal);
        EXPECT_FALSE(thread.Finished());
        SetEvent(signal);
        EXPECT_NE(ran.get_future().get(), std::this_thread::get_id());
        thread.WaitFor();
    }
    ResetEvent(signal);
    int runs = 0;
    {
        TLambdaThread thread([&](TLambdaThread&) { ++runs; });
        thread.StartOnSignal(signal);
        thread.Terminate();
        thread.WaitFor();
        EXPECT_TRUE(thread.Finished());
        SetEvent(signal); // too late: nothing is hired for it any more
    }
    EXPECT_EQ(runs, 0);
    // The signal racing the stop: the body runs at most once, and never on the waiter.
    for (int i = 0; i < 200; ++i) {
        ResetEvent(signal);
        std::atomic<int> raced{0};
        std::atomic<bool> onWaiter{false};
        const auto waiter = std::this_thread::get_id();
        {
            TLambdaThread thread([&](TLambdaThread&) {
                ++raced;
                onWaiter = std::this_thread::get_id() == waiter;
            });
            thread.StartOnSignal(signal);
            std::thread signaller([signal] { SetEvent(signal); });
            thread.Terminate();
            thread.WaitFor();
            signaller.join();
        }
        ASSERT_LE(raced.load(), 1);
        ASSERT_FALSE(onWaiter.load());
    }
    CloseHandle(signal);
}

} // namespace
