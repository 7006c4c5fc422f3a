// Hidden message windows: a window belongs to the thread that allocates it, and a message sent
// to it from another thread waits until that thread has taken it (or replied early).
#pragma once

#include "platform/Win32.h"

#include <cstdint>
#include <functional>

#ifndef _WIN32
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
inline constexpr UINT WM_USER = 0x0400;

LRESULT SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
// Nonzero while the calling thread handles a message sent from another thread.
BOOL InSendMessage();
// Lets the sender of the message being handled go on; FALSE when there is none to release.
BOOL ReplyMessage(LRESULT lResult);
LRESULT DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
#endif

struct TMessage {
    UINT Msg;
    WPARAM WParam;
    LPARAM LParam;
    LRESULT Result;
};
using TWndMethod = std::function<void(TMessage& Message)>;

// A hidden window owned by the calling thread whose messages go to Method.
HWND AllocateHWnd(TWndMethod Method);
// Destroys a hidden window; senders still waiting on it get 0.
void DeallocateHWnd(HWND Wnd);
