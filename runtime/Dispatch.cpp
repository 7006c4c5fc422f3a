// Per-thread queues behind Synchronize, hidden windows and TThread::WaitFor. One lock guards
// all of it: the hand-overs are rare (one per event batch) and never held across user code.
#include "runtime/Application.h"
#include "runtime/Messages.h"
#include "runtime/Threads.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace {

struct TWork {
    bool IsMessage = false;
    std::function<void()> Method; // a queued call
    std::thread::id Sender;       // the thread waiting for it
    HWND Wnd = nullptr;           // a sent message
    TMessage Message{};
    bool Released = false; // the waiting sender may go on
    std::exception_ptr Error;
};

struct TInbox {
    std::deque<std::shared_ptr<TWork>> Queue;
    std::condition_variable Cv;
    bool Woken = false;
};

struct TWindow {
    std::thread::id Owner;
    TWndMethod Method;
};

std::mutex lock;
std::condition_variable released; // senders and synchronizers wait here
std::map<std::thread::id, TInbox> inboxes;
std::map<HWND, TWindow> windows;
std::uintptr_t nextWindow = 0x1000;
std::thread::id mainThread = std::this_thread::get_id();
std::function<void()> wakeMainThread;

thread_local std::shared_ptr<TWork> currentSent;
// The queued calls running on this thread, innermost last.
thread_local std::vector<std::shared_ptr<TWork>> runningCalls;

TInbox& InboxOf(std::thread::id Id) {
    return inboxes[Id];
}

// Under lock; the caller wakes the senders with released.notify_all() once it has let go of
// the lock, so they do not wake only to wait for it.
void Release(TWork& Work) {
    Work.Released = true;
}

void CallWake() {
    std::function<void()> wake;
    {
        std::lock_guard g(lock);
        wake = wakeMainThread;
    }
    if (wake)
        wake();
}

// Queues work for a thread and tells its waiters (and, for the main thread, the event loop).
void Enqueue(std::thread::id Target, std::shared_ptr<TWork> Work) {
    {
        std::unique_lock g(lock);
        TInbox& inbox = InboxOf(Target);
        inbox.Queue.push_back(std::move(Work));
        g.unlock();
        // Inboxes live as long as the process, so this is safe without the lock.
        inbox.Cv.notify_all();
    }
    if (Target == mainThread)
        CallWake();
}

void WaitReleased(const std::shared_ptr<TWork>& Work) {
    std::unique_lock g(lock);
    released.wait(g, [&] { return Work->Released; });
}

void Run(const std::shared_ptr<TWork>& Work) {
    if (!Work->IsMessage) {
        runningCalls.push_back(Work);
        std::exception_ptr error;
        try {
            Work->Method();
        } catch (...) {
            error = std::current_exception();
        }
        runningCalls.pop_back();
        bool senderGone = false;
        {
            std::lock_guard g(lock);
            senderGone = Work->Released;
            if (!senderGone) {
                Work->Error = error;
                Release(*Work);
            }
        }
        released.notify_all();
        // Its sender went on while it ran (see ReleaseCallsFrom): nobody is left to raise it.
        if (senderGone && error)
            ApplicationHandleException(error);
        return;
    }
    TWndMethod method;
    {
        std::lock_guard g(lock);
        auto it = windows.find(Work->Wnd);
        if (it != windows.end())
            method = it->second.Method;
    }
    if (method) {
        auto saved = std::exchange(currentSent, Work);
        TMessage message = Work->Message;
        try {
            method(message);
        } catch (...) {
            ApplicationHandleException(std::current_exception());
        }
        currentSent = saved;
        {
            std::lock_guard g(lock);
            if (!Work->Released) {
                Work->Message.Result = message.Result;
                Release(*Work);
            }
        }
        released.notify_all();
        return;
    }
    {
        std::lock_guard g(lock);
        if (!Work->Released)
            Release(*Work);
    }
    released.notify_all();
}

// Under lock: lets Sender go on from every queued call of its own that is running on the calling
// thread. A thread that waits for Sender to end from inside such a call would otherwise wait
// for itself.
bool ReleaseCallsFrom(std::thread::id Sender) {
    bool any = false;
    for (const auto& work : runningCalls) {
        if (work->Sender == Sender && !work->Released) {
            Release(*work);
            any = true;
        }
    }
    return any;
}

// Runs everything queued for the calling thread; true when anything ran.
bool Serve() {
    bool ran = false;
    for (;;) {
        std::shared_ptr<TWork> work;
        {
            std::lock_guard g(lock);
            auto& queue = InboxOf(std::this_thread::get_id()).Queue;
            if (queue.empty())
                return ran;
            work = std::move(queue.front());
            queue.pop_front();
        }
        Run(work);
        ran = true;
    }
}

} // namespace

// --- Main thread ----------------------------------------------------------------------------

void SetMainThread() {
    std::lock_guard g(lock);
    mainThread = std::this_thread::get_id();
}

bool IsMainThread() {
    std::lock_guard g(lock);
    return std::this_thread::get_id() == mainThread;
}

void SetWakeMainThread(std::function<void()> Wake) {
    std::lock_guard g(lock);
    wakeMainThread = std::move(Wake);
}

bool CheckSynchronize(DWORD TimeoutMs) {
    if (TimeoutMs != 0) {
        std::unique_lock g(lock);
        TInbox& inbox = InboxOf(std::this_thread::get_id());
        auto ready = [&] { return !inbox.Queue.empty() || inbox.Woken; };
        if (TimeoutMs == INFINITE)
            inbox.Cv.wait(g, ready);
        else
            inbox.Cv.wait_for(g, std::chrono::milliseconds(TimeoutMs), ready);
        inbox.Woken = false;
    }
    return Serve();
}

void WakeMainThread() {
    std::lock_guard g(lock);
    TInbox& inbox = InboxOf(mainThread);
    inbox.Woken = true;
    inbox.Cv.notify_all();
}

// --- TThread --------------------------------------------------------------------------------
//
// Threads run on pooled OS threads: a port that opens and closes for every receipt would
// otherwise create and join an OS thread each time. A worker that has finished parks until the
// next TThread starts; at most MaxParkedWorkers park, the others end.

namespace {

constexpr std::size_t MaxParkedWorkers = 4;

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
std::shared_ptr<TWorker> Hire(std::function<void()> Job, bool& Parked) {
    Parked = !parkedWorkers.empty();
    if (Parked) {
        auto worker = std::move(parkedWorkers.back());
        parkedWorkers.pop_back();
        worker->Job = std::move(Job);
        return worker;
    }
    auto worker = std::make_shared<TWorker>();
    worker->Job = std::move(Job);
    std::thread(WorkerMain, worker).detach();
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
    bool Started = false;
    bool Running = false; // Execute has begun, or the run was cancelled
    bool Finished = false;
    std::shared_ptr<TWorker> Hired;  // the worker that will run Execute, until it begins
    std::shared_ptr<TWorker> RunsOn; // the worker running Execute
    std::thread::id RunningOn;
    std::exception_ptr Fatal;
};

TThread::TThread(bool CreateSuspended) : FState(std::make_shared<TState>()) {
    if (!CreateSuspended)
        Start();
}

TThread::~TThread() {
    if (!Finished()) {
        Terminate();
        // The derived object is gone: a run no worker has begun is cancelled, not begun.
        AwaitEnd(false);
    }
}

void TThread::Start() {
    std::unique_lock g(lock);
    if (FState->Started)
        return;
    bool parked = false;
    FState->Hired = Hire(
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
    FState->Started = true;
    // Woken after the lock is released, so it does not wake only to wait for the lock.
    if (parked) {
        const auto worker = FState->Hired;
        g.unlock();
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
    std::vector<std::condition_variable*> waiters;
    {
        std::lock_guard g(lock);
        state->Fatal = fatal;
        state->Finished = true;
        // In the same step, so the next Start finds the worker free.
        if (state->RunsOn)
            FreeWorker(std::exchange(state->RunsOn, nullptr));
        for (auto& [id, inbox] : inboxes)
            waiters.push_back(&inbox.Cv);
    }
    // Whoever waits for this thread waits on its own inbox; inboxes live as long as the process.
    for (auto* waiter : waiters)
        waiter->notify_all();
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
    AwaitEnd(true);
}

void TThread::AwaitEnd(bool RunUnbegun) {
    bool runHere = false;
    bool releasedCalls = false;
    {
        std::lock_guard g(lock);
        if (FState->Running && !FState->Finished && FState->RunningOn == std::this_thread::get_id())
            throw std::logic_error("A thread cannot wait for itself");
        if (FState->Running && !FState->Finished)
            releasedCalls = ReleaseCallsFrom(FState->RunningOn);
        // Asked to stop before any worker took it up: its Execute has only to notice that, so
        // it runs here instead of waiting for a worker to be scheduled.
        if (FState->Started && !FState->Running && Terminated()) {
            FreeWorker(std::exchange(FState->Hired, nullptr));
            FState->Running = true;
            FState->RunningOn = std::this_thread::get_id();
            if (RunUnbegun)
                runHere = true;
            else
                FState->Finished = true;
        }
    }
    if (releasedCalls)
        released.notify_all();
    if (runHere) {
        const DWORD lastError = GetLastError();
        RunExecute();
        SetLastError(lastError);
        return;
    }
    for (;;) {
        {
            std::unique_lock g(lock);
            TInbox& inbox = InboxOf(std::this_thread::get_id());
            inbox.Cv.wait(
                g, [&] { return !FState->Started || FState->Finished || !inbox.Queue.empty(); });
            if (!FState->Started || FState->Finished)
                break;
        }
        Serve();
    }
}

void TThread::Synchronize(const std::function<void()>& Method) {
    if (IsMainThread()) {
        Method();
        return;
    }
    auto work = std::make_shared<TWork>();
    work->Method = Method;
    work->Sender = std::this_thread::get_id();
    std::thread::id target;
    {
        std::lock_guard g(lock);
        target = mainThread;
    }
    Enqueue(target, work);
    WaitReleased(work);
    if (work->Error)
        std::rethrow_exception(work->Error);
}

// --- Hidden windows -------------------------------------------------------------------------

HWND AllocateHWnd(TWndMethod Method) {
    std::lock_guard g(lock);
    HWND wnd = reinterpret_cast<HWND>(nextWindow);
    nextWindow += 0x10;
    windows.emplace(wnd, TWindow{std::this_thread::get_id(), std::move(Method)});
    return wnd;
}

void DeallocateHWnd(HWND Wnd) {
    std::unique_lock g(lock);
    auto it = windows.find(Wnd);
    if (it == windows.end())
        return;
    // Messages still queued for the window are answered with 0 so no sender is left waiting.
    auto& queue = InboxOf(it->second.Owner).Queue;
    for (auto q = queue.begin(); q != queue.end();) {
        if ((*q)->IsMessage && (*q)->Wnd == Wnd) {
            (*q)->Message.Result = 0;
            Release(**q);
            q = queue.erase(q);
        } else {
            ++q;
        }
    }
    windows.erase(it);
    g.unlock();
    released.notify_all();
}

#ifndef _WIN32
inline constexpr DWORD ERROR_INVALID_WINDOW_HANDLE = 1400;

LRESULT SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    std::thread::id owner;
    TWndMethod method;
    {
        std::lock_guard g(lock);
        auto it = windows.find(hWnd);
        if (it == windows.end()) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        owner = it->second.Owner;
        method = it->second.Method;
    }
    if (owner == std::this_thread::get_id()) {
        TMessage message{Msg, wParam, lParam, 0};
        method(message);
        return message.Result;
    }
    auto work = std::make_shared<TWork>();
    work->IsMessage = true;
    work->Wnd = hWnd;
    work->Message = TMessage{Msg, wParam, lParam, 0};
    Enqueue(owner, work);
    WaitReleased(work);
    std::lock_guard g(lock);
    return work->Message.Result;
}

BOOL InSendMessage() {
    return currentSent ? TRUE : FALSE;
}

BOOL ReplyMessage(LRESULT lResult) {
    if (!currentSent)
        return FALSE;
    {
        std::lock_guard g(lock);
        if (currentSent->Released)
            return FALSE;
        currentSent->Message.Result = lResult;
        Release(*currentSent);
    }
    released.notify_all();
    return TRUE;
}

LRESULT DefWindowProcA(HWND, UINT, WPARAM, LPARAM) {
    return 0;
}
#endif
