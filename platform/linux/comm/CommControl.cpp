// The comm engine's settings and controls: queue sizes, the line's settings and time-outs,
// purges, and the escape functions that drive the output lines and break.
#include "platform/linux/comm/CommEngine.h"
#include "platform/linux/comm/CommEngineShared.h"

#include <cerrno>
#include <new>

namespace platform {

using commengine::Fail;
using commengine::Now;

namespace {
// Far above any receipt printer's needs; keeps a negative size from the caller off the heap.
constexpr DWORD MaxInputSize = 16u << 20;

bool NoSuchFeature(int Error) {
    return Error == ENOTTY || Error == EINVAL || Error == ENOSYS || Error == EOPNOTSUPP;
}
} // namespace

BOOL CommEngine::SetupComm(DWORD InQueue, DWORD OutQueue) {
    auto [held, refusal] =
        Enter({.Kind = CommCallKind::SetupComm, .Value = InQueue, .Value2 = OutQueue});
    if (refusal)
        return Fail(refusal);
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
    auto [held, refusal] = Enter({.Kind = CommCallKind::SetCommState, .Dcb = Dcb});
    if (refusal)
        return Fail(refusal);
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
    auto [held, refusal] = Enter({.Kind = CommCallKind::GetCommState});
    if (refusal)
        return Fail(refusal);
    Dcb = LastDcb;
    return TRUE;
}

BOOL CommEngine::SetCommTimeouts(const COMMTIMEOUTS& NewTimeouts) {
    auto [held, refusal] = Enter({.Kind = CommCallKind::SetCommTimeouts, .Timeouts = NewTimeouts});
    if (refusal)
        return Fail(refusal);
    if (!TimeoutsValid(NewTimeouts))
        return Fail(ERROR_INVALID_PARAMETER);
    Timeouts = NewTimeouts;
    return TRUE;
}

BOOL CommEngine::GetCommTimeouts(COMMTIMEOUTS& Out) {
    auto [held, refusal] = Enter({.Kind = CommCallKind::GetCommTimeouts});
    if (refusal)
        return Fail(refusal);
    Out = Timeouts;
    return TRUE;
}

BOOL CommEngine::PurgeComm(DWORD Flags) {
    auto [held, refusal] = Enter({.Kind = CommCallKind::PurgeComm, .Value = Flags});
    if (refusal)
        return Fail(refusal);
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
        JustPurged = input && output && Writes.empty();
    }
    return TRUE;
}

BOOL CommEngine::FlushFileBuffers() {
    auto [held, refusal] = Enter({.Kind = CommCallKind::FlushFileBuffers});
    if (refusal)
        return Fail(refusal);
    if (DeadErrno != 0)
        return FailWithErrno(DeadErrno);
    if (const int error = Device->Drain())
        return FailWithErrno(error);
    return TRUE;
}

BOOL CommEngine::EscapeCommFunction(DWORD Function) {
    auto [held, refusal] = Enter({.Kind = CommCallKind::EscapeCommFunction, .Value = Function});
    if (refusal)
        return Fail(refusal);
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

} // namespace platform
