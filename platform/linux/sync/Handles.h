// Internal to the Linux backend: the table behind HANDLE values. Every kernel object (event,
// comm device, line printer, simulated device) derives from KernelObject; the public calls look
// the handle up and ask the object, so each kind of object answers only what it supports.
#pragma once

#include "platform/linux/Win32Base.h"

#include <memory>

struct _OVERLAPPED;

namespace platform {

class KernelObject {
public:
    virtual ~KernelObject() = default;

    // CloseHandle: runs once, after the handle has left the table. Other threads may still hold
    // a reference while they finish a call on the object.
    virtual void Close() {}

    // The default of each file operation fails with ERROR_INVALID_HANDLE, as Windows does for a
    // handle of the wrong kind.
    virtual BOOL Write(const void* Buffer, DWORD Count, DWORD* Written, _OVERLAPPED* Overlapped);
    virtual BOOL Read(void* Buffer, DWORD Count, DWORD* Read, _OVERLAPPED* Overlapped);
    virtual DWORD FileType() const;
};

// Adds an object to the table and gives its new handle (never INVALID_HANDLE_VALUE or null).
HANDLE InsertHandle(std::shared_ptr<KernelObject> Object);

// The live object behind a handle, or null (last error ERROR_INVALID_HANDLE) when there is none.
std::shared_ptr<KernelObject> FindHandle(HANDLE Handle);

// The object behind a handle when it is of type T; otherwise null with ERROR_INVALID_HANDLE.
template <typename T>
std::shared_ptr<T> FindHandleAs(HANDLE Handle) {
    auto object = std::dynamic_pointer_cast<T>(FindHandle(Handle));
    if (!object)
        SetLastError(ERROR_INVALID_HANDLE);
    return object;
}

// Takes the object out of the table; null when the handle was not live.
std::shared_ptr<KernelObject> RemoveHandle(HANDLE Handle);

// The Win32 error number for an errno value; the table lives beside the definition.
DWORD Win32ErrorFromErrno(int Errno);

// Sets the last error from errno and returns FALSE, for the failing-call path.
BOOL FailWithErrno(int Errno);

} // namespace platform
