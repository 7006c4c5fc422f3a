// Message-only windows and the messages sent to them between threads. Each thread that owns a
// window or sends to one has a queue with two events: one set while messages sent to its windows
// wait for delivery (what MsgWaitForMultipleObjects adds to a wait), one that an answer sets for
// the blocked sender. One lock guards classes, windows and queues; no window procedure runs
// under it, and senders are woken after it is released.
#include "platform/Win32.h"
#include "platform/linux/Win32Window.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace {

struct ThreadQueue;

// A message sent from another thread, from queueing until its answer.
struct SentMessage {
    HWND Window;
    UINT Msg;
    WPARAM WParam;
    LPARAM LParam;
    std::shared_ptr<ThreadQueue> Sender; // keeps the sender's reply event open
    LRESULT Result = 0;                  // guarded by the lock, like Answered
    bool Answered = false;
};

struct ThreadQueue {
    DWORD ThreadId = GetCurrentThreadId();
    HANDLE Pending = CreateEventA(nullptr, TRUE, FALSE, nullptr); // set while Queue is not empty
    HANDLE Reply = CreateEventA(nullptr, FALSE, FALSE, nullptr);  // a message it sent was answered
    std::deque<std::shared_ptr<SentMessage>> Queue;
    ~ThreadQueue() {
        CloseHandle(Pending);
        CloseHandle(Reply);
    }
};

struct WindowClass {
    WNDPROC Proc;
    ATOM Atom;
    int Windows = 0;
};

struct Window {
    std::string ClassKey;
    WNDPROC Proc;
    std::shared_ptr<ThreadQueue> Owner;
    LONG_PTR UserData = 0;
};

struct State {
    std::mutex Lock;
    std::map<std::string, WindowClass> Classes; // by lower-cased name: names ignore case
    std::unordered_map<std::uintptr_t, Window> Windows;
    // Window handles are never reused, so a stale one cannot reach a newer window.
    std::uintptr_t NextWindow = 0x10000;
    ATOM NextAtom = 0xC000;
};

// Never destroyed: threads that end after main() has returned still leave their windows here.
State& Shared() {
    static State* const state = new State;
    return *state;
}

std::atomic<SENTMESSAGEHOOK> sentMessageHook{nullptr};

// The calling thread's queue; its windows go, and their waiting senders are answered with 0,
// when the thread ends.
struct QueueSlot {
    std::shared_ptr<ThreadQueue> Queue;
    ~QueueSlot();
};
thread_local QueueSlot ownQueue;

// The message from another thread that the calling thread's window procedure handles now.
thread_local std::shared_ptr<SentMessage> handling;

const std::shared_ptr<ThreadQueue>& OwnQueue() {
    if (!ownQueue.Queue)
        ownQueue.Queue = std::make_shared<ThreadQueue>();
    return ownQueue.Queue;
}

std::string ClassKey(LPCSTR Name) {
    std::string key(Name);
    std::transform(key.begin(), key.end(), key.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return key;
}

// Under the lock: the window behind a handle, or null.
Window* FindWindow(State& S, HWND Handle) {
    auto it = S.Windows.find(reinterpret_cast<std::uintptr_t>(Handle));
    return it == S.Windows.end() ? nullptr : &it->second;
}

// Under the lock: answers Message unless it was answered already; returns the sender's queue,
// whose reply event to set once the lock is released, or null. Held until then, it keeps the
// event open should the sender go on and its thread end meanwhile.
std::shared_ptr<ThreadQueue> Answer(SentMessage& Message, LRESULT Result) {
    if (Message.Answered)
        return nullptr;
    Message.Result = Result;
    Message.Answered = true;
    return Message.Sender;
}

using Replies = std::vector<std::shared_ptr<ThreadQueue>>;

// Under the lock: takes every message for the window (every one, for null) out of Queue and
// answers it with 0; adds the reply events to set.
void DropQueued(ThreadQueue& Queue, HWND Window, Replies& ToSet) {
    std::erase_if(Queue.Queue, [&](const std::shared_ptr<SentMessage>& m) {
        if (Window && m->Window != Window)
            return false;
        if (auto sender = Answer(*m, 0))
            ToSet.push_back(std::move(sender));
        return true;
    });
    if (Queue.Queue.empty())
        ResetEvent(Queue.Pending);
}

// Under the lock.
void RemoveWindow(State& S, std::uintptr_t Handle) {
    auto it = S.Windows.find(Handle);
    auto cls = S.Classes.find(it->second.ClassKey);
    if (cls != S.Classes.end())
        --cls->second.Windows;
    S.Windows.erase(it);
}

void SetReplies(const Replies& ToSet) {
    for (const auto& sender : ToSet)
        SetEvent(sender->Reply);
}

QueueSlot::~QueueSlot() {
    if (!Queue)
        return;
    State& s = Shared();
    Replies replies;
    {
        std::lock_guard g(s.Lock);
        std::vector<std::uintptr_t> owned;
        for (const auto& [handle, window] : s.Windows)
            if (window.Owner == Queue)
                owned.push_back(handle);
        for (auto handle : owned)
            RemoveWindow(s, handle);
        DropQueued(*Queue, nullptr, replies);
    }
    SetReplies(replies);
}

// Runs Proc for a message from another thread with it as the one being handled, and answers it
// with what Proc returns (0 when Proc throws, whose error goes on to the caller).
void Deliver(const std::shared_ptr<SentMessage>& Message, WNDPROC Proc) {
    struct Handling {
        std::shared_ptr<SentMessage> Saved;
        const std::shared_ptr<SentMessage>& Message;
        LRESULT Result = 0;
        ~Handling() {
            handling = std::move(Saved);
            std::shared_ptr<ThreadQueue> sender;
            {
                std::lock_guard g(Shared().Lock);
                sender = Answer(*Message, Result);
            }
            if (sender)
                SetEvent(sender->Reply);
        }
    } scope{std::exchange(handling, Message), Message};
    scope.Result = Proc(Message->Window, Message->Msg, Message->WParam, Message->LParam);
}

// Delivers the messages queued for the calling thread, those that arrive meanwhile included;
// true when there was any.
bool DeliverQueued(ThreadQueue& Queue) {
    State& s = Shared();
    bool any = false;
    for (;;) {
        std::shared_ptr<SentMessage> message;
        WNDPROC proc = nullptr;
        {
            std::lock_guard g(s.Lock);
            if (Queue.Queue.empty())
                return any;
            message = std::move(Queue.Queue.front());
            Queue.Queue.pop_front();
            if (Queue.Queue.empty())
                ResetEvent(Queue.Pending);
            // Queued messages leave with their window, which only this thread destroys.
            proc = FindWindow(s, message->Window)->Proc;
        }
        Deliver(message, proc);
        any = true;
    }
}

} // namespace

ATOM RegisterClassA(const WNDCLASSA* lpWndClass) {
    if (!lpWndClass || !lpWndClass->lpfnWndProc || !lpWndClass->lpszClassName ||
        !*lpWndClass->lpszClassName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    State& s = Shared();
    std::lock_guard g(s.Lock);
    const auto [it, added] = s.Classes.try_emplace(
        ClassKey(lpWndClass->lpszClassName), WindowClass{lpWndClass->lpfnWndProc, s.NextAtom});
    if (!added) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    // Atoms of classes that were unregistered are not given again.
    if (s.NextAtom < 0xFFFF)
        ++s.NextAtom;
    return it->second.Atom;
}

BOOL UnregisterClassA(LPCSTR lpClassName, HINSTANCE) {
    if (!lpClassName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    State& s = Shared();
    std::lock_guard g(s.Lock);
    auto it = s.Classes.find(ClassKey(lpClassName));
    if (it == s.Classes.end()) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    if (it->second.Windows > 0) {
        SetLastError(ERROR_CLASS_HAS_WINDOWS);
        return FALSE;
    }
    s.Classes.erase(it);
    return TRUE;
}

HWND CreateWindowExA(DWORD, LPCSTR lpClassName, LPCSTR, DWORD, int, int, int, int, HWND hWndParent,
                     HMENU, HINSTANCE, LPVOID) {
    if (hWndParent != HWND_MESSAGE) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    if (!lpClassName) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    std::shared_ptr<ThreadQueue> owner = OwnQueue();
    State& s = Shared();
    std::lock_guard g(s.Lock);
    auto cls = s.Classes.find(ClassKey(lpClassName));
    if (cls == s.Classes.end()) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    ++cls->second.Windows;
    const std::uintptr_t handle = s.NextWindow;
    s.NextWindow += 2;
    s.Windows.emplace(handle, Window{cls->first, cls->second.Proc, std::move(owner)});
    return reinterpret_cast<HWND>(handle);
}

BOOL DestroyWindow(HWND hWnd) {
    State& s = Shared();
    Replies replies;
    {
        std::lock_guard g(s.Lock);
        Window* window = FindWindow(s, hWnd);
        if (!window) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        if (window->Owner != ownQueue.Queue) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        RemoveWindow(s, reinterpret_cast<std::uintptr_t>(hWnd));
        DropQueued(*ownQueue.Queue, hWnd, replies);
    }
    SetReplies(replies);
    return TRUE;
}

BOOL IsWindow(HWND hWnd) {
    State& s = Shared();
    std::lock_guard g(s.Lock);
    return FindWindow(s, hWnd) ? TRUE : FALSE;
}

namespace {
// Under the lock: the window for a GWLP_USERDATA access, or null with the last error set.
Window* UserDataWindow(State& S, HWND Handle, int Index) {
    Window* window = FindWindow(S, Handle);
    if (!window)
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    else if (Index != GWLP_USERDATA)
        SetLastError(ERROR_INVALID_INDEX);
    return window && Index == GWLP_USERDATA ? window : nullptr;
}
} // namespace

LONG_PTR GetWindowLongPtrA(HWND hWnd, int nIndex) {
    State& s = Shared();
    std::lock_guard g(s.Lock);
    Window* window = UserDataWindow(s, hWnd, nIndex);
    return window ? window->UserData : 0;
}

LONG_PTR SetWindowLongPtrA(HWND hWnd, int nIndex, LONG_PTR dwNewLong) {
    State& s = Shared();
    std::lock_guard g(s.Lock);
    Window* window = UserDataWindow(s, hWnd, nIndex);
    return window ? std::exchange(window->UserData, dwNewLong) : 0;
}

LRESULT SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    const std::shared_ptr<ThreadQueue>& self = OwnQueue();
    State& s = Shared();
    std::unique_lock g(s.Lock);
    Window* window = FindWindow(s, hWnd);
    if (!window) {
        g.unlock();
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (window->Owner == self) {
        const WNDPROC proc = window->Proc;
        g.unlock();
        // A message from the same thread is no sent message for InSendMessage and ReplyMessage.
        struct Direct {
            std::shared_ptr<SentMessage> Saved = std::exchange(handling, nullptr);
            ~Direct() { handling = std::move(Saved); }
        } direct;
        return proc(hWnd, Msg, wParam, lParam);
    }
    auto message = std::make_shared<SentMessage>(SentMessage{hWnd, Msg, wParam, lParam, self});
    ThreadQueue& owner = *window->Owner;
    const DWORD ownerId = owner.ThreadId;
    owner.Queue.push_back(message);
    if (owner.Queue.size() == 1)
        SetEvent(owner.Pending);
    g.unlock();
    if (const SENTMESSAGEHOOK hook = sentMessageHook.load())
        hook(ownerId);
    // Messages sent to this thread's own windows meanwhile are delivered, so two threads that
    // send to each other's windows do not wait for each other forever.
    const HANDLE signals[2] = {self->Reply, self->Pending};
    for (;;) {
        {
            std::lock_guard held(s.Lock);
            if (message->Answered)
                return message->Result;
        }
        const DWORD woke = WaitForMultipleObjects(2, signals, FALSE, INFINITE);
        if (woke == WAIT_OBJECT_0 + 1)
            DeliverQueued(*self);
        else if (woke != WAIT_OBJECT_0)
            return 0; // the events are this thread's own: not reached
    }
}

BOOL InSendMessage() {
    return handling ? TRUE : FALSE;
}

BOOL ReplyMessage(LRESULT lResult) {
    if (!handling)
        return FALSE;
    std::shared_ptr<ThreadQueue> sender;
    {
        std::lock_guard g(Shared().Lock);
        sender = Answer(*handling, lResult);
    }
    // A second reply changes nothing, but the thread is still handling a sent message, which is
    // all that Windows' answer says.
    if (sender)
        SetEvent(sender->Reply);
    return TRUE;
}

LRESULT DefWindowProcA(HWND, UINT, WPARAM, LPARAM) {
    return 0;
}

BOOL PeekMessageA(LPMSG, HWND, UINT, UINT, UINT) {
    if (ownQueue.Queue)
        DeliverQueued(*ownQueue.Queue);
    return FALSE;
}

DWORD GetQueueStatus(UINT flags) {
    if (!ownQueue.Queue || !(flags & QS_SENDMESSAGE))
        return 0;
    std::lock_guard g(Shared().Lock);
    return ownQueue.Queue->Queue.empty() ? 0 : (QS_SENDMESSAGE << 16) | QS_SENDMESSAGE;
}

DWORD MsgWaitForMultipleObjects(DWORD nCount, const HANDLE* pHandles, BOOL fWaitAll,
                                DWORD dwMilliseconds, DWORD dwWakeMask) {
    if (nCount >= MAXIMUM_WAIT_OBJECTS || (nCount > 0 && !pHandles)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    if (fWaitAll) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return WAIT_FAILED;
    }
    if (!(dwWakeMask & QS_SENDMESSAGE)) {
        if (nCount > 0)
            return WaitForMultipleObjects(nCount, pHandles, FALSE, dwMilliseconds);
        Sleep(dwMilliseconds);
        return WAIT_TIMEOUT;
    }
    // The queue's event last, so a signalled handle wins over a waiting message as on Windows.
    std::array<HANDLE, MAXIMUM_WAIT_OBJECTS> handles{};
    std::copy_n(pHandles, nCount, handles.begin());
    handles[nCount] = OwnQueue()->Pending;
    return WaitForMultipleObjects(nCount + 1, handles.data(), FALSE, dwMilliseconds);
}

void SetSentMessageHook(SENTMESSAGEHOOK Hook) {
    sentMessageHook.store(Hook);
}
