// The file calls' dispatch and GetOverlappedResult over prefilled records.
#include "platform/Win32.h"
#include "platform/linux/sync/Sync.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>

namespace {

constexpr DWORD Sentinel = 0xDEADBEEF;

// An OVERLAPPED as a device hands it back: status and count, filled in like the device does.
struct Record {
    Record() {
        Ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        Ov.Internal = ERROR_IO_PENDING;
        Ov.InternalHigh = 0;
    }
    ~Record() { CloseHandle(Ov.hEvent); }
    void Complete(DWORD Status, DWORD Count) {
        Ov.InternalHigh = Count;
        std::atomic_ref<ULONG_PTR>(Ov.Internal).store(Status, std::memory_order_release);
        SetEvent(Ov.hEvent);
    }
    OVERLAPPED Ov{};
};

TEST(OverlappedResultTest, PendingWithoutWaitIsIncompleteAndTouchesNothing) {
    Record r;
    DWORD count = Sentinel;
    SetLastError(Sentinel);
    EXPECT_EQ(GetOverlappedResult(nullptr, &r.Ov, &count, FALSE), FALSE);
    EXPECT_EQ(GetLastError(), ERROR_IO_INCOMPLETE);
    EXPECT_EQ(count, Sentinel);
}

TEST(OverlappedResultTest, SuccessGivesTheCountAndLeavesTheLastError) {
    Record r;
    r.Complete(ERROR_SUCCESS, 42);
    DWORD count = Sentinel;
    SetLastError(Sentinel);
    EXPECT_NE(GetOverlappedResult(nullptr, &r.Ov, &count, FALSE), FALSE);
    EXPECT_EQ(count, 42u);
    EXPECT_EQ(GetLastError(), Sentinel);
}

TEST(OverlappedResultTest, FailureGivesItsStatusAndThePartialCount) {
    Record r;
    r.Complete(ERROR_OPERATION_ABORTED, 5);
    DWORD count = Sentinel;
    EXPECT_EQ(GetOverlappedResult(nullptr, &r.Ov, &count, TRUE), FALSE);
    EXPECT_EQ(GetLastError(), ERROR_OPERATION_ABORTED);
    EXPECT_EQ(count, 5u);
}

TEST(OverlappedResultTest, WaitBlocksUntilTheDeviceCompletes) {
    Record r;
    std::promise<void> blocked;
    platform::SetWaitBlockedHookForTest([&] { blocked.set_value(); });
    DWORD count = Sentinel;
    auto result = std::async(std::launch::async, [&] {
        SetLastError(Sentinel);
        BOOL ok = GetOverlappedResult(nullptr, &r.Ov, &count, TRUE);
        return std::make_pair(ok, GetLastError());
    });
    blocked.get_future().wait();
    platform::SetWaitBlockedHookForTest({});
    r.Complete(ERROR_SUCCESS, 7);
    const auto [ok, error] = result.get();
    EXPECT_NE(ok, FALSE);
    EXPECT_EQ(count, 7u);
    EXPECT_EQ(error, Sentinel);
}

TEST(OverlappedResultTest, AnEventSetByOthersDoesNotPassForCompletion) {
    Record r;
    SetEvent(r.Ov.hEvent);
    DWORD count = Sentinel;
    EXPECT_EQ(GetOverlappedResult(nullptr, &r.Ov, &count, TRUE), FALSE);
    EXPECT_EQ(GetLastError(), ERROR_IO_INCOMPLETE);
    EXPECT_EQ(count, Sentinel);
}

TEST(OverlappedResultTest, BadArgumentsFail) {
    Record r;
    DWORD count = 0;
    EXPECT_EQ(GetOverlappedResult(nullptr, nullptr, &count, FALSE), FALSE);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(GetOverlappedResult(nullptr, &r.Ov, nullptr, FALSE), FALSE);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    // No event to wait on: refused rather than waited on forever.
    OVERLAPPED bare{};
    bare.Internal = ERROR_IO_PENDING;
    EXPECT_EQ(GetOverlappedResult(nullptr, &bare, &count, TRUE), FALSE);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(FileDispatchTest, FileCallsOnHandlesOfOtherKindsFail) {
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE closed = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    CloseHandle(closed);
    char buffer[4] = {};
    DWORD count = Sentinel;
    for (HANDLE h : {event, closed, INVALID_HANDLE_VALUE}) {
        SetLastError(Sentinel);
        EXPECT_EQ(WriteFile(h, "abc", 3, &count, nullptr), FALSE);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
        SetLastError(Sentinel);
        EXPECT_EQ(ReadFile(h, buffer, 4, &count, nullptr), FALSE);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    }
    SetLastError(Sentinel);
    EXPECT_EQ(GetFileType(event), FILE_TYPE_UNKNOWN);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS) << "a valid handle of no file type is no failure";
    EXPECT_EQ(GetFileType(closed), FILE_TYPE_UNKNOWN);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    CloseHandle(event);
}

} // namespace
