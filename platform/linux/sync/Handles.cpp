#include "platform/linux/sync/Handles.h"
#include "platform/linux/Win32File.h"

#include <cerrno>
#include <cstdint>
#include <mutex>
#include <unordered_map>

namespace platform {

BOOL KernelObject::Write(const void*, DWORD, DWORD*, _OVERLAPPED*) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}

BOOL KernelObject::Read(void*, DWORD, DWORD*, _OVERLAPPED*) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}

DWORD KernelObject::FileType() const {
    return 0;
}

namespace {
struct HandleTable {
    std::mutex Lock;
    std::unordered_map<std::uintptr_t, std::shared_ptr<KernelObject>> Objects;
    // Handles are never reused, so a stale handle cannot reach a newer object.
    std::uintptr_t Next = 0x100;
};

HandleTable& Table() {
    static HandleTable table;
    return table;
}
} // namespace

HANDLE InsertHandle(std::shared_ptr<KernelObject> Object) {
    auto& t = Table();
    std::lock_guard lock(t.Lock);
    const std::uintptr_t value = t.Next;
    t.Next += 4;
    t.Objects.emplace(value, std::move(Object));
    return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> FindHandle(HANDLE Handle) {
    auto& t = Table();
    std::lock_guard lock(t.Lock);
    auto it = t.Objects.find(reinterpret_cast<std::uintptr_t>(Handle));
    if (it == t.Objects.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return it->second;
}

std::shared_ptr<KernelObject> RemoveHandle(HANDLE Handle) {
    auto& t = Table();
    std::lock_guard lock(t.Lock);
    auto it = t.Objects.find(reinterpret_cast<std::uintptr_t>(Handle));
    if (it == t.Objects.end())
        return nullptr;
    auto object = std::move(it->second);
    t.Objects.erase(it);
    return object;
}

// errno                          Win32
// ENOENT, ENOTDIR, ENXIO         ERROR_FILE_NOT_FOUND (ENXIO: a device node with no device)
// ENODEV (no such device)        ERROR_FILE_NOT_FOUND
// EACCES, EPERM, EBUSY,
// EWOULDBLOCK, EISDIR            ERROR_ACCESS_DENIED
// EBADF                          ERROR_INVALID_HANDLE
// ENOMEM                         ERROR_NOT_ENOUGH_MEMORY
// EINVAL, ERANGE                 ERROR_INVALID_PARAMETER
// ENOTTY, ENOSYS, EOPNOTSUPP     ERROR_NOT_SUPPORTED
// ECANCELED                      ERROR_OPERATION_ABORTED
// EPIPE                          ERROR_BROKEN_PIPE (a printer FIFO whose reader left)
// EIO, others                    ERROR_GEN_FAILURE (a device that stopped answering)
DWORD Win32ErrorFromErrno(int Errno) {
    switch (Errno) {
    case 0:
        return ERROR_SUCCESS;
    case ENOENT:
    case ENOTDIR:
    case ENXIO:
    case ENODEV:
        return ERROR_FILE_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EBUSY:
    case EWOULDBLOCK:
    case EISDIR:
        return ERROR_ACCESS_DENIED;
    case EBADF:
        return ERROR_INVALID_HANDLE;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case EINVAL:
    case ERANGE:
        return ERROR_INVALID_PARAMETER;
    case ENOTTY:
    case ENOSYS:
    case EOPNOTSUPP:
        return ERROR_NOT_SUPPORTED;
    case ECANCELED:
        return ERROR_OPERATION_ABORTED;
    case EPIPE:
        return ERROR_BROKEN_PIPE;
    default:
        return ERROR_GEN_FAILURE;
    }
}

BOOL FailWithErrno(int Errno) {
    SetLastError(Win32ErrorFromErrno(Errno));
    return FALSE;
}

} // namespace platform
