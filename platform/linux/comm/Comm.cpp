// The comm calls: each finds the engine behind the handle and asks it.
#include "platform/linux/comm/CommEngine.h"

using platform::CommEngine;

namespace {

// Call on the engine behind File; FALSE (ERROR_INVALID_HANDLE) when there is none.
template <typename Call>
BOOL OnEngine(HANDLE File, Call&& Ask) {
    auto engine = platform::FindCommEngine(File);
    return engine ? Ask(*engine) : FALSE;
}

// The same for a call whose structure or number the caller must give: ERROR_INVALID_PARAMETER
// without it, once the handle has been found good.
template <typename T, typename Call>
BOOL OnEngine(HANDLE File, T* Given, Call&& Ask) {
    return OnEngine(File, [&](CommEngine& Engine) {
        if (Given)
            return Ask(Engine, *Given);
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    });
}

} // namespace

BOOL SetupComm(HANDLE hFile, DWORD dwInQueue, DWORD dwOutQueue) {
    return OnEngine(hFile, [&](CommEngine& e) { return e.SetupComm(dwInQueue, dwOutQueue); });
}

BOOL GetCommState(HANDLE hFile, LPDCB lpDCB) {
    return OnEngine(hFile, lpDCB, [](CommEngine& e, DCB& dcb) { return e.GetCommState(dcb); });
}

BOOL SetCommState(HANDLE hFile, LPDCB lpDCB) {
    return OnEngine(hFile, lpDCB, [](CommEngine& e, DCB& dcb) { return e.SetCommState(dcb); });
}

BOOL GetCommTimeouts(HANDLE hFile, LPCOMMTIMEOUTS lpCommTimeouts) {
    return OnEngine(hFile, lpCommTimeouts,
                    [](CommEngine& e, COMMTIMEOUTS& t) { return e.GetCommTimeouts(t); });
}

BOOL SetCommTimeouts(HANDLE hFile, LPCOMMTIMEOUTS lpCommTimeouts) {
    return OnEngine(hFile, lpCommTimeouts,
                    [](CommEngine& e, COMMTIMEOUTS& t) { return e.SetCommTimeouts(t); });
}

BOOL SetCommMask(HANDLE hFile, DWORD dwEvtMask) {
    return OnEngine(hFile, [&](CommEngine& e) { return e.SetCommMask(dwEvtMask); });
}

BOOL GetCommMask(HANDLE hFile, LPDWORD lpEvtMask) {
    return OnEngine(hFile, lpEvtMask,
                    [](CommEngine& e, DWORD& mask) { return e.GetCommMask(mask); });
}

BOOL WaitCommEvent(HANDLE hFile, LPDWORD lpEvtMask, LPOVERLAPPED lpOverlapped) {
    return OnEngine(hFile, [&](CommEngine& e) { return e.WaitCommEvent(lpEvtMask, lpOverlapped); });
}

BOOL FlushFileBuffers(HANDLE hFile) {
    return OnEngine(hFile, [](CommEngine& e) { return e.FlushFileBuffers(); });
}

BOOL PurgeComm(HANDLE hFile, DWORD dwFlags) {
    return OnEngine(hFile, [&](CommEngine& e) { return e.PurgeComm(dwFlags); });
}

BOOL ClearCommError(HANDLE hFile, LPDWORD lpErrors, LPCOMSTAT lpStat) {
    return OnEngine(hFile, [&](CommEngine& e) { return e.ClearCommError(lpErrors, lpStat); });
}

BOOL GetCommModemStatus(HANDLE hFile, LPDWORD lpModemStat) {
    return OnEngine(hFile, lpModemStat,
                    [](CommEngine& e, DWORD& status) { return e.GetCommModemStatus(status); });
}

BOOL EscapeCommFunction(HANDLE hFile, DWORD dwFunc) {
    return OnEngine(hFile, [&](CommEngine& e) { return e.EscapeCommFunction(dwFunc); });
}
