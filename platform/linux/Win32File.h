// Files and devices: opening, overlapped reads and writes, and their completion.
#pragma once

#include "platform/Export.h"
#include "platform/linux/Win32Sync.h"

#include <cstdint>

// An unsigned integer as wide as a pointer, as OVERLAPPED's status fields are.
using ULONG_PTR = std::uintptr_t;

// CreateFileA's access rights, dispositions and flags.
inline constexpr DWORD GENERIC_READ = 0x80000000u;
inline constexpr DWORD GENERIC_WRITE = 0x40000000u;
inline constexpr DWORD CREATE_NEW = 1;
inline constexpr DWORD CREATE_ALWAYS = 2;
inline constexpr DWORD OPEN_EXISTING = 3;
inline constexpr DWORD OPEN_ALWAYS = 4;
inline constexpr DWORD TRUNCATE_EXISTING = 5;
inline constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
inline constexpr DWORD FILE_FLAG_OVERLAPPED = 0x40000000u;
// What GetFileType tells a handle to be.
inline constexpr DWORD FILE_TYPE_UNKNOWN = 0;
inline constexpr DWORD FILE_TYPE_DISK = 1;
inline constexpr DWORD FILE_TYPE_CHAR = 2;
inline constexpr DWORD FILE_TYPE_PIPE = 3;

// Error numbers of the file calls beyond the basic ones.
inline constexpr DWORD ERROR_BROKEN_PIPE = 109;

// The record of one overlapped operation. The device that completes it writes the byte count to
// InternalHigh, then stores the Win32 status in Internal (ERROR_IO_PENDING while it runs) through
// std::atomic_ref with release order, then signals hEvent. GetOverlappedResult loads Internal
// with acquire order and reads InternalHigh only once the status is no longer pending.
// Named outside the union: a type declared inside an anonymous union is an extension that clang
// warns about.
struct _OVERLAPPED_POSITION {
    DWORD Offset;
    DWORD OffsetHigh;
};
struct _OVERLAPPED {
    ULONG_PTR Internal;
    ULONG_PTR InternalHigh;
    union {
        _OVERLAPPED_POSITION Position;
        void* Pointer;
    };
    HANDLE hEvent;
};
using OVERLAPPED = _OVERLAPPED;
using LPOVERLAPPED = _OVERLAPPED*;

// Opens devices only: "\\.\" + a port name (or a bare "COMn") as a comm device, "LPTn" as a line
// printer. Nothing is ever created or truncated, whatever the disposition; any other name fails
// with ERROR_NOT_SUPPORTED. Of the flags only FILE_FLAG_OVERLAPPED counts: it decides how the
// handle's transfers complete (below).
TILLMARK_PLATFORM_API HANDLE CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess,
                                         DWORD dwShareMode,
                                         LPSECURITY_ATTRIBUTES lpSecurityAttributes,
                                         DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes,
                                         HANDLE hTemplateFile);
// As on Windows, a handle opened without FILE_FLAG_OVERLAPPED completes every transfer (and
// WaitCommEvent) before returning, also when given a record, which it then fills and signals.
// One opened with the flag refuses a transfer without a record (ERROR_INVALID_PARAMETER, count
// 0); a comm device may leave it pending on the record, whose buffer must last until then. A line
// printer is written at once, never read.
TILLMARK_PLATFORM_API BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                                     DWORD* lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped);
TILLMARK_PLATFORM_API BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
                                    DWORD* lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped);
// Completion is read from the record alone; waiting (bWait) needs the record's hEvent.
TILLMARK_PLATFORM_API BOOL GetOverlappedResult(HANDLE hFile, LPOVERLAPPED lpOverlapped,
                                               DWORD* lpNumberOfBytesTransferred, BOOL bWait);
// A comm device is FILE_TYPE_CHAR; a line printer is whatever its path is (a FIFO: a pipe).
TILLMARK_PLATFORM_API DWORD GetFileType(HANDLE hFile);
