// Internal to the comm engine's own source files: what the files that serve its calls share.
// CommEngine.cpp holds the receive ring, the engine's state and its service loop;
// CommTransfers.cpp reads and writes with their time-outs; CommEvents.cpp event waits, the modem
// lines and line errors; CommControl.cpp settings, purges and escape functions.
#pragma once

// Only what these helpers need: each source file includes CommEngine.h itself.
#include "platform/linux/Win32Base.h"
#include "platform/linux/Win32Comm.h"
#include "platform/linux/comm/CommTimeouts.h"

namespace platform::commengine {

inline constexpr DWORD LineErrors = CE_FRAME | CE_OVERRUN | CE_RXPARITY | CE_RXOVER;

inline CommClock::time_point Now() {
    return CommClock::now();
}

inline BOOL Fail(DWORD Error) {
    SetLastError(Error);
    return FALSE;
}

} // namespace platform::commengine

// Takes the lock, holding back the wake-ups sent under it until it is released, and fails the
// call on a closed port; the call's CommCall fields are the macro's arguments (designated
// initializers).
#define TILLMARK_COMM_LOCK(...)                                                                    \
    const CommCall call{__VA_ARGS__};                                                              \
    WakeDeferringLock held(Lock);                                                                  \
    JustPurged = false;                                                                            \
    TakeInputBack(call.Kind);                                                                      \
    if (Closed)                                                                                    \
    return commengine::Fail(ERROR_INVALID_HANDLE)

// As TILLMARK_COMM_LOCK, then lets the device record or fail the call.
#define TILLMARK_COMM_ENTER(...)                                                                   \
    TILLMARK_COMM_LOCK(__VA_ARGS__);                                                               \
    if (const DWORD injected = Device->Intercept(call))                                            \
    return commengine::Fail(injected)
