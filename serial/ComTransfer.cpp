// Overlapped transfers that block until done, and the queries of the device's state.
#include "serial/CPort.h"
#include "serial/ComMapping.h"

#include <cstring>

namespace {
[[noreturn]] void RaiseLastError(std::int32_t Code) {
    throw EComPort(Code, static_cast<std::int32_t>(GetLastError()));
}

// A started transfer is one that finished at once or is pending on the device.
bool Started(BOOL Result) {
    return Result || GetLastError() == ERROR_IO_PENDING;
}
} // namespace

void NewTransferRecord(PTransferRecord& Rec) {
    Rec = new TTransferRecord{};
    Rec->Overlapped.hEvent = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    Rec->Data = nullptr;
    Rec->Size = 0;
}

void FreeTransferRecord(PTransferRecord& Rec) {
    if (!Rec)
        return;
    CloseHandle(Rec->Overlapped.hEvent);
    delete Rec;
    Rec = nullptr;
}

void PrepareTransferRecord(TTransferKind Kind, const void* Buffer, std::int32_t Count,
                           PTransferRecord& Rec) {
    Rec->Kind = Kind;
    Rec->Data.reset();
    const std::size_t size = Count > 0 ? static_cast<std::size_t>(Count) : 0;
    Rec->Data = std::make_unique<char[]>(size);
    if (size > 0)
        std::memcpy(Rec->Data.get(), Buffer, size);
    Rec->Size = Count;
}

std::int32_t TransferErrorCode(const PTransferRecord& Rec) {
    return Rec->Kind == tkWrite ? peWriteFile : peReadFile;
}

std::int32_t TCustomComPort::StartWrite(const void* Buffer, std::int32_t Count,
                                        PTransferRecord& Rec) {
    if (!Rec)
        throw EComPort(peBadAsyncParam);
    if (LinksWantTxData()) {
        PrepareTransferRecord(tkWrite, Buffer, Count, Rec);
    } else {
        // The copy serves only the observers of written data: without one, a receipt is not
        // copied on its way out.
        Rec->Kind = tkWrite;
        Rec->Data.reset();
        Rec->Size = Count;
    }
    DWORD written = 0;
    if (!Started(WriteFile(FDeviceHandle, Buffer, static_cast<DWORD>(Count), &written,
                           &Rec->Overlapped)))
        RaiseLastError(peWriteFile);
    NotifyLinksOfState(&TPortLink::TransmittingChanged, true);
    return static_cast<std::int32_t>(written);
}

std::int32_t TCustomComPort::StartWriteText(const std::string& Text, PTransferRecord& Rec) {
    if (Text.empty())
        return 0;
    return StartWrite(Text.data(), static_cast<std::int32_t>(Text.size()), Rec);
}

std::int32_t TCustomComPort::StartRead(void* Buffer, std::int32_t Count, PTransferRecord& Rec) {
    if (!Rec)
        throw EComPort(peBadAsyncParam);
    Rec->Kind = tkRead;
    DWORD read = 0;
    if (!Started(
            ReadFile(FDeviceHandle, Buffer, static_cast<DWORD>(Count), &read, &Rec->Overlapped)))
        RaiseLastError(peReadFile);
    return static_cast<std::int32_t>(read);
}

std::int32_t TCustomComPort::AwaitTransfer(PTransferRecord& Rec) {
    if (!Rec)
        throw EComPort(peBadAsyncParam);
    DWORD count = 0;
    if (WaitForSingleObject(Rec->Overlapped.hEvent, INFINITE) != WAIT_OBJECT_0)
        RaiseLastError(TransferErrorCode(Rec));
    // A transfer ended by its time-outs completes with what it moved; Wine reports that as
    // ERROR_TIMEOUT, with the count set all the same.
    if (!GetOverlappedResult(FDeviceHandle, &Rec->Overlapped, &count, FALSE) &&
        GetLastError() != ERROR_TIMEOUT)
        RaiseLastError(TransferErrorCode(Rec));
    if (Rec->Kind == tkRead && QueuedInputCount() == 0)
        NotifyLinksOfState(&TPortLink::ReceivingChanged, false);
    else if (Rec->Data)
        NotifyLinksOfTxData(Rec->Data.get(), Rec->Size);
    return static_cast<std::int32_t>(count);
}

namespace {
// One blocking transfer: a record of its own, started, awaited, and released on every path.
template <typename Start>
std::int32_t Blocking(TCustomComPort& Port, Start&& StartTransfer) {
    PTransferRecord rec = nullptr;
    NewTransferRecord(rec);
    std::int32_t count = 0;
    try {
        StartTransfer(rec);
        count = Port.AwaitTransfer(rec);
    } catch (...) {
        FreeTransferRecord(rec);
        throw;
    }
    FreeTransferRecord(rec);
    return count;
}
} // namespace

std::int32_t TCustomComPort::SendText(const std::string& Text) {
    return Blocking(*this, [&](PTransferRecord& Rec) { StartWriteText(Text, Rec); });
}

std::int32_t TCustomComPort::ReceiveBytes(void* Buffer, std::int32_t Count) {
    return Blocking(*this, [&](PTransferRecord& Rec) { StartRead(Buffer, Count, Rec); });
}

void TCustomComPort::AbortTransfers() {
    if (!PurgeComm(FDeviceHandle, PURGE_TXABORT | PURGE_RXABORT))
        RaiseLastError(pePurgeComm);
}

std::int32_t TCustomComPort::QueuedInputCount() {
    DWORD errors = 0;
    COMSTAT stat{};
    if (!ClearCommError(FDeviceHandle, &errors, &stat))
        RaiseLastError(peClearCommError);
    return static_cast<std::int32_t>(stat.cbInQue);
}

TModemSignals TCustomComPort::ReadModemSignals() {
    DWORD status = 0;
    if (!GetCommModemStatus(FDeviceHandle, &status)) {
        // A device without modem lines (some USB adapters, Bluetooth ports, a pty under Wine)
        // says so: none is on, as our Linux layer reports for a pty, and the port stays usable.
        if (GetLastError() == ERROR_NOT_SUPPORTED)
            return {};
        RaiseLastError(peGetModemStatus);
    }
    return ModemStatusToSignals(status);
}

TComErrors TCustomComPort::TakeLineErrors() {
    DWORD errors = 0;
    COMSTAT stat{};
    if (!ClearCommError(FDeviceHandle, &errors, &stat))
        RaiseLastError(peClearCommError);
    return ErrorWordToErrors(errors, FParity->Check());
}
