// Comm devices: line settings, time-outs, queues, event masks and modem lines.
#pragma once

#include "platform/Export.h"
#include "platform/linux/Win32File.h"

// The device control block, laid out bit for bit as Windows does (28 bytes).
struct _DCB {
    DWORD DCBlength;
    DWORD BaudRate;
    DWORD fBinary : 1;
    DWORD fParity : 1;
    DWORD fOutxCtsFlow : 1;
    DWORD fOutxDsrFlow : 1;
    DWORD fDtrControl : 2;
    DWORD fDsrSensitivity : 1;
    DWORD fTXContinueOnXoff : 1;
    DWORD fOutX : 1;
    DWORD fInX : 1;
    DWORD fErrorChar : 1;
    DWORD fNull : 1;
    DWORD fRtsControl : 2;
    DWORD fAbortOnError : 1;
    DWORD fDummy2 : 17;
    WORD wReserved;
    WORD XonLim;
    WORD XoffLim;
    BYTE ByteSize;
    BYTE Parity;
    BYTE StopBits;
    char XonChar;
    char XoffChar;
    char ErrorChar;
    char EofChar;
    char EvtChar;
    WORD wReserved1;
};
using DCB = _DCB;
using LPDCB = _DCB*;
static_assert(sizeof(DCB) == 28, "DCB must keep the Windows layout");

// The read and write time-outs in milliseconds, with Windows' rules for MAXDWORD.
struct _COMMTIMEOUTS {
    DWORD ReadIntervalTimeout;
    DWORD ReadTotalTimeoutMultiplier;
    DWORD ReadTotalTimeoutConstant;
    DWORD WriteTotalTimeoutMultiplier;
    DWORD WriteTotalTimeoutConstant;
};
using COMMTIMEOUTS = _COMMTIMEOUTS;
using LPCOMMTIMEOUTS = _COMMTIMEOUTS*;

// A device's state as ClearCommError reports it; here only the CTS and DSR holds and the two
// queue counts are filled.
struct _COMSTAT {
    DWORD fCtsHold : 1;
    DWORD fDsrHold : 1;
    DWORD fRlsdHold : 1;
    DWORD fXoffHold : 1;
    DWORD fXoffSent : 1;
    DWORD fEof : 1;
    DWORD fTxim : 1;
    DWORD fReserved : 25;
    DWORD cbInQue;
    DWORD cbOutQue;
};
using COMSTAT = _COMSTAT;
using LPCOMSTAT = _COMSTAT*;
using LPDWORD = DWORD*;

// Standard line speeds; DCB::BaudRate takes any other number of bits per second as well.
inline constexpr DWORD CBR_110 = 110;
inline constexpr DWORD CBR_300 = 300;
inline constexpr DWORD CBR_600 = 600;
inline constexpr DWORD CBR_1200 = 1200;
inline constexpr DWORD CBR_2400 = 2400;
inline constexpr DWORD CBR_4800 = 4800;
inline constexpr DWORD CBR_9600 = 9600;
inline constexpr DWORD CBR_14400 = 14400;
inline constexpr DWORD CBR_19200 = 19200;
inline constexpr DWORD CBR_38400 = 38400;
inline constexpr DWORD CBR_56000 = 56000;
inline constexpr DWORD CBR_57600 = 57600;
inline constexpr DWORD CBR_115200 = 115200;
inline constexpr DWORD CBR_128000 = 128000;
inline constexpr DWORD CBR_256000 = 256000;

// Comm events (SetCommMask, WaitCommEvent). EV_PERR, EV_EVENT1 and EV_EVENT2 are taken in a
// mask but never raised here.
inline constexpr DWORD EV_RXCHAR = 0x0001;
inline constexpr DWORD EV_RXFLAG = 0x0002;
inline constexpr DWORD EV_TXEMPTY = 0x0004;
inline constexpr DWORD EV_CTS = 0x0008;
inline constexpr DWORD EV_DSR = 0x0010;
inline constexpr DWORD EV_RLSD = 0x0020;
inline constexpr DWORD EV_BREAK = 0x0040;
inline constexpr DWORD EV_ERR = 0x0080;
inline constexpr DWORD EV_RING = 0x0100;
inline constexpr DWORD EV_PERR = 0x0200;
inline constexpr DWORD EV_RX80FULL = 0x0400;
inline constexpr DWORD EV_EVENT1 = 0x0800;
inline constexpr DWORD EV_EVENT2 = 0x1000;

// PurgeComm flags.
inline constexpr DWORD PURGE_TXABORT = 0x0001;
inline constexpr DWORD PURGE_RXABORT = 0x0002;
inline constexpr DWORD PURGE_TXCLEAR = 0x0004;
inline constexpr DWORD PURGE_RXCLEAR = 0x0008;

// Line errors (ClearCommError). Here only frame, parity, overrun, input overflow and break
// errors are reported.
inline constexpr DWORD CE_RXOVER = 0x0001;
inline constexpr DWORD CE_OVERRUN = 0x0002;
inline constexpr DWORD CE_RXPARITY = 0x0004;
inline constexpr DWORD CE_FRAME = 0x0008;
inline constexpr DWORD CE_BREAK = 0x0010;
inline constexpr DWORD CE_TXFULL = 0x0100;
inline constexpr DWORD CE_PTO = 0x0200;
inline constexpr DWORD CE_IOE = 0x0400;
inline constexpr DWORD CE_DNS = 0x0800;
inline constexpr DWORD CE_OOP = 0x1000;
inline constexpr DWORD CE_MODE = 0x8000;

// Modem input lines (GetCommModemStatus).
inline constexpr DWORD MS_CTS_ON = 0x0010;
inline constexpr DWORD MS_DSR_ON = 0x0020;
inline constexpr DWORD MS_RING_ON = 0x0040;
inline constexpr DWORD MS_RLSD_ON = 0x0080;

// EscapeCommFunction codes.
inline constexpr DWORD SETXOFF = 1;
inline constexpr DWORD SETXON = 2;
inline constexpr DWORD SETRTS = 3;
inline constexpr DWORD CLRRTS = 4;
inline constexpr DWORD SETDTR = 5;
inline constexpr DWORD CLRDTR = 6;
inline constexpr DWORD SETBREAK = 8;
inline constexpr DWORD CLRBREAK = 9;

// The input size is that of our receive ring (0 keeps it); the output size is only recorded.
// Either above 16 MiB is refused with ERROR_INVALID_PARAMETER.
TILLMARK_PLATFORM_API BOOL SetupComm(HANDLE hFile, DWORD dwInQueue, DWORD dwOutQueue);
// GetCommState gives back the DCB last set (at first, one made from the device's settings).
// SetCommState refuses RTS_CONTROL_TOGGLE, and fErrorChar with fParity, with
// ERROR_NOT_SUPPORTED; fTXContinueOnXoff has no effect here.
TILLMARK_PLATFORM_API BOOL GetCommState(HANDLE hFile, LPDCB lpDCB);
TILLMARK_PLATFORM_API BOOL SetCommState(HANDLE hFile, LPDCB lpDCB);
// The time-outs of the reads and writes started from then on.
TILLMARK_PLATFORM_API BOOL GetCommTimeouts(HANDLE hFile, LPCOMMTIMEOUTS lpCommTimeouts);
TILLMARK_PLATFORM_API BOOL SetCommTimeouts(HANDLE hFile, LPCOMMTIMEOUTS lpCommTimeouts);
// The events to report, and the wait for them; a new mask ends a pending wait with none. The
// wait completes before returning on a handle opened without FILE_FLAG_OVERLAPPED; with the flag
// it needs its record (ERROR_INVALID_PARAMETER without one).
TILLMARK_PLATFORM_API BOOL SetCommMask(HANDLE hFile, DWORD dwEvtMask);
TILLMARK_PLATFORM_API BOOL GetCommMask(HANDLE hFile, LPDWORD lpEvtMask);
TILLMARK_PLATFORM_API BOOL WaitCommEvent(HANDLE hFile, LPDWORD lpEvtMask,
                                         LPOVERLAPPED lpOverlapped);
// Ends pending transfers (the ABORT flags) and empties the queues (the CLEAR flags).
TILLMARK_PLATFORM_API BOOL PurgeComm(HANDLE hFile, DWORD dwFlags);
// On a comm device: waits until everything written has left it (other handles: not supported).
TILLMARK_PLATFORM_API BOOL FlushFileBuffers(HANDLE hFile);
// Takes the line errors since the last call, and the device's state.
TILLMARK_PLATFORM_API BOOL ClearCommError(HANDLE hFile, LPDWORD lpErrors, LPCOMSTAT lpStat);
// The modem input lines; on a device without them (a pty) all are off, and the call succeeds.
TILLMARK_PLATFORM_API BOOL GetCommModemStatus(HANDLE hFile, LPDWORD lpModemStat);
// Sets or clears DTR, RTS or break, or holds and resumes output as XOFF and XON would.
TILLMARK_PLATFORM_API BOOL EscapeCommFunction(HANDLE hFile, DWORD dwFunc);
