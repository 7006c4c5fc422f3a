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
