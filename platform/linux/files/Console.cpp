// Console control over POSIX signals: the signals are blocked and one thread takes them with
// sigwait, so a handler runs as ordinary code (it may lock, allocate and wake other threads),
// as it does on Windows.
#include "platform/linux/Win32Console.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <mutex>
#include <thread>
#include <vector>

namespace {

std::mutex lock;
std::vector<PHANDLER_ROUTINE> handlers;
bool listening = false;

sigset_t ControlSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (int s : {SIGINT, SIGQUIT, SIGTERM, SIGHUP})
        sigaddset(&set, s);
    return set;
}

DWORD ControlTypeOf(int Signal) {
    switch (Signal) {
    case SIGINT:
        return CTRL_C_EVENT;
    case SIGQUIT:
        return CTRL_BREAK_EVENT;
    default:
        return CTRL_CLOSE_EVENT;
    }
}

// Nobody handled it: end the process as the signal's default action would.
[[noreturn]] void DefaultAction(int Signal) {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, Signal);
    ::signal(Signal, SIG_DFL);
    ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    ::raise(Signal);
    ::_exit(128 + Signal);
}

void Listen() {
    const sigset_t set = ControlSignals();
    for (;;) {
        int signal = 0;
        if (::sigwait(&set, &signal) != 0)
            continue;
        std::vector<PHANDLER_ROUTINE> current;
        {
            std::lock_guard g(lock);
            current.assign(handlers.rbegin(), handlers.rend());
        }
        const DWORD type = ControlTypeOf(signal);
        const bool handled = std::any_of(current.begin(), current.end(),
                                         [&](PHANDLER_ROUTINE h) { return h(type) != FALSE; });
        if (!handled)
            DefaultAction(signal);
    }
}

} // namespace

BOOL SetConsoleCtrlHandler(PHANDLER_ROUTINE HandlerRoutine, BOOL Add) {
    std::lock_guard g(lock);
    if (!HandlerRoutine) {
        // Windows uses a null routine to ignore or restore Ctrl+C; not needed here.
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!Add) {
        auto it = std::find(handlers.begin(), handlers.end(), HandlerRoutine);
        if (it == handlers.end()) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        handlers.erase(it);
        return TRUE;
    }
    if (!listening) {
        const sigset_t set = ControlSignals();
        if (::pthread_sigmask(SIG_BLOCK, &set, nullptr) != 0) {
            SetLastError(ERROR_GEN_FAILURE);
            return FALSE;
        }
        std::thread(Listen).detach();
        listening = true;
    }
    handlers.push_back(HandlerRoutine);
    return TRUE;
}

BOOL GenerateConsoleCtrlEvent(DWORD dwCtrlEvent, DWORD) {
    const int signal = dwCtrlEvent == CTRL_C_EVENT       ? SIGINT
                       : dwCtrlEvent == CTRL_BREAK_EVENT ? SIGQUIT
                                                         : 0;
    if (signal == 0 || ::kill(::getpid(), signal) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return TRUE;
}
