// CreateFileA and the file calls that dispatch to the object behind a handle.
#include "platform/linux/comm/CommDevice.h"
#include "platform/linux/files/DeviceNames.h"

#include "platform/Win32.h"

#include <atomic>
#include <string>
#include <utility>

namespace {

constexpr char DevicePrefix[] = "\\\\.\\";

HANDLE Publish(std::shared_ptr<platform::KernelObject> Object) {
    if (!Object)
        return INVALID_HANDLE_VALUE;
    return platform::InsertHandle(std::move(Object));
}

HANDLE OpenComm(const std::string& Name, bool Overlapped) {
    // A provided device answers for its name, refusals included: a test that makes the open
    // fail must not end up on a real device of the same name.
    if (auto provided = platform::OpenProvidedComm(Name, Overlapped))
        return Publish(std::move(*provided));
    auto device = platform::ResolveCommName(Name);
    if (!device)
        return INVALID_HANDLE_VALUE;
    platform::CheckedNode checked;
    auto path = platform::CheckCommDevice(*device, &checked);
    if (!path)
        return INVALID_HANDLE_VALUE;
    return Publish(platform::OpenCommDevice(*path, Overlapped, &checked));
}

} // namespace

HANDLE CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD, LPSECURITY_ATTRIBUTES,
                   DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes, HANDLE) {
    if (!lpFileName || dwCreationDisposition < CREATE_NEW ||
        dwCreationDisposition > TRUNCATE_EXISTING) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    std::string name = lpFileName;
    const bool deviceNamespace = name.starts_with(DevicePrefix);
    if (deviceNamespace)
        name.erase(0, sizeof DevicePrefix - 1);

    const bool overlapped = (dwFlagsAndAttributes & FILE_FLAG_OVERLAPPED) != 0;
    // Only devices open here; whatever the disposition asks, no file is ever created or emptied.
    if (const unsigned lpt = platform::PrinterNumber(name))
        return Publish(platform::OpenLinePrinter(lpt, dwDesiredAccess, overlapped));
    if (deviceNamespace || platform::CommNumber(name) != 0)
        return OpenComm(name, overlapped);
    SetLastError(name.empty() ? ERROR_PATH_NOT_FOUND : ERROR_NOT_SUPPORTED);
    return INVALID_HANDLE_VALUE;
}

BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
               DWORD* lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped) {
    auto object = platform::FindHandle(hFile);
    if (!object)
        return FALSE;
    if ((!lpBuffer && nNumberOfBytesToWrite) || (!lpNumberOfBytesWritten && !lpOverlapped)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return object->Write(lpBuffer, nNumberOfBytesToWrite, lpNumberOfBytesWritten, lpOverlapped);
}

BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, DWORD* lpNumberOfBytesRead,
              LPOVERLAPPED lpOverlapped) {
    auto object = platform::FindHandle(hFile);
    if (!object)
        return FALSE;
    if ((!lpBuffer && nNumberOfBytesToRead) || (!lpNumberOfBytesRead && !lpOverlapped)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return object->Read(lpBuffer, nNumberOfBytesToRead, lpNumberOfBytesRead, lpOverlapped);
}

BOOL GetOverlappedResult(HANDLE, LPOVERLAPPED lpOverlapped, DWORD* lpNumberOfBytesTransferred,
                         BOOL bWait) {
    if (!lpOverlapped || !lpNumberOfBytesTransferred) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::atomic_ref<ULONG_PTR> status(lpOverlapped->Internal);
    ULONG_PTR result = status.load(std::memory_order_acquire);
    if (result == ERROR_IO_PENDING) {
        if (!bWait) {
            SetLastError(ERROR_IO_INCOMPLETE);
            return FALSE;
        }
        // Devices here always complete through the record's event; there is no handle to wait
        // on instead.
        if (!lpOverlapped->hEvent) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        if (WaitForSingleObject(lpOverlapped->hEvent, INFINITE) != WAIT_OBJECT_0)
            return FALSE;
        result = status.load(std::memory_order_acquire);
        // The event was set by someone other than the device: still running.
        if (result == ERROR_IO_PENDING) {
            SetLastError(ERROR_IO_INCOMPLETE);
            return FALSE;
        }
    }
    *lpNumberOfBytesTransferred = static_cast<DWORD>(lpOverlapped->InternalHigh);
    if (result != ERROR_SUCCESS) {
        SetLastError(static_cast<DWORD>(result));
        return FALSE;
    }
    return TRUE;
}

DWORD GetFileType(HANDLE hFile) {
    auto object = platform::FindHandle(hFile);
    if (!object)
        return FILE_TYPE_UNKNOWN;
    const DWORD type = object->FileType();
    // As Windows: an unknown type of a valid handle is told apart from a failure by no error.
    if (type == FILE_TYPE_UNKNOWN)
        SetLastError(ERROR_SUCCESS);
    return type;
}
