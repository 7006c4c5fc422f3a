// The comm calls: each finds the engine behind the handle and asks it.
#include "platform/linux/CommEngine.h"

using platform::FindCommEngine;

namespace {
BOOL InvalidParameter() {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
}
} // namespace

BOOL SetupComm(HANDLE hFile, DWORD dwInQueue, DWORD dwOutQueue) {
    auto engine = FindCommEngine(hFile);
    return engine ? engine->SetupComm(dwInQueue, dwOutQueue) : FALSE;
}

BOOL GetCommState(HANDLE hFile, LPDCB lpDCB) {
    auto engine = FindCommEngine(hFile);
    if (!engine)
        return FALSE;
    return lpDCB ? engine->GetCommState(*lpDCB) : InvalidParameter();
}

BOOL SetCommState(HANDLE hFile, LPDCB lpDCB) {
    auto engine = FindCommEngine(hFile);
    if (!engine)
        return FALSE;
    return lpDCB ? engine->SetCommState(*lpDCB) : InvalidParameter();
}

BOOL GetCommTimeouts(HANDLE hFile, LPCOMMTIMEOUTS lpCommTimeouts) {
    auto engine = FindCommEngine(hFile);
    if (!engine)
        return FALSE;
    return lpCommTimeouts ? engine->GetCommTimeouts(*lpCommTimeouts) : InvalidParameter();
}

BOOL SetCommTimeouts(HANDLE hFile, LPCOMMTIMEOUTS lpCommTimeouts) {
    auto engine = FindCommEngine(hFile);
    if (!engine)
        return FALSE;
    return lpCommTimeouts ? engine->SetCommTimeouts(*lpCommTimeouts) : InvalidParameter();
}

BOOL SetCommMask(HANDLE hFile, DWORD dwEvtMask) {
    auto engine = FindCommEngine(hFile);
    return engine ? engine->SetCommMask(dwEvtMask) : FALSE;
}

BOOL GetCommMask(HANDLE hFile, LPDWORD lpEvtMask) {
    auto engine = FindCommEngine(hFile);
    if (!engine)
        return FALSE;
    return lpEvtMask ? engine->GetCommMask(*lpEvtMask) : InvalidParameter();
}

BOOL WaitCommEvent(HANDLE hFile, LPDWORD lpEvtMask, LPOVERLAPPED lpOverlapped) {
    auto engine = FindCommEngine(hFile);
    return engine ? engine->WaitCommEvent(lpEvtMask, lpOverlapped) : FALSE;
}

BOOL PurgeComm(HANDLE hFile, DWORD dwFlags) {
    auto engine = FindCommEngine(hFile);
    return engine ? engine->PurgeComm(dwFlags) : FALSE;
}

BOOL ClearCommError(HANDLE hFile, LPDWORD lpErrors, LPCOMSTAT lpStat) {
    auto engine = FindCommEngine(hFile);
    return engine ? engine->ClearCommError(lpErrors, lpStat) : FALSE;
}

BOOL GetCommModemStatus(HANDLE hFile, LPDWORD lpModemStat) {
    auto engine = FindCommEngine(hFile);
    if (!engine)
        return FALSE;
    return lpModemStat ? engine->GetCommModemStatus(*lpModemStat) : InvalidParameter();
}

BOOL EscapeCommFunction(HANDLE hFile, DWORD dwFunc) {
    auto engine = FindCommEngine(hFile);
    return engine ? engine->EscapeCommFunction(dwFunc) : FALSE;
}
