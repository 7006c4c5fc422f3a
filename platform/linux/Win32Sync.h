// Kernel objects, events and waits.
#pragma once

#include "platform/Export.h"
#include "platform/linux/Win32Base.h"

// The results of the waits, and the most handles one wait takes. WAIT_ABANDONED never comes
// here: there are no mutexes.
inline constexpr DWORD WAIT_OBJECT_0 = 0;
inline constexpr DWORD WAIT_ABANDONED = 0x80;
inline constexpr DWORD WAIT_TIMEOUT = 258;
inline constexpr DWORD WAIT_FAILED = 0xFFFFFFFFu;
inline constexpr DWORD MAXIMUM_WAIT_OBJECTS = 64;

// Security attributes: nothing here looks at them, so callers pass null.
struct SECURITY_ATTRIBUTES;
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;

// Events are private to the process: a non-empty name is refused with ERROR_NOT_SUPPORTED.
TILLMARK_PLATFORM_API HANDLE CreateEventA(LPSECURITY_ATTRIBUTES lpEventAttributes,
                                          BOOL bManualReset, BOOL bInitialState, LPCSTR lpName);
// Signal an event, or take the signal back.
TILLMARK_PLATFORM_API BOOL SetEvent(HANDLE hEvent);
TILLMARK_PLATFORM_API BOOL ResetEvent(HANDLE hEvent);
// Waits on events only; any other handle fails the wait with ERROR_INVALID_HANDLE.
TILLMARK_PLATFORM_API DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds);
TILLMARK_PLATFORM_API DWORD WaitForMultipleObjects(DWORD nCount, const HANDLE* lpHandles,
                                                   BOOL bWaitAll, DWORD dwMilliseconds);
// Closes an event or a device (a registered wait ends with UnregisterWaitEx).
TILLMARK_PLATFORM_API BOOL CloseHandle(HANDLE hObject);
// Sleep(0) gives up the rest of the time slice.
TILLMARK_PLATFORM_API void Sleep(DWORD dwMilliseconds);

// Waits registered with the thread pool. Here every callback runs on one wait thread of the
// process, one after the other, so a callback should be short. Only what the serial component
// needs is supported: an event, INFINITE, and WT_EXECUTEONLYONCE (optionally with
// WT_EXECUTEINWAITTHREAD or WT_EXECUTELONGFUNCTION); anything else is refused with
// ERROR_NOT_SUPPORTED. UnregisterWaitEx takes INVALID_HANDLE_VALUE (waits for a running callback)
// or null (returns FALSE with ERROR_IO_PENDING when one is running).
using BOOLEAN = unsigned char;
using PVOID = void*;
using ULONG = unsigned long;
using WAITORTIMERCALLBACK = void (*)(PVOID lpParameter, BOOLEAN TimerOrWaitFired);
inline constexpr ULONG WT_EXECUTEDEFAULT = 0x00;
inline constexpr ULONG WT_EXECUTEINWAITTHREAD = 0x04;
inline constexpr ULONG WT_EXECUTEONLYONCE = 0x08;
inline constexpr ULONG WT_EXECUTELONGFUNCTION = 0x10;
TILLMARK_PLATFORM_API BOOL RegisterWaitForSingleObject(HANDLE* phNewWaitObject, HANDLE hObject,
                                                       WAITORTIMERCALLBACK Callback, PVOID Context,
                                                       ULONG dwMilliseconds, ULONG dwFlags);
TILLMARK_PLATFORM_API BOOL UnregisterWaitEx(HANDLE WaitHandle, HANDLE CompletionEvent);

// The calling thread's id, unique among the threads alive in the system.
TILLMARK_PLATFORM_API DWORD GetCurrentThreadId();
