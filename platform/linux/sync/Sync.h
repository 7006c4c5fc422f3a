// Internal to the Linux backend: the deadline of a wait, waits that serve a device themselves,
// and a hook tests use to observe waits.
#pragma once

#include "platform/linux/sync/Handles.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

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

struct WakeFd;

// Wake-ups of threads asleep in poll(), gathered while a lock is held and sent once it is
// released, so a woken thread that wants that lock does not wake only to block on it.
class HeldWakes {
public:
    HeldWakes() = default;
    HeldWakes(HeldWakes&& Other) noexcept : Fds(std::exchange(Other.Fds, {})) {}
    HeldWakes& operator=(HeldWakes&&) = delete;
    ~HeldWakes() { Send(); }
    void Add(std::shared_ptr<const WakeFd> Fd) { Fds.push_back(std::move(Fd)); }
    // Sends them all and forgets them.
    void Send();

private:
    std::vector<std::shared_ptr<const WakeFd>> Fds;
};

// A lock on a mutex that guards Wakes: what its holder gathers there goes out once the lock is
// released, or before the holder blocks in Wait, as a thread it wakes may be the one it waits
// for.
class WakingLock {
public:
    WakingLock(std::mutex& Mutex, HeldWakes& Gathered) : Wakes(&Gathered), Held(Mutex) {}
    WakingLock(WakingLock&&) noexcept = default;
    WakingLock& operator=(WakingLock&&) = delete;
    ~WakingLock() {
        if (!Held.owns_lock())
            return;
        HeldWakes out = std::move(*Wakes);
        Held.unlock();
        out.Send();
    }
    // Sends what is gathered, then waits on Cv until Done, the lock released meanwhile.
    template <typename Predicate>
    void Wait(std::condition_variable& Cv, Predicate Done) {
        HeldWakes(std::move(*Wakes)).Send();
        Cv.wait(Held, std::move(Done));
    }

private:
    HeldWakes* Wakes;
    std::unique_lock<std::mutex> Held;
};

// As SetEvent, with the wake-ups of waiters asleep in poll() added to Wakes instead of sent.
BOOL SetEventHolding(HANDLE Event, HeldWakes& Wakes);

// Offers Helper to whoever waits on Event until the event is next signalled. An empty pointer
// withdraws it; a handle that is no event is ignored.
void SetEventHelper(HANDLE Event, std::weak_ptr<WaitHelper> Helper);
// As SetEventHelper, with the wake-ups of the waiters that come round to help added to Wakes.
void SetEventHelper(HANDLE Event, std::weak_ptr<WaitHelper> Helper, HeldWakes& Wakes);

// Called by every wait just before it blocks, with the wait already registered on its events, so
// a test knows that a SetEvent made from then on has to wake a sleeping waiter. Runs under the
// events' lock: the hook must not call back into this layer. Pass an empty function to remove.
void SetWaitBlockedHookForTest(std::function<void()> Hook);

} // namespace platform
