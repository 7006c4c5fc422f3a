// Internal to the Linux backend: a DCB turned into terminal settings plus what the comm engine
// does itself for the members the kernel has no flag for. Pure, so every member is table-tested.
#pragma once

#include "platform/linux/Win32Comm.h"
#include "platform/linux/comm/Termios2.h"

namespace platform {

// How the engine drives an output line (DTR or RTS).
enum class LineControl : BYTE {
    Off,
    On,
    Handshake,       // the engine lowers it while the receive ring is nearly full
    KernelHandshake, // RTS under the kernel's CRTSCTS
};

// The DCB members that live in the engine rather than in the kernel.
struct CommBehaviour {
    bool DiscardNull = false;    // fNull
    bool DsrSensitivity = false; // drop input while DSR is off
    bool OutDsrFlow = false;     // pause writes while DSR is off
    bool OutCtsFlow = false;     // pause writes while CTS is off, when CRTSCTS cannot be used
    bool AbortOnError = false;
    LineControl Dtr = LineControl::On;
    LineControl Rts = LineControl::On;
    char EvtChar = 0;
    WORD XonLim = 0;
    WORD XoffLim = 0;

    bool operator==(const CommBehaviour&) const = default;
};

// Maps Dcb onto the device's Current settings. Returns ERROR_SUCCESS with Settings and Behaviour
// filled, or ERROR_INVALID_PARAMETER / ERROR_NOT_SUPPORTED with both untouched.
DWORD MapDcb(const DCB& Dcb, const TermSettings& Current, TermSettings& Settings,
             CommBehaviour& Behaviour);

// The DCB that describes a device in Settings run with Behaviour (GetCommState before any
// SetCommState).
DCB DcbFromSettings(const TermSettings& Settings, const CommBehaviour& Behaviour);

// Raw mode for a comm device: no line editing, no output processing, no flow control, a NUL
// read as a NUL, reads that never wait in the kernel.
TermSettings RawSettings(const TermSettings& Current);

} // namespace platform
