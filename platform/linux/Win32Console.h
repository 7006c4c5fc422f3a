// Console control: Ctrl+C and the close request reach a handler on a thread of their own.
#pragma once

#include "platform/Export.h"
#include "platform/linux/Win32Base.h"

// The requests a handler receives, and the handler itself.
inline constexpr DWORD CTRL_C_EVENT = 0;
inline constexpr DWORD CTRL_BREAK_EVENT = 1;
inline constexpr DWORD CTRL_CLOSE_EVENT = 2;

using PHANDLER_ROUTINE = BOOL (*)(DWORD dwCtrlType);

// Adds or removes a handler; the newest runs first and the first to return TRUE ends the
// search. When none handles a request the process ends as the signal would have ended it.
// SIGINT is CTRL_C_EVENT, SIGQUIT CTRL_BREAK_EVENT, SIGTERM and SIGHUP CTRL_CLOSE_EVENT. Call it
// before starting other threads: they inherit the signal mask it sets. A null routine (on
// Windows: ignore Ctrl+C) is refused with ERROR_INVALID_PARAMETER.
TILLMARK_PLATFORM_API BOOL SetConsoleCtrlHandler(PHANDLER_ROUTINE HandlerRoutine, BOOL Add);

// Sends CTRL_C_EVENT or CTRL_BREAK_EVENT to this process, as a keyboard would.
TILLMARK_PLATFORM_API BOOL GenerateConsoleCtrlEvent(DWORD dwCtrlEvent, DWORD dwProcessGroupId);
