// Opening, configuring and closing the device, and the loading phase.
#include "runtime/Application.h"
#include "serial/CPort.h"
#include "serial/ComMapping.h"

TCustomComPort::~TCustomComPort() {
    try {
        ClosePort();
    } catch (...) {
        ApplicationHandleException(std::current_exception());
    }
    // A close that failed part-way must still not leave a thread or a device behind.
    StopEventThread(); // releases an ended thread too
    CloseDeviceHandle();
    FConnected = false;
    FBuffer.reset();
    FFlowControl.reset();
    FTimeouts.reset();
    FParity.reset();
}

void TCustomComPort::SetConnected(bool Value) {
    if (Loading()) {
        FConnected = Value;
        return;
    }
    if (Value == FConnected)
        return;
    if (Value)
        OpenPort();
    else
        ClosePort();
}

void TCustomComPort::OpenPort() {
    if (FConnected)
        return;
    ReleaseEndedThread();
    NotifyBeforeOpen();
    OpenDeviceHandle();
    FConnected = true;
    try {
        ConfigureDevice();
    } catch (...) {
        CloseDeviceHandle();
        FConnected = false;
        throw;
    }
    if (!FEvents.Empty()) {
        if (FSyncMethod == smWindowSync)
            FEventWindow = AllocateHWnd([this](TMessage& m) { PortWindowProc(m); });
        auto thread = std::make_unique<TComThread>(this);
        std::lock_guard held(FEventThreadLock);
        FEventThread = std::move(thread);
    }
    NotifyAfterOpen();
}

void TCustomComPort::ClosePort() {
    if (!FConnected)
        return;
    NotifyBeforeClose();
    AbortTransfers();
    if (InOwnEventRoutine())
        FClosesFromWithin.fetch_add(1, std::memory_order_relaxed);
    StopEventThread();
    CloseDeviceHandle();
    FConnected = false;
    NotifyAfterClose();
}

void TCustomComPort::StopEventThread() {
    ReleaseEndedThread();
    if (!FEventThread)
        return;
    std::unique_ptr<TComThread> thread;
    {
        std::lock_guard held(FEventThreadLock);
        thread = std::move(FEventThread);
    }
    if (thread->IsCurrentThread()) {
        // A handler on the event thread closes the port: the thread cannot wait for itself,
        // so it ends by itself once the handler returns.
        thread->EndFromWithin();
        FEndedThread = std::move(thread);
    } else {
        thread.reset(); // stops the thread and waits for it
    }
    if (FEventWindow) {
        DeallocateHWnd(FEventWindow);
        FEventWindow = nullptr;
    }
}

void TCustomComPort::ReleaseEndedThread() {
    // Not from the ended thread itself: its handler may reopen the port, and close it again.
    if (FEndedThread && !FEndedThread->IsCurrentThread())
        FEndedThread.reset(); // waits the moment it takes the thread to leave its body
}

void TCustomComPort::OpenDeviceHandle() {
    const std::string path = "\\\\.\\" + FPort;
    FDeviceHandle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (FDeviceHandle == INVALID_HANDLE_VALUE)
        throw EComPort(peOpenPort, static_cast<std::int32_t>(GetLastError()));
}

void TCustomComPort::CloseDeviceHandle() {
    if (FDeviceHandle == INVALID_HANDLE_VALUE)
        return;
    CloseHandle(FDeviceHandle);
    FDeviceHandle = INVALID_HANDLE_VALUE;
}

void TCustomComPort::ConfigureDevice() {
    ApplyBufferSizes();
    ApplyLineSettings();
    ApplyTimeoutValues();
}

TLineSettings TCustomComPort::LineSettings() const {
    TLineSettings s{};
    s.BaudRate = FBaudRate;
    s.CustomBaudRate = FCustomBaudRate;
    s.DataBits = FDataBits;
    s.StopBits = FStopBits;
    s.ParityBits = FParity->Bits();
    s.ParityCheck = FParity->Check();
    s.ParityReplace = FParity->Replace();
    s.ReplaceChar = FParity->ReplaceChar();
    s.OutCTSFlow = FFlowControl->OutCTSFlow();
    s.OutDSRFlow = FFlowControl->OutDSRFlow();
    s.ControlDTR = FFlowControl->ControlDTR();
    s.ControlRTS = FFlowControl->ControlRTS();
    s.DSRSensitivity = FFlowControl->DSRSensitivity();
    s.TxContinueOnXoff = FFlowControl->TxContinueOnXoff();
    s.XonXoffOut = FFlowControl->XonXoffOut();
    s.XonXoffIn = FFlowControl->XonXoffIn();
    s.XonChar = FFlowControl->XonChar();
    s.XoffChar = FFlowControl->XoffChar();
    s.DiscardNull = FDiscardNull;
    s.EventChar = FEventChar;
    s.InputSize = FBuffer->InputSize();
    return s;
}

void TCustomComPort::ApplyLineSettings() {
    if (!CanApply())
        return;
    DCB dcb = BuildDCB(LineSettings());
    if (!SetCommState(FDeviceHandle, &dcb))
        throw EComPort(peSetCommState, static_cast<std::int32_t>(GetLastError()));
}

void TCustomComPort::ApplyTimeoutValues() {
    if (!CanApply())
        return;
    COMMTIMEOUTS timeouts = BuildCommTimeouts(FTimeouts->Values());
    if (!SetCommTimeouts(FDeviceHandle, &timeouts))
        throw EComPort(peSetCommTimeouts, static_cast<std::int32_t>(GetLastError()));
}

void TCustomComPort::ApplyBufferSizes() {
    if (!CanApply())
        return;
    if (!SetupComm(FDeviceHandle, static_cast<DWORD>(FBuffer->InputSize()),
                   static_cast<DWORD>(FBuffer->OutputSize())))
        throw EComPort(peSetupComm, static_cast<std::int32_t>(GetLastError()));
}

void TCustomComPort::FinishLoading() {
    TComponent::FinishLoading();
    if (!FConnected)
        return;
    FConnected = false;
    try {
        OpenPort();
    } catch (...) {
        ApplicationHandleException(std::current_exception());
    }
}
