// Hidden message windows: a window belongs to the thread that allocates it, and a message sent
// to it from another thread waits until that thread has taken it (or replied early). The window
// calls themselves (SendMessageA, InSendMessage, ReplyMessage ...) are the platform's.
#pragma once

#include "platform/Export.h"
#include "platform/Win32.h"

#include <functional>

// One message to a hidden window, as its method gets it; Result is the answer to the sender.
struct TMessage {
    UINT Msg;
    WPARAM WParam;
    LPARAM LParam;
    LRESULT Result;
};
// Handles the messages of one hidden window.
using TWndMethod = std::function<void(TMessage& Message)>;

// A hidden window owned by the calling thread whose messages go to Method. An error Method
// raises while it handles a message sent from another thread goes to the application's
// handler. Throws std::runtime_error when no window can be made.
TILLMARK_RUNTIME_API HWND AllocateHWnd(TWndMethod Method);
// Destroys a hidden window, from the thread that allocated it; senders still waiting on it get 0.
TILLMARK_RUNTIME_API void DeallocateHWnd(HWND Wnd);
