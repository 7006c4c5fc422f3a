#include "platform/Win32.h"
#include "platform/linux/Win32Window.h"
#include "platform/linux/sync/Sync.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <future>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

namespace {

constexpr DWORD Sentinel = 0xDEADBEEF;
constexpr DWORD Bound = 20000; // a wait that should end at once, bounded so a fault fails

using Handler = std::function<LRESULT(UINT Msg, WPARAM WParam)>;

LRESULT CallHandler(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
    auto* handler = reinterpret_cast<Handler*>(GetWindowLongPtrA(Wnd, GWLP_USERDATA));
    return handler ? (*handler)(Msg, WParam) : DefWindowProcA(Wnd, Msg, WParam, LParam);
}

constexpr char TestClass[] = "WindowMessagesTest";

void RegisterTestClass() {
    static const ATOM atom = [] {
        WNDCLASSA cls{};
        cls.lpfnWndProc = CallHandler;
        cls.lpszClassName = TestClass;
        return RegisterClassA(&cls);
    }();
    ASSERT_NE(atom, 0);
}

// A message-only window of the calling thread whose messages go to a handler.
class TestWindow {
public:
    explicit TestWindow(Handler H) : Handle_(std::move(H)) {
        RegisterTestClass();
        Wnd = CreateWindowExA(0, TestClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr,
                              nullptr);
        SetWindowLongPtrA(Wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&Handle_));
    }
    ~TestWindow() {
        if (IsWindow(Wnd))
            DestroyWindow(Wnd);
    }
    HWND Wnd = nullptr;

private:
    Handler Handle_;
};

// Delivers the messages sent to the calling thread's windows.
void DeliverSent() {
    MSG msg{};
    EXPECT_EQ(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE), FALSE); // there are no posted ones
}

// Until a message sent to one of the calling thread's windows waits, without delivering it.
void AwaitSentMessage() {
    ASSERT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, Bound, QS_SENDMESSAGE), WAIT_OBJECT_0);
}

TEST(WindowClassTest, NamesAreUniqueAndAClassGoesOnlyWithoutWindows) {
    WNDCLASSA cls{};
    cls.lpfnWndProc = DefWindowProcA;
    cls.lpszClassName = "ClassTestOne";
    SetLastError(Sentinel);
    ASSERT_NE(RegisterClassA(&cls), 0);
    EXPECT_EQ(GetLastError(), Sentinel);
    cls.lpszClassName = "CLASSTESTONE"; // names ignore case
    EXPECT_EQ(RegisterClassA(&cls), 0);
    EXPECT_EQ(GetLastError(), ERROR_CLASS_ALREADY_EXISTS);

    HWND wnd = CreateWindowExA(0, "classtestone", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                               nullptr, nullptr);
    ASSERT_NE(wnd, nullptr);
    SetLastError(Sentinel);
    EXPECT_EQ(UnregisterClassA("ClassTestOne", nullptr), FALSE);
    EXPECT_EQ(GetLastError(), ERROR_CLASS_HAS_WINDOWS);
    EXPECT_NE(DestroyWindow(wnd), FALSE);
    EXPECT_NE(UnregisterClassA("ClassTestOne", nullptr), FALSE);
    SetLastError(Sentinel);
    EXPECT_EQ(UnregisterClassA("ClassTestOne", nullptr), FALSE);
    EXPECT_EQ(GetLastError(), ERROR_CLASS_DOES_NOT_EXIST);
    SetLastError(Sentinel);
    EXPECT_EQ(CreateWindowExA(0, "ClassTestOne", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              nullptr, nullptr),
              nullptr);
    EXPECT_EQ(GetLastError(), ERROR_CANNOT_FIND_WND_CLASS);
}

TEST(WindowClassTest, BadClassesAndWindowsThatAreNotMessageOnlyAreRefused) {
    WNDCLASSA cls{};
    cls.lpszClassName = "NoProcedure";
    SetLastError(Sentinel);
    EXPECT_EQ(RegisterClassA(&cls), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    cls.lpfnWndProc = DefWindowProcA;
    cls.lpszClassName = "";
    EXPECT_EQ(RegisterClassA(&cls), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegisterClassA(nullptr), 0);

    RegisterTestClass();
    SetLastError(Sentinel);
    EXPECT_EQ(
        CreateWindowExA(0, TestClass, "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr),
        nullptr);
    EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
}

TEST(WindowTest, UserDataKeepsItsValueAndALiveWindowIsNeeded) {
    TestWindow window([](UINT, WPARAM) { return 0; });
    HWND wnd = window.Wnd;
    SetLastError(Sentinel);
    EXPECT_NE(IsWindow(wnd), FALSE);
    const LONG_PTR first = GetWindowLongPtrA(wnd, GWLP_USERDATA);
    EXPECT_NE(first, 0);
    EXPECT_EQ(SetWindowLongPtrA(wnd, GWLP_USERDATA, 0), first);
    EXPECT_EQ(SetWindowLongPtrA(wnd, GWLP_USERDATA, first), 0);
    EXPECT_EQ(GetLastError(), Sentinel) << "success leaves the last error alone";

    EXPECT_EQ(GetWindowLongPtrA(wnd, -4), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_INDEX);

    EXPECT_NE(DestroyWindow(wnd), FALSE);
    EXPECT_EQ(IsWindow(wnd), FALSE);
    SetLastError(Sentinel);
    EXPECT_EQ(DestroyWindow(wnd), FALSE);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
    SetLastError(Sentinel);
    EXPECT_EQ(GetWindowLongPtrA(wnd, GWLP_USERDATA), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
    SetLastError(Sentinel);
    EXPECT_EQ(SetWindowLongPtrA(wnd, GWLP_USERDATA, 1), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
    SetLastError(Sentinel);
    EXPECT_EQ(SendMessageA(wnd, WM_USER, 0, 0), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
}

TEST(WindowTest, OnlyTheOwningThreadDestroysAWindow) {
    TestWindow window([](UINT, WPARAM) { return 0; });
    std::thread([&] {
        SetLastError(Sentinel);
        EXPECT_EQ(DestroyWindow(window.Wnd), FALSE);
        EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    }).join();
    EXPECT_NE(IsWindow(window.Wnd), FALSE);
}

TEST(SendMessageTest, AMessageFromAnotherThreadRunsOnTheOwnerWithItsResult) {
    std::thread::id handledOn;
    BOOL inSend = FALSE;
    TestWindow window([&](UINT Msg, WPARAM WParam) {
        handledOn = std::this_thread::get_id();
        inSend = InSendMessage();
        EXPECT_EQ(Msg, WM_USER + 1);
        return static_cast<LRESULT>(WParam + 1);
    });
    auto sent = std::async(std::launch::async, [&] {
        SetLastError(Sentinel);
        const LRESULT result = SendMessageA(window.Wnd, WM_USER + 1, 41, 0);
        EXPECT_EQ(GetLastError(), Sentinel);
        return result;
    });
    AwaitSentMessage();
    EXPECT_EQ(GetQueueStatus(QS_SENDMESSAGE), (QS_SENDMESSAGE << 16) | QS_SENDMESSAGE);
    DeliverSent();
    EXPECT_EQ(sent.get(), 42);
    EXPECT_EQ(handledOn, std::this_thread::get_id());
    EXPECT_TRUE(inSend);
    EXPECT_EQ(GetQueueStatus(QS_SENDMESSAGE), 0u);

    // From the owner itself the window procedure is called at once, as no sent message.
    EXPECT_EQ(SendMessageA(window.Wnd, WM_USER + 1, 1, 0), 2);
    EXPECT_FALSE(inSend);
}

TEST(SendMessageTest, ReplyMessageLetsTheSenderGoOnBeforeHandlingEnds) {
    std::promise<void> senderReturned;
    auto returned = senderReturned.get_future();
    BOOL secondReply = FALSE;
    TestWindow window([&](UINT, WPARAM) -> LRESULT {
        EXPECT_TRUE(ReplyMessage(5));
        secondReply = ReplyMessage(6);
        // Handling goes on only after the sender has returned, which needs the early reply.
        returned.wait();
        return 7;
    });
    auto sender = std::async(std::launch::async, [&] {
        const LRESULT result = SendMessageA(window.Wnd, WM_USER + 1, 0, 0);
        senderReturned.set_value();
        return result;
    });
    AwaitSentMessage();
    DeliverSent();
    EXPECT_EQ(sender.get(), 5);
    EXPECT_TRUE(secondReply);      // the first answer stands
    EXPECT_FALSE(ReplyMessage(1)); // nothing to reply to outside a sent message
    EXPECT_FALSE(InSendMessage());
}

TEST(SendMessageTest, DestroyingTheWindowReleasesSendersStillQueued) {
    std::atomic<int> handled{0};
    TestWindow window([&](UINT, WPARAM) {
        ++handled;
        return 9;
    });
    auto sender =
        std::async(std::launch::async, [&] { return SendMessageA(window.Wnd, WM_USER + 1, 0, 0); });
    AwaitSentMessage();
    EXPECT_NE(DestroyWindow(window.Wnd), FALSE);
    EXPECT_EQ(sender.get(), 0);
    EXPECT_EQ(GetQueueStatus(QS_SENDMESSAGE), 0u);
    EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 0, QS_SENDMESSAGE), WAIT_TIMEOUT);
    DeliverSent();
    EXPECT_EQ(handled.load(), 0);
}

TEST(SendMessageTest, AThreadThatEndsTakesItsWindowsAndReleasesTheirSenders) {
    std::promise<HWND> made;
    std::thread owner([&] {
        TestWindow window([](UINT, WPARAM) { return 9; });
        made.set_value(window.Wnd);
        AwaitSentMessage();
        window.Wnd = nullptr; // left to the thread's end
    });
    const HWND wnd = made.get_future().get();
    EXPECT_EQ(SendMessageA(wnd, WM_USER + 1, 0, 0), 0);
    owner.join();
    EXPECT_EQ(IsWindow(wnd), FALSE);
}

TEST(SendMessageTest, ASenderDeliversMessagesSentToItsOwnWindowsWhileItWaits) {
    // Each thread sends to the other's window from inside the handling: without delivery while
    // blocked in SendMessageA, both would wait for ever.
    std::thread::id answeredOn;
    TestWindow mine([&](UINT, WPARAM WParam) {
        answeredOn = std::this_thread::get_id();
        return static_cast<LRESULT>(WParam * 10);
    });
    std::promise<HWND> made;
    std::promise<void> done;
    std::thread other([&] {
        TestWindow theirs([&](UINT, WPARAM WParam) {
            return SendMessageA(mine.Wnd, WM_USER + 2, WParam + 1, 0) + 1;
        });
        made.set_value(theirs.Wnd);
        AwaitSentMessage();
        DeliverSent();
        done.get_future().wait(); // the window lives until the sender has its answer
    });
    EXPECT_EQ(SendMessageA(made.get_future().get(), WM_USER + 1, 4, 0), 51);
    EXPECT_EQ(answeredOn, std::this_thread::get_id());
    done.set_value();
    other.join();
}

TEST(SendMessageTest, AnErrorInTheWindowProcedureAnswersTheSenderWithZero) {
    TestWindow window([](UINT, WPARAM) -> LRESULT { throw std::runtime_error("handler failed"); });
    auto sender =
        std::async(std::launch::async, [&] { return SendMessageA(window.Wnd, WM_USER, 0, 0); });
    AwaitSentMessage();
    MSG msg{};
    EXPECT_THROW(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE), std::runtime_error);
    EXPECT_EQ(sender.get(), 0);
    EXPECT_FALSE(InSendMessage());
}

TEST(SendMessageTest, TheHookTellsTheSendingThreadWhoseQueueGotTheMessage) {
    static std::atomic<DWORD> told{0};
    static std::atomic<DWORD> tellingThread{0};
    SetSentMessageHook([](DWORD Owner) {
        told = Owner;
        tellingThread = GetCurrentThreadId();
    });
    TestWindow window([](UINT, WPARAM) { return 3; });
    DWORD senderId = 0;
    auto sender = std::async(std::launch::async, [&] {
        senderId = GetCurrentThreadId();
        return SendMessageA(window.Wnd, WM_USER, 0, 0);
    });
    AwaitSentMessage();
    DeliverSent();
    EXPECT_EQ(sender.get(), 3);
    SetSentMessageHook(nullptr);
    EXPECT_EQ(told.load(), GetCurrentThreadId());
    EXPECT_EQ(tellingThread.load(), senderId);
    EXPECT_NE(senderId, GetCurrentThreadId());
}

// --- Waiting for objects and sent messages ----------------------------------------------------

TEST(MsgWaitTest, ASentMessageEndsAWaitThatAsksForIt) {
    HANDLE e = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    TestWindow window([](UINT, WPARAM) { return 1; });
    SetLastError(Sentinel);
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &e, FALSE, 10, QS_SENDMESSAGE), WAIT_TIMEOUT);

    // Sent while the wait is already asleep, so the message has to wake it.
    std::promise<void> asleep;
    platform::SetWaitBlockedHookForTest([&, first = true]() mutable {
        if (std::exchange(first, false))
            asleep.set_value();
    });
    auto sender = std::async(std::launch::async, [&] {
        asleep.get_future().wait();
        platform::SetWaitBlockedHookForTest({});
        return SendMessageA(window.Wnd, WM_USER, 0, 0);
    });
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &e, FALSE, Bound, QS_SENDMESSAGE), WAIT_OBJECT_0 + 1);
    // A wait that does not ask for sent messages is not ended by one.
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &e, FALSE, 10, 0), WAIT_TIMEOUT);
    // A signalled handle comes first, as on Windows.
    SetEvent(e);
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &e, FALSE, 0, QS_SENDMESSAGE), WAIT_OBJECT_0);
    // Waiting does not deliver: the message is still there until PeekMessageA.
    EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 0, QS_SENDMESSAGE), WAIT_OBJECT_0);
    DeliverSent();
    EXPECT_EQ(sender.get(), 1);
    EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 0, QS_SENDMESSAGE), WAIT_TIMEOUT);
    EXPECT_EQ(GetLastError(), Sentinel);
    CloseHandle(e);
}

TEST(MsgWaitTest, BadArgumentsFail) {
    HANDLE e = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    SetLastError(Sentinel);
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &e, TRUE, 0, QS_SENDMESSAGE), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
    SetLastError(Sentinel);
    EXPECT_EQ(MsgWaitForMultipleObjects(1, nullptr, FALSE, 0, QS_SENDMESSAGE), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    // One place is the queue's.
    std::vector<HANDLE> many(MAXIMUM_WAIT_OBJECTS, e);
    SetLastError(Sentinel);
    EXPECT_EQ(
        MsgWaitForMultipleObjects(MAXIMUM_WAIT_OBJECTS, many.data(), FALSE, 0, QS_SENDMESSAGE),
        WAIT_FAILED);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(
        MsgWaitForMultipleObjects(MAXIMUM_WAIT_OBJECTS - 1, many.data(), FALSE, 0, QS_SENDMESSAGE),
        WAIT_OBJECT_0);
    HANDLE closed = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    CloseHandle(closed);
    SetLastError(Sentinel);
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &closed, FALSE, 0, QS_SENDMESSAGE), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    CloseHandle(e);
}

} // namespace
