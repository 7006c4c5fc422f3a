#include "platform/linux/comm/CommEngine.h"

#include "platform/linux/Win32Sync.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/epoll.h>
#include <termios.h>
#include <unistd.h>

namespace platform {

namespace {
constexpr std::size_t DefaultInputSize = 4096;
// Far above any receipt printer's needs; keeps a negative size from the caller off the heap.
constexpr DWORD MaxInputSize = 16u << 20;
constexpr DWORD KnownEvents = 0x1FFF;
constexpr DWORD LineErrors = CE_FRAME | CE_OVERRUN | CE_RXPARITY | CE_RXOVER;

CommClock::time_point Now() {
    return CommClock::now();
}

bool NoSuchFeature(int Error) {
    return Error == ENOTTY || Error == EINVAL || Error == ENOSYS || Error == EOPNOTSUPP;
}
} // namespace

void ByteRing::Push(BYTE Byte) {
    Storage[(Head + Count) % Storage.size()] = Byte;
    ++Count;
}

std::size_t ByteRing::Pop(BYTE* Out, std::size_t Max) {
    const std::size_t n = std::min(Max, Count);
    for (std::size_t i = 0; i < n;) {
        const std::size_t run = std::min(n - i, Storage.size() - Head);
        std::memcpy(Out + i, Storage.data() + Head, run);
        Head = (Head + run) % Storage.size();
        i += run;
    }
    Count -= n;
    if (Count == 0)
        Head = 0;
    return n;
}

void ByteRing::Resize(std::size_t Capacity) {
    Capacity = std::max(Capacity, Count);
    std::vector<BYTE> next(Capacity);
    const std::size_t n = Count;
    Pop(next.data(), n);
    Storage = std::move(next);
    Head = 0;
    Count = n;
}

CommEngine::CommEngine(std::unique_ptr<CommBackend> Backend)
    : Device(std::move(Backend)), Ring(DefaultInputSize) {}

CommEngine::~CommEngine() {
    Close();
}

DWORD CommEngine::Start() {
    if (const int error = Device->GetSettings(Settings))
        return Win32ErrorFromErrno(error);
    DWORD lines = 0;
    const int linesError = Device->GetLines(lines);
    HasLines = linesError == 0;
    if (HasLines)
        Lines = lines;
    HasCounters = Device->GetCounters(Counters) == 0;
    // Modem lines and line errors are watched from the start, as they come and go.
    InputWatched = HasLines || HasCounters;
    // The kernel raised DTR and RTS when the device opened.
    Behaviour.Dtr = LineControl::On;
    Behaviour.Rts = (Settings.Cflag & CRTSCTS) ? LineControl::KernelHandshake : LineControl::On;
    Behaviour.XonLim = Behaviour.XoffLim = static_cast<WORD>(Ring.Capacity() / 4);
    LastDcb = DcbFromSettings(Settings, Behaviour);
    DeviceFd = Device->PollFd();
    {
        std::lock_guard held(Lock);
        if (const int error = Reactor.Open(weak_from_this()))
            return Win32ErrorFromErrno(error);
        Rearm();
    }
    // Serves the change at once on the caller's thread, so the events it raises are recorded
    // before the caller goes on.
    Device->Attach([this] {
        std::lock_guard held(Lock);
        if (!Stopping)
            Service(Now());
    });
    return ERROR_SUCCESS;
}

void CommEngine::Close() {
    {
        std::unique_lock held(Lock);
        if (Closed)
            return;
        Closed = true;
        Stopping = true;
        Device->Intercept(CommCall{.Kind = CommCallKind::CloseHandle});
        // As Windows, closing the handle cancels what is still pending on it.
        FailAll(Reads, ERROR_OPERATION_ABORTED);
        FailAll(Writes, ERROR_OPERATION_ABORTED);
        if (Wait) {
            *Wait->EvtMask = 0;
            Complete(Wait->Overlapped, ERROR_OPERATION_ABORTED, 0);
            Wait.reset();
        }
        // Before the descriptor closes, so the reactor never watches a number reused elsewhere.
        Reactor.Close();
    }
    Device->Detach();
    // Purge first, so a far side holding flow control cannot keep close() in the kernel's
    // closing wait.
    Device->Flush(true, true);
    Device->Close();
}

void CommEngine::DescriptorReady(std::uint32_t Events) {
    std::lock_guard held(Lock);
    if (Stopping)
        return;
    if (Events & (EPOLLHUP | EPOLLERR))
        HangUp();
    Service(Now());
}

void CommEngine::HangUp() {
    // The far side is gone (pty closed, adapter pulled): take what is left, then fail.
    TakeInput(Now());
    GoDead(EIO);
}

void CommEngine::DeadlinePassed() {
    std::lock_guard held(Lock);
    Reactor.DeadlineReported();
    if (!Stopping)
        Service(Now());
}

int CommEngine::DirectionHelper::HelperFd(short& Events) {
    std::lock_guard held(Engine.Lock);
    if (Engine.Stopping || Engine.DeadErrno != 0)
        return -1;
    // As the reactor's interest: never what the engine could not act on, or the helper would
    // find the descriptor ready again at once and spin.
    if (Output)
        Events = Engine.WantsToSend() ? POLLOUT : 0;
    else
        Events = Engine.Ring.Space() > 0 ? POLLIN : 0;
    if (Events == 0)
        return -1;
    if (Output) {
        ++Engine.OutputHelpers;
        Engine.Rearm();
    }
    return Engine.DeviceFd;
}

void CommEngine::DirectionHelper::Help(short Events) {
    std::lock_guard held(Engine.Lock);
    if (Output)
        --Engine.OutputHelpers;
    if (Engine.Stopping)
        return;
    if (Events & (POLLHUP | POLLERR))
        Engine.HangUp();
    // Also when the wait ended for another reason: the reactor takes over this direction again.
    Engine.Service(Now(), Events != 0);
}

void CommEngine::OfferHelp(const _OVERLAPPED* Record, DirectionHelper& Helper) {
    if (Record->hEvent && DeviceFd >= 0)
        SetEventHelper(Record->hEvent, std::shared_ptr<WaitHelper>(shared_from_this(), &Helper));
}

void CommEngine::Rearm() {
    if (Stopping)
        return;
    std::uint32_t events = 0;
    // Input stays watched while a thread helps with it: an event thread waits again and again,
    // and arming and disarming around every wait would cost two calls each time.
    if (InputWatched && Ring.Space() > 0)
        events |= EPOLLIN;
    if (WantsToSend() && OutputHelpers == 0)
        events |= EPOLLOUT;
    // A device that has gone reports its hang-up for ever: it is no longer watched.
    const bool watch = DeadErrno == 0 && (InputWatched || events != 0);
    const int fd = watch ? DeviceFd : -1;
    if (const int error = Reactor.Watch(fd, events)) {
        GoDead(error);
        Reactor.Watch(-1, 0);
    }
    Reactor.WakeAt(NextDeadline());
}

std::optional<CommClock::time_point> CommEngine::NextDeadline() const {
    std::optional<CommClock::time_point> next = DrainCheck;
    auto consider = [&next](const std::deque<Transfer>& queue) {
        if (queue.empty() || !queue.front().Started)
            return;
        if (const auto deadline = queue.front().Timer.Deadline())
            if (!next || *deadline < *next)
                next = deadline;
    };
    consider(Reads);
    consider(Writes);
    return next;
}

void CommEngine::Service(CommClock::time_point now, bool ReadDevice) {
    CheckLines();
    if (ReadDevice)
        TakeInput(now);
    ServeReads(now);
    ApplyInputHandshake();
    ServeWrites(now);
    Rearm();
}

void CommEngine::TakeInput(CommClock::time_point) {
    if (DeadErrno != 0)
        return;
    BYTE buffer[4096];
    bool any = false;
    while (Ring.Space() > 0) {
        const std::size_t want = std::min(sizeof buffer, Ring.Space());
        const long n = Device->Read(buffer, want);
        if (n < 0) {
            GoDead(static_cast<int>(-n));
            return;
        }
        if (n == 0)
            break;
        any = true;
        const bool dropAll = Behaviour.DsrSensitivity && HasLines && !(Lines & MS_DSR_ON);
        DWORD events = 0;
        for (long i = 0; i < n && !dropAll; ++i) {
            const BYTE b = buffer[i];
            if (b == 0 && Behaviour.DiscardNull)
                continue;
            Ring.Push(b);
            events |= EV_RXCHAR;
            if (b == static_cast<BYTE>(Behaviour.EvtChar))
                events |= EV_RXFLAG;
        }
        Raise(events);
        if (static_cast<std::size_t>(n) < want)
            break;
    }
    const bool full80 = Ring.Size() * 5 >= Ring.Capacity() * 4;
    if (full80 && !Was80Full)
        Raise(EV_RX80FULL);
    Was80Full = full80;
    // Breaks and line errors arrive with the data; their counters say which.
    if (any && HasCounters)
        CheckLines();
}

void CommEngine::CheckLines() {
    DWORD events = 0;
    DWORD errors = 0;
    if (HasLines) {
        DWORD now = 0;
        if (Device->GetLines(now) == 0) {
            const DWORD changed = now ^ Lines;
            if (changed & MS_CTS_ON)
                events |= EV_CTS;
            if (changed & MS_DSR_ON)
                events |= EV_DSR;
            if (changed & MS_RLSD_ON)
                events |= EV_RLSD;
            Lines = now;
        }
    }
    if (HasCounters) {
        LineCounters c;
        if (Device->GetCounters(c) == 0) {
            // Counters catch changes that came and went between two looks at the lines.
            if (c.Cts != Counters.Cts)
                events |= EV_CTS;
            if (c.Dsr != Counters.Dsr)
                events |= EV_DSR;
            if (c.Rlsd != Counters.Rlsd)
                events |= EV_RLSD;
            if (c.Ring != Counters.Ring)
                events |= EV_RING;
            if (c.Break != Counters.Break) {
                events |= EV_BREAK;
                errors |= CE_BREAK;
            }
            if (c.Frame != Counters.Frame)
                errors |= CE_FRAME;
            if (c.Parity != Counters.Parity)
                errors |= CE_RXPARITY;
            if (c.Overrun != Counters.Overrun)
                errors |= CE_OVERRUN;
            if (c.BufferOverrun != Counters.BufferOverrun)
                errors |= CE_RXOVER;
            Counters = c;
        }
    }
    Raise(events);
    RaiseErrors(errors);
}

void CommEngine::ServeReads(CommClock::time_point now) {
    while (!Reads.empty()) {
        Transfer& r = Reads.front();
        if (!r.Started) {
            r.Started = true;
            r.Timer = TransferTimer::ForRead(Timeouts, r.Count, now);
        }
        if (Ring.Size() > 0 && r.Done < r.Count) {
            r.Done += static_cast<DWORD>(Ring.Pop(r.Buffer + r.Done, r.Count - r.Done));
            r.Timer.BytesArrived(now);
        }
        const bool done = r.Done == r.Count || r.Timer.ReturnsAtOnce() ||
                          (r.Timer.ReturnsOnFirstByte() && r.Done > 0) || r.Timer.Expired(now);
        if (done) {
            Complete(r.Overlapped, ERROR_SUCCESS, r.Done);
        } else if (DeadErrno != 0) {
            Complete(r.Overlapped, Win32ErrorFromErrno(DeadErrno), r.Done);
        } else {
            break;
        }
        Reads.pop_front();
    }
}

bool CommEngine::WantsToSend() const {
    // Only while bytes wait to go in: a write waiting to drain must not spin on readiness.
    return !Writes.empty() && Writes.front().Done < Writes.front().Count && !OutputHeld();
}

bool CommEngine::OutputHeld() const {
    if (!HasLines)
        return false;
    return (Behaviour.OutDsrFlow && !(Lines & MS_DSR_ON)) ||
           (Behaviour.OutCtsFlow && !(Lines & MS_CTS_ON));
}

void CommEngine::ServeWrites(CommClock::time_point now) {
    while (!Writes.empty()) {
        Transfer& w = Writes.front();
        if (!w.Started) {
            w.Started = true;
            w.Timer = TransferTimer::ForWrite(Timeouts, w.Count, now);
        }
        if (DeadErrno != 0) {
            FailAll(Writes, Win32ErrorFromErrno(DeadErrno));
            return;
        }
        bool failed = false;
        while (!OutputHeld() && w.Done < w.Count) {
            const long n = Device->Write(w.Buffer + w.Done, w.Count - w.Done);
            if (n < 0) {
                const int error = static_cast<int>(-n);
                if (error == EIO || error == ENXIO || error == ENODEV) {
                    GoDead(error);
                    return;
                }
                Complete(w.Overlapped, Win32ErrorFromErrno(error), w.Done);
                failed = true;
                break;
            }
            if (n == 0)
                break;
            w.Done += static_cast<DWORD>(n);
        }
        if (failed) {
            Writes.pop_front();
            continue;
        }
        // As on Windows, a write is done when its bytes have left the device, not when the
        // kernel took them: a purge or close right after it must not lose the end of a receipt.
        DWORD queued = 0;
        if (Device->OutputQueued(queued) != 0)
            queued = 0;
        if (w.Done == w.Count && queued == 0) {
            Complete(w.Overlapped, ERROR_SUCCESS, w.Done);
            Writes.pop_front();
            DrainCheck.reset();
            if (Writes.empty())
                Raise(EV_TXEMPTY);
            continue;
        }
        if (w.Timer.Expired(now)) {
            // A time-out is no failure: the write ends with what went out. What still waits in
            // the kernel is dropped, so no byte reported unsent leaves later.
            const DWORD left = std::min(queued, w.Done);
            if (left != 0)
                Device->Flush(false, true);
            const DWORD sent = w.Done - left;
            Complete(w.Overlapped, ERROR_SUCCESS, sent);
            Writes.pop_front();
            DrainCheck.reset();
            if (Writes.empty() && sent != 0)
                Raise(EV_TXEMPTY);
            continue;
        }
        DrainCheck.reset();
        if (w.Done == w.Count)
            DrainCheck = now + TimeToSend(queued);
        break;
    }
}

CommClock::duration CommEngine::TimeToSend(DWORD Bytes) const {
    // No wake-up exists for "sent": look again when the queued bytes should have left. One
    // start bit, the data bits, parity and stop bits per character.
    const std::uint32_t size = (Settings.Cflag & CSIZE) == CS5   ? 5
                               : (Settings.Cflag & CSIZE) == CS6 ? 6
                               : (Settings.Cflag & CSIZE) == CS7 ? 7
                                                                 : 8;
    const std::uint64_t bits =
        1 + size + ((Settings.Cflag & PARENB) ? 1 : 0) + ((Settings.Cflag & CSTOPB) ? 2 : 1);
    const std::uint64_t speed = std::max<std::uint32_t>(Settings.Speed, 1);
    const auto us = static_cast<std::int64_t>(std::uint64_t{Bytes} * bits * 1000000 / speed);
    return std::chrono::microseconds(std::max<std::int64_t>(us, 1000));
}

void CommEngine::ApplyInputHandshake() {
    const bool dtr = Behaviour.Dtr == LineControl::Handshake;
    const bool rts = Behaviour.Rts == LineControl::Handshake;
    if (!dtr && !rts)
        return;
    const std::size_t used = Ring.Size();
    const std::size_t free = Ring.Space();
    if (!InputHeld && free <= Behaviour.XoffLim) {
        InputHeld = true;
        Device->SetLines(dtr ? 0 : -1, rts ? 0 : -1);
    } else if (InputHeld && used <= Behaviour.XonLim) {
        InputHeld = false;
        Device->SetLines(dtr ? 1 : -1, rts ? 1 : -1);
    }
}

void CommEngine::Raise(DWORD Events) {
    History |= Events & Mask;
    if (Wait && History != 0) {
        *Wait->EvtMask = History;
        History = 0;
        Complete(Wait->Overlapped, ERROR_SUCCESS, sizeof(DWORD));
        Wait.reset();
    }
}

void CommEngine::RaiseErrors(DWORD NewErrors) {
    if (NewErrors == 0)
        return;
    Errors |= NewErrors;
    if (NewErrors & LineErrors)
        Raise(EV_ERR);
    if (Behaviour.AbortOnError) {
        FailAll(Reads, ERROR_OPERATION_ABORTED);
        FailAll(Writes, ERROR_OPERATION_ABORTED);
    }
}

void CommEngine::GoDead(int Errno) {
    if (DeadErrno != 0)
        return;
    DeadErrno = Errno;
    const DWORD status = Win32ErrorFromErrno(Errno);
    // Reads that the ring can still satisfy keep their bytes; the rest fail.
    ServeReads(Now());
    FailAll(Writes, status);
    DrainCheck.reset();
    if (Wait) {
        *Wait->EvtMask = 0;
        Complete(Wait->Overlapped, status, 0);
        Wait.reset();
    }
}

void CommEngine::FailAll(std::deque<Transfer>& Queue, DWORD Status) {
    for (Transfer& t : Queue)
        Complete(t.Overlapped, Status, t.Done);
    Queue.clear();
}

void CommEngine::Begin(_OVERLAPPED* Overlapped) {
    Overlapped->InternalHigh = 0;
    std::atomic_ref<ULONG_PTR>(Overlapped->Internal)
        .store(ERROR_IO_PENDING, std::memory_order_release);
    if (Overlapped->hEvent)
        ResetEvent(Overlapped->hEvent);
}

void CommEngine::Complete(_OVERLAPPED* Overlapped, DWORD Status, DWORD Count) {
    // The caller may release the record as soon as it sees the status: read the event first.
    const HANDLE event = Overlapped->hEvent;
    Overlapped->InternalHigh = Count;
    std::atomic_ref<ULONG_PTR>(Overlapped->Internal).store(Status, std::memory_order_release);
    if (event)
        SetEvent(event);
    Completed.notify_all();
}

BOOL CommEngine::WaitBlocking(std::unique_lock<std::mutex>& Held, _OVERLAPPED& Record,
                              DWORD* Count) {
    Completed.wait(Held, [&Record] {
        return std::atomic_ref<ULONG_PTR>(Record.Internal).load(std::memory_order_acquire) !=
               ERROR_IO_PENDING;
    });
    if (Count)
        *Count = static_cast<DWORD>(Record.InternalHigh);
    const auto status = static_cast<DWORD>(Record.Internal);
    if (status != ERROR_SUCCESS) {
        SetLastError(status);
        return FALSE;
    }
    return TRUE;
}

namespace {
BOOL Fail(DWORD Error) {
    SetLastError(Error);
    return FALSE;
}
} // namespace

// Takes the lock and lets the device record or fail the call, whose CommCall fields are the
// macro's arguments (designated initializers).
#define TILLMARK_COMM_ENTER(...)                                                                   \
    const CommCall call{__VA_ARGS__};                                                              \
    std::unique_lock held(Lock);                                                                   \
    if (Closed)                                                                                    \
        return Fail(ERROR_INVALID_HANDLE);                                                         \
    if (const DWORD injected = Device->Intercept(call))                                            \
    return Fail(injected)

BOOL CommEngine::Write(const void* Buffer, DWORD Count, DWORD* Written, _OVERLAPPED* Overlapped) {
    const auto* bytes = static_cast<const BYTE*>(Buffer);
    TILLMARK_COMM_ENTER(.Kind = CommCallKind::WriteFile, .Value = Count,
                        .Data = {bytes, bytes ? Count : 0}, .Overlapped = Overlapped != nullptr);
    if (Count != 0 && !Buffer)
        return Fail(ERROR_INVALID_PARAMETER);
    if (DeadErrno != 0)
        return Fail(Win32ErrorFromErrno(DeadErrno));
    if (Behaviour.AbortOnError && (Errors & LineErrors))
        return Fail(ERROR_OPERATION_ABORTED);
    return Submit(Writes, const_cast<BYTE*>(bytes), Count, Written, Overlapped, held);
}

BOOL CommEngine::Read(void* Buffer, DWORD Count, DWORD* ReadCount, _OVERLAPPED* Overlapped) {
    TILLMARK_COMM_ENTER(.Kind = CommCallKind::ReadFile, .Value = Count,
                        .Overlapped = Overlapped != nullptr);
    if (Count != 0 && !Buffer)
        return Fail(ERROR_INVALID_PARAMETER);
    if (DeadErrno != 0 && Ring.Size() == 0)
        return Fail(Win32ErrorFromErrno(DeadErrno));
    if (Behaviour.AbortOnError && (Errors & LineErrors))
        return Fail(ERROR_OPERATION_ABORTED);
    return Submit(Reads, static_cast<BYTE*>(Buffer), Count, ReadCount, Overlapped, held);
}

// Queues a read or write and serves it at once: done now, pending on its record, or, without
// a record, waited for here.
BOOL CommEngine::Submit(std::deque<Transfer>& Queue, BYTE* Buffer, DWORD Count, DWORD* Done,
                        _OVERLAPPED* Overlapped, std::unique_lock<std::mutex>& Held) {
    if (Done)
        *Done = 0;
    _OVERLAPPED local{};
    _OVERLAPPED* record = Overlapped ? Overlapped : &local;
    Begin(record);
    Transfer t;
    t.Buffer = Buffer;
    t.Count = Count;
    t.Overlapped = record;
    Queue.push_back(t);
    if (&Queue == &Reads)
        InputWatched = true;
    Service(Now(), &Queue == &Reads);
    if (!Overlapped)
        return WaitBlocking(Held, local, Done);
    const auto status = static_cast<DWORD>(
        std::atomic_ref<ULONG_PTR>(record->Internal).load(std::memory_order_acquire));
    if (status == ERROR_IO_PENDING) {
        OfferHelp(record, &Queue == &Writes ? OutputHelper : InputHelper);
        return Fail(ERROR_IO_PENDING);
    }
    if (status != ERROR_SUCCESS)
        return Fail(status);
    if (Done)
        *Done = static_cast<DWORD>(record->InternalHigh);
    return TRUE;
}

DWORD CommEngine::FileType() const {
    return FILE_TYPE_CHAR;
}

BOOL CommEngine::SetupComm(DWORD InQueue, DWORD OutQueue) {
    TILLMARK_COMM_ENTER(.Kind = CommCallKind::SetupComm, .Value = InQueue, .Value2 = OutQueue);
    if (InQueue > MaxInputSize || OutQueue > MaxInputSize)
        return Fail(ERROR_INVALID_PARAMETER);
    if (InQueue != 0) {
        try {
            Ring.Resize(InQueue);
        } catch (const std::bad_alloc&) {
            return Fail(ERROR_NOT_ENOUGH_MEMORY);
        }
    }
    OutQueueSize = OutQueue;
    Service(Now(), false);
    return TRUE;
}

BOOL CommEngine::SetCommState(const DCB& Dcb) {
    TILLMARK_COMM_ENTER(.Kind = CommCallKind::SetCommState, .Dcb = Dcb);
    TermSettings settings;
    CommBehaviour behaviour;
    if (const DWORD error = MapDcb(Dcb, Settings, settings, behaviour))
        return Fail(error);
    // Written to the device first and committed here only once the device took it, so a refusal
    // leaves everything as it was.
    if (const int error = Device->SetSettings(settings))
        return FailWithErrno(error);
    auto level = [](LineControl control) {
        switch (control) {
        case LineControl::Off:
            return 0;
        case LineControl::On:
        case LineControl::Handshake: // the ring is looked at again below
            return 1;
        case LineControl::KernelHandshake:
            break;
        }
        return -1;
    };
    const int error = Device->SetLines(level(behaviour.Dtr), level(behaviour.Rts));
    if (error != 0 && !NoSuchFeature(error)) {
        Device->SetSettings(Settings);
        return FailWithErrno(error);
    }
    Settings = settings;
    Behaviour = behaviour;
    LastDcb = Dcb;
    LastDcb.DCBlength = sizeof(DCB);
    InputHeld = false;
    Service(Now(), false);
    return TRUE;
}

BOOL CommEngine::GetCommState(DCB& Dcb) {
    TILLMARK_COMM_ENTER(.Kind = CommCallKind::GetCommState);
    Dcb = LastDcb;
    return TRUE;
}

BOOL CommEngine::SetCommTimeouts(const COMMTIMEOUTS& NewTimeouts) {
    TILLMARK_COMM_ENTER(.Kind = CommCallKind::SetCommTimeouts, .Timeouts = NewTimeouts);
    if (!TimeoutsValid(NewTimeouts))
        return Fail(ERROR_INVALID_PARAMETER);
    Timeouts = NewTimeouts;
    return TRUE;
}

BOOL CommEngine::GetCommTimeouts(COMMTIMEOUTS& Out) {
    TILLMARK_COMM_ENTER(.Kind = CommCallKind::GetCommTimeouts);
    Out = Timeouts;
    return TRUE;
}

BOOL CommEngine::SetCommMask(DWORD NewMask) {
    TILLMARK_COMM_ENTER(.Kind = CommCallKind::SetCommMask, .Value = NewMask);
    if (NewMask & ~KnownEvents)
        return Fail(ERROR_INVALID_PARAMETER);
    if (NewMask != 0 && !InputWatched) {
        // Events are wanted, so input is watched from now on. Taken here, under the old mask,
        // what came earlier raises nothing; and the event thread's first wait, which runs while
        // its owner goes on with its own calls, has nothing to do but wait.
        InputWatched = true;
        Service(Now());
    }
    Mask = NewMask;
    History = 0;
    if (Wait) {
        // A new mask ends the pending wait with no events, as Windows does.
        *Wait->EvtMask = 0;
        Complete(Wait->Overlapped, ERROR_SUCCESS, sizeof(DWORD));
        Wait.reset();
    }
    return TRUE;
}

BOOL CommEngine::GetCommMask(DWORD& Out) {
    TILLMARK_COMM_ENTER(.Kind = CommCallKind::GetCommMask);
    Out = Mask;
    return TRUE;
}

BOOL CommEngine::WaitCommEvent(DWORD* EvtMask, _OVERLAPPED* Overlapped) {
    const CommCall call{.Kind = CommCallKind::WaitCommEvent, .Overlapped = Overlapped != nullptr};
    std::unique_lock held(Lock);
    if (Closed)
        return Fail(ERROR_INVALID_HANDLE);
    // A wait that fails at once leaves its event unsignalled, so a caller looping on the event
    // sleeps instead of spinning on a device that refuses waits.
    auto refuse = [Overlapped](DWORD Error) {
        if (Overlapped) {
            Overlapped->InternalHigh = 0;
            std::atomic_ref<ULONG_PTR>(Overlapped->Internal)
                .store(Error, std::memory_order_release);
            if (Overlapped->hEvent)
                ResetEvent(Overlapped->hEvent);
        }
        return Fail(Error);
    };
    if (const DWORD injected = Device->Intercept(call))
        return refuse(injected);
    if (!EvtMask || Mask == 0 || Wait)
        return refuse(ERROR_INVALID_PARAMETER);
    if (DeadErrno != 0)
        return refuse(Win32ErrorFromErrno(DeadErrno));
    // Input is watched already: the mask a wait needs started that (SetCommMask).
    _OVERLAPPED local{};
    _OVERLAPPED* record = Overlapped ? Overlapped : &local;
    Begin(record);
    if (History != 0) {
        *EvtMask = History;
        History = 0;
        Complete(record, ERROR_SUCCESS, sizeof(DWORD));
        return TRUE;
    }
    Wait = EventWait{EvtMask, record};
    if (!Overlapped)
        return WaitBlocking(held, local, nullptr);
    OfferHelp(record, InputHelper);
    return Fail(ERROR_IO_PENDING);
}

BOOL CommEngine::PurgeComm(DWORD Flags) {
    TILLMARK_COMM_ENTER(.Kind = CommCallKind::PurgeComm, .Value = Flags);
    if (Flags & ~(PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR))
        return Fail(ERROR_INVALID_PARAMETER);
    // Aborting touches only our own requests, so it works on a device that has gone.
    if (Flags & PURGE_TXABORT)
        FailAll(Writes, ERROR_OPERATION_ABORTED);
    if (Flags & PURGE_RXABORT)
        FailAll(Reads, ERROR_OPERATION_ABORTED);
    if (Flags & PURGE_RXCLEAR) {
        Ring.Clear();
        Was80Full = false;
    }
    const bool input = Flags & PURGE_RXCLEAR;
    const bool output = Flags & PURGE_TXCLEAR;
    if (input || output) {
        if (DeadErrno != 0)
            return FailWithErrno(DeadErrno);
        if (const int error = Device->Flush(input, output))
            return FailWithErrno(error);
        // Nothing to read just after a purge; input that comes later is the reactor's.
        Service(Now(), false);
    }
    return TRUE;
}

BOOL CommEngine::ClearCommError(DWORD* ErrorsOut, COMSTAT* Stat) {
    TILLMARK_COMM_ENTER(.Kind = CommCallKind::ClearCommError);
    // Unwatched input still waits in the kernel; the queue counts it all the same.
    if (!InputWatched)
        TakeInput(Now());
    if (ErrorsOut)
        *ErrorsOut = Errors;
    Errors = 0;
    if (Stat) {
        *Stat = COMSTAT{};
        const bool waiting = !Writes.empty() && HasLines;
        Stat->fCtsHold = waiting && Behaviour.OutCtsFlow && !(Lines & MS_CTS_ON);
        Stat->fDsrHold = waiting && Behaviour.OutDsrFlow && !(Lines & MS_DSR_ON);
        Stat->cbInQue = static_cast<DWORD>(Ring.Size());
        DWORD out = 0;
        for (const Transfer& w : Writes)
            out += w.Count - w.Done;
        DWORD queued = 0;
        if (DeadErrno == 0 && Device->OutputQueued(queued) == 0)
            out += queued;
        Stat->cbOutQue = out;
    }
    return TRUE;
}

BOOL CommEngine::GetCommModemStatus(DWORD& Status) {
    TILLMARK_COMM_ENTER(.Kind = CommCallKind::GetCommModemStatus);
    Status = 0;
    if (!HasLines)
        return TRUE; // a pty has no lines: none are on
    DWORD lines = 0;
    const int error = Device->GetLines(lines);
    if (error != 0)
        return FailWithErrno(error);
    Status = lines & (MS_CTS_ON | MS_DSR_ON | MS_RING_ON | MS_RLSD_ON);
    return TRUE;
}

BOOL CommEngine::EscapeCommFunction(DWORD Function) {
    TILLMARK_COMM_ENTER(.Kind = CommCallKind::EscapeCommFunction, .Value = Function);
    int error = 0;
    switch (Function) {
    case SETXOFF:
        error = Device->SuspendOutput(true);
        break;
    case SETXON:
        error = Device->SuspendOutput(false);
        break;
    case SETRTS:
        error = Device->SetLines(-1, 1);
        break;
    case CLRRTS:
        error = Device->SetLines(-1, 0);
        break;
    case SETDTR:
        error = Device->SetLines(1, -1);
        break;
    case CLRDTR:
        error = Device->SetLines(0, -1);
        break;
    case SETBREAK:
        error = Device->SetBreak(true);
        break;
    case CLRBREAK:
        error = Device->SetBreak(false);
        break;
    default:
        return Fail(ERROR_INVALID_PARAMETER);
    }
    if (error != 0)
        return FailWithErrno(error);
    return TRUE;
}

#undef TILLMARK_COMM_ENTER

std::shared_ptr<CommEngine> FindCommEngine(HANDLE Handle) {
    return FindHandleAs<CommEngine>(Handle);
}

std::shared_ptr<CommEngine> StartCommEngine(std::unique_ptr<CommBackend> Backend) {
    auto engine = std::make_shared<CommEngine>(std::move(Backend));
    if (const DWORD error = engine->Start()) {
        engine->Close();
        SetLastError(error);
        return nullptr;
    }
    return engine;
}

} // namespace platform
