// The event thread: one wait request on the device at a time, each batch handed to the port.
#include "serial/CPort.h"
#include "serial/ComMapping.h"

#include <typeinfo>

namespace {
struct TEventHandle {
    HANDLE Handle;
    ~TEventHandle() { CloseHandle(Handle); }
};
} // namespace

TComThread::TComThread(TCustomComPort* AComPort)
    : TThread(true), FComPort(AComPort), FStopEvent(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
    // Links cannot change while the port is open, nor the class of the port.
    FSkipsUnwanted = FComPort->FLinks.empty() && (typeid(*FComPort) == typeid(TComPort) ||
                                                  typeid(*FComPort) == typeid(TCustomComPort));
    SetPriority(FComPort->EventThreadPriority());
    SetCommMask(FComPort->DeviceHandle(), EventsToMask(FComPort->Events()));
    Start();
}

TComThread::~TComThread() {
    SignalStop();
    Terminate();
    WaitFor();
    // Closed here rather than by the body, so a SignalStop after an early end stays harmless.
    CloseHandle(FStopEvent);
}

void TComThread::SignalStop() {
    SetEvent(FStopEvent);
    Sleep(0);
}

void TComThread::Execute() {
    const HANDLE device = FComPort->DeviceHandle();
    OVERLAPPED overlapped{};
    TEventHandle done{CreateEventA(nullptr, TRUE, TRUE, nullptr)};
    overlapped.hEvent = done.Handle;
    const HANDLE signals[2] = {FStopEvent, done.Handle};
    DWORD mask = 0;
    DWORD result = WAIT_FAILED;
    bool pending = false;
    bool deviceEndedIt = true;
    do {
        // A device that refuses wait requests ends monitoring instead of spinning on them.
        if (!WaitCommEvent(device, &mask, &overlapped) && GetLastError() != ERROR_IO_PENDING)
            break;
        pending = true;
        result = WaitForMultipleObjects(2, signals, FALSE, INFINITE);
        if (result != WAIT_OBJECT_0 + 1) {
            deviceEndedIt = result != WAIT_OBJECT_0;
            break;
        }
        pending = false;
        DWORD count = 0;
        if (GetOverlappedResult(device, &overlapped, &count, FALSE)) {
            FCurrentEvents = MaskToEvents(mask);
            DispatchEvents();
            if (FEndedFromWithin)
                return; // the port is closed and its device may already be another's
        }
    } while (true);
    // Ends the wait request still pending; it must complete before its record goes away.
    SetCommMask(device, 0);
    if (pending)
        WaitForSingleObject(done.Handle, INFINITE);
    PurgeComm(device, PURGE_TXCLEAR | PURGE_RXCLEAR);
    if (deviceEndedIt) {
        // Nothing else would tell a main thread that waits for events that none will come.
        FDeviceEndedIt.store(true, std::memory_order_release);
        WakeMainThread();
    }
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
