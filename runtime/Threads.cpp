// TThread on pooled OS threads: a port that opens and closes for every receipt would otherwise
// create and join an OS thread each time. A worker that has finished parks until the next
// TThread starts; at most MaxParkedWorkers park, the others end. One lock guards the pool and
// every thread's state; a waiter learns of the end through the thread's event, so it can serve
// its own queue while it waits.
#include "runtime/Threads.h"
#include "runtime/Handover.h"

#include <condition_variable>
#include <mutex>
#ifdef __linux__
#include <pthread.h>
#endif
#include <stdexcept>
#include <utility>
#include <vector>

namespace {

constexpr std::size_t MaxParkedWorkers = 4;

std::mutex lock;

struct TWorker {
    std::condition_variable Cv;
    std::function<void()> Job; // guarded by lock
    bool Retire = false;       // guarded by lock
};

// Shared by a worker's thread and whoever wakes it, so a worker that runs its job and ends at
// once cannot go away under a wake-up sent after the lock is released.
std::vector<std::shared_ptr<TWorker>> parkedWorkers; // guarded by lock

void WorkerMain(const std::shared_ptr<TWorker>& Self) {
    std::unique_lock g(lock);
    for (;;) {
        Self->Cv.wait(g, [Self] { return Self->Job || Self->Retire; });
        if (!Self->Job)
            break;
        auto job = std::exchange(Self->Job, nullptr);
        g.unlock();
        job();
        job = nullptr;
        g.lock();
    }
}

// Under lock: a parked worker, to be woken once the lock is released, or a new one, which
// needs no wake-up, that will run Job. Throws std::system_error when no thread can be made.
std::shared_ptr<TWorker> HireWorker(std::function<void()> Job, bool& Parked) {
    Parked = !parkedWorkers.empty();
    if (Parked) {
        auto worker = std::move(parkedWorkers.back());
        parkedWorkers.pop_back();
        worker->Job = std::move(Job);
        return worker;
    }
    auto worker = std::make_shared<TWorker>();
    worker->Job = std::move(Job);
    std::thread thread(WorkerMain, worker);
#ifdef __linux__
    // Named, or it would carry the name of whichever thread started it.
    pthread_setname_np(thread.native_handle(), "tthread");
#endif
    thread.detach();
    return worker;
}

// Under lock: Worker's run is over; it parks for the next one or, when enough park, ends.
void FreeWorker(std::shared_ptr<TWorker> Worker) {
    if (parkedWorkers.size() < MaxParkedWorkers) {
        parkedWorkers.push_back(std::move(Worker));
        return;
    }
    Worker->Retire = true;
    Worker->Cv.notify_one();
}

} // namespace

struct TThread::TState {
    TState() = default;
    TState(const TState&) = delete;
    TState& operator=(const TState&) = delete;
    ~TState() { CloseHandle(Ended); }

    bool Started = false;
    bool Running = false; // Execute has begun, or the run was cancelled
    bool Finished = false;
    std::shared_ptr<TWorker> Hired;  // the worker that will run Execute, until it begins
    std::shared_ptr<TWorker> RunsOn; // the worker running Execute
    HANDLE Trigger = nullptr;        // the registered wait of StartOnSignal, until it is over
    std::thread::id RunningOn;
    std::exception_ptr Fatal;
    // Set once Finished is, for whoever waits.
    const HANDLE Ended = CreateEventA(nullptr, TRUE, FALSE, nullptr);
};

TThread::TThread(bool CreateSuspended) : FState(std::make_shared<TState>()) {
    if (!CreateSuspended)
        Start();
}

TThread::~TThread() {
    if (!Finished()) {
        Terminate();
        // The derived object is gone: a run no worker has begun is cancelled, not begun.
        AwaitEnd(true);
    }
    // A thread that its signal started and that ended by itself still holds the registration.
    GiveBackTrigger();
}

void TThread::GiveBackTrigger() {
    HANDLE trigger = nullptr;
    {
        std::lock_guard g(lock);
        trigger = std::exchange(FState->Trigger, nullptr);
    }
    if (trigger)
        UnregisterWaitEx(trigger, INVALID_HANDLE_VALUE);
}

void TThread::Start() {
    std::unique_lock g(lock);
    if (FState->Started)
        return;
    FState->Started = true;
    Hire(g);
}

void TThread::StartOnSignal(HANDLE Event) {
    {
        std::lock_guard g(lock);
        if (FState->Started)
            return;
        FState->Started = true;
    }
    HANDLE trigger = nullptr;
    if (RegisterWaitForSingleObject(&trigger, Event, &TThread::Signalled, this, INFINITE,
                                    WT_EXECUTEONLYONCE)) {
        std::lock_guard g(lock);
        FState->Trigger = trigger;
        return;
    }
    // No wait could be registered: it starts now, and waits for the event itself.
    std::unique_lock g(lock);
    Hire(g);
}

void TThread::Signalled(void* Self, BOOLEAN) {
    auto* thread = static_cast<TThread*>(Self);
    std::unique_lock g(lock);
    // A waiter that took the run over has it already.
    if (thread->FState->Running || thread->FState->Hired)
        return;
    thread->Hire(g);
}

void TThread::Hire(std::unique_lock<std::mutex>& Held) {
    bool parked = false;
    FState->Hired = HireWorker(
        [this, state = FState] {
            {
                std::lock_guard held(lock);
                if (state->Running)
                    return; // taken back by the waiter
                state->RunsOn = std::exchange(state->Hired, nullptr);
                state->Running = true;
                state->RunningOn = std::this_thread::get_id();
            }
            RunExecute();
        },
        parked);
    // Woken after the lock is released, so it does not wake only to wait for the lock.
    if (parked) {
        const auto worker = FState->Hired;
        Held.unlock();
        worker->Cv.notify_one();
    }
}

void TThread::RunExecute() {
    std::exception_ptr fatal;
    try {
        Execute();
    } catch (...) {
        fatal = std::current_exception();
    }
    // The waiter may destroy this object as soon as it sees the end: only the shared state is
    // touched from here on.
    const auto state = FState;
    {
        std::lock_guard g(lock);
        state->Fatal = fatal;
        state->Finished = true;
        // In the same step, so the next Start finds the worker free.
        if (state->RunsOn)
            FreeWorker(std::exchange(state->RunsOn, nullptr));
    }
    SetEvent(state->Ended);
}

bool TThread::IsCurrentThread() const {
    std::lock_guard g(lock);
    return FState->Running && !FState->Finished && FState->RunningOn == std::this_thread::get_id();
}

bool TThread::Finished() const {
    std::lock_guard g(lock);
    return !FState->Started || FState->Finished;
}

std::exception_ptr TThread::FatalException() const {
    std::lock_guard g(lock);
    return FState->Fatal;
}

void TThread::WaitFor() {
    AwaitEnd(false);
}

void TThread::AwaitEnd(bool CancelHired) {
    // A terminated thread no longer waits for its signal; after this no worker is hired for it.
    if (Terminated())
        GiveBackTrigger();
    std::thread::id runningOn;
    switch (Settle(CancelHired, runningOn)) {
    case TSettled::Over:
        return;
    case TSettled::Cancelled:
        SetEvent(FState->Ended);
        return;
    case TSettled::Runs:
        break;
    }
    // Waiting from inside a call the thread queued with Synchronize: it goes on from there.
    if (runningOn != std::thread::id())
        handover::ReleaseCallsFrom(runningOn);
    handover::WaitServing(FState->Ended);
}

TThread::TSettled TThread::Settle(bool CancelHired, std::thread::id& RunningOn) {
    std::lock_guard g(lock);
    if (!FState->Started || FState->Finished)
        return TSettled::Over;
    if (FState->Running) {
        if (FState->RunningOn == std::this_thread::get_id())
            throw std::logic_error("A thread cannot wait for itself");
        RunningOn = FState->RunningOn;
        return TSettled::Runs;
    }
    // Stopped before it began: a run no worker will take up, or one whose object is going, is
    // cancelled. Its body never runs; a worker hired for it finds it taken.
    if (!Terminated() || (FState->Hired && !CancelHired))
        return TSettled::Runs;
    if (FState->Hired)
        FreeWorker(std::exchange(FState->Hired, nullptr));
    FState->Running = true;
    FState->Finished = true;
    return TSettled::Cancelled;
}
