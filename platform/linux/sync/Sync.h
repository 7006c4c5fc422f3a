// Internal to the Linux backend: the deadline of a wait, waits that serve a device themselves,
// and a hook tests use to observe waits.
#pragma once

#include "platform/linux/sync/Handles.h"

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace platform {

using SteadyTime = std::chrono::steady_clock::time_point;

// The moment a wait of Milliseconds that starts at Now gives up; none for INFINITE.
std::optional<SteadyTime> DeadlineAfter(DWORD Milliseconds, SteadyTime Now);

// The time-out for poll() or epoll_wait() that ends at Deadline: milliseconds from now, rounded
// up so the sleep never ends before it; -1 (no limit) for none.
int PollTimeout(const std::optional<SteadyTime>& Deadline);

// Work that will signal an event once a descriptor is ready, which a waiting thread can do
// itself: a thread that would block on that event sleeps in poll() on the descriptor too and,
// when it becomes ready, calls Help, instead of waiting for another thread to do the work and
// wake it. Saves a hand-over between threads on every completion.
class WaitHelper {
public:
    virtual ~WaitHelper() = default;
    // The descriptor to poll and what for (POLL* bits), or -1 when there is nothing to help with
    // now. A descriptor given is always followed by one Help call.
    virtual int HelperFd(short& Events) = 0;
    // After the poll: what the descriptor reported (POLL* bits), 0 when the wait ended for
    // another reason. Called with no lock of this layer held.
    virtual void Help(short Events) = 0;
};

// While one lives on a thread, the wake-ups that SetEvent sends from it to threads asleep in
// poll() wait until the outermost one ends. Declared before a lock that the woken thread wants
// at once, it ends after that lock is released, so the woken thread does not wake only to block
// on it. A thread that blocks in between calls Flush first.
class DeferredWakes {
public:
    DeferredWakes();
    ~DeferredWakes();
    DeferredWakes(const DeferredWakes&) = delete;
    DeferredWakes& operator=(const DeferredWakes&) = delete;
    // Sends what the calling thread has held back so far.
    static void Flush();
};

// A mutex held with the wake-ups sent under it held back until it is released.
struct WakeDeferringLock {
    explicit WakeDeferringLock(std::mutex& Mutex) : Held(Mutex) {}
    const DeferredWakes Deferred; // constructed first, so it ends after the unlock
    std::unique_lock<std::mutex> Held;
};

// Offers Helper to whoever waits on Event until the event is next signalled. An empty pointer
// withdraws it; a handle that is no event is ignored.
void SetEventHelper(HANDLE Event, std::weak_ptr<WaitHelper> Helper);

// Called by every wait just before it blocks, with the wait already registered on its events, so
// a test knows that a SetEvent made from then on has to wake a sleeping waiter. Runs under the
// events' lock: the hook must not call back into this layer. Pass an empty function to remove.
void SetWaitBlockedHookForTest(std::function<void()> Hook);

} // namespace platform
