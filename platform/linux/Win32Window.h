// Windows and the messages sent to them. Only message-only windows exist here: a window belongs
// to the thread that created it, and a message sent to it from another thread waits in that
// thread's queue until the thread delivers it (while it waits in MsgWaitForMultipleObjects and
// then calls PeekMessageA, or while it is itself blocked in SendMessageA). There are no posted
// messages and no creation or destruction messages.
#pragma once

#include "platform/Export.h"
#include "platform/linux/Win32Base.h"

#include <cstdint>

// Message parameters and results, and the handle types a window class names.
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using LONG_PTR = std::intptr_t;
using ATOM = WORD;
using HINSTANCE = struct HINSTANCE__*;
using HICON = struct HICON__*;
using HCURSOR = struct HCURSOR__*;
using HBRUSH = struct HBRUSH__*;
using HMENU = struct HMENU__*;
using WNDPROC = LRESULT (*)(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);

// The first message number free for a program's own messages.
inline constexpr UINT WM_USER = 0x0400;
// The parent that makes a window message-only.
inline const HWND HWND_MESSAGE = reinterpret_cast<HWND>(~std::uintptr_t{0} - 2);
// The one window slot here: a pointer-sized value for the window's user.
inline constexpr int GWLP_USERDATA = -21;
// The queue status bit of sent messages, and PeekMessageA's flags (which it ignores here).
inline constexpr DWORD QS_SENDMESSAGE = 0x0040;
inline constexpr UINT PM_NOREMOVE = 0x0000;
inline constexpr UINT PM_REMOVE = 0x0001;

// Error numbers of the window calls.
inline constexpr DWORD ERROR_INVALID_WINDOW_HANDLE = 1400;
inline constexpr DWORD ERROR_CANNOT_FIND_WND_CLASS = 1407;
inline constexpr DWORD ERROR_CLASS_ALREADY_EXISTS = 1410;
inline constexpr DWORD ERROR_CLASS_DOES_NOT_EXIST = 1411;
inline constexpr DWORD ERROR_CLASS_HAS_WINDOWS = 1412;
inline constexpr DWORD ERROR_INVALID_INDEX = 1413;

// A window class; only the procedure and the name are used here.
struct WNDCLASSA {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCSTR lpszMenuName;
    LPCSTR lpszClassName;
};

// A posted message with its cursor position, as PeekMessageA would fill it; here there are none.
struct POINT {
    LONG x;
    LONG y;
};

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
};
using LPMSG = MSG*;

// Classes are known to the whole process by name; hInstance is not looked at.
TILLMARK_PLATFORM_API ATOM RegisterClassA(const WNDCLASSA* lpWndClass);
TILLMARK_PLATFORM_API BOOL UnregisterClassA(LPCSTR lpClassName, HINSTANCE hInstance);

// Makes a window of a registered class owned by the calling thread. hWndParent must be
// HWND_MESSAGE (anything else fails with ERROR_NOT_SUPPORTED); position, size, styles and the
// window name are ignored.
TILLMARK_PLATFORM_API HWND CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName,
                                           DWORD dwStyle, int X, int Y, int nWidth, int nHeight,
                                           HWND hWndParent, HMENU hMenu, HINSTANCE hInstance,
                                           LPVOID lpParam);
// Only the owning thread may destroy a window (another fails with ERROR_ACCESS_DENIED).
// Messages still queued for it are answered with 0, so no sender is left waiting.
TILLMARK_PLATFORM_API BOOL DestroyWindow(HWND hWnd);
// Nonzero while the window exists.
TILLMARK_PLATFORM_API BOOL IsWindow(HWND hWnd);

// GWLP_USERDATA only; any other index fails with ERROR_INVALID_INDEX. As on Windows, a
// successful call leaves the last error alone, so a previous value of 0 is told from a failure
// by setting the last error to 0 first.
TILLMARK_PLATFORM_API LONG_PTR GetWindowLongPtrA(HWND hWnd, int nIndex);
TILLMARK_PLATFORM_API LONG_PTR SetWindowLongPtrA(HWND hWnd, int nIndex, LONG_PTR dwNewLong);

// From the owning thread the window procedure is called at once. From another thread the
// message is queued for the owner, and the sender blocks until the owner's window procedure
// returns or calls ReplyMessage; meanwhile it delivers messages sent to its own windows.
TILLMARK_PLATFORM_API LRESULT SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
// Nonzero while the calling thread handles a message sent from another thread.
TILLMARK_PLATFORM_API BOOL InSendMessage();
// Lets the sender of the message being handled go on with lResult. FALSE outside a message sent
// from another thread; TRUE within one, even when it was answered already (later answers are
// dropped), as on Windows.
TILLMARK_PLATFORM_API BOOL ReplyMessage(LRESULT lResult);
// Answers 0 to every message: a message-only window here has no default behaviour.
TILLMARK_PLATFORM_API LRESULT DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);

// Delivers every message sent to the calling thread's windows, then looks for a posted message:
// there are none here, so it returns FALSE.
TILLMARK_PLATFORM_API BOOL PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin,
                                        UINT wMsgFilterMax, UINT wRemoveMsg);
// The high word has QS_SENDMESSAGE while a sent message waits for delivery, if asked for.
TILLMARK_PLATFORM_API DWORD GetQueueStatus(UINT flags);

// WaitForMultipleObjects that also returns WAIT_OBJECT_0 + nCount while, with QS_SENDMESSAGE in
// dwWakeMask, a message sent to the calling thread's windows waits for delivery. The handles
// may be none. Waiting for all of them (fWaitAll) fails with ERROR_NOT_SUPPORTED.
TILLMARK_PLATFORM_API DWORD MsgWaitForMultipleObjects(DWORD nCount, const HANDLE* pHandles,
                                                      BOOL fWaitAll, DWORD dwMilliseconds,
                                                      DWORD dwWakeMask);

// Not a Windows call. Windows' own event loops deliver sent messages wherever they wait; an event
// loop here that is not this layer's (a GUI toolkit's) learns of them through this hook, which
// runs on the sending thread, with the owner's thread id, after each message it queues. Pass
// null to remove it.
using SENTMESSAGEHOOK = void (*)(DWORD dwOwnerThreadId);
TILLMARK_PLATFORM_API void SetSentMessageHook(SENTMESSAGEHOOK Hook);
