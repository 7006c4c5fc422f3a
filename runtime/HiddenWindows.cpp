// Hidden windows: message-only windows of one class, whose user data points to the method that
// handles their messages.
#include "runtime/Application.h"
#include "runtime/Messages.h"

#include <memory>
#include <stdexcept>
#include <string>

namespace {

constexpr char HiddenWindowClass[] = "TillmarkHiddenWindow";

LRESULT HiddenWindowProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
    const auto* method = reinterpret_cast<const TWndMethod*>(GetWindowLongPtrA(Wnd, GWLP_USERDATA));
    // Messages that come before AllocateHWnd has set the method.
    if (!method)
        return DefWindowProcA(Wnd, Msg, WParam, LParam);
    // A copy: the method may deallocate its own window, and the original with it.
    const TWndMethod handle = *method;
    TMessage message{Msg, WParam, LParam, 0};
#ifndef _WIN32
    // On Windows no exception may cross the system's own frames between SendMessageA and here,
    // so there even a sender on this thread leaves the error to the application's handler.
    if (!InSendMessage()) {
        handle(message); // sent from this thread: an error goes back to the sender
        return message.Result;
    }
#endif
    // Nobody on this thread called for it: the application's handler takes its error.
    try {
        handle(message);
    } catch (...) {
        ApplicationHandleException(std::current_exception());
    }
    return message.Result;
}

[[noreturn]] void Fail(const char* What) {
    throw std::runtime_error(std::string(What) + " (error " + std::to_string(GetLastError()) + ")");
}

} // namespace

HWND AllocateHWnd(TWndMethod Method) {
    static const ATOM registered = [] {
        WNDCLASSA cls{};
        cls.lpfnWndProc = HiddenWindowProc;
        cls.lpszClassName = HiddenWindowClass;
        return RegisterClassA(&cls);
    }();
    if (!registered)
        Fail("Cannot register the hidden window class");
    HWND wnd = CreateWindowExA(0, HiddenWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                               nullptr, nullptr);
    if (!wnd)
        Fail("Cannot create a hidden window");
    auto method = std::make_unique<TWndMethod>(std::move(Method));
    SetWindowLongPtrA(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(method.release()));
    return wnd;
}

void DeallocateHWnd(HWND Wnd) {
    auto* method = reinterpret_cast<TWndMethod*>(GetWindowLongPtrA(Wnd, GWLP_USERDATA));
    // Detached first: the messages a window is sent while it is destroyed must not reach the
    // method, which may be the very one deallocating it.
    SetWindowLongPtrA(Wnd, GWLP_USERDATA, 0);
    if (DestroyWindow(Wnd))
        delete method;
    else
        SetWindowLongPtrA(Wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(method));
}
