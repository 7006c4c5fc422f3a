#include "runtime/Threads.h"
#include "runtime/Application.h"
#include "runtime/Messages.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

// A thread whose body is a function, for tests.
class TLambdaThread : public TThread {
public:
    explicit TLambdaThread(std::function<void(TLambdaThread&)> Body)
        : TThread(true), FBody(std::move(Body)) {}
    ~TLambdaThread() override { WaitFor(); }
    using TThread::Synchronize;

protected:
    void Execute() override { FBody(*this); }

private:
    std::function<void(TLambdaThread&)> FBody;
};

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

TEST(HiddenWindow, ASentMessageRunsOnTheOwnerThreadWithItsResult) {
    std::thread::id handledOn;
    BOOL inSend = FALSE;
    HWND wnd = AllocateHWnd([&](TMessage& m) {
        handledOn = std::this_thread::get_id();
        inSend = InSendMessage();
        m.Result = static_cast<LRESULT>(m.WParam + 1);
    });
    LRESULT result = 0;
    TLambdaThread sender([&](TLambdaThread&) { result = SendMessageA(wnd, WM_USER + 1, 41, 0); });
    sender.Start();
    sender.WaitFor(); // serves the sent message
    EXPECT_EQ(result, 42);
    EXPECT_EQ(handledOn, std::this_thread::get_id());
    EXPECT_TRUE(inSend);

    // From the owner thread itself the window procedure is called directly.
    EXPECT_EQ(SendMessageA(wnd, WM_USER + 1, 1, 0), 2);
    EXPECT_FALSE(inSend);
    DeallocateHWnd(wnd);
    EXPECT_EQ(SendMessageA(wnd, WM_USER + 1, 1, 0), 0);
}

TEST(HiddenWindow, ReplyMessageLetsTheSenderGoOnBeforeHandlingEnds) {
    std::promise<void> senderReturned;
    auto returned = senderReturned.get_future();
    BOOL secondReply = TRUE;
    HWND wnd = AllocateHWnd([&](TMessage&) {
        EXPECT_TRUE(ReplyMessage(5));
        secondReply = ReplyMessage(6);
        // Handling goes on only after the sender has returned, which needs the early reply.
        returned.wait();
    });
    LRESULT result = 0;
    TLambdaThread sender([&](TLambdaThread&) {
        result = SendMessageA(wnd, WM_USER + 1, 0, 0);
        senderReturned.set_value();
    });
    sender.Start();
    sender.WaitFor();
    EXPECT_EQ(result, 5);
    EXPECT_FALSE(secondReply);
    EXPECT_FALSE(ReplyMessage(1)); // nothing to reply to outside a sent message
    DeallocateHWnd(wnd);
}

TEST(HiddenWindow, DestroyingItReleasesSendersStillQueued) {
    HWND wnd = AllocateHWnd([](TMessage& m) { m.Result = 9; });
    std::promise<void> queued;
    std::atomic<int> wakes{0};
    SetWakeMainThread([&] {
        if (++wakes == 1)
            queued.set_value();
    });
    std::promise<LRESULT> result;
    std::thread sender([&] { result.set_value(SendMessageA(wnd, WM_USER + 1, 0, 0)); });
    queued.get_future().wait(); // the message is in the main thread's queue
    DeallocateHWnd(wnd);
    EXPECT_EQ(result.get_future().get(), 0);
    sender.join();
    SetWakeMainThread(nullptr);
    EXPECT_FALSE(CheckSynchronize(0));
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
    // The waiter may run a body no worker has begun; the worker must then not run it too.
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

} // namespace
