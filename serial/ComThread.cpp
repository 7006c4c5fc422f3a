// The event thread: one wait request on the device at a time, each batch handed to the port.
#include "serial/CPort.h"
#include "serial/ComMapping.h"

#include <utility>

TComThread::TComThread(TCustomComPort* AComPort)
    : TThread(true), FComPort(AComPort), FStopEvent(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      FWaitDone(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
    // Links cannot change while the port is open, nor the class of the port.
    FSkipsUnwanted = FComPort->SkipsUnheard();
    FOverlapped.hEvent = FWaitDone;
    SetPriority(FComPort->EventThreadPriority());
    FDeviceMask = EventsToMask(FComPort->DeviceEvents());
    SetCommMask(FComPort->DeviceHandle(), FDeviceMask);
    // The first request goes out now and the thread starts once it completes: a port opened for
    // one print and closed again, with nothing reported meanwhile, never wakes a thread. With
    // nothing to ask for yet, a handler that wants something puts the request out.
    if (FDeviceMask != 0 && !PutOutWait(FComPort->DeviceHandle()))
        Start(); // the body meets the refusal itself
    else
        StartOnSignal(FWaitDone);
}

TComThread::~TComThread() {
    // No yield as in SignalStop: the wait below gives way.
    SetEvent(FStopEvent);
    Terminate();
    WaitFor();
    // Stopped before its first event, the thread was cancelled: its closing steps are taken here.
    if (!FBegan)
        FinishWaiting(FComPort->DeviceHandle());
    // Closed here rather than by the body, so a SignalStop after an early end stays harmless.
    CloseHandle(FStopEvent);
    CloseHandle(FWaitDone);
}

void TComThread::WidenDeviceEvents(TComEvents Events) {
    std::lock_guard held(FMaskLock);
    const DWORD wanted = FDeviceMask | EventsToMask(Events);
    if (wanted == FDeviceMask)
        return;
    const bool idle = FDeviceMask == 0;
    FDeviceMask = wanted;
    if (idle) {
        // Nothing was asked for, so nothing is held that a new mask would drop. The thread,
        // not begun yet, starts once the first request completes, or at once when it is refused.
        SetCommMask(FComPort->DeviceHandle(), FDeviceMask);
        if (!PutOutWaitLocked(FComPort->DeviceHandle()))
            SetEvent(FWaitDone);
    } else if (FPending) {
        // With a request out the device holds no event back, so the new mask drops none; the
        // request ends with no events and the thread puts out the next.
        SetCommMask(FComPort->DeviceHandle(), FDeviceMask);
    } else {
        FMaskChanged = true; // given with the thread's next request
    }
}

bool TComThread::PutOutWait(HANDLE Device) {
    std::lock_guard held(FMaskLock);
    return PutOutWaitLocked(Device);
}

bool TComThread::PutOutWaitLocked(HANDLE Device) {
    if (FPending)
        return true; // put out before the thread was started
    if (!WaitCommEvent(Device, &FMask, &FOverlapped) && GetLastError() != ERROR_IO_PENDING)
        return false;
    FPending = true;
    if (FMaskChanged) {
        FMaskChanged = false;
        SetCommMask(Device, FDeviceMask);
    }
    return true;
}

void TComThread::SignalStop() {
    SetEvent(FStopEvent);
    Sleep(0);
}

void TComThread::Execute() {
    FBegan = true;
    const HANDLE device = FComPort->DeviceHandle();
    const HANDLE signals[2] = {FStopEvent, FWaitDone};
    bool deviceEndedIt = true;
    do {
        // A device that refuses wait requests ends monitoring instead of spinning on them.
        if (!PutOutWait(device))
            break;
        const DWORD result = WaitForMultipleObjects(2, signals, FALSE, INFINITE);
        if (result != WAIT_OBJECT_0 + 1) {
            deviceEndedIt = result != WAIT_OBJECT_0;
            break;
        }
        {
            std::lock_guard held(FMaskLock);
            FPending = false;
        }
        DWORD count = 0;
        if (GetOverlappedResult(device, &FOverlapped, &count, FALSE)) {
            FCurrentEvents = MaskToEvents(FMask);
            DispatchEvents();
            if (FEndedFromWithin)
                return; // the port is closed and its device may already be another's
        }
    } while (true);
    FinishWaiting(device);
    if (deviceEndedIt) {
        // Nothing else would tell a main thread that waits for events that none will come.
        FDeviceEndedIt.store(true, std::memory_order_release);
        WakeMainThread();
    }
}

void TComThread::FinishWaiting(HANDLE Device) {
    bool pending = false;
    {
        std::lock_guard held(FMaskLock);
        SetCommMask(Device, 0);
        pending = std::exchange(FPending, false);
    }
    // The request must complete before its record goes away.
    if (pending)
        WaitForSingleObject(FWaitDone, INFINITE);
    PurgeComm(Device, PURGE_TXCLEAR | PURGE_RXCLEAR);
}

void TComThread::DispatchEvents() {
    // Handing over a batch that changes nothing would cost the main thread a wake-up.
    if (FSkipsUnwanted && !FComPort->HandlersWant(FCurrentEvents))
        return;
    switch (FComPort->SyncMethod()) {
    case smThreadSync:
        Synchronize([this] { RunEventRoutines(); });
        break;
    case smWindowSync:
        SendEventMessages();
        break;
    case smNone:
        RunEventRoutines();
        break;
    }
}

void TComThread::SendEventMessages() {
    for (TComEvent event : EventOrder)
        if (FCurrentEvents.Contains(event))
            SendMessageA(FComPort->EventWindow(), PortEventMessage, EventMask(event), 0);
}

void TComThread::RunEventRoutines() {
    // A handler may close the port, which ends and releases this thread: nothing of it is
    // touched once the routines have begun.
    FComPort->RunEventRoutines(FCurrentEvents);
}

void TComThread::EndFromWithin() {
    // The device closes right after this, while the body is still below the handler on the
    // stack: its closing steps run now, and it ends without touching the device again.
    SetEvent(FStopEvent);
    FEndedFromWithin = true;
    const HANDLE device = FComPort->DeviceHandle();
    SetCommMask(device, 0);
    PurgeComm(device, PURGE_TXCLEAR | PURGE_RXCLEAR);
}
