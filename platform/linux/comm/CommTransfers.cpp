// The comm engine's reads and writes: taking input into the receive ring, serving queued reads
// and writes under their time-outs, and the receive side's handshake.
#include "platform/linux/comm/CommEngine.h"
#include "platform/linux/comm/CommEngineShared.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <termios.h>

namespace platform {

using commengine::Fail;
using commengine::LineErrors;
using commengine::Now;

BOOL CommEngine::Write(const void* Buffer, DWORD Count, DWORD* Written, _OVERLAPPED* Overlapped) {
    const auto* bytes = static_cast<const BYTE*>(Buffer);
    auto [held, refusal] = Enter({.Kind = CommCallKind::WriteFile,
                                  .Value = Count,
                                  .Data = {bytes, bytes ? Count : 0},
                                  .Overlapped = Overlapped != nullptr});
    if (refusal)
        return Fail(refusal);
    if (!Overlapped && FOverlappedIo)
        return RefuseWithoutRecord(Written);
    if (Count != 0 && !Buffer)
        return Fail(ERROR_INVALID_PARAMETER);
    if (DeadErrno != 0)
        return Fail(Win32ErrorFromErrno(DeadErrno));
    if (Behaviour.AbortOnError && (Errors & LineErrors))
        return Fail(ERROR_OPERATION_ABORTED);
    return Submit(Writes, const_cast<BYTE*>(bytes), Count, Written, Overlapped, held);
}

BOOL CommEngine::Read(void* Buffer, DWORD Count, DWORD* ReadCount, _OVERLAPPED* Overlapped) {
    auto [held, refusal] = Enter(
        {.Kind = CommCallKind::ReadFile, .Value = Count, .Overlapped = Overlapped != nullptr});
    if (refusal)
        return Fail(refusal);
    if (!Overlapped && FOverlappedIo)
        return RefuseWithoutRecord(ReadCount);
    if (Count != 0 && !Buffer)
        return Fail(ERROR_INVALID_PARAMETER);
    if (DeadErrno != 0 && Ring.Size() == 0)
        return Fail(Win32ErrorFromErrno(DeadErrno));
    if (Behaviour.AbortOnError && (Errors & LineErrors))
        return Fail(ERROR_OPERATION_ABORTED);
    return Submit(Reads, static_cast<BYTE*>(Buffer), Count, ReadCount, Overlapped, held);
}

BOOL CommEngine::RefuseWithoutRecord(DWORD* Done) {
    // As Windows: an overlapped handle's transfer has nowhere to report but its record.
    if (Done)
        *Done = 0;
    return Fail(ERROR_INVALID_PARAMETER);
}

// Queues a read or write and serves it at once: done now, pending on its record, or, on a handle
// opened without FILE_FLAG_OVERLAPPED, waited for here, record or not.
BOOL CommEngine::Submit(std::deque<Transfer>& Queue, BYTE* Buffer, DWORD Count, DWORD* Done,
                        _OVERLAPPED* Overlapped, WakingLock& Held) {
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
    // A read the ring can fill alone asks the device nothing: what the kernel holds is newer
    // and is taken when the device next reports it.
    Service(Now(), &Queue == &Reads && Ring.Size() < Count);
    if (!FOverlappedIo)
        return WaitBlocking(Held, *record, Done);
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
        const int error = SendWrite(w);
        if (error == EIO || error == ENXIO || error == ENODEV) {
            GoDead(error);
            return;
        }
        if (error != 0) {
            Complete(w.Overlapped, Win32ErrorFromErrno(error), w.Done);
            Writes.pop_front();
        } else if (!SettleWrite(w, now)) {
            break;
        }
    }
}

int CommEngine::SendWrite(Transfer& W) {
    while (!OutputHeld() && W.Done < W.Count) {
        const long n = Device->Write(W.Buffer + W.Done, W.Count - W.Done);
        if (n < 0)
            return static_cast<int>(-n);
        if (n == 0)
            break;
        W.Done += static_cast<DWORD>(n);
    }
    return 0;
}

bool CommEngine::SettleWrite(Transfer& W, CommClock::time_point now) {
    // As on Windows, a write is done when its bytes have left the device, not when the
    // kernel took them: a purge or close right after it must not lose the end of a receipt.
    DWORD queued = 0;
    if (Device->OutputQueued(queued) != 0)
        queued = 0;
    if (W.Done == W.Count && queued == 0) {
        FinishWrite(W.Done, true);
        return true;
    }
    if (W.Timer.Expired(now)) {
        // A time-out is no failure: the write ends with what went out. What still waits in
        // the kernel is dropped, so no byte reported unsent leaves later.
        const DWORD left = std::min(queued, W.Done);
        if (left != 0)
            Device->Flush(false, true);
        const DWORD sent = W.Done - left;
        FinishWrite(sent, sent != 0);
        return true;
    }
    DrainCheck.reset();
    if (W.Done == W.Count)
        DrainCheck = now + TimeToSend(queued);
    return false;
}

void CommEngine::FinishWrite(DWORD Sent, bool Emptied) {
    Complete(Writes.front().Overlapped, ERROR_SUCCESS, Sent);
    Writes.pop_front();
    DrainCheck.reset();
    if (Writes.empty() && Emptied)
        Raise(EV_TXEMPTY);
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

} // namespace platform
