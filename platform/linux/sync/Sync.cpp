// Events and waits. All events share one lock; each blocked wait has its own condition variable
// and is registered on the events it waits for, so SetEvent wakes exactly the waits concerned and
// nothing ever polls in a loop. SetEvent wakes them after it has released the lock, so they do
// not wake only to wait for it. A wait on an event that a device will signal sleeps in poll() on
// that device as well and does the device's work itself (see WaitHelper).
#include "platform/linux/sync/Sync.h"

#include "platform/Win32.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace platform {

// A thread's wake-up descriptor for waits in poll(). Shared, so a wake-up sent after the lock is
// released never reaches a number that the ended thread's descriptor has handed on.
struct WakeFd {
    int Fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    WakeFd() = default;
    WakeFd(const WakeFd&) = delete;
    WakeFd& operator=(const WakeFd&) = delete;
    ~WakeFd() {
        if (Fd >= 0)
            ::close(Fd);
    }
    void Wake() const {
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto written = ::write(Fd, &one, sizeof one);
    }
};

void HeldWakes::Send() {
    for (const auto& fd : Fds)
        fd->Wake();
    Fds.clear();
}

namespace {

std::mutex& SyncLock() {
    static std::mutex lock;
    return lock;
}

std::function<void()>& WaitBlockedHook() {
    static std::function<void()> hook;
    return hook;
}

// Shared by the waiting thread and a SetEvent that wakes it after releasing the lock, when the
// wait may have ended already.
struct Waiter {
    std::condition_variable Wake;
    std::shared_ptr<const WakeFd> Polling; // while the waiter sleeps in poll()
    std::thread::id Thread = std::this_thread::get_id();
};

struct RegisteredWait;

class Event final : public KernelObject {
public:
    Event(bool Manual, bool Initial) : ManualReset(Manual), Signalled(Initial) {}

    // Guarded by SyncLock().
    const bool ManualReset;
    bool Signalled;
    std::vector<std::shared_ptr<Waiter>> Waiters;
    std::weak_ptr<WaitHelper> Helper;
    std::vector<std::shared_ptr<RegisteredWait>> Registered;
};

// A callback to run on the wait thread once its event is signalled.
struct RegisteredWait final : KernelObject {
    RegisteredWait(std::shared_ptr<Event> E, WAITORTIMERCALLBACK C, PVOID P)
        : Object(std::move(E)), Callback(C), Context(P) {}
    const std::shared_ptr<Event> Object;
    const WAITORTIMERCALLBACK Callback;
    const PVOID Context;
    // Guarded by SyncLock().
    enum { Armed, Queued, Running, Over } State = Armed;
    std::thread::id RunningOn;
    std::condition_variable Finished;
};

// The one thread that runs the callbacks of registered waits, started on first use. Never
// destroyed: it may still be asleep when the process exits.
struct WaitThread {
    std::condition_variable Ready; // under SyncLock()
    std::deque<std::shared_ptr<RegisteredWait>> Queue;
    bool Started = false;
};

WaitThread& Waits() {
    static WaitThread* const waits = new WaitThread;
    return *waits;
}

void RunWaitThread() {
    WaitThread& waits = Waits();
    std::unique_lock lock(SyncLock());
    for (;;) {
        waits.Ready.wait(lock, [&] { return !waits.Queue.empty(); });
        const auto wait = std::move(waits.Queue.front());
        waits.Queue.pop_front();
        if (wait->State != RegisteredWait::Queued)
            continue; // unregistered meanwhile
        wait->State = RegisteredWait::Running;
        wait->RunningOn = std::this_thread::get_id();
        lock.unlock();
        wait->Callback(wait->Context, FALSE);
        lock.lock();
        wait->State = RegisteredWait::Over;
        wait->Finished.notify_all();
    }
}

// Under SyncLock(), with E signalled: hands its registered waits to the wait thread (the first
// only when E resets itself, which that consumes). True when the wait thread must be woken.
bool FireRegistered(Event& E) {
    if (E.Registered.empty())
        return false;
    WaitThread& waits = Waits();
    const std::size_t fire = E.ManualReset ? E.Registered.size() : 1;
    for (std::size_t i = 0; i < fire; ++i) {
        E.Registered[i]->State = RegisteredWait::Queued;
        waits.Queue.push_back(std::move(E.Registered[i]));
    }
    E.Registered.erase(E.Registered.begin(), E.Registered.begin() + static_cast<long>(fire));
    if (!E.ManualReset)
        E.Signalled = false;
    if (!waits.Started) {
        waits.Started = true;
        std::thread thread(RunWaitThread);
        // Named, or it would carry the name of whichever thread signalled first.
        pthread_setname_np(thread.native_handle(), "wait-callbacks");
        thread.detach();
        return false;
    }
    return true;
}

// The calling thread's wake-up descriptor, made on first use; its Fd is -1 when none can be
// made.
const std::shared_ptr<const WakeFd>& ThreadWakeFd() {
    thread_local const std::shared_ptr<const WakeFd> owner = std::make_shared<WakeFd>();
    return owner;
}

// Under SyncLock(): gathers the wake-up of a waiter asleep in poll() into Wakes; false for one on
// its condition variable, which the caller notifies.
bool WakePollingWaiter(const Waiter& W, HeldWakes& Wakes) {
    if (!W.Polling)
        return false;
    // A helper signalling its own waiter's event finds the waiter awake already.
    if (W.Thread != std::this_thread::get_id())
        Wakes.Add(W.Polling);
    return true;
}

// Under SyncLock(): a helper offered on one of the events.
std::weak_ptr<WaitHelper> FindHelper(const std::vector<std::shared_ptr<Event>>& Events) {
    for (const auto& e : Events)
        if (!e->Helper.expired())
            return e->Helper;
    return {};
}

// Sleeps in poll() on the waiter's descriptor and the helper's, and helps when the helper's is
// ready. Called and returns with Lock held.
void HelpWhileWaiting(std::unique_lock<std::mutex>& Lock, Waiter& Self,
                      const std::weak_ptr<WaitHelper>& Offered,
                      const std::optional<SteadyTime>& Deadline) {
    Self.Polling = ThreadWakeFd();
    const int wakeFd = Self.Polling->Fd;
    Lock.unlock();
    // Held only while unlocked: the last reference may close a device, which signals events.
    if (auto helper = Offered.lock()) {
        short events = 0;
        const int fd = helper->HelperFd(events);
        pollfd fds[2] = {{wakeFd, POLLIN, 0}, {fd, events, 0}};
        const int ready = ::poll(fds, 2, PollTimeout(Deadline));
        if (ready > 0 && (fds[0].revents & POLLIN)) {
            std::uint64_t value = 0;
            [[maybe_unused]] const auto got = ::read(wakeFd, &value, sizeof value);
        }
        if (fd >= 0)
            helper->Help(ready > 0 ? fds[1].revents : 0);
    }
    Lock.lock();
    Self.Polling.reset();
}

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

    const auto shared = std::make_shared<Waiter>();
    Waiter& self = *shared;
    for (const auto& e : Events)
        e->Waiters.push_back(shared);
    if (WaitBlockedHook())
        WaitBlockedHook()();

    std::optional<DWORD> result;
    while (!(result = TryComplete(Events, All))) {
        // A wait for all of several events gains nothing from doing one event's work early.
        const auto helper = All ? std::weak_ptr<WaitHelper>() : FindHelper(Events);
        if (!helper.expired() && ThreadWakeFd()->Fd >= 0) {
            HelpWhileWaiting(lock, self, helper, deadline);
            if (deadline && std::chrono::steady_clock::now() >= *deadline) {
                result = TryComplete(Events, All);
                break;
            }
        } else if (!deadline) {
            self.Wake.wait(lock);
        } else if (self.Wake.wait_until(lock, *deadline) == std::cv_status::timeout) {
            result = TryComplete(Events, All);
            break;
        }
    }
    for (const auto& e : Events)
        std::erase(e->Waiters, shared);
    return result.value_or(WAIT_TIMEOUT);
}

} // namespace

std::optional<SteadyTime> DeadlineAfter(DWORD Milliseconds, SteadyTime Now) {
    if (Milliseconds == INFINITE)
        return std::nullopt;
    return Now + std::chrono::milliseconds(Milliseconds);
}

int PollTimeout(const std::optional<SteadyTime>& Deadline) {
    if (!Deadline)
        return -1;
    const auto left = *Deadline - std::chrono::steady_clock::now();
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    return static_cast<int>(std::clamp<std::int64_t>(ms, 0, 24 * 3600 * 1000));
}

void SetWaitBlockedHookForTest(std::function<void()> Hook) {
    std::lock_guard lock(SyncLock());
    WaitBlockedHook() = std::move(Hook);
}

void SetEventHelper(HANDLE Handle, std::weak_ptr<WaitHelper> Helper) {
    HeldWakes wakes;
    SetEventHelper(Handle, std::move(Helper), wakes);
}

void SetEventHelper(HANDLE Handle, std::weak_ptr<WaitHelper> Helper, HeldWakes& Wakes) {
    auto event = std::dynamic_pointer_cast<Event>(FindHandle(Handle));
    if (!event)
        return;
    std::lock_guard lock(SyncLock());
    event->Helper = std::move(Helper);
    // A waiter already asleep on the condition variable comes round to help.
    if (!event->Helper.expired())
        for (const auto& waiter : event->Waiters)
            if (!WakePollingWaiter(*waiter, Wakes))
                waiter->Wake.notify_one();
}

BOOL SetEventHolding(HANDLE hEvent, HeldWakes& Wakes) {
    auto event = FindHandleAs<Event>(hEvent);
    if (!event)
        return FALSE;
    // Usually one waiter or none.
    std::shared_ptr<Waiter> first;
    std::vector<std::shared_ptr<Waiter>> others;
    bool wakeWaitThread = false;
    {
        std::lock_guard lock(SyncLock());
        event->Signalled = true;
        // The work it stood for is done.
        event->Helper.reset();
        wakeWaitThread = FireRegistered(*event);
        // Every waiter is woken: the first to take the lock consumes an auto-reset event, the
        // others find it reset and sleep again.
        for (const auto& waiter : event->Waiters) {
            if (WakePollingWaiter(*waiter, Wakes))
                continue;
            if (!first)
                first = waiter;
            else
                others.push_back(waiter);
        }
    }
    if (first)
        first->Wake.notify_one();
    for (const auto& waiter : others)
        waiter->Wake.notify_one();
    if (wakeWaitThread)
        Waits().Ready.notify_one();
    return TRUE;
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
    platform::HeldWakes wakes; // sent on return, with the events' lock released
    return platform::SetEventHolding(hEvent, wakes);
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

BOOL RegisterWaitForSingleObject(HANDLE* phNewWaitObject, HANDLE hObject,
                                 WAITORTIMERCALLBACK Callback, PVOID Context, ULONG dwMilliseconds,
                                 ULONG dwFlags) {
    constexpr ULONG known = WT_EXECUTEONLYONCE | WT_EXECUTEINWAITTHREAD | WT_EXECUTELONGFUNCTION;
    if (!phNewWaitObject || !Callback) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (dwMilliseconds != INFINITE || !(dwFlags & WT_EXECUTEONLYONCE) || (dwFlags & ~known)) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    auto event = FindHandleAs<Event>(hObject);
    if (!event)
        return FALSE;
    auto wait = std::make_shared<platform::RegisteredWait>(event, Callback, Context);
    *phNewWaitObject = platform::InsertHandle(wait);
    bool wake = false;
    {
        std::lock_guard lock(platform::SyncLock());
        event->Registered.push_back(std::move(wait));
        if (event->Signalled)
            wake = platform::FireRegistered(*event);
    }
    if (wake)
        platform::Waits().Ready.notify_one();
    return TRUE;
}

BOOL UnregisterWaitEx(HANDLE WaitHandle, HANDLE CompletionEvent) {
    if (CompletionEvent != nullptr && CompletionEvent != INVALID_HANDLE_VALUE) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    auto wait =
        std::dynamic_pointer_cast<platform::RegisteredWait>(platform::FindHandle(WaitHandle));
    if (!wait) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    platform::RemoveHandle(WaitHandle);
    std::unique_lock lock(platform::SyncLock());
    using platform::RegisteredWait;
    if (wait->State == RegisteredWait::Armed)
        std::erase(wait->Object->Registered, wait);
    if (wait->State != RegisteredWait::Running) {
        wait->State = RegisteredWait::Over; // a queued callback is dropped
        return TRUE;
    }
    // A callback cannot wait for itself to end.
    if (CompletionEvent == nullptr || wait->RunningOn == std::this_thread::get_id()) {
        SetLastError(ERROR_IO_PENDING);
        return FALSE;
    }
    wait->Finished.wait(lock, [&] { return wait->State == RegisteredWait::Over; });
    return TRUE;
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

DWORD GetCurrentThreadId() {
    return static_cast<DWORD>(::gettid());
}
