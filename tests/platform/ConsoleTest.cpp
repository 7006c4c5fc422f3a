// Its own binary: the control signals must be blocked before any other thread starts.
#include "platform/Win32.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

std::mutex lock;
std::condition_variable seen;
std::vector<std::pair<char, DWORD>> calls;
std::thread::id handlerThread;

BOOL Record(char Who, DWORD Type, BOOL Result) {
    std::lock_guard g(lock);
    calls.emplace_back(Who, Type);
    handlerThread = std::this_thread::get_id();
    seen.notify_all();
    return Result;
}
BOOL First(DWORD Type) {
    return Record('a', Type, TRUE);
}
BOOL Second(DWORD Type) {
    return Record('b', Type, FALSE);
}

void WaitForCalls(std::size_t N) {
    std::unique_lock g(lock);
    ASSERT_TRUE(seen.wait_for(g, std::chrono::seconds(20), [&] { return calls.size() >= N; }));
}

TEST(ConsoleControl, HandlersRunNewestFirstOnAThreadOfTheirOwn) {
    ASSERT_TRUE(SetConsoleCtrlHandler(First, TRUE));
    ASSERT_TRUE(SetConsoleCtrlHandler(Second, TRUE));
    ASSERT_TRUE(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0));
    WaitForCalls(2);
    {
        std::lock_guard g(lock);
        // Second declines, so First is asked too; First handles it and the process lives on.
        EXPECT_EQ(calls,
                  (std::vector<std::pair<char, DWORD>>{{'b', CTRL_C_EVENT}, {'a', CTRL_C_EVENT}}));
        EXPECT_NE(handlerThread, std::this_thread::get_id());
        calls.clear();
    }
    ASSERT_TRUE(SetConsoleCtrlHandler(Second, FALSE));
    EXPECT_FALSE(SetConsoleCtrlHandler(Second, FALSE));
    ASSERT_TRUE(GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, 0));
    WaitForCalls(1);
    std::lock_guard g(lock);
    EXPECT_EQ(calls, (std::vector<std::pair<char, DWORD>>{{'a', CTRL_BREAK_EVENT}}));
}

TEST(ConsoleControl, RefusesWhatItCannotDo) {
    SetLastError(0);
    EXPECT_FALSE(SetConsoleCtrlHandler(nullptr, TRUE));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(GenerateConsoleCtrlEvent(CTRL_CLOSE_EVENT, 0));
}

TEST(ConsoleControlDeathTest, AnUnhandledRequestEndsTheProcessAsTheSignalWould) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            SetConsoleCtrlHandler(Second, TRUE); // declines
            GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
            for (;;)
                ::pause(); // the signal ends the process
        },
        testing::KilledBySignal(SIGINT), "");
}

} // namespace
