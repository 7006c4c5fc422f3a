// The comm engine: its receive ring, its state from start to close, the reactor's and helping
// threads' way in, and the service loop every call ends with.
#include "platform/linux/comm/CommEngine.h"
#include "platform/linux/comm/CommEngineShared.h"

#include "platform/linux/Win32Sync.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/epoll.h>
#include <termios.h>

namespace platform {

using commengine::Now;

namespace {
constexpr std::size_t DefaultInputSize = 4096;
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

CommEngine::CommEngine(std::unique_ptr<CommBackend> Backend, bool Overlapped)
    : Device(std::move(Backend)), FOverlappedIo(Overlapped), Ring(DefaultInputSize) {}

CommEngine::~CommEngine() {
    Close();
}

DWORD CommEngine::Start() {
    // Every open starts with empty input, as on Windows: what arrived while the port was
    // closed, a late answer meant for the program before, is nobody's to read.
    if (const int error = Device->Flush(true, false))
        return Win32ErrorFromErrno(error);
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
        const auto held = Hold();
        if (const int error = Reactor.Open(weak_from_this()))
            return Win32ErrorFromErrno(error);
        Rearm();
    }
    // Serves the change at once on the caller's thread, so the events it raises are recorded
    // before the caller goes on.
    Device->Attach([this] {
        const auto held = Hold();
        if (!Closed)
            Service(Now());
    });
    return ERROR_SUCCESS;
}

void CommEngine::Close() {
    bool purged = false;
    {
        const auto held = Hold();
        if (Closed)
            return;
        purged = JustPurged;
        Closed = true;
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
    // closing wait. A purge by the call just before left nothing to purge but what arrived
    // since, as after this one.
    if (!purged)
        Device->Flush(true, true);
    Device->Close();
}

void CommEngine::DescriptorReady(std::uint32_t Events) {
    const auto held = Hold();
    if (Closed)
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
    const auto held = Hold();
    Reactor.DeadlineReported();
    if (!Closed)
        Service(Now());
}

int CommEngine::DirectionHelper::HelperFd(short& Events) {
    const auto held = Engine.Hold();
    if (Engine.Closed || Engine.DeadErrno != 0)
        return -1;
    // As the reactor's interest: never what the engine could not act on, or the helper would
    // find the descriptor ready again at once and spin.
    if (Output)
        Events = Engine.WantsToSend() ? POLLOUT : 0;
    else
        Events = Engine.Ring.Space() > 0 ? POLLIN : 0;
    if (Events == 0)
        return -1;
    ++(Output ? Engine.OutputHelpers : Engine.InputHelpers);
    Engine.Rearm();
    return Engine.DeviceFd;
}

void CommEngine::DirectionHelper::Help(short Events) {
    const auto held = Engine.Hold();
    --(Output ? Engine.OutputHelpers : Engine.InputHelpers);
    if (Engine.Closed)
        return;
    if (!Output && (Events & POLLIN) && Engine.InputHelpers == 0)
        Engine.InputLeftToHelper = true; // unless Rearm finds a request still waiting
    if (Events & (POLLHUP | POLLERR))
        Engine.HangUp();
    // Also when the wait ended for another reason: the reactor takes over this direction again.
    Engine.Service(Now(), Events != 0);
}

void CommEngine::OfferHelp(const _OVERLAPPED* Record, DirectionHelper& Helper) {
    if (Record->hEvent && DeviceFd >= 0)
        SetEventHelper(Record->hEvent, std::shared_ptr<WaitHelper>(shared_from_this(), &Helper),
                       Wakes);
}

void CommEngine::Rearm() {
    if (Closed)
        return;
    std::uint32_t events = 0;
    if (InputLeftToHelper && (Wait || !Reads.empty()))
        InputLeftToHelper = false;
    // A direction a thread polls for itself is left to it, so the descriptor's readiness wakes
    // one thread rather than two.
    if (InputWatched && Ring.Space() > 0 && InputHelpers == 0 && !InputLeftToHelper)
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

CommEngine::EnteredCall CommEngine::Enter(const CommCall& Call, bool Intercepted) {
    EnteredCall entered{Hold(), ERROR_SUCCESS};
    JustPurged = false;
    TakeInputBack(Call.Kind);
    if (Closed)
        entered.Refusal = ERROR_INVALID_HANDLE;
    else if (Intercepted)
        entered.Refusal = Device->Intercept(Call);
    return entered;
}

void CommEngine::TakeInputBack(CommCallKind Kind) {
    // Counting what is queued needs no reactor: ClearCommError reads the device itself when
    // the ring is empty.
    if (!InputLeftToHelper || Kind == CommCallKind::ClearCommError || Closed)
        return;
    InputLeftToHelper = false;
    Rearm();
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
        SetEventHolding(event, Wakes);
    Completed.notify_all();
}

BOOL CommEngine::WaitBlocking(WakingLock& Held, _OVERLAPPED& Record, DWORD* Count) {
    Held.Wait(Completed, [&Record] {
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

DWORD CommEngine::FileType() const {
    return FILE_TYPE_CHAR;
}

std::shared_ptr<CommEngine> FindCommEngine(HANDLE Handle) {
    return FindHandleAs<CommEngine>(Handle);
}

std::shared_ptr<CommEngine> StartCommEngine(std::unique_ptr<CommBackend> Backend, bool Overlapped) {
    auto engine = std::make_shared<CommEngine>(std::move(Backend), Overlapped);
    if (const DWORD error = engine->Start()) {
        engine->Close();
        SetLastError(error);
        return nullptr;
    }
    return engine;
}

} // namespace platform
