// Threads and the hand-over to the main thread. Work queued for a thread (calls from
// Synchronize, messages sent to its hidden windows) runs when that thread serves its queue:
// in CheckSynchronize, while it waits in TThread::WaitFor, or from a front end's event loop,
// which learns of new work through the wake-up callback.
#pragma once

#include "platform/Export.h"
#include "platform/Win32.h"
#include "runtime/Classes.h"

#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

// Thread priorities, lowest first; TThread only records one (see TThread::Priority).
enum TThreadPriority : std::uint8_t {
    tpIdle,
    tpLowest,
    tpLower,
    tpNormal,
    tpHigher,
    tpHighest,
    tpTimeCritical
};

// Makes the calling thread the main thread; by default it is the thread that started the
// program.
TILLMARK_RUNTIME_API void SetMainThread();
// True on the main thread.
TILLMARK_RUNTIME_API bool IsMainThread();

// Called from any thread whenever work is queued for the main thread, so that an event loop can
// come back and call CheckSynchronize. Without one, the queue is served only where this layer
// serves it. Passing an empty function removes it.
TILLMARK_RUNTIME_API void SetWakeMainThread(std::function<void()> Wake);

// Serves the calling thread's queue: queued calls (main thread only) and messages sent to its
// hidden windows. Waits up to TimeoutMs for the first item; INFINITE waits until one arrives or
// WakeMainThread is called. Returns true when anything ran.
TILLMARK_RUNTIME_API bool CheckSynchronize(DWORD TimeoutMs = 0);

// Ends a CheckSynchronize wait on the main thread early (safe from any thread, not from a
// signal handler).
TILLMARK_RUNTIME_API void WakeMainThread();

// A thread whose work is a derived class's Execute, run on a pooled OS thread.
class TILLMARK_RUNTIME_API TThread : public TObject {
public:
    // Starts the thread at once, or with CreateSuspended only at Start or StartOnSignal.
    explicit TThread(bool CreateSuspended);
    // Terminates and waits for a started thread. A derived class whose Execute uses its own
    // members must stop and WaitFor in its own destructor, before those members go.
    ~TThread() override;
    // The class's name for messages.
    const char* ClassName() const override { return "TThread"; }

    // Runs Execute on a pooled OS thread; once started, a thread ignores a second start.
    void Start();
    // Starts the thread once Event is signalled instead of now, for a thread whose Execute would
    // begin by waiting for that event: until it comes no OS thread runs or wakes. It counts as
    // started all the same. Terminated before Event came, it is cancelled: Execute never runs,
    // and its owner does what Execute would have done on the way out.
    void StartOnSignal(HANDLE Event);
    // Asks Execute to end: Execute looks at Terminated and returns.
    void Terminate() { FTerminated = true; }
    bool Terminated() const { return FTerminated; }
    // True once Execute has returned, and for a thread never started.
    bool Finished() const;
    // Waits until Execute has returned, serving the calling thread's queue meanwhile, so a
    // thread that is handing work to the waiter can finish. Called from inside a call this
    // thread queued with Synchronize, it first lets the thread go on from that call.
    void WaitFor();
    // True on the thread that runs this thread's Execute, while it runs.
    bool IsCurrentThread() const;

    // Recorded only: the pooled OS threads all keep the priority they were made with.
    TThreadPriority Priority() const { return FPriority; }
    void SetPriority(TThreadPriority Value) { FPriority = Value; }
    // The error that escaped Execute, if any.
    std::exception_ptr FatalException() const;

protected:
    // The thread's work, which a derived class supplies.
    virtual void Execute() = 0;
    // Runs Method on the main thread and waits until it has run there; an error it raised is
    // raised again here. Called on the main thread, it runs Method at once. When the main
    // thread waits for this thread from inside Method, it returns early; an error Method raises
    // after that goes to the application's handler.
    static void Synchronize(const std::function<void()>& Method);

private:
    struct TState;
    // Runs Execute on the calling thread and reports its end.
    void RunExecute();
    // Waits for the end, cancelling a terminated run no worker has begun: one no worker will
    // take up, or with CancelHired any.
    void AwaitEnd(bool CancelHired);
    enum class TSettled : std::uint8_t { Over, Cancelled, Runs };
    // Under the lock: over already, cancelled now, or running (on RunningOn once begun).
    TSettled Settle(bool CancelHired, std::thread::id& RunningOn);
    // Under the pool's lock, held by Held: has a worker run Execute. Releases the lock when a
    // parked worker must be woken.
    void Hire(std::unique_lock<std::mutex>& Held);
    static void Signalled(void* Self, BOOLEAN TimedOut);
    // Unregisters the wait of StartOnSignal, if it is still held, waiting for a callback running.
    void GiveBackTrigger();
    std::shared_ptr<TState> FState;
    std::atomic<bool> FTerminated{false};
    TThreadPriority FPriority = tpNormal;
};
