// Events and waits. All events share one lock; each blocked wait has its own condition variable
// and is registered on the events it waits for, so SetEvent wakes exactly the waits concerned and
// nothing ever polls.
#include "platform/linux/Sync.h"

#include "platform/Win32.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace platform {

namespace {

std::mutex& SyncLock() {
    static std::mutex lock;
    return lock;
}

std::function<void()>& WaitBlockedHook() {
    static std::function<void()> hook;
    return hook;
}

struct Waiter {
    std::condition_variable Wake;
};

class Event final : public KernelObject {
public:
    Event(bool Manual, bool Initial) : ManualReset(Manual), Signalled(Initial) {}

    // Guarded by SyncLock().
    const bool ManualReset;
    bool Signalled;
    std::vector<Waiter*> Waiters;
};

// Under SyncLock(): the result of the wait if it can complete now, consuming auto-reset events
// only when this wait is the one that returns them.
std::optional<DWORD> TryComplete(const std::vector<std::shared_ptr<Event>>& Events, bool All) {
    if (All) {
        for (const auto& e : Events)
            if (!e->Signalled)
                return std::nullopt;
        for (const auto& e : Events)
            if (!e->ManualReset)
                e->Signalled = false;
        return WAIT_OBJECT_0;
    }
    for (std::size_t i = 0; i < Events.size(); ++i) {
        if (Events[i]->Signalled) {
            if (!Events[i]->ManualReset)
                Events[i]->Signalled = false;
            return WAIT_OBJECT_0 + static_cast<DWORD>(i);
        }
    }
    return std::nullopt;
}

DWORD WaitForEvents(const std::vector<std::shared_ptr<Event>>& Events, bool All,
                    DWORD Milliseconds) {
    const auto deadline = DeadlineAfter(Milliseconds, std::chrono::steady_clock::now());
    std::unique_lock lock(SyncLock());
    if (auto done = TryComplete(Events, All))
        return *done;
    if (Milliseconds == 0)
        return WAIT_TIMEOUT;

    Waiter self;
    for (const auto& e : Events)
        e->Waiters.push_back(&self);
    if (WaitBlockedHook())
        WaitBlockedHook()();

    std::optional<DWORD> result;
    while (!(result = TryComplete(Events, All))) {
        if (!deadline) {
            self.Wake.wait(lock);
        } else if (self.Wake.wait_until(lock, *deadline) == std::cv_status::timeout) {
            result = TryComplete(Events, All);
            break;
        }
    }
    for (const auto& e : Events)
        std::erase(e->Waiters, &self);
    return result.value_or(WAIT_TIMEOUT);
}

} // namespace

std::optional<SteadyTime> DeadlineAfter(DWORD Milliseconds, SteadyTime Now) {
    if (Milliseconds == INFINITE)
        return std::nullopt;
    return Now + std::chrono::milliseconds(Milliseconds);
}

void SetWaitBlockedHookForTest(std::function<void()> Hook) {
    std::lock_guard lock(SyncLock());
    WaitBlockedHook() = std::move(Hook);
}

} // namespace platform

using platform::Event;
using platform::FindHandleAs;

HANDLE CreateEventA(LPSECURITY_ATTRIBUTES, BOOL bManualReset, BOOL bInitialState, LPCSTR lpName) {
    // Named events would let unrelated code share an event by accident; nothing here needs them.
    if (lpName && *lpName) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    return platform::InsertHandle(
        std::make_shared<Event>(bManualReset != FALSE, bInitialState != FALSE));
}

BOOL SetEvent(HANDLE hEvent) {
    auto event = FindHandleAs<Event>(hEvent);
    if (!event)
        return FALSE;
    std::lock_guard lock(platform::SyncLock());
    event->Signalled = true;
    // Every waiter is woken: the first to take the lock consumes an auto-reset event, the others
    // find it reset and sleep again.
    for (auto* waiter : event->Waiters)
        waiter->Wake.notify_one();
    return TRUE;
}

BOOL ResetEvent(HANDLE hEvent) {
    auto event = FindHandleAs<Event>(hEvent);
    if (!event)
        return FALSE;
    std::lock_guard lock(platform::SyncLock());
    event->Signalled = false;
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
    return WaitForMultipleObjects(1, &hHandle, FALSE, dwMilliseconds);
}

DWORD WaitForMultipleObjects(DWORD nCount, const HANDLE* lpHandles, BOOL bWaitAll,
                             DWORD dwMilliseconds) {
    if (nCount == 0 || nCount > MAXIMUM_WAIT_OBJECTS || !lpHandles) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    std::vector<std::shared_ptr<Event>> events;
    events.reserve(nCount);
    for (DWORD i = 0; i < nCount; ++i) {
        auto event = FindHandleAs<Event>(lpHandles[i]);
        if (!event)
            return WAIT_FAILED;
        events.push_back(std::move(event));
    }
    if (bWaitAll) {
        // As Windows: one object twice in a wait-for-all is a caller error.
        for (std::size_t i = 0; i < events.size(); ++i)
            for (std::size_t j = i + 1; j < events.size(); ++j)
                if (events[i] == events[j]) {
                    SetLastError(ERROR_INVALID_PARAMETER);
                    return WAIT_FAILED;
                }
    }
    return platform::WaitForEvents(events, bWaitAll != FALSE, dwMilliseconds);
}

BOOL CloseHandle(HANDLE hObject) {
    auto object = platform::RemoveHandle(hObject);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    object->Close();
    return TRUE;
}

void Sleep(DWORD dwMilliseconds) {
    if (dwMilliseconds == 0) {
        std::this_thread::yield();
        return;
    }
    if (dwMilliseconds == INFINITE) {
        for (;;)
            std::this_thread::sleep_for(std::chrono::hours(24));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(dwMilliseconds));
}
