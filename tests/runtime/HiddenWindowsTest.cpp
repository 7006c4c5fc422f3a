#include "ThreadTestSupport.h"
#include "runtime/Application.h"
#include "runtime/Messages.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <stdexcept>
#include <string>
#include <thread>

namespace {

using runtimetest::TLambdaThread;

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
    BOOL secondReply = FALSE;
    HWND wnd = AllocateHWnd([&](TMessage& m) {
        // A real window is sent its creation messages first, from this thread.
        if (m.Msg != WM_USER + 1) {
            m.Result = DefWindowProcA(nullptr, m.Msg, m.WParam, m.LParam);
            return;
        }
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
    EXPECT_TRUE(secondReply);      // still handling a sent message, though the answer is given
    EXPECT_FALSE(ReplyMessage(1)); // nothing to reply to outside a sent message
    DeallocateHWnd(wnd);
}

#ifndef _WIN32
// Waits for our layer to tell the event loop of the queued message; Windows wakes its own loop.
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
#endif

TEST(HiddenWindow, CheckSynchronizeDeliversAndTheEventLoopIsToldOfTheMessage) {
    std::atomic<int> wakes{0};
    SetWakeMainThread([&] { ++wakes; });
    std::thread::id handledOn;
    HWND wnd = AllocateHWnd([&](TMessage& m) {
        handledOn = std::this_thread::get_id();
        m.Result = 3;
    });
    auto sender =
        std::async(std::launch::async, [&] { return SendMessageA(wnd, WM_USER + 1, 0, 0); });
    EXPECT_TRUE(CheckSynchronize(INFINITE));
    EXPECT_EQ(sender.get(), 3);
    EXPECT_EQ(handledOn, std::this_thread::get_id());
#ifndef _WIN32
    EXPECT_EQ(wakes, 1); // Windows wakes a message loop by itself, with no hook to call
#endif
    EXPECT_FALSE(CheckSynchronize(0));
    SetWakeMainThread(nullptr);
    DeallocateHWnd(wnd);
}

TEST(HiddenWindow, AnErrorGoesToTheApplicationOrBackToASenderOnTheSameThread) {
    std::string handled;
    SetApplicationErrorHandler([&](std::exception_ptr e) { handled = ExceptionMessage(e); });
    HWND wnd = AllocateHWnd([](TMessage& m) {
        m.Result = 4; // what was answered before the error stands
        throw std::runtime_error("method failed");
    });
    LRESULT result = 0;
    TLambdaThread sender([&](TLambdaThread&) { result = SendMessageA(wnd, WM_USER + 1, 0, 0); });
    sender.Start();
    sender.WaitFor();
    EXPECT_EQ(result, 4);
    EXPECT_EQ(handled, "method failed");
    EXPECT_FALSE(sender.FatalException());

    handled.clear();
#ifdef _WIN32
    EXPECT_EQ(SendMessageA(wnd, WM_USER + 1, 0, 0), 4); // no error crosses the system's frames
    EXPECT_EQ(handled, "method failed");
#else
    EXPECT_THROW(SendMessageA(wnd, WM_USER + 1, 0, 0), std::runtime_error);
    EXPECT_EQ(handled, "");
#endif
    SetApplicationErrorHandler(nullptr);
    DeallocateHWnd(wnd);
}

TEST(HiddenWindow, AMethodMayDeallocateItsOwnWindow) {
    // What a port's handler does when it closes the port in smWindowSync.
    HWND wnd = nullptr;
    int calls = 0;
    wnd = AllocateHWnd([&](TMessage& m) {
        ++calls;
        DeallocateHWnd(wnd);
        m.Result = static_cast<LRESULT>(m.WParam);
    });
    LRESULT results[2] = {};
    TLambdaThread sender([&](TLambdaThread&) {
        results[0] = SendMessageA(wnd, WM_USER + 1, 8, 0);
        results[1] = SendMessageA(wnd, WM_USER + 1, 9, 0);
    });
    sender.Start();
    sender.WaitFor();
    EXPECT_EQ(results[0], 8);
    EXPECT_EQ(results[1], 0);
    EXPECT_EQ(calls, 1);
}

} // namespace
