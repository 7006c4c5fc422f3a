// The comm engine's events: the modem lines and line errors it watches, the events and errors
// they raise, and the calls that wait for events or read the line's state.
#include "platform/linux/comm/CommEngine.h"
#include "platform/linux/comm/CommEngineShared.h"

#include "platform/linux/Win32Sync.h"

#include <atomic>

namespace platform {

using commengine::Fail;
using commengine::LineErrors;
using commengine::Now;

namespace {
constexpr DWORD KnownEvents = 0x1FFF;
} // namespace

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

BOOL CommEngine::SetCommMask(DWORD NewMask) {
    auto [held, refusal] = Enter({.Kind = CommCallKind::SetCommMask, .Value = NewMask});
    if (refusal)
        return Fail(refusal);
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
    auto [held, refusal] = Enter({.Kind = CommCallKind::GetCommMask});
    if (refusal)
        return Fail(refusal);
    Out = Mask;
    return TRUE;
}

BOOL CommEngine::WaitCommEvent(DWORD* EvtMask, _OVERLAPPED* Overlapped) {
    const CommCall call{.Kind = CommCallKind::WaitCommEvent, .Overlapped = Overlapped != nullptr};
    auto [held, refusal] = Enter(call, false);
    if (refusal)
        return Fail(refusal);
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
    // An overlapped handle's wait has nowhere to report but its record.
    if (!EvtMask || Mask == 0 || Wait || (!Overlapped && FOverlappedIo))
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
    if (!FOverlappedIo)
        return WaitBlocking(held, *record, nullptr);
    OfferHelp(record, InputHelper);
    return Fail(ERROR_IO_PENDING);
}

BOOL CommEngine::ClearCommError(DWORD* ErrorsOut, COMSTAT* Stat) {
    auto [held, refusal] = Enter({.Kind = CommCallKind::ClearCommError});
    if (refusal)
        return Fail(refusal);
    // Unwatched input still waits in the kernel; the queue counts it all the same. Input left
    // to a helper is read here only when the ring is empty, as the helper's notification is
    // about what is in the ring.
    if (!InputWatched || (InputLeftToHelper && Ring.Size() == 0))
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
    auto [held, refusal] = Enter({.Kind = CommCallKind::GetCommModemStatus});
    if (refusal)
        return Fail(refusal);
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

} // namespace platform
