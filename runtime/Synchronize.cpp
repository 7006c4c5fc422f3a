// The hand-over to the main thread: calls queued with Synchronize, served by CheckSynchronize,
// while the main thread waits in TThread::WaitFor, or by a front end's event loop that the
// wake-up callback calls back. Messages sent to a thread's hidden windows are queued by the
// platform; the same waits deliver them. One lock guards the queued calls: a hand-over is rare
// (one per event batch), the lock is never held across user code, and waiters are woken after
// it is released, so they do not wake only to wait for it.
#include "runtime/Application.h"
#include "runtime/Handover.h"
#include "runtime/Threads.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

namespace {

struct TCall {
    std::function<void()> Method;
    std::thread::id Sender; // the thread waiting for it
    bool Released = false;  // the waiting sender may go on
    std::exception_ptr Error;
};

std::mutex lock;
std::condition_variable released;         // senders wait here
std::deque<std::shared_ptr<TCall>> calls; // queued for the main thread
bool woken = false;                       // WakeMainThread since the last wait
std::thread::id mainThread = std::this_thread::get_id();
DWORD mainThreadId = GetCurrentThreadId();
std::function<void()> wakeMainThread;

// The calls running on this thread, innermost last.
thread_local std::vector<std::shared_ptr<TCall>> runningCalls;

// Set when a call is queued or the main thread is woken; the main thread's waits include it.
HANDLE MainThreadSignal() {
    static const HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    return event;
}

#ifndef _WIN32
// A message was queued for one of OwnerId's windows. Windows' own event loops deliver those
// wherever they wait; here the front end's loop is told as it is of a queued call.
void MessageSent(DWORD OwnerId) {
    std::function<void()> wake;
    {
        std::lock_guard g(lock);
        if (OwnerId == mainThreadId)
            wake = wakeMainThread;
    }
    if (wake)
        wake();
}
#endif

void Enqueue(std::shared_ptr<TCall> Call) {
    std::function<void()> wake;
    {
        std::lock_guard g(lock);
        calls.push_back(std::move(Call));
        wake = wakeMainThread;
    }
    SetEvent(MainThreadSignal());
    if (wake)
        wake();
}

void RunCall(const std::shared_ptr<TCall>& Call) {
    runningCalls.push_back(Call);
    std::exception_ptr error;
    try {
        Call->Method();
    } catch (...) {
        error = std::current_exception();
    }
    runningCalls.pop_back();
    bool senderGone = false;
    {
        std::lock_guard g(lock);
        senderGone = Call->Released;
        if (!senderGone) {
            Call->Error = error;
            Call->Released = true;
        }
    }
    released.notify_all();
    // Its sender went on while it ran (see ReleaseCallsFrom): nobody is left to raise it.
    if (senderGone && error)
        ApplicationHandleException(error);
}

// Runs the calls queued for the calling thread, when it is the main thread; true when any ran.
bool ServeCalls() {
    bool ran = false;
    for (;;) {
        std::shared_ptr<TCall> call;
        {
            std::lock_guard g(lock);
            if (std::this_thread::get_id() != mainThread || calls.empty())
                return ran;
            call = std::move(calls.front());
            calls.pop_front();
        }
        RunCall(call);
        ran = true;
    }
}

// Delivers the messages sent to the calling thread's windows; true when there were any.
bool DeliverMessages() {
    if (!(GetQueueStatus(QS_SENDMESSAGE) >> 16 & QS_SENDMESSAGE))
        return false;
    MSG message{};
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
    return true;
}

// Runs everything queued for the calling thread, what arrives meanwhile included; true when
// anything ran.
bool Serve() {
    bool ran = false;
    for (;;) {
        const bool calledAny = ServeCalls();
        if (!DeliverMessages() && !calledAny)
            return ran;
        ran = true;
    }
}

DWORD MillisecondsLeft(const std::optional<std::chrono::steady_clock::time_point>& Deadline) {
    if (!Deadline)
        return INFINITE;
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(*Deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<DWORD>(left.count()) : 0;
}

// Waits up to TimeoutMs until there is something to serve: a message sent to the calling
// thread's windows and, on the main thread, a queued call or a WakeMainThread.
void WaitForWork(DWORD TimeoutMs) {
    std::optional<std::chrono::steady_clock::time_point> deadline;
    if (TimeoutMs != INFINITE)
        deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs);
    const HANDLE signal = MainThreadSignal();
    bool main = false;
    for (;;) {
        {
            std::lock_guard g(lock);
            main = std::this_thread::get_id() == mainThread;
            if (main && (!calls.empty() || woken)) {
                woken = false;
                return;
            }
        }
        // The signal may be left from calls served since it was set: look at the queue again.
        const DWORD woke = MsgWaitForMultipleObjects(main ? 1 : 0, &signal, FALSE,
                                                     MillisecondsLeft(deadline), QS_SENDMESSAGE);
        if (!main || woke != WAIT_OBJECT_0)
            break;
    }
    std::lock_guard g(lock);
    woken = false;
}

} // namespace

// --- Main thread ----------------------------------------------------------------------------

void SetMainThread() {
    std::lock_guard g(lock);
    mainThread = std::this_thread::get_id();
    mainThreadId = GetCurrentThreadId();
}

bool IsMainThread() {
    std::lock_guard g(lock);
    return std::this_thread::get_id() == mainThread;
}

void SetWakeMainThread(std::function<void()> Wake) {
#ifndef _WIN32
    SetSentMessageHook(MessageSent);
#endif
    std::lock_guard g(lock);
    wakeMainThread = std::move(Wake);
}

bool CheckSynchronize(DWORD TimeoutMs) {
    if (TimeoutMs != 0)
        WaitForWork(TimeoutMs);
    return Serve();
}

void WakeMainThread() {
    {
        std::lock_guard g(lock);
        woken = true;
    }
    SetEvent(MainThreadSignal());
}

void TThread::Synchronize(const std::function<void()>& Method) {
    if (IsMainThread()) {
        Method();
        return;
    }
    auto call = std::make_shared<TCall>();
    call->Method = Method;
    call->Sender = std::this_thread::get_id();
    Enqueue(call);
    {
        std::unique_lock g(lock);
        released.wait(g, [&] { return call->Released; });
    }
    if (call->Error)
        std::rethrow_exception(call->Error);
}

// --- What TThread::WaitFor uses -------------------------------------------------------------

namespace handover {

void ReleaseCallsFrom(std::thread::id Sender) {
    bool any = false;
    {
        std::lock_guard g(lock);
        for (const auto& call : runningCalls) {
            if (call->Sender == Sender && !call->Released) {
                call->Released = true;
                any = true;
            }
        }
    }
    if (any)
        released.notify_all();
}

void WaitServing(HANDLE Object) {
    for (;;) {
        const HANDLE handles[2] = {Object, MainThreadSignal()};
        const DWORD woke = MsgWaitForMultipleObjects(IsMainThread() ? 2 : 1, handles, FALSE,
                                                     INFINITE, QS_SENDMESSAGE);
        if (woke == WAIT_OBJECT_0)
            return;
        if (woke == WAIT_FAILED)
            throw std::runtime_error("Cannot wait for a thread (error " +
                                     std::to_string(GetLastError()) + ")");
        Serve();
    }
}

} // namespace handover
